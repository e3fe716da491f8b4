// Plume as a user starts it: a real X display (Xvfb, 1024x768, no window manager), a
// program folder whose "UserData.ini" names a folder, the window closed by its close button.
#include "platform/Cp932.h"
#include "support/TestSupport.h"
#include "support/XvfbDisplay.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>

namespace plume {
namespace {

// x11probe on the test's display: its exit code (-1 when it did not end), its output.
int probe(const test::XvfbDisplay& display, const QStringList& arguments,
          QString* output = nullptr) {
    const test::XvfbDisplay::Result result =
        display.run(QStringLiteral(X11PROBE_BINARY), arguments, {}, 90000);
    if (output) *output = QString::fromUtf8(result.output).trimmed();
    return result.finished ? result.exitCode : -1;
}

class StartAndClose : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!m_display.start()) GTEST_SKIP() << m_display.error().toStdString();
        ASSERT_TRUE(m_root.isValid());
        for (const char* folder : {"prog", "D", "home"}) QDir().mkpath(m_root.filePath(folder));
        m_program = m_root.filePath("prog/plume");
        ASSERT_TRUE(QFile::copy(QStringLiteral(PLUME_BINARY), m_program));
        test::writeFileBytes(m_root.filePath("prog/UserData.ini"),
                             encodeCp932(m_root.filePath("D")));
    }

    // Starts Plume, waits for its window, returns its geometry, closes it like a user.
    QString runOnce() {
        QProcess plume;
        QProcessEnvironment env = m_display.environment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("HOME", m_root.filePath("home"));
        env.remove("XDG_CONFIG_HOME");
        env.remove("XDG_DATA_HOME");
        plume.setProcessEnvironment(env);
        plume.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        plume.start(m_program, {});
        EXPECT_TRUE(plume.waitForStarted(10000));
        QString geometry;
        if (probe(m_display, {"wait", "Plume", "60"}) == 0) {
            probe(m_display, {"geometry", "Plume"}, &geometry);
            EXPECT_EQ(probe(m_display, {"close", "Plume"}), 0);
        } else {
            ADD_FAILURE() << "Plume's window did not appear";
            plume.kill();
        }
        EXPECT_TRUE(plume.waitForFinished(30000));
        EXPECT_EQ(plume.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(plume.exitCode(), 0);
        return geometry;
    }

    test::XvfbDisplay m_display;
    QTemporaryDir m_root;
    QString m_program;
};

TEST_F(StartAndClose, FirstRunWritesTheDefaultPlaceAndTheNextRunOpensThere) {
    EXPECT_EQ(runOnce(), "102 77 717 538");

    const QString expected =
        QStringLiteral(
            "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
            "      <LEFT>1536</LEFT>\r\n      <TOP>1152</TOP>\r\n"
            "      <WIDTH>10752</WIDTH>\r\n      <HEIGHT>8064</HEIGHT>\r\n"
            "      <FOLD>") +
        m_root.filePath("D") + QStringLiteral("/Temp</FOLD>\r\n   </位置>\r\n</運用>");
    const QByteArray first = test::readFileBytes(m_root.filePath("D/User.xml"));
    EXPECT_EQ(first, encodeCp932(expected));
    EXPECT_TRUE(QFileInfo(m_root.filePath("D/Temp")).isDir());

    EXPECT_EQ(runOnce(), "102 77 717 538");
    EXPECT_EQ(test::readFileBytes(m_root.filePath("D/User.xml")), first);
}

}  // namespace
}  // namespace plume
