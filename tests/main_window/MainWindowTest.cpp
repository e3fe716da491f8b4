// The main window driven as a user drives it: layout, the file list, the folder watch and
// the preview, on the offscreen platform.
#include "main_window/FolderWatch.h"
#include "main_window/MainLayout.h"
#include "main_window/MainWindowFixture.h"
#include "main_window/fmMain.h"
#include "platform/widgets/FileListBox.h"
#include "platform/widgets/JapaneseInterface.h"
#include "platform/widgets/PreviewSurface.h"
#include "platform/desktop/ShellLauncher.h"
#include "platform/base/Twips.h"
#include "raster_window/sbImg.h"
#include "settings/SettingsStore.h"
#include "support/FailingWrites.h"
#include "support/SlowPicture.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRawFont>
#include <QStyle>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

namespace plume {
namespace {

using test::MainWindowFixture;

TEST(MainWindowLayout, StripAndStatusFollowTheWidthAndThePreviewKeepsItsSize) {
    const MainLayout wide = layoutMainWindow(12000, 6000, 1260, 270, 7080, 3840);
    EXPECT_EQ(wide.frMnu, QRectF(0, 0, 12000, 360));
    EXPECT_EQ(wide.File1, QRectF(0, 360, 1260, 6000 - 270 - 360));
    EXPECT_EQ(wide.pcImg, QRectF(1261, 370, 7080, 3840));
    EXPECT_EQ(wide.lbMsg, QRectF(0, 6000 - 270, 12000, 270));
    const MainLayout narrow = layoutMainWindow(3000, 2000, 1260, 270, 7080, 3840);
    EXPECT_EQ(narrow.pcImg, wide.pcImg);
    EXPECT_EQ(narrow.lbMsg, QRectF(0, 1730, 3000, 270));
}

TEST(MainWindowLayout, AClientLowerThanTheStripAndStatusClampsTheListAtZero) {
    const MainLayout low = layoutMainWindow(5000, 500, 1260, 270, 7080, 3840);
    EXPECT_EQ(low.File1.height(), 0);
    EXPECT_EQ(low.lbMsg.top(), 230);
    // Sizes are read as whole twips.
    EXPECT_EQ(layoutMainWindow(5000, 5000, 1260.4, 269.6, 1, 1).File1,
              QRectF(0, 360, 1260, 5000 - 270 - 360));
}

TEST(FolderWatch, ALaterTimeOrAnotherCountIsAChange) {
    const QDateTime t0(QDate(2026, 1, 1), QTime(0, 0));
    EXPECT_TRUE(folderChanged({t0, 0}, {}));
    EXPECT_FALSE(folderChanged({t0, 3}, {t0, 3}));
    EXPECT_TRUE(folderChanged({t0.addSecs(1), 3}, {t0, 3}));
    EXPECT_FALSE(folderChanged({t0.addSecs(-1), 3}, {t0, 3}));
    EXPECT_TRUE(folderChanged({t0, 4}, {t0, 3}));
    // A folder that cannot be read reads as zero: a change only when the count was not zero.
    EXPECT_TRUE(folderChanged({}, {t0, 3}));
    EXPECT_FALSE(folderChanged({}, {t0, 0}));
    EXPECT_EQ(readFolderStamp("/no/such/folder").fileCount, 0);
    EXPECT_FALSE(readFolderStamp("/no/such/folder").modified.isValid());
}

// A raster picture file with a given size and colour (Plume reads pictures by content).
void writePng(const QString& path, QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    ASSERT_TRUE(image.save(path, "PNG"));
}

class MainWindow : public MainWindowFixture {
  protected:
    void start() {
        m_window = std::make_unique<fmMain>();
        m_window->Form_Load();
        m_window->show();
        m_window->Form_Activate();
    }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < m_window->File1()->listCount(); ++i)
            names << m_window->File1()->entry(i);
        return names;
    }
    void TearDown() override {
        if (m_window) m_window->Form_Unload();
        m_window.reset();
        MainWindowFixture::TearDown();
    }
    std::unique_ptr<fmMain> m_window;
};

