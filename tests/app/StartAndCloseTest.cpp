// Plume as a user starts it: a real X display (Xvfb, 1024x768), bare or with a window manager
// (openbox), a program folder whose "UserData.ini" names where the settings live, a home
// folder of any name, the window closed by its close button.
#include "Desktop.h"
#include "platform/base/Cp932.h"
#include "support/StoredPlace.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>

namespace plume {
namespace {

using test::Desktop;
using test::WindowManager;

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
        desktop.runOnce([&] { frame = test::numbers(desktop.frame()); });
        const QList<double> place = test::storedPlace(settings);
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
