// The main window's habits beyond its menus: keys wherever the focus is, Delete to the trash,
// dragging drawings out, dropping metafiles in, and the clipboard watch.
#include "main_window/ClipboardWatch.h"
#include "main_window/MainWindowFixture.h"
#include "main_window/fmMain.h"
#include "platform/clipboard/ClipboardFormats.h"
#include "platform/clipboard/ClipboardReader.h"
#include "platform/picture/PictureIo.h"
#include "platform/widgets/FileListBox.h"
#include "platform/widgets/PreviewSurface.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QUrl>

namespace plume {
namespace {

using namespace target;
using test::capture;
using test::offer;

class Habits : public test::MainWindowFixture {
  protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        m_oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_root.filePath("data")));
        QGuiApplication::clipboard()->clear();
        start();
    }
    void TearDown() override {
        m_window->Form_Unload();
        m_window.reset();
        QGuiApplication::clipboard()->clear();
        qputenv("XDG_DATA_HOME", m_oldDataHome);
        MainWindowFixture::TearDown();
    }
    void start() {
        m_window = std::make_unique<fmMain>();
        m_window->Form_Load();
        m_window->show();
        m_window->Form_Activate();
    }
    void restart() {
        m_window->Form_Unload();
        YIni::release();
        start();
    }
    QString status() const { return m_window->lbMsg()->text(); }
    // Drops the files onto the main window as a file manager would.
    bool drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(m_window->width() / 2, m_window->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_window.get(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_window.get(), &dropped);
        return dropped.isAccepted();
    }

    std::unique_ptr<fmMain> m_window;
    QByteArray m_oldDataHome;
    const QByteArray m_a = capture("libreoffice-draw-7.4.emf");
    const QByteArray m_b = capture("inkscape-1.2.emf");
};

