// The folder menu: open the working folder, change it through the picker, choose a file
// from large thumbnails.
#include "environment/BrowseFolder.h"
#include "main_window/MainWindowFixture.h"
#include "main_window/fmMain.h"
#include "platform/widgets/FileListBox.h"
#include "platform/widgets/PreviewSurface.h"
#include "platform/desktop/ShellLauncher.h"
#include "platform/thumbnails/ThumbnailGrid.h"
#include "platform/thumbnails/ThumbnailGridFacade.h"
#include "thumbnail_window/spTmS.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace plume {
namespace {

// A raster picture file; pictures of different sizes tell the drawings apart.
void writePng(const QString& path, QColor color, QSize size = QSize(30, 20)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    ASSERT_TRUE(image.save(path, "PNG"));
}

// Runs `inside` once the chooser is up and has listed its thumbnails (polling, bounded);
// closes it when it never comes, so that the test cannot hang.
void whenChooserOpen(std::function<void(spTmS&)> inside) {
    auto* poll = new QTimer;
    auto ticks = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, ticks, inside] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* chooser = qobject_cast<spTmS*>(top);
            if (chooser && chooser->isVisible() && chooser->isActivatedForOpening()) {
                poll->deleteLater();
                inside(*chooser);
                return;
            }
        }
        if (++*ticks > 500) {
            poll->deleteLater();
            ADD_FAILURE() << "the chooser was not shown";
            for (QWidget* top : QApplication::topLevelWidgets())
                if (qobject_cast<spTmS*>(top)) top->close();
        }
    });
    poll->start(10);
}

class FolderMenu : public test::MainWindowFixture {
  protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        m_window = std::make_unique<fmMain>();
        m_window->Form_Load();
        m_window->show();
        m_window->Form_Activate();
    }
    void TearDown() override {
        setFolderDialogAnswer({});
        m_window->Form_Unload();
        m_window.reset();
        MainWindowFixture::TearDown();
    }
    // Answers the next folder picker with `folder`, remembering where it started.
    void answerPicker(const QString& folder) {
        setFolderDialogAnswer([this, folder](const FolderDialogRequest& request) {
            m_pickerStart = request.startFolder;
            return folder;
        });
    }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < m_window->File1()->listCount(); ++i)
            names << m_window->File1()->entry(i);
        return names;
    }
    std::unique_ptr<fmMain> m_window;
    QString m_pickerStart;
};

TEST_F(FolderMenu, OpenShowsTheWorkingFolderInTheFileManager) {
    QList<ShellLaunch> launches;
    bool desktopTakesIt = true;
    setShellLaunchSink([&](const ShellLaunch& launch) {
        launches.append(launch);
        return desktopTakesIt;
    });
    m_window->mnFld_Click(0);
    ASSERT_EQ(launches.size(), 1);
    EXPECT_EQ(launches[0].url, QUrl::fromLocalFile(QDir::fromNativeSeparators(workFolder())));
    EXPECT_EQ(m_window->lbMsg()->text(), QString());
    // A desktop with no program to open folders: the status line says so.
    desktopTakesIt = false;
    m_window->mnFld_Click(0);
    setShellLaunchSink({});
    EXPECT_EQ(m_window->lbMsg()->text(), workFolder() + " を開けません");
}

TEST_F(FolderMenu, AnotherFolderIsListedWithNothingSelectedOrShownAndSavedAtExit) {
    writePng(workFolder() + "/001.wmf", Qt::red);
    m_window->ReList();
    m_window->File1()->setListIndex(0);
    const QString other = test::nativePath(m_root.filePath("Other"));
    QDir().mkpath(other);
    writePng(other + "/001.wmf", Qt::blue, QSize(40, 40));  // a namesake of the shown file
    test::writeFileBytes(other + "/005.WMF", "x");
    answerPicker(other);
    m_window->mnFld_Click(1);
    EXPECT_EQ(m_pickerStart, workFolder());
    EXPECT_EQ(m_window->sWkFld(), other);
    EXPECT_EQ(listed(), (QStringList{"001.wmf", "005.WMF"}));
    // The window is activated again as the picker closes: the old folder's file does not
    // select its namesake, and nothing of the old folder is left to copy.
    m_window->Form_Activate();
    EXPECT_EQ(m_window->File1()->listIndex(), -1);
    EXPECT_FALSE(m_window->pcImg()->picture());
    EXPECT_EQ(m_window->lbMsg()->text(), QString());
    QGuiApplication::clipboard()->setText("held");
    m_window->mnFile_Click(1);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "held");
    // The watch belongs to the new folder: the next tick refreshes nothing, so a selection
    // made meanwhile stays.
    m_window->File1()->setListIndex(1);
    m_window->Timer1_Timer();
    EXPECT_EQ(m_window->File1()->listIndex(), 1);
    m_window->mnFile_Click(4);
    EXPECT_TRUE(test::readFileBytes(userXml()).contains(("<FOLD>" + other + "</FOLD>").toUtf8()));
}

