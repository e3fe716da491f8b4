#pragma once

// The shell operations of yIni on folders of the test's own: the program folder "prog" (with
// "plume" as the executable's name) and the user data folder "usr"; shell launches and
// message boxes are captured, not shown.

#include "environment/YIni.h"
#include "platform/base/Paths.h"
#include "platform/desktop/ProgramPaths.h"
#include "platform/desktop/Usr.h"
#include "support/LaunchCapture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

namespace plume::test {

class ShellFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        QDir().mkpath(path("usr"));
        QDir().mkpath(path("prog"));
        setExecutableOverrideForTesting(path("prog"), QStringLiteral("plume"));
        Usr::sExeNm = QStringLiteral("plume");
        Usr::sUsrFld = withTrailingSeparator(path("usr"));
        Usr::oFso.reset();
    }
    void TearDown() override {
        setExecutableOverrideForTesting({}, {});
        Usr::sUsrFld.clear();
        Usr::oFso.reset();
    }

    // A path in the test's folder, with the system's separators (and drive letter).
    QString path(const QString& name) const {
        return QDir::toNativeSeparators(m_root.filePath(name));
    }

    QTemporaryDir m_root;
    YIni m_ini;
    LaunchCapture m_shell;
    MessageCapture m_messages;
};

// The shell operations with a "Send to" folder of the test's own.
class ShellWithSendTo : public ShellServices {
  public:
    explicit ShellWithSendTo(QString folder) : m_folder(std::move(folder)) {}

  protected:
    QString sendToFolder() const override { return m_folder; }

  private:
    QString m_folder;
};

}  // namespace plume::test