TEST_F(MainWindow, ControlsCarryTheirNamesCaptionsAndDesignGeometry) {
    start();
    EXPECT_EQ(m_window->windowTitle(), "Plume");
    EXPECT_EQ(m_window->cmRet(0)->text(), "ﾒﾀ画像を取込");
    EXPECT_EQ(m_window->cmRet(1)->text(), "ｸﾘｯﾌﾟﾎﾞｰﾄﾞに複写");
    EXPECT_EQ(m_window->cmRet(2)->text(), "ﾗｽﾀﾃﾞｰﾀｰに変換");
    EXPECT_EQ(m_window->lbMnu(0)->label()->text(), "ﾌｧｲﾙ(&F)");
    EXPECT_EQ(m_window->lbMnu(1)->label()->text(), "ﾌｫﾙﾀﾞ(&D)");
    EXPECT_EQ(m_window->lbMnu(2)->label()->text(), "ﾍﾙﾌﾟ(&H)");
    EXPECT_EQ(m_window->mnJb(0)->title(), "ﾌｧｲﾙ(&F)");
    EXPECT_EQ(m_window->mnJb(1)->title(), "ﾌｫﾙﾀﾞ(&F)");
    EXPECT_EQ(m_window->mnFile(0)->text(), "取込(&I)");
    EXPECT_TRUE(m_window->mnFile(3)->isSeparator());
    EXPECT_EQ(m_window->mnFile(4)->text(), "終了(&X)");
    EXPECT_EQ(m_window->mnFld(3)->text(), "大きなサムネイルから選ぶ");
    EXPECT_EQ(m_window->Timer1()->interval(), 5000);
    EXPECT_TRUE(m_window->Timer1()->isActive());
    EXPECT_EQ(m_window->lbMsg()->palette().color(QPalette::Window), QColor(254, 248, 254));
    const double tpp = twipsPerPixel();
    EXPECT_EQ(m_window->pcImg()->size(), QSize(qRound(7080 / tpp), qRound(3840 / tpp)));
    EXPECT_FALSE(m_window->windowIcon().isNull());
    // The label's access key leads to the first button.
    EXPECT_EQ(m_window->lbMnu(0)->label()->buddy(), m_window->cmRet(0));
}

TEST_F(MainWindow, OneJapaneseFaceDrawsEveryCaptionWhichFitsItsButtonAndQtSpeaksJapanese) {
    // The interface face is one the system has; tests/windows runs this case on Qt's windows
    // platform, at 96 and 144 dpi.
    if (!test::qtListsSystemFonts())
        GTEST_SKIP() << "Qt's font database here is not the system's list of fonts";
    const QFont before = QApplication::font();
    const JapaneseInterface setUp = useJapaneseInterface(*qApp);
    ASSERT_TRUE(setUp.translated) << "qtbase_ja.qm is missing (scripts/setup installs it)";
    ASSERT_TRUE(setUp.faceFound) << "none of " << interfaceFaceChoices().join(", ").toStdString()
                                 << " is installed (scripts/setup installs IPAPGothic)";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "キャンセル");
    start();
    const QRawFont face = QRawFont::fromFont(m_window->cmRet(1)->font());
    EXPECT_EQ(face.familyName(), interfaceFace());
    for (int i = 0; i < 3; ++i) {
        QPushButton* button = m_window->cmRet(i);
        for (const QChar c : button->text())
            EXPECT_TRUE(face.supportsCharacter(c)) << button->text().toStdString();
        // The caption clears the button's frame by a pixel at least on either side.
        const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 2 * (frame + 1),
                  button->width())
            << button->text().toStdString();
    }
    QApplication::setFont(before);
}

TEST_F(MainWindow, ResizingStretchesStripAndStatusWhileThePreviewStays) {
    start();
    const QRect preview = m_window->pcImg()->geometry();
    m_window->resize(m_window->width() + 200, m_window->height() + 100);
    EXPECT_EQ(m_window->frMnu()->width(), m_window->width());
    EXPECT_EQ(m_window->lbMsg()->width(), m_window->width());
    EXPECT_EQ(m_window->lbMsg()->geometry().bottom(), m_window->height() - 1);
    EXPECT_EQ(m_window->pcImg()->geometry(), preview);
    m_window->resize(100, 30);  // lower than the strip and the status line
    EXPECT_EQ(m_window->File1()->height(), 0);
    EXPECT_EQ(m_window->pcImg()->geometry(), preview);
}

