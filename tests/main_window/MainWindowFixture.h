#pragma once

// A program folder of the test's own whose "UserData.ini" names the folder D, so that the
// real main window starts as it does for a user, without touching the user's own settings.
#include "platform/desktop/Usr.h"
#include "environment/YIni.h"
#include "platform/base/Cp932.h"
#include "platform/desktop/ProgramPaths.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QSettings>

namespace plume::test {

// A drawing as LibreOffice, Inkscape or another program put it on the clipboard.
inline QByteArray capture(const QString& name) {
    return readFileBytes(sharedDataDir() + "/clipboard-captures/" + name);
}

// Offers data on the in-process clipboard as another program would.
inline void offer(const QString& target, const QByteArray& bytes) {
    auto* data = new QMimeData;
    data->setData(target, bytes);
    QGuiApplication::clipboard()->setMimeData(data);
}

class MainWindowFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        QDir().mkpath(m_root.filePath("prog"));
        QDir().mkpath(m_root.filePath("D"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_root.filePath("config"));
        setExecutableOverrideForTesting(m_root.filePath("prog"), QStringLiteral("plume"));
        writeFileBytes(m_root.filePath("prog/UserData.ini"), encodeCp932(m_root.filePath("D")));
        Usr::oFso.reset();
    }
    void TearDown() override {
        setExecutableOverrideForTesting({}, {});
        YIni::release();
        Usr::oFso.reset();
    }
    // The user data folder as start-up takes it from "UserData.ini".
    QString userFolder() const { return userFolderAsTaken(m_root.filePath("D")); }
    QString userXml() const { return userFolder() + QDir::separator() + "User.xml"; }
    // The default working folder, which start-up creates.
    QString workFolder() const { return userFolder() + QDir::separator() + "Temp"; }
    // A file of the working folder as the window names it.
    QString work(const QString& name) const { return workFolder() + QDir::separator() + name; }

    QTemporaryDir m_root;
    MessageCapture m_messages;
};

}  // namespace plume::test