TEST_F(Habits, KeysWorkWhereverTheFocusIsInTheWindow) {
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    // Ctrl+V with words on the clipboard: nothing, as the import command does.
    QGuiApplication::clipboard()->setText("words");
    QTest::keyClick(m_window->File1(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(QDir(workFolder()).entryList(QDir::Files).isEmpty());

    // Ctrl+V with the focus on the list and on a button imports.
    offer(kXEmf, m_a);
    QTest::keyClick(m_window->File1(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(test::readFileBytes(work("001.wmf")), m_a);
    EXPECT_EQ(status(), work("001.wmf") + " を作成しました");
    offer(kXEmf, m_b);
    m_window->cmRet(2)->setFocus();
    QTest::keyClick(m_window->cmRet(2), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(test::readFileBytes(work("002.wmf")), m_b);

    // Ctrl+C copies the drawing shown, not the list entry's text.
    QTest::keyClick(m_window->File1(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(QGuiApplication::clipboard()->mimeData());
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(kXEmf), m_b);

    // F5 shows a file another program saved at once.
    test::writeFileBytes(work("005.wmf"), m_a);
    QTest::keyClick(m_window->cmRet(0), Qt::Key_F5);
    EXPECT_EQ(m_window->File1()->listCount(), 3);
    EXPECT_EQ(m_window->File1()->fileName(), "002.wmf");
}

TEST_F(Habits, DeleteMovesTheSelectedDrawingToTheTrashAndSelectsTheNext) {
    for (const char* name : {"001.wmf", "002.wmf", "003.wmf"})
        test::writeFileBytes(work(name), m_a);
    m_window->ReList();
    m_window->File1()->setListIndex(1);
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    const test::TestTrash trash = test::testTrash(m_root.filePath("data"));
    const bool seen = !trash.folder.isEmpty();

    QTest::keyClick(m_window->File1(), Qt::Key_Delete);
    EXPECT_FALSE(QFile::exists(work("002.wmf")));
    if (seen) {
        EXPECT_EQ(test::readFileBytes(trash.folder + "/files/002.wmf"), m_a);
        EXPECT_TRUE(QFile::exists(trash.folder + "/info/002.wmf.trashinfo"));
    }
    EXPECT_EQ(status(), "002.wmf をごみ箱に移動しました (" + trash.shown + ")");
    EXPECT_EQ(m_window->File1()->fileName(), "003.wmf");
    EXPECT_EQ(m_window->sCurFL(), "003.wmf");
    EXPECT_TRUE(m_window->pcImg()->picture());

    // The last entry gives the selection to the one before it; the only one leaves nothing.
    QTest::keyClick(m_window->File1(), Qt::Key_Delete);
    EXPECT_EQ(m_window->File1()->fileName(), "001.wmf");
    QTest::keyClick(m_window->cmRet(1), Qt::Key_Delete);
    EXPECT_EQ(m_window->File1()->listCount(), 0);
    EXPECT_FALSE(m_window->pcImg()->picture());
    EXPECT_EQ(status(), "001.wmf をごみ箱に移動しました (" + trash.shown + ")");
    if (seen) {
        EXPECT_EQ(QDir(trash.folder + "/files").entryList(QDir::Files).size(), 3);
    }

    // Nothing selected: Delete does nothing.
    QTest::keyClick(m_window->File1(), Qt::Key_Delete);
    EXPECT_EQ(status(), "001.wmf をごみ箱に移動しました (" + trash.shown + ")");
}

TEST_F(Habits, DroppedMetafilesAreImportedAsTheyAreAndOthersAreNamed) {
    const QString from = m_root.filePath("from");
    QDir().mkpath(from + "/a folder");
    const QByteArray wmf = capture("inkscape-1.2-placeable.wmf");
    test::writeFileBytes(from + "/drawing.emf", m_a);
    test::writeFileBytes(from + "/drawing.WMF", wmf);
    test::writeFileBytes(from + "/notes.txt", "words");
    test::writeFileBytes(from + "/fake.emf", "not a metafile at all, not even close to one");
    // A name taken in another letter case is passed over, as the import passes it.
    test::writeFileBytes(work("001.WMF"), "mine");

    // A folder alone changes nothing, the status line included.
    EXPECT_TRUE(drop({QUrl::fromLocalFile(from + "/a folder")}));
    EXPECT_EQ(status(), QString());
    EXPECT_EQ(m_window->sWkFld(), workFolder());

    EXPECT_TRUE(
        drop({QUrl::fromLocalFile(from + "/notes.txt"), QUrl::fromLocalFile(from + "/drawing.emf"),
              QUrl::fromLocalFile(from + "/a folder"), QUrl::fromLocalFile(from + "/fake.emf"),
              QUrl::fromLocalFile(from + "/drawing.WMF")}));
    EXPECT_EQ(test::readFileBytes(work("001.WMF")), "mine");
    EXPECT_EQ(test::readFileBytes(work("002.wmf")), m_a);
    EXPECT_EQ(test::readFileBytes(work("003.wmf")), wmf);  // the bytes as they are
    EXPECT_EQ(QDir(workFolder()).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(status(),
              "notes.txt はﾒﾀ画像 (EMF, WMF) ではないため取り込めません、2 ﾌｧｲﾙを作成しました");
    EXPECT_EQ(m_window->File1()->fileName(), "003.wmf");
    EXPECT_TRUE(m_window->pcImg()->picture());
    EXPECT_TRUE(QFile::exists(from + "/drawing.emf"));  // a copy, the original stays

    EXPECT_TRUE(drop({QUrl::fromLocalFile(from + "/drawing.emf")}));
    EXPECT_EQ(status(), work("004.wmf") + " を作成しました");
    EXPECT_TRUE(drop(
        {QUrl::fromLocalFile(from + "/drawing.emf"), QUrl::fromLocalFile(from + "/drawing.WMF")}));
    EXPECT_EQ(status(), work("006.wmf") + " など 2 ﾌｧｲﾙを作成しました");
    EXPECT_TRUE(drop({QUrl("https://example.org/drawing.emf")}));
    EXPECT_EQ(status(), "drawing.emf はﾒﾀ画像 (EMF, WMF) ではないため取り込めません");
    EXPECT_EQ(QDir(workFolder()).entryList(QDir::Files).size(), 6);
    // Something that is no file at all is not even taken.
    EXPECT_FALSE(drop({}));
}

TEST_F(Habits, AListEntryIsDraggedAsTheFileAndTheCopyCommandsRenditions) {
    test::writeFileBytes(work("001.wmf"), m_a);
    m_window->ReList();
    QAbstractItemModel* model = m_window->File1()->model();
    std::unique_ptr<QMimeData> data(model->mimeData({model->index(0, 0)}));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->urls(), QList<QUrl>{QUrl::fromLocalFile(QDir::fromNativeSeparators(work("001.wmf")))});
    EXPECT_EQ(data->data(kXEmf), m_a);
    EXPECT_EQ(data->data(kLibreOfficeEmf), m_a);
    EXPECT_TRUE(test::waitForRenditions(*data));
    EXPECT_TRUE(m_window->File1()->dragEnabled());

    // A file that takes long to load goes as the file alone, without the window loading it.
    QImage large(3000, 2000, QImage::Format_RGB32);
    large.fill(Qt::blue);
    ASSERT_TRUE(large.save(work("002.wmf"), "PNG"));
    m_window->ReList();
    std::unique_ptr<QMimeData> file(model->mimeData({model->index(1, 0)}));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->formats(), QStringList{"text/uri-list"});
}

TEST_F(Habits, TheClipboardWatchImportsNewDrawingsOnlyAndKeepsItsOwnGroup) {
    // Off by default, and a user who never turns it on finds no trace of it.
    EXPECT_FALSE(m_window->clipboardWatch());
    offer(kXEmf, m_a);
    EXPECT_TRUE(QDir(workFolder()).entryList(QDir::Files).isEmpty());
    restart();
    EXPECT_FALSE(test::readFileBytes(userXml()).contains("CLIPBOARD"));

    // The check item comes after the folder menu's own entries, which keep their places.
    const QList<QAction*> entries = m_window->mnJb(1)->actions();
    ASSERT_EQ(entries.size(), 6);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(entries[i], m_window->mnFld(i));
    EXPECT_TRUE(entries[4]->isSeparator());
    EXPECT_EQ(entries[5], m_window->mnWatch());
    EXPECT_TRUE(m_window->mnWatch()->isCheckable());
    m_window->mnWatch()->trigger();
    ASSERT_TRUE(m_window->clipboardWatch());

    offer(kXEmf, m_a);
    EXPECT_EQ(test::readFileBytes(work("001.wmf")), m_a);
    EXPECT_EQ(status(), work("001.wmf") + " を作成しました");
    // The clipboard keeps the drawing for the paste it was copied for.
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(kXEmf), m_a);
    offer(kLibreOfficeEmf, m_b);
    EXPECT_EQ(test::readFileBytes(work("002.wmf")), m_b);
    offer(kXEmf, m_b);  // the same bytes again
    QGuiApplication::clipboard()->setText("words");
    EXPECT_FALSE(QFile::exists(work("003.wmf")));
    // What Plume put there itself is not a clipping, even when a clipboard manager offers
    // it again.
    m_window->File1()->setListIndex(0);
    m_window->mnFile_Click(1);
    offer(kXEmf, m_a);
    EXPECT_FALSE(QFile::exists(work("003.wmf")));
    offer(kXWmf, capture("inkscape-1.2-placeable.wmf"));
    EXPECT_TRUE(QFile::exists(work("003.wmf")));

    // The choice lasts, in a group of its own; the window's position group is as before.
    restart();
    const QString saved = QString::fromUtf8(test::readFileBytes(userXml()));
    EXPECT_TRUE(saved.contains("<CLIPBOARD>\r\n      <WATCH>True</WATCH>\r\n   </CLIPBOARD>"));
    EXPECT_TRUE(m_window->clipboardWatch());
    EXPECT_TRUE(m_window->mnWatch()->isChecked());
    m_window->mnWatch()->trigger();
    EXPECT_FALSE(m_window->clipboardWatch());
    offer(kXEmf, m_b);
    EXPECT_FALSE(QFile::exists(work("004.wmf")));
}

TEST_F(Habits, TheClipboardWatchKeepsOnlyMetafilesThatReadWhole) {
    m_window->mnWatch()->trigger();
    // A sound header before garbage: the watch reads it and keeps nothing.
    offer(kXEmf, test::emfHeaderBeforeGarbage(64 * 1024));
    EXPECT_FALSE(QFile::exists(work("001.wmf")));
    EXPECT_TRUE(status().contains("破損")) << status().toStdString();
    offer(kXEmf, m_a);
    EXPECT_EQ(test::readFileBytes(work("001.wmf")), m_a);
}

// A reader whose reads end when the test says so, answered as the test says.
class HeldReader : public ClipboardReader {
  public:
    bool read(Done done) override {
        if (m_done) return false;
        m_done = std::move(done);
        ++reads;
        return true;
    }
    bool reading() const override { return bool(m_done); }
    quint64 owner() const override { return currentOwner; }
    void finish(const ClipboardRead& read) {
        ASSERT_TRUE(m_done);
        Done done = std::move(m_done);
        m_done = nullptr;
        done(read);
    }
    int reads = 0;
    quint64 currentOwner = 1;

  private:
    Done m_done;
};

ClipboardRead silentRead(quint64 owner) {
    ClipboardRead read;
    read.ownerSilent = true;
    read.owner = owner;
    return read;
}

TEST(ClipboardWatchReads, OneReadAtATimeAndASilentOwnerIsWaitedOutLongerEachTime) {
    auto held = std::make_unique<HeldReader>();
    HeldReader& reader = *held;
    QStringList said;
    QList<PicturePtr> kept;
    ClipboardWatch watch(
        nullptr, [&](const PicturePtr& picture) { return kept.append(picture), true; },
        [&](const QString& text) { said.append(text); }, std::move(held));
    watch.setOn(true);

    // Changes while a read runs are read once, after it.
    for (int i = 0; i < 5; ++i) watch.clipboardChanged();
    EXPECT_EQ(reader.reads, 1);
    ClipboardRead drawing;
    drawing.hasMetafile = true;
    drawing.picture = pictureFromBytes(capture("inkscape-1.2.emf"));
    reader.finish(drawing);
    EXPECT_EQ(kept.size(), 1);
    EXPECT_EQ(reader.reads, 2);

    // An owner that does not answer is said, and waited out before it is asked again.
    reader.finish(silentRead(1));
    EXPECT_EQ(said, QStringList{ownerSilentText()});
    EXPECT_EQ(watch.backoffMs(), ClipboardWatch::kFirstBackoffMs);
    for (int i = 0; i < 5; ++i) watch.clipboardChanged();
    EXPECT_EQ(reader.reads, 2);
    // Its changes are read once the wait has ended; silent again, it waits twice as long.
    QTRY_COMPARE_WITH_TIMEOUT(reader.reads, 3, 4 * ClipboardWatch::kFirstBackoffMs);
    reader.finish(silentRead(1));
    EXPECT_EQ(watch.backoffMs(), 2 * ClipboardWatch::kFirstBackoffMs);

    // Another program taking the clipboard is read at once, and the wait starts over.
    reader.currentOwner = 2;
    watch.clipboardChanged();
    EXPECT_EQ(reader.reads, 4);
    reader.finish(silentRead(2));
    EXPECT_EQ(watch.backoffMs(), ClipboardWatch::kFirstBackoffMs);
}

}  // namespace
}  // namespace plume