TEST_F(MainWindow, MinimisingMovesNothingAndRestoringLaysOutAgain) {
    start();
    const QRect status = m_window->lbMsg()->geometry();
    m_window->setWindowState(Qt::WindowMinimized);
    m_window->resize(m_window->width() + 300, m_window->height());
    EXPECT_EQ(m_window->lbMsg()->geometry(), status);
    m_window->setWindowState(Qt::WindowNoState);
    m_window->Form_Resize();
    EXPECT_EQ(m_window->lbMsg()->width(), m_window->width());
}

TEST_F(MainWindow, ListsWmfFilesInAnyCaseButNotHiddenOnesOrOthers) {
    QDir().mkpath(workFolder());
    for (const char* name : {"002.wmf", "001.WMF", ".hidden.wmf", "notes.txt", "003.Wmf"})
        test::writeFileBytes(work(name), "x");
    QDir().mkpath(work("sub.wmf"));
    start();
    EXPECT_EQ(listed(), (QStringList{"001.WMF", "002.wmf", "003.Wmf"}));
    // With nothing previewed yet, a refresh selects nothing.
    EXPECT_EQ(m_window->File1()->listIndex(), -1);
}

TEST_F(MainWindow, ClickingAnEntryPreviewsItAndARefreshKeepsItSelected) {
    QDir().mkpath(workFolder());
    writePng(work("001.WMF"), QSize(40, 30), Qt::red);
    writePng(work("002.wmf"), QSize(40, 30), Qt::blue);
    start();
    m_window->File1()->setListIndex(0);
    EXPECT_EQ(m_window->sCurFL(), "001.wmf");
    EXPECT_EQ(m_window->lbMsg()->text(), work("001.WMF") + " を表示しています");
    const PicturePtr shown = m_window->pcImg()->picture();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->size(), QSize(40, 30));

    // Another program adds a file: the next tick lists it, the selection stays, and the
    // preview is not reloaded.
    writePng(work("000.wmf"), QSize(10, 10), Qt::green);
    m_window->Timer1_Timer();
    EXPECT_EQ(listed(), (QStringList{"000.wmf", "001.WMF", "002.wmf"}));
    EXPECT_EQ(m_window->File1()->fileName(), "001.WMF");
    EXPECT_EQ(m_window->pcImg()->picture(), shown);

    // Another program deletes the current file: it leaves the list, the preview stays.
    QFile::remove(work("001.WMF"));
    m_window->Timer1_Timer();
    EXPECT_EQ(listed(), (QStringList{"000.wmf", "002.wmf"}));
    EXPECT_EQ(m_window->pcImg()->picture(), shown);
    // A tick that finds nothing new changes nothing.
    m_window->File1()->setListIndex(1);
    m_window->Timer1_Timer();
    EXPECT_EQ(m_window->File1()->fileName(), "002.wmf");
}

TEST_F(MainWindow, ThePreviewShowsOwnSizeFromTheTopLeftOnWhiteCutOffAtTheEdges) {
    QDir().mkpath(workFolder());
    writePng(work("small.wmf"), QSize(50, 20), Qt::red);
    writePng(work("large.wmf"), QSize(2000, 1500), Qt::blue);
    start();
    const QSize view = m_window->pcImg()->size();
    const auto shown = [&] {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !m_window->pcImg()->isDrawing(); }, 10000));
        return m_window->pcImg()->grab().toImage();
    };
    m_window->File1()->setListIndex(1);  // small.wmf
    QImage grab = shown();
    EXPECT_EQ(grab.size(), view);
    EXPECT_EQ(QColor(grab.pixel(0, 0)), QColor(Qt::red));
    EXPECT_EQ(QColor(grab.pixel(49, 19)), QColor(Qt::red));
    EXPECT_EQ(QColor(grab.pixel(50, 19)), QColor(Qt::white));
    EXPECT_EQ(QColor(grab.pixel(49, 20)), QColor(Qt::white));
    EXPECT_EQ(QColor(grab.pixel(view.width() - 1, view.height() - 1)), QColor(Qt::white));

    m_window->File1()->setListIndex(0);  // large.wmf
    grab = shown();
    EXPECT_EQ(grab.size(), view);  // cut off, not scaled
    EXPECT_EQ(QColor(grab.pixel(view.width() - 1, view.height() - 1)), QColor(Qt::blue));
}

