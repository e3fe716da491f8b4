// The folder picker: the start folder it is given, what it hands back, and the real dialog.
#include "platform/desktop/Usr.h"
#include "environment/BrowseFolder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>

namespace plume {
namespace {

class FolderPicker : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_TRUE(QDir().mkpath(existing()));
        Usr::oFso.reset();
    }
    void TearDown() override {
        setFolderDialogAnswer({});
        Usr::oFso.reset();
    }
    // With the system's separators, as the dialog gives folders back.
    QString existing() const { return QDir::toNativeSeparators(m_root.filePath("Drawings")); }

    // Answers the next dialogs with `answer` and records what they were asked.
    void answerWith(const QString& answer) {
        setFolderDialogAnswer([this, answer](const FolderDialogRequest& request) {
            m_requests.append(request);
            return answer;
        });
    }

    QTemporaryDir m_root;
    QList<FolderDialogRequest> m_requests;
};

TEST_F(FolderPicker, AnExistingStartFolderIsShownAndConfirmingItReturnsIt) {
    answerWith(existing());
    QString s = existing();
    Usr::W_BrwFld(s);
    ASSERT_EQ(m_requests.size(), 1);
    EXPECT_EQ(m_requests[0].caption, "ﾌｫﾙﾀﾞの指定");
    EXPECT_EQ(m_requests[0].startFolder, existing());
    EXPECT_EQ(s, existing());
}

TEST_F(FolderPicker, AMissingStartFolderIsClearedBeforeTheDialogOpens) {
    answerWith(QString());
    QString s = m_root.filePath("gone");
    Usr::W_BrwFld(s);
    ASSERT_EQ(m_requests.size(), 1);
    EXPECT_EQ(m_requests[0].startFolder, "");
    EXPECT_EQ(s, "");
}

TEST_F(FolderPicker, AnEmptyStartFolderOpensTheDialogAtItsDefaultAndTakesTheChoice) {
    answerWith(existing() + "/");
    QString s;
    Usr::W_BrwFld(s);
    ASSERT_EQ(m_requests.size(), 1);
    EXPECT_EQ(m_requests[0].startFolder, "");
    EXPECT_EQ(s, existing());  // no separator at the end
}

TEST_F(FolderPicker, CancelGivesTheEmptyStringWhateverTheStartFolder) {
    answerWith(QString());
    QString s = existing();
    Usr::W_BrwFld(s);
    EXPECT_EQ(s, "");
}

TEST_F(FolderPicker, TheRootKeepsItsSeparatorAndOtherPathsAreCleaned) {
    EXPECT_EQ(normaliseChosenFolder(QDir::rootPath()), QDir::toNativeSeparators(QDir::rootPath()));
    EXPECT_EQ(normaliseChosenFolder(existing() + "//"), QDir::toNativeSeparators(existing()));
    EXPECT_EQ(normaliseChosenFolder(existing() + "/../Drawings"),
              QDir::toNativeSeparators(existing()));
    // What is no folder of the file system (gone, or a file) gives no path at all.
    EXPECT_EQ(normaliseChosenFolder(m_root.filePath("gone")), "");
    test::writeFileBytes(m_root.filePath("file.wmf"), "x");
    EXPECT_EQ(normaliseChosenFolder(m_root.filePath("file.wmf")), "");

    answerWith(QDir::rootPath());
    QString s = existing();
    Usr::W_BrwFld(s);
    EXPECT_EQ(s, QDir::toNativeSeparators(QDir::rootPath()));
}

// The real dialog, answered from inside its own modal loop once it is up.
void whenDialogOpens(std::function<void(QFileDialog*)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            answer(dialog);
        }
    });
    poll->start(10);
}

TEST_F(FolderPicker, TheRealDialogCarriesTheCaptionAndStartFolderAndCancelGivesEmpty) {
    QString caption;
    QString shownFolder;
    whenDialogOpens([&](QFileDialog* dialog) {
        caption = dialog->windowTitle();
        shownFolder = QDir::toNativeSeparators(dialog->directory().absolutePath());
        dialog->reject();
    });
    QString s = existing();
    Usr::W_BrwFld(s);
    EXPECT_EQ(caption, "ﾌｫﾙﾀﾞの指定");
    EXPECT_EQ(shownFolder, existing());
    EXPECT_EQ(s, "");
}

TEST_F(FolderPicker, TheRealDialogHandsBackTheFolderTheUserAccepts) {
    ASSERT_TRUE(QDir().mkpath(existing() + "/Sub"));
    whenDialogOpens([&](QFileDialog* dialog) {
        // Typed into the name field and confirmed with Enter, as a user would.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (!name) return dialog->reject();
        name->setText(existing() + "/Sub");
        QTest::keyClick(name, Qt::Key_Return);
    });
    QString s = existing();
    Usr::W_BrwFld(s);
    EXPECT_EQ(s, QDir::toNativeSeparators(existing() + "/Sub"));
}

}  // namespace
}  // namespace plume
