// Plume as a user starts it: a real X display (Xvfb, 1024x768, no window manager), a
// program folder whose "UserData.ini" names a folder, the window closed by its close button.
#include "platform/Cp932.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

namespace plume {
namespace {

// An Xvfb display of this test's own, stopped when the test ends.
class VirtualDisplay {
  public:
    bool start() {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty()) return false;
        for (int number = 140; number < 240; ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))) continue;
            m_name = QStringLiteral(":%1").arg(number);
            m_process.start(xvfb, {m_name, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
            if (!m_process.waitForStarted(5000)) return false;
            for (int i = 0; i < 100; ++i) {
                if (probe({"ping", "-"}) == 0) return true;
                if (m_process.state() != QProcess::Running) break;
                QThread::msleep(50);
            }
            m_process.kill();
            m_process.waitForFinished();
        }
        return false;
    }
    ~VirtualDisplay() {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    const QString& name() const { return m_name; }

    int probe(const QStringList& arguments, QString* output = nullptr) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", m_name);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(X11PROBE_BINARY), arguments);
        p.waitForFinished(30000);
        if (output) *output = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

  private:
    QProcess m_process;
    QString m_name;
};

class StartAndClose : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!m_display.start()) GTEST_SKIP() << "no Xvfb on this machine";
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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", m_display.name());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("HOME", m_root.filePath("home"));
        env.remove("XDG_CONFIG_HOME");
        env.remove("XDG_DATA_HOME");
        plume.setProcessEnvironment(env);
        plume.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        plume.start(m_program, {});
        EXPECT_TRUE(plume.waitForStarted(10000));
        QString geometry;
        if (m_display.probe({"wait", "Plume", "60"}) == 0) {
            m_display.probe({"geometry", "Plume"}, &geometry);
            EXPECT_EQ(m_display.probe({"close", "Plume"}), 0);
        } else {
            ADD_FAILURE() << "Plume's window did not appear";
            plume.kill();
        }
        EXPECT_TRUE(plume.waitForFinished(30000));
        EXPECT_EQ(plume.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(plume.exitCode(), 0);
        return geometry;
    }

    VirtualDisplay m_display;
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