TEST_F(MainWindow, AnUnreadableFileStaysSelectedSaysSoAndLeavesNothingToCopyOrConvert) {
    QDir().mkpath(workFolder());
    writePng(work("001.wmf"), QSize(20, 20), Qt::red);
    test::writeFileBytes(work("002.wmf"), QByteArray("\x01\x00\x00\x00 damaged", 13));
    start();
    QGuiApplication::clipboard()->setText("held");
    m_window->File1()->setListIndex(0);
    ASSERT_TRUE(m_window->pcImg()->picture());
    m_window->File1()->setListIndex(1);
    EXPECT_FALSE(m_window->pcImg()->picture());
    EXPECT_EQ(m_window->lbMsg()->text(), work("002.wmf") + " は画像ﾌｧｲﾙとして読み込めません");
    EXPECT_TRUE(m_messages.texts().isEmpty());
    m_window->ReList();
    EXPECT_EQ(m_window->File1()->fileName(), "002.wmf");

    // Copy and convert never fall back on the drawing shown before.
    m_window->mnFile_Click(1);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "held");
    EXPECT_EQ(m_window->lbMsg()->text(), "表示している画像がないため、ｸﾘｯﾌﾟﾎﾞｰﾄﾞはそのままです");
    bool rasterOpened = false;
    QTimer::singleShot(0, m_window.get(), [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<sbImg*>(top) && top->isVisible()) {
                rasterOpened = true;
                top->close();
            }
    });
    m_window->mnFile_Click(2);
    QCoreApplication::processEvents();
    EXPECT_FALSE(rasterOpened);
    EXPECT_EQ(m_window->lbMsg()->text(), "表示している画像がないため、変換できません");

    // Written whole at last, a click on the highlighted entry shows it.
    writePng(work("002.wmf"), QSize(30, 10), Qt::blue);
    FileListBox* list = m_window->File1();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    ASSERT_TRUE(m_window->pcImg()->picture());
    EXPECT_EQ(m_window->pcImg()->picture()->size(), QSize(30, 10));
    EXPECT_EQ(m_window->lbMsg()->text(), work("002.wmf") + " を表示しています");
}

TEST_F(MainWindow, AMetafileCutShortIsReportedAsDamagedAndNotShown) {
    QDir().mkpath(workFolder());
    const QByteArray emf =
        test::readFileBytes(test::sharedDataDir() + "/clipboard-captures/libreoffice-draw-7.4.emf");
    test::writeFileBytes(work("001.wmf"), emf);
    test::writeFileBytes(work("002.wmf"), emf.left(300));
    start();
    m_window->File1()->setListIndex(0);
    ASSERT_TRUE(m_window->pcImg()->picture());
    m_window->File1()->setListIndex(1);
    EXPECT_FALSE(m_window->pcImg()->picture());
    EXPECT_EQ(m_window->lbMsg()->text(), work("002.wmf") + " は破損しているため表示できません");
}

TEST_F(MainWindow, AFileThatTakesLongToLoadLoadsInTheBackgroundAndANewerSelectionWins) {
    QDir().mkpath(workFolder());
    writePng(work("001.wmf"), QSize(3000, 2000), Qt::blue);  // millions of pixels to decode
    writePng(work("002.wmf"), QSize(20, 20), Qt::red);
    start();
    m_window->File1()->setListIndex(0);
    EXPECT_TRUE(m_window->isLoading());
    EXPECT_EQ(m_window->sCurFL(), "001.wmf");
    m_window->File1()->setListIndex(1);
    ASSERT_TRUE(m_window->pcImg()->picture());
    EXPECT_EQ(m_window->pcImg()->picture()->size(), QSize(20, 20));
    // The older load ends with nobody to show it to.
    EXPECT_TRUE(PictureView::drawingPool().waitForDone(20000));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_window->pcImg()->picture()->size(), QSize(20, 20));
    EXPECT_EQ(m_window->lbMsg()->text(), work("002.wmf") + " を表示しています");

    // A command acts on the file the list shows, loaded or not.
    m_window->File1()->setListIndex(0);
    m_window->mnFile_Click(1);
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied && copied->hasImage());
    EXPECT_EQ(qvariant_cast<QImage>(copied->imageData()).size(), QSize(3000, 2000));
    EXPECT_FALSE(m_window->isLoading());
}

