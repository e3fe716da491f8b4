// The file menu's commands and the buttons that repeat them: import from the clipboard,
// copy back to it, convert in the raster window, exit.
#include "main_window/MainWindowFixture.h"
#include "main_window/fmMain.h"
#include "platform/base/Twips.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardFormats.h"
#include "platform/clipboard/ClipboardOperations.h"
#include "platform/widgets/FileListBox.h"
#include "platform/widgets/ImageArea.h"
#include "platform/widgets/PreviewSurface.h"
#include "raster_window/sbImg.h"
#include "support/FailingWrites.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace plume {
namespace {

using namespace target;

using test::capture;
using test::offer;

class MainWindowCommands : public test::MainWindowFixture {
  protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        QGuiApplication::clipboard()->clear();
        m_window = std::make_unique<fmMain>();
        m_window->Form_Load();
        m_window->show();
        m_window->Form_Activate();
    }
    void TearDown() override {
        m_window->Form_Unload();
        m_window.reset();
        QGuiApplication::clipboard()->clear();
        MainWindowFixture::TearDown();
    }
    static bool holdsMetafile() {
        return clipboardHasFormat(kFormatMetafilePicture) ||
               clipboardHasFormat(kFormatEnhancedMetafile);
    }
    std::unique_ptr<fmMain> m_window;
};

TEST_F(MainWindowCommands, ImportStoresTheOfferedEmfBytesAsTheNextNumberedFile) {
    const QByteArray emf = capture("libreoffice-draw-7.4.emf");
    offer(kLibreOfficeEmf, emf);
    QTest::mouseClick(m_window->cmRet(0), Qt::LeftButton);
    EXPECT_EQ(test::readFileBytes(work("001.wmf")), emf);
    EXPECT_EQ(m_window->lbMsg()->text(), work("001.wmf") + " を作成しました");
    EXPECT_EQ(m_window->sCurFL(), "001.wmf");
    EXPECT_EQ(m_window->File1()->fileName(), "001.wmf");
    ASSERT_TRUE(m_window->pcImg()->picture());
    EXPECT_TRUE(m_window->pcImg()->picture()->isVector());
    // The clipboard is empty now: a second import does nothing.
    EXPECT_FALSE(holdsMetafile());
    m_window->mnFile_Click(0);
    EXPECT_FALSE(QFile::exists(work("002.wmf")));
    EXPECT_EQ(m_window->lbMsg()->text(), work("001.wmf") + " を作成しました");
}

TEST_F(MainWindowCommands, ImportKeepsDamagedBytesAsTheyCameAndSaysSo) {
    const QByteArray damaged = test::emfHeaderBeforeGarbage(64 * 1024);
    offer(kXEmf, damaged);
    m_window->mnFile_Click(0);
    EXPECT_EQ(test::readFileBytes(work("001.wmf")), damaged);
    const QString said = m_window->lbMsg()->text();
    EXPECT_TRUE(said.startsWith(work("001.wmf") + " を作成しました (")) << said.toStdString();
    EXPECT_TRUE(said.contains("壊れています")) << said.toStdString();
}

TEST_F(MainWindowCommands, ImportOfAWmfOnlyOfferStoresAnEmf) {
    offer(kXWmf, capture("inkscape-1.2-placeable.wmf"));
    m_window->mnFile_Click(0);
    const QByteArray stored = test::readFileBytes(work("001.wmf"));
    ASSERT_GE(stored.size(), 44);
    EXPECT_EQ(stored.mid(40, 4), QByteArray(" EMF"));
}

