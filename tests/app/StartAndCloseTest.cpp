// Plume as a user starts it: a real X display (Xvfb, 1024x768), bare or with a window manager
// (openbox), a program folder whose "UserData.ini" names where the settings live, a home
// folder of any name, the window closed by its close button.
#include "platform/Cp932.h"
#include "support/TestSupport.h"
#include "support/XvfbDisplay.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace plume {
namespace {

using WindowManager = test::XvfbDisplay::WindowManager;

// x11probe on the test's display: its exit code (-1 when it did not end), its output.
int probe(const test::XvfbDisplay& display, const QStringList& arguments,
          QString* output = nullptr) {
    const test::XvfbDisplay::Result result =
        display.run(QStringLiteral(X11PROBE_BINARY), arguments, {}, 90000);
    if (output) *output = QString::fromUtf8(result.output).trimmed();
    return result.finished ? result.exitCode : -1;
}

// "x y width height" as numbers.
QList<int> numbers(const QString& text) {
    QList<int> values;
    for (const QString& part : text.split(u' ', Qt::SkipEmptyParts)) values.append(part.toInt());
    return values;
}

// A program folder, a home folder and a display of the test's own.
class Desktop {
  public:
    // Starts the display; false (with the reason in `why`) when it cannot run here.
    bool start(WindowManager manager, const QString& homeName, const QByteArray& userDataIni,
               QString* why) {
        if (!m_display.start(manager)) {
            *why = m_display.error();
            return false;
        }
        m_home = m_root.filePath(homeName);
        for (const QString& folder : {m_root.filePath("prog"), m_home}) QDir().mkpath(folder);
        m_program = m_root.filePath("prog/plume");
        if (!QFile::copy(QStringLiteral(PLUME_BINARY), m_program)) {
            *why = QStringLiteral("cannot copy Plume");
            return false;
        }
        test::writeFileBytes(m_root.filePath("prog/UserData.ini"), userDataIni);
        return true;
    }

    // Starts Plume, waits for its window, runs `whileOpen` with it, closes it like a user.
    // Gives the window's client area ("x y width height").
    QString runOnce(const std::function<void()>& whileOpen = {}) {
        QProcess plume;
        QProcessEnvironment env = m_display.environment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("HOME", m_home);
        env.remove("XDG_CONFIG_HOME");
        env.remove("XDG_DATA_HOME");
        plume.setProcessEnvironment(env);
        plume.setWorkingDirectory(m_home);
        plume.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        plume.start(m_program, {});
        EXPECT_TRUE(plume.waitForStarted(10000));
        QString geometry;
        if (probe(m_display, {"wait", "Plume", "60"}) == 0) {
            probe(m_display, {"geometry", "Plume"}, &geometry);
            if (whileOpen) whileOpen();
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

    // The whole window, frame included ("x y width height").
    QString frame() const {
        QString text;
        probe(m_display, {"frame", "Plume"}, &text);
        return text;
    }

    QString path(const QString& relative) const { return m_root.filePath(relative); }
    const QString& home() const { return m_home; }

  private:
    test::XvfbDisplay m_display;
    QTemporaryDir m_root;
    QString m_program;
    QString m_home;
};

TEST(StartAndClose, FirstRunWritesTheDefaultPlaceAndTheNextRunOpensThere) {
    Desktop desktop;
    QString why;
    const QString settingsFolder = desktop.path("D");
    QDir().mkpath(settingsFolder);
    if (!desktop.start(WindowManager::None, "home", encodeCp932(settingsFolder), &why))
        GTEST_SKIP() << why.toStdString();
    EXPECT_EQ(desktop.runOnce(), "102 77 717 538");

    const QString expected =
        QStringLiteral(
            "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
            "      <LEFT>1536</LEFT>\r\n      <TOP>1152</TOP>\r\n"
            "      <WIDTH>10752</WIDTH>\r\n      <HEIGHT>8064</HEIGHT>\r\n"
            "      <FOLD>") +
        settingsFolder + QStringLiteral("/Temp</FOLD>\r\n   </位置>\r\n</運用>");
    const QByteArray first = test::readFileBytes(desktop.path("D/User.xml"));
    EXPECT_EQ(first, encodeCp932(expected));
    EXPECT_TRUE(QFileInfo(desktop.path("D/Temp")).isDir());

    EXPECT_EQ(desktop.runOnce(), "102 77 717 538");
    EXPECT_EQ(test::readFileBytes(desktop.path("D/User.xml")), first);
}

struct Place {
    WindowManager manager;
    const char* home;  // the home folder's name
    const char* name;  // the test's name
};

void PrintTo(const Place& place, std::ostream* os) {
    *os << place.name;
}

class Restarts : public ::testing::TestWithParam<Place> {};

// LEFT, TOP, WIDTH and HEIGHT of the group "位置", in twips.
QList<double> storedPlace(const QString& settingsFile) {
    const QString text = decodeCp932Lossy(test::readFileBytes(settingsFile));
    QList<double> values;
    for (const char* key : {"LEFT", "TOP", "WIDTH", "HEIGHT"}) {
        const QRegularExpression pattern(QStringLiteral("<%1>([^<]*)</%1>").arg(key));
        values.append(pattern.match(text).captured(1).toDouble());
    }
    return values;
}

// Each start puts the whole window, frame included, where the settings say, and each close
// writes that same place back: five starts in a row neither move nor grow the window.
TEST_P(Restarts, FiveStartsLeaveTheWindowAndItsStoredPlaceWhereTheyWere) {
    Desktop desktop;
    QString why;
    if (!desktop.start(GetParam().manager, QString::fromUtf8(GetParam().home), "%usr%", &why))
        GTEST_SKIP() << why.toStdString();
    const QString settings = desktop.home() + "/.local/share/Tovari/plume/User.xml";
    const double tpp = 15;  // Xvfb's 96 DPI
    QList<double> firstPlace;
    QList<int> firstFrame;
    for (int run = 1; run <= 5; ++run) {
        QList<int> frame;
        desktop.runOnce([&] { frame = numbers(desktop.frame()); });
        const QList<double> place = storedPlace(settings);
        ASSERT_EQ(frame.size(), 4) << "run " << run;
        ASSERT_EQ(place.size(), 4);
        if (run == 1) {
            firstPlace = place;
            firstFrame = frame;
            // The first start opens at the default place: a tenth of the screen in, seven
            // tenths of its size (1024x768 pixels), frame included.
            EXPECT_EQ(place, QList<double>({1536, 1152, 10752, 8064}));
        }
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(place[i], firstPlace[i], tpp) << "run " << run << " value " << i;
            EXPECT_NEAR(frame[i], firstFrame[i], 1) << "run " << run << " value " << i;
            // The frame is where the stored place says, not the client area.
            EXPECT_NEAR(frame[i] * tpp, place[i], tpp) << "run " << run << " value " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, Restarts,
    ::testing::Values(Place{WindowManager::None, "home", "Bare"},
                      Place{WindowManager::Openbox, "home", "Openbox"},
                      Place{WindowManager::Openbox, "한글", "OpenboxKoreanHome"},
                      Place{WindowManager::None, "homé", "BareAccentedHome"},
                      Place{WindowManager::Openbox, "homé \xF0\x9F\x98\x80", "OpenboxEmojiHome"}),
    [](const ::testing::TestParamInfo<Place>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace plume