TEST_F(MainWindow, ClosingWhileThePreviewDrawsNeitherWaitsForItNorFails) {
    start();
    test::SlowPicture slow(test::SlowPicture::Stop::Ignored);
    m_window->pcImg()->setPicture(slow.picture());
    ASSERT_TRUE(slow.waitUntilStarted(1));
    m_window->close();
    m_window.reset();
    EXPECT_EQ(slow.finished(), 0) << "closing waited for the drawing";
    slow.release();
    EXPECT_TRUE(PictureView::drawingPool().waitForDone(30000));
    QCoreApplication::processEvents();
}

TEST_F(MainWindow, ADrawingCutShortByALimitSaysSoInTheStatusLine) {
    QDir().mkpath(workFolder());
    writePng(work("001.wmf"), QSize(20, 20), Qt::red);
    start();
    m_window->File1()->setListIndex(0);
    const QString showing = work("001.wmf") + " を表示しています";
    ASSERT_EQ(m_window->lbMsg()->text(), showing);
    // The file's drawing turns out too heavy: a limit cuts it short when it is done.
    test::SlowPicture heavy(test::SlowPicture::Stop::Ignored, true);
    m_window->pcImg()->setPicture(heavy.picture());
    ASSERT_TRUE(heavy.waitUntilStarted(1));
    EXPECT_EQ(m_window->lbMsg()->text(), showing);
    heavy.release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_window->pcImg()->isDrawing(); }, 10000));
    EXPECT_EQ(m_window->lbMsg()->text(), showing + "（描画が重すぎるため一部のみ表示）");

    // A message that came meanwhile stays.
    test::SlowPicture later(test::SlowPicture::Stop::Ignored, true);
    m_window->pcImg()->setPicture(later.picture());
    m_window->mnFile_Click(1);
    const QString copied = m_window->lbMsg()->text();
    later.release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_window->pcImg()->isDrawing(); }, 10000));
    EXPECT_EQ(m_window->lbMsg()->text(), copied);
}

TEST_F(MainWindow, TheListHasTheFocusAndTheArrowKeysWalkItFromTheFirstEntry) {
    QDir().mkpath(workFolder());
    writePng(work("001.wmf"), QSize(20, 20), Qt::red);
    writePng(work("002.wmf"), QSize(30, 10), Qt::blue);
    start();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    FileListBox* list = m_window->File1();
    EXPECT_EQ(QApplication::focusWidget(), list);
    // Taking the focus made no entry current: nothing looks chosen that is not.
    EXPECT_FALSE(list->currentIndex().isValid());
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(m_window->lbMsg()->text(), work("001.wmf") + " を表示しています");
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(m_window->File1()->fileName(), "002.wmf");
    EXPECT_EQ(m_window->pcImg()->picture()->size(), QSize(30, 10));
    // Ctrl+click does not take the selection away from the shown file.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(list->listIndex(), 1);
    // Tab order: the list, then the three buttons.
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), m_window->cmRet(0));
}

TEST_F(MainWindow, AMissingWorkingFolderListsNothingSaysSoAndIsNotCreated) {
    const QString gone = m_root.filePath("gone");
    test::writeFileBytes(
        userXml(),
        encodeCp932(
            QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
                           "      <FOLD>") +
            gone + QStringLiteral("</FOLD>\r\n   </位置>\r\n</運用>")));
    start();
    EXPECT_EQ(m_window->sWkFld(), gone);
    EXPECT_EQ(m_window->File1()->listCount(), 0);
    EXPECT_EQ(m_window->lbMsg()->text(), gone + " が見つかりません");
    m_window->Timer1_Timer();
    EXPECT_FALSE(QFileInfo::exists(gone));
}