TEST_F(FolderMenu, TheSameFolderOrACancelChangesNothing) {
    answerPicker(workFolder());
    m_window->mnFld_Click(1);
    EXPECT_EQ(m_window->sWkFld(), workFolder());
    answerPicker(QString());  // cancelled
    m_window->mnFld_Click(1);
    EXPECT_EQ(m_window->sWkFld(), workFolder());
    EXPECT_EQ(m_window->File1()->path(), workFolder());
}

TEST_F(FolderMenu, AFolderDifferingOnlyInLetterCaseIsTakenAsReturned) {
    const QString upper = test::nativePath(m_root.filePath("D/TEMP"));
    QDir().mkpath(upper);
    answerPicker(upper);
    m_window->mnFld_Click(1);
    EXPECT_EQ(m_window->sWkFld(), upper);
}

TEST_F(FolderMenu, AThumbnailPickSelectsPreviewsAndCopiesThePickedDrawing) {
    writePng(workFolder() + "/001.wmf", Qt::red);
    m_window->ReList();
    m_window->File1()->setListIndex(0);
    // Another folder whose 001.wmf is another drawing; the window is activated again after
    // the picker, and again when the chooser closes.
    const QString other = test::nativePath(m_root.filePath("Other"));
    QDir().mkpath(other);
    writePng(other + "/001.wmf", Qt::blue, QSize(40, 40));
    writePng(other + "/002.wmf", Qt::green, QSize(50, 50));
    answerPicker(other);
    m_window->mnFld_Click(1);
    m_window->Form_Activate();
    whenChooserOpen([](spTmS& chooser) {
        ThumbnailGrid& grid = chooser.IkThumb().grid();
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, grid.cellRect(0).center());
    });
    m_window->mnFld_Click(3);
    m_window->Form_Activate();
    EXPECT_EQ(m_window->File1()->fileName(), "001.wmf");
    EXPECT_EQ(m_window->sCurFL(), "001.wmf");
    EXPECT_EQ(m_window->lbMsg()->text(), other + QDir::separator() + "001.wmf を表示しています");
    ASSERT_TRUE(m_window->pcImg()->picture());
    EXPECT_EQ(m_window->pcImg()->picture()->size(), QSize(40, 40));
    m_window->mnFile_Click(1);
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(40, 40));

    // The chooser starts on the selected file; the keys move and pick, and picking the
    // file that is shown shows it again.
    int startedOn = -1;
    whenChooserOpen([&](spTmS& chooser) {
        ThumbnailGrid& grid = chooser.IkThumb().grid();
        startedOn = grid.currentIndex();
        QTest::keyClick(&grid, Qt::Key_Right);
        QTest::keyClick(&grid, Qt::Key_Left);
        QTest::keyClick(&grid, Qt::Key_Enter);
    });
    m_window->mnFld_Click(3);
    EXPECT_EQ(startedOn, 0);
    EXPECT_EQ(m_window->File1()->fileName(), "001.wmf");
    EXPECT_EQ(m_window->lbMsg()->text(), other + QDir::separator() + "001.wmf を表示しています");
}

TEST_F(FolderMenu, ClosingTheChooserWithoutAPickChangesNothing) {
    writePng(workFolder() + "/001.wmf", Qt::red);
    m_window->ReList();
    whenChooserOpen([](spTmS& chooser) { chooser.close(); });
    m_window->mnFld_Click(3);
    EXPECT_EQ(m_window->File1()->listIndex(), -1);
    EXPECT_FALSE(m_window->pcImg()->picture());
}

}  // namespace
}  // namespace plume
