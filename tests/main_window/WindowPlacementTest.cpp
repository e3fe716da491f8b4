// Where the main window opens and how its place is written back.
#include "environment/YIni.h"
#include "main_window/MainWindowFixture.h"
#include "main_window/WindowPlacement.h"
#include "main_window/fmMain.h"
#include "platform/base/Cp932.h"
#include "platform/desktop/ProgramPaths.h"
#include "platform/base/Twips.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

namespace plume {
namespace {

const QSizeF kScreen(15360, 11520);  // 1024 x 768 pixels at 15 twips a pixel
const QSizeF kDesign(8340, 5130);
const QVector<QRectF> kScreens{QRectF(0, 0, 15360, 11520)};

TEST(MainWindowPlacement, StoredRectangleIsUsedWhenBothSizesAreNonZero) {
    const TwipsRect stored{1536, 1152, 10752, 8064};
    EXPECT_EQ(placeMainWindow(stored, kScreen, kDesign, kScreens), stored);
}

TEST(MainWindowPlacement, ZeroOrNegativeSizeCentresTheDesignSize) {
    const TwipsRect centred{(15360 - 8340) / 2.0, (11520 - 5130) / 2.0, 8340, 5130};
    EXPECT_EQ(placeMainWindow({100, 100, 0, 5000}, kScreen, kDesign, kScreens), centred);
    EXPECT_EQ(placeMainWindow({100, 100, 5000, 0}, kScreen, kDesign, kScreens), centred);
    EXPECT_EQ(placeMainWindow({100, 100, -5000, 4000}, kScreen, kDesign, kScreens), centred);
}

TEST(MainWindowPlacement, ARectangleOnNoScreenFallsBackToTheDefaultPlace) {
    EXPECT_EQ(placeMainWindow({90000, 90000, 6000, 4000}, kScreen, kDesign, kScreens),
              (TwipsRect{1536, 1152, 10752, 8064}));
    // Partly on the screen is on the screen.
    EXPECT_EQ(placeMainWindow({-3000, -100, 6000, 4000}, kScreen, kDesign, kScreens),
              (TwipsRect{-3000, -100, 6000, 4000}));
}

TEST(MainWindowPlacement, TwipsToPixelsRoundsHalfToEven) {
    EXPECT_EQ(twipsToPixels({1536, 1152, 10752, 8064}, 15), QRect(102, 77, 717, 538));
    EXPECT_EQ(twipsToPixels({37.5, 22.5, 15, 0}, 15), QRect(2, 2, 1, 0));
    EXPECT_EQ(pixelsToTwips(QRect(10, 20, 30, 40), 15), (TwipsRect{150, 300, 450, 600}));
}

// The real window on the offscreen platform: start-up reads the group, unload writes it.
using MainWindowStartUp = test::MainWindowFixture;

TEST_F(MainWindowStartUp, FirstStartOpensAtTheDefaultPlaceAndUnloadWritesItBackExactly) {
    const double tpp = twipsPerPixel();
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const TwipsRect expected =
        defaultMainWindowPlace(QSizeF(screen.width() * tpp, screen.height() * tpp));
    {
        fmMain window;
        window.Form_Load();
        EXPECT_EQ(Usr::sUsrFld, userFolder() + QDir::separator());
        EXPECT_EQ(window.sWkFld(), workFolder());
        EXPECT_TRUE(QFileInfo(window.sWkFld()).isDir());
        EXPECT_EQ(window.frameGeometry(), twipsToPixels(expected, tpp));
        window.Form_Unload();
    }
    auto whole = [](double v) { return QString::number(qRound64(v)); };
    const QString text =
        QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n") +
        "      <LEFT>" + whole(expected.left) + "</LEFT>\r\n" + "      <TOP>" +
        whole(expected.top) + "</TOP>\r\n" + "      <WIDTH>" + whole(expected.width) +
        "</WIDTH>\r\n" + "      <HEIGHT>" + whole(expected.height) + "</HEIGHT>\r\n" +
        "      <FOLD>" + workFolder() + "</FOLD>\r\n" + "   </位置>\r\n</運用>";
    EXPECT_EQ(test::readFileBytes(userXml()), encodeCp932(text));
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(MainWindowStartUp, AStoredPlaceAndFolderAreRestoredAndAMovedWindowWritesItsNewPlace) {
    const double tpp = twipsPerPixel();
    test::writeFileBytes(
        userXml(),
        encodeCp932(QStringLiteral(
            "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
            "      <LEFT>300</LEFT>\r\n      <TOP>450</TOP>\r\n      <WIDTH>6000</WIDTH>\r\n"
            "      <HEIGHT>4500</HEIGHT>\r\n      <FOLD>/somewhere/else</FOLD>\r\n   "
            "</位置>\r\n</運用>")));
    fmMain window;
    window.Form_Load();
    EXPECT_EQ(window.sWkFld(), "/somewhere/else");
    EXPECT_EQ(window.frameGeometry(), twipsToPixels({300, 450, 6000, 4500}, tpp));
    window.move(window.pos() + QPoint(10, 0));
    window.Form_Unload();
    const QByteArray bytes = test::readFileBytes(userXml());
    EXPECT_TRUE(bytes.contains("<LEFT>" + QByteArray::number(qRound64(300 + 10 * tpp)) + "</LEFT>"))
        << bytes.constData();
    EXPECT_TRUE(bytes.contains("<FOLD>/somewhere/else</FOLD>"));
}

TEST_F(MainWindowStartUp, AStoredWidthOfZeroCentresTheDesignSize) {
    test::writeFileBytes(
        userXml(), encodeCp932(QStringLiteral(
                       "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
                       "      <WIDTH>0</WIDTH>\r\n   </位置>\r\n</運用>")));
    fmMain window;
    const QSize design = window.size();
    window.Form_Load();
    EXPECT_EQ(window.size(), design);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_NEAR(window.frameGeometry().center().x(), screen.width() / 2, 1);
    EXPECT_NEAR(window.frameGeometry().center().y(), screen.height() / 2, 1);
}

}  // namespace
}  // namespace plume