TEST_F(MainWindow, AWorkingFolderLongerThanAPathCanBeIsAMissingFolderShownShort) {
    // Megabytes of "./" after a folder that exists: no path at all, though a cleaned form of it
    // would name that folder.
    const QString tooLong = m_root.filePath("D") + QString("/.").repeated(2 * 1024 * 1024);
    test::writeFileBytes(
        userXml(),
        encodeCp932(
            QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
                           "      <FOLD>") +
            tooLong + QStringLiteral("</FOLD>\r\n   </位置>\r\n</運用>")));
    test::writeFileBytes(m_root.filePath("D/001.wmf"), test::capture("inkscape-1.2.emf"));
    start();
    EXPECT_EQ(m_window->File1()->listCount(), 0);
    EXPECT_TRUE(m_window->lbMsg()->text().endsWith("… が見つかりません"));
    EXPECT_LT(m_window->lbMsg()->text().size(), 200);
}

TEST_F(MainWindow, ClosingOnAFullDiskSaysWhyOnceAndKeepsTheOldSettings) {
    test::SmallDisk disk;
    PLUME_SKIP_WITHOUT_SMALL_DISK(disk);
    test::writeFileBytes(m_root.filePath("prog/UserData.ini"), encodeCp932(disk.path()));
    const QByteArray old = encodeCp932(QStringLiteral(
        "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <CLIPBOARD>\r\n"
        "      <WATCH>True</WATCH>\r\n   </CLIPBOARD>\r\n</運用>"));
    test::writeFileBytes(disk.filePath("User.xml"), old);
    start();
    disk.fill();
    m_window->Form_Unload();
    EXPECT_EQ(m_messages.texts(),
              QStringList{SettingsStore::saveFailedMessage(disk.filePath("User.xml"),
                                                           "ﾃﾞｨｽｸに空きがありません")});
    EXPECT_EQ(test::readFileBytes(disk.filePath("User.xml")), old);
}

TEST_F(MainWindow, AWorkingFolderCp932CannotHoldIsKeptAcrossARestart) {
    const QString folder = m_root.filePath("한글 homé 😀");
    QDir().mkpath(folder);
    test::writeFileBytes(folder + "/001.wmf", "x");
    test::writeFileBytes(
        userXml(),
        encodeCp932WithReferences(
            QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
                           "      <FOLD>") +
            folder + QStringLiteral("</FOLD>\r\n   </位置>\r\n</運用>")));
    for (int run = 0; run < 2; ++run) {
        start();
        EXPECT_EQ(m_window->sWkFld(), folder);
        EXPECT_EQ(listed(), QStringList{"001.wmf"});
        m_window->Form_Unload();
    }
    EXPECT_TRUE(
        test::readFileBytes(userXml()).contains("/&#xD55C;&#xAE00; hom&#xE9; &#x1F600;</FOLD>"));
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(MainWindow, ASettingsFileThatCannotBeReadIsToldOnceAndLeftAsItIs) {
    const QByteArray utf16 = QStringLiteral("<?xml version='1.0' ?>").toUtf8();
    QByteArray bytes("\xff\xfe", 2);
    for (char c : utf16) bytes.append(c).append('\0');
    test::writeFileBytes(userXml(), bytes);
    start();
    EXPECT_EQ(m_window->sWkFld(), workFolder());
    m_window->Form_Unload();
    EXPECT_EQ(m_messages.texts(), QStringList{SettingsStore::unreadableMessage(
                                      userXml(), FileReadError::Kind::NotText)});
    EXPECT_EQ(test::readFileBytes(userXml()), bytes);
}

}  // namespace
}  // namespace plume

namespace plume {
namespace {

TEST_F(MainWindow, TheHelpLabelOpensTheHelpPage) {
    start();
    QList<ShellLaunch> launches;
    bool desktopTakesIt = true;
    setShellLaunchSink([&](const ShellLaunch& launch) {
        launches.append(launch);
        return desktopTakesIt;
    });
    QTest::mouseClick(m_window->lbMnu(2), Qt::LeftButton);
    ASSERT_EQ(launches.size(), 1);
    EXPECT_TRUE(launches[0].url.toString().endsWith("/plume.htm"))
        << launches[0].url.toString().toStdString();
    EXPECT_EQ(m_window->lbMsg()->text(), QString());
    // A desktop with no opener (no xdg-open): the status line tells where the page is.
    desktopTakesIt = false;
    QTest::mouseClick(m_window->lbMnu(2), Qt::LeftButton);
    setShellLaunchSink({});
    EXPECT_EQ(m_window->lbMsg()->text(), launches[1].url.toLocalFile() + " を開けません");
}

}  // namespace
}  // namespace plume
