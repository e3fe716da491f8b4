// The folder menu: open the working folder, change it through the picker, choose a file
// from large thumbnails.
#include "environment/BrowseFolder.h"
#include "main_window/MainWindowFixture.h"
#include "main_window/fmMain.h"
#include "platform/FileListBox.h"
#include "platform/PreviewSurface.h"
#include "platform/ShellLauncher.h"
#include "platform/ThumbnailGrid.h"
#include "platform/ThumbnailGridFacade.h"
#include "thumbnail_window/spTmS.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace plume {
namespace {

void writePng(const QString& path, QColor color) {
    QImage image(QSize(30, 20), QImage::Format_RGB32);
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
    setShellLaunchSink([&](const ShellLaunch& launch) { launches.append(launch); });
    m_window->mnFld_Click(0);
    setShellLaunchSink({});
    ASSERT_EQ(launches.size(), 1);
    EXPECT_EQ(launches[0].url, QUrl::fromLocalFile(workFolder()));
}

TEST_F(FolderMenu, AnotherFolderIsListedAtOnceKeptThePreviewAndSavedAtExit) {
    writePng(workFolder() + "/001.wmf", Qt::red);
    m_window->ReList();
    m_window->File1()->setListIndex(0);
    const PicturePtr shown = m_window->pcImg()->picture();
    const QString other = m_root.filePath("Other");
    QDir().mkpath(other);
    test::writeFileBytes(other + "/005.WMF", "x");
    test::writeFileBytes(other + "/006.wmf", "x");
    answerPicker(other);
    m_window->mnFld_Click(1);
    EXPECT_EQ(m_pickerStart, workFolder());
    EXPECT_EQ(m_window->sWkFld(), other);
    EXPECT_EQ(listed(), (QStringList{"005.WMF", "006.wmf"}));
    EXPECT_EQ(m_window->File1()->listIndex(), -1);
    EXPECT_EQ(m_window->pcImg()->picture(), shown);
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
    const QString upper = m_root.filePath("D/TEMP");
    QDir().mkpath(upper);
    answerPicker(upper);
    m_window->mnFld_Click(1);
    EXPECT_EQ(m_window->sWkFld(), upper);
}

TEST_F(FolderMenu, AThumbnailPickSelectsAndPreviewsTheFile) {
    writePng(workFolder() + "/001.wmf", Qt::red);
    writePng(workFolder() + "/002.wmf", Qt::blue);
    m_window->ReList();
    whenChooserOpen([](spTmS& chooser) {
        ThumbnailGrid& grid = chooser.IkThumb().grid();
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, grid.cellRect(0).center());
    });
    m_window->mnFld_Click(3);
    EXPECT_EQ(m_window->File1()->fileName(), "001.wmf");
    EXPECT_EQ(m_window->sCurFL(), "001.wmf");
    EXPECT_EQ(m_window->lbMsg()->text(), workFolder() + "/001.wmf を表示しています");
    ASSERT_TRUE(m_window->pcImg()->picture());
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