TEST_F(MainWindowCommands, ImportWithTextOrNothingOnTheClipboardDoesNothing) {
    QGuiApplication::clipboard()->setText("just words");
    m_window->mnFile_Click(0);
    QGuiApplication::clipboard()->clear();
    m_window->mnFile_Click(0);
    EXPECT_TRUE(QDir(workFolder()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(m_window->lbMsg()->text(), QString());
    EXPECT_EQ(m_window->sCurFL(), QString());
}

TEST_F(MainWindowCommands, ImportPassesOverANameTakenInAnotherLetterCase) {
    test::writeFileBytes(work("001.wmf"), "one");
    test::writeFileBytes(work("002.WMF"), "two");
    offer(kXEmf, capture("inkscape-1.2.emf"));
    m_window->mnFile_Click(0);
    EXPECT_EQ(test::readFileBytes(work("002.WMF")), "two");
    EXPECT_EQ(test::readFileBytes(work("003.wmf")), capture("inkscape-1.2.emf"));
    EXPECT_EQ(m_window->sCurFL(), "003.wmf");
}

TEST_F(MainWindowCommands, ExhaustedNumbersEndTheImportBeforeAnythingChanges) {
    test::writeFileBytes(work("32767.wmf"), "last");
    offer(kXEmf, capture("inkscape-1.2.emf"));
    m_window->mnFile_Click(0);
    EXPECT_TRUE(holdsMetafile());
    EXPECT_EQ(m_window->lbMsg()->text(), QString());
    EXPECT_FALSE(m_window->pcImg()->picture());
}

TEST_F(MainWindowCommands, AnImportThatCannotBeStoredSaysSoAndKeepsTheClipboard) {
    const QByteArray emf = capture("inkscape-1.2.emf");
    offer(kXEmf, emf);
    // The working folder cannot be made: a file stands in its place.
    ASSERT_TRUE(QDir(workFolder()).removeRecursively());
    test::writeFileBytes(workFolder(), "a file");
    m_window->mnFile_Click(0);
    EXPECT_EQ(m_window->lbMsg()->text(), "ﾌｫﾙﾀﾞ " + workFolder() + " を作成できません");
    EXPECT_TRUE(holdsMetafile());
    EXPECT_FALSE(m_window->pcImg()->picture());
    EXPECT_EQ(m_window->sCurFL(), QString());
    EXPECT_EQ(test::readFileBytes(workFolder()), "a file");
}

#ifdef Q_OS_LINUX
TEST_F(MainWindowCommands, AnImportIntoAFolderThatCannotBeWrittenSaysSoAndKeepsTheClipboard) {
    // A folder that nobody, not even root, can write into.
    m_window->Form_Unload();
    test::writeFileBytes(
        userXml(), encodeCp932(QStringLiteral(
                       "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
                       "      <FOLD>/proc</FOLD>\r\n   </位置>\r\n</運用>")));
    m_window = std::make_unique<fmMain>();
    m_window->Form_Load();
    ASSERT_EQ(m_window->sWkFld(), "/proc");
    offer(kXEmf, capture("inkscape-1.2.emf"));
    m_window->mnFile_Click(0);
    EXPECT_TRUE(m_window->lbMsg()->text().startsWith("/proc に保存できません ("));
    EXPECT_TRUE(holdsMetafile());
    EXPECT_FALSE(m_window->pcImg()->picture());
}
#endif

TEST_F(MainWindowCommands, AnImportOntoAFullDiskSaysWhyAndLeavesNoFile) {
    test::SmallDisk disk;
    PLUME_SKIP_WITHOUT_SMALL_DISK(disk);
    m_window->Form_Unload();
    test::writeFileBytes(
        userXml(), encodeCp932(QStringLiteral(
                       "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
                       "      <FOLD>") + disk.path() + QStringLiteral("</FOLD>\r\n   </位置>\r\n</運用>")));
    m_window = std::make_unique<fmMain>();
    m_window->Form_Load();
    disk.fill();
    offer(kXEmf, capture("inkscape-1.2.emf"));
    m_window->mnFile_Click(0);
    EXPECT_EQ(m_window->lbMsg()->text(), disk.path() + " に保存できません (ﾃﾞｨｽｸに空きがありません)");
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"ballast"});
    EXPECT_TRUE(holdsMetafile());
}

TEST_F(MainWindowCommands, CopyPutsThePreviewedPictureBackAsVectorData) {
    const QByteArray emf = capture("inkscape-1.2.emf");
    offer(kXEmf, emf);
    m_window->mnFile_Click(0);
    QTest::mouseClick(m_window->cmRet(1), Qt::LeftButton);
    EXPECT_EQ(m_window->lbMsg()->text(), "画像ﾃﾞｰﾀｰ(ﾍﾞｸﾀﾃﾞｰﾀｰ)をｸﾘｯﾌﾟﾎﾞｰﾄﾞに貼りつけました");
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->data(kXEmf), emf);
    EXPECT_EQ(data->data(kLibreOfficeEmf), emf);
    EXPECT_TRUE(test::waitForRenditions(*data));
}

TEST_F(MainWindowCommands, CopyWithNoPictureLeavesTheClipboardAndSaysSo) {
    QGuiApplication::clipboard()->setText("held");
    m_window->mnFile_Click(1);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "held");
    EXPECT_EQ(m_window->lbMsg()->text(), "表示している画像がないため、ｸﾘｯﾌﾟﾎﾞｰﾄﾞはそのままです");
}

TEST_F(MainWindowCommands, CopySaysSoWhenTheClipboardCannotBeHad) {
    offer(kXEmf, capture("inkscape-1.2.emf"));
    m_window->mnFile_Click(0);
    QGuiApplication::clipboard()->setText("held");
    // Another program holds the clipboard open (Windows then refuses OpenClipboard): it cannot
    // even be emptied, and keeps what it holds.
    ClipboardOperations held = qtClipboardOperations();
    held.clear = [] { return Status::failure("クリップボードを使えません"); };
    held.setPicture = [](const PicturePtr&) {
        return Status::failure("クリップボードを使えません");
    };
    setClipboardOperationsForTesting(&held);
    m_window->mnFile_Click(1);
    EXPECT_EQ(m_window->lbMsg()->text(), "ｸﾘｯﾌﾟﾎﾞｰﾄﾞを使えないため、複写できません");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "held");
    // Emptied, but taken again before the picture was put there.
    held.clear = qtClipboardOperations().clear;
    m_window->mnFile_Click(1);
    EXPECT_EQ(m_window->lbMsg()->text(), "ｸﾘｯﾌﾟﾎﾞｰﾄﾞに複写できません");
    // Free again: the copy goes through.
    setClipboardOperationsForTesting(nullptr);
    m_window->mnFile_Click(1);
    EXPECT_EQ(m_window->lbMsg()->text(), "画像ﾃﾞｰﾀｰ(ﾍﾞｸﾀﾃﾞｰﾀｰ)をｸﾘｯﾌﾟﾎﾞｰﾄﾞに貼りつけました");
}

TEST_F(MainWindowCommands, ConvertOpensTheRasterWindowWithThePreviewsPictureAndSize) {
    offer(kXEmf, capture("inkscape-1.2.emf"));
    m_window->mnFile_Click(0);
    const PicturePtr shown = m_window->pcImg()->picture();
    bool checked = false;
    QTimer::singleShot(0, [&] {
        sbImg& raster = sbImg::take();
        EXPECT_TRUE(raster.isVisible());
        EXPECT_EQ(raster.image1()->picture(), shown);  // the same object, not a copy
        const double tpp = twipsPerPixel();
        EXPECT_EQ(raster.clientArea()->size(), QSize(qRound(7080 / tpp), qRound(3840 / tpp)));
        checked = true;
        raster.mnExit_Click();
    });
    QTest::mouseClick(m_window->cmRet(2), Qt::LeftButton);
    EXPECT_TRUE(checked);
}

TEST_F(MainWindowCommands, ExitUnloadsAndSavesTheSettings) {
    m_window->mnFile_Click(4);
    EXPECT_TRUE(test::readFileBytes(userXml()).contains("<FOLD>"));
}

}  // namespace
}  // namespace plume
