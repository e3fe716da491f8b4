// The habits beyond the menus, used as a user uses them on a desktop with a window manager and
// a home folder named in Korean: Ctrl+V imports what another program offers, Delete moves the
// drawing to the freedesktop.org trash, and the clipboard watch keeps clippings by itself,
// also when the program that holds the clipboard hangs, takes it again and again, or offers
// garbage behind a sound header.
#include "Desktop.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <csignal>

namespace plume {
namespace {

using test::Desktop;
using test::WindowManager;

// A point of the preview, in pixels of the main window's client area.
constexpr int kPreviewX = 300, kPreviewY = 150;

const QString kXEmf = QStringLiteral("image/x-emf");

QByteArray drawing(const char* capture) {
    return test::readFileBytes(test::sharedDataDir() + "/clipboard-captures/" + capture);
}

QByteArray content(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Waits until the file holds `bytes`.
bool waitForContent(const QString& path, const QByteArray& bytes) {
    const QDeadlineTimer deadline(20000);
    while (content(path) != bytes && !deadline.hasExpired()) QThread::msleep(50);
    return content(path) == bytes;
}

class HabitsUse : public ::testing::Test {
  protected:
    void SetUp() override {
        QString why;
        if (!m_desktop.startForUse(WindowManager::Openbox, QStringLiteral("한글"), &why))
            GTEST_SKIP() << why.toStdString();
    }
    QString work(const QString& name) const { return m_desktop.defaultWorkFolder() + "/" + name; }
    // Turns the clipboard watch on with the folder menu's check item, last in the menu.
    void turnWatchOn() {
        const int before = m_desktop.visibleWindows();
        m_desktop.openFolderMenu();
        m_desktop.keys({"Up", "Return"});
        ASSERT_TRUE(m_desktop.waitForWindows(before, true)) << "the folder menu stayed open";
    }
    // The folder menu opens and closes again: the window answers.
    bool menuOpensAndCloses() {
        const int before = m_desktop.visibleWindows();
        m_desktop.openFolderMenu();
        if (!m_desktop.waitForWindows(before + 1)) return false;
        m_desktop.keys({"Escape"});
        return m_desktop.waitForWindows(before, true);
    }

    Desktop m_desktop;
    const QByteArray m_a = drawing("libreoffice-draw-7.4.emf");
    const QByteArray m_b = drawing("inkscape-1.2.emf");
};

TEST_F(HabitsUse, CtrlVImportsAndDeleteMovesTheDrawingToTheTrash) {
    const QString trash = m_desktop.home() + "/.local/share/Trash";
    m_desktop.runOnce([&] {
        m_desktop.offer(kXEmf, m_a);
        m_desktop.click(kPreviewX, kPreviewY);
        m_desktop.keys({"ctrl+v"});
        ASSERT_TRUE(waitForContent(work("001.wmf"), m_a)) << "Ctrl+V imported nothing";

        // The imported drawing is selected: Delete moves it to the trash, no question asked.
        m_desktop.keys({"Delete"});
        ASSERT_TRUE(waitForContent(trash + "/files/001.wmf", m_a)) << "nothing in the trash";
        EXPECT_FALSE(QFile::exists(work("001.wmf")));
        QMap<QString, QString> keys;
        for (const QByteArray& line : content(trash + "/info/001.wmf.trashinfo").split('\n')) {
            const int eq = line.indexOf('=');
            if (eq > 0)
                keys[QString::fromLatin1(line.left(eq))] = QString::fromLatin1(line.mid(eq + 1));
        }
        // The original place, escaped as in URLs (the home folder's name is Korean).
        EXPECT_EQ(QFile::decodeName(QByteArray::fromPercentEncoding(keys["Path"].toLatin1())),
                  work("001.wmf"));
        EXPECT_TRUE(QDateTime::fromString(keys["DeletionDate"], Qt::ISODate).isValid());
    });
}

TEST_F(HabitsUse, TheClipboardWatchImportsNewDrawingsButNotTheSameBytesAgain) {
    m_desktop.runOnce([&] {
        turnWatchOn();
        m_desktop.offer(kXEmf, m_a);
        EXPECT_TRUE(waitForContent(work("001.wmf"), m_a)) << "the first drawing was not kept";
        m_desktop.offer(kXEmf, m_b);
        EXPECT_TRUE(waitForContent(work("002.wmf"), m_b)) << "the second drawing was not kept";
        // The same bytes offered anew: Plume reads them and keeps nothing.
        m_desktop.offer(kXEmf, m_b);
        ASSERT_TRUE(m_desktop.waitUntilOfferRead()) << "Plume did not look at the third offer";
        m_desktop.offer(kXEmf, m_a);
        EXPECT_TRUE(waitForContent(work("003.wmf"), m_a)) << "the fourth offer was not kept";
        EXPECT_FALSE(QFile::exists(work("004.wmf")));
        // The clipboard keeps what the other program offered.
        EXPECT_EQ(m_desktop.clipboard(kXEmf), m_a);
    });
    const QByteArray settings = content(m_desktop.home() + "/.local/share/Tovari/plume/User.xml");
    EXPECT_TRUE(settings.contains("<WATCH>True</WATCH>"));
}

TEST_F(HabitsUse, CtrlVWhileTheClipboardsOwnerHangsLeavesTheWindowAnswering) {
    m_desktop.runOnce([&] {
        m_desktop.offer(kXEmf, m_a);
        QProcess& owner = m_desktop.lastOffer();
        ASSERT_TRUE(test::XvfbDisplay::sendSignal(owner, SIGSTOP));
        m_desktop.click(kPreviewX, kPreviewY);
        m_desktop.keys({"ctrl+v"});
        // While Plume waits for the owner, its menus open and close.
        EXPECT_TRUE(menuOpensAndCloses()) << "the window did not answer while it waited";
        // The owner wakes and answers the question still pending: the drawing comes in.
        ASSERT_TRUE(test::XvfbDisplay::sendSignal(owner, SIGCONT));
        EXPECT_TRUE(waitForContent(work("001.wmf"), m_a)) << "the late answer was not taken";
    });
}

TEST_F(HabitsUse, TheWatchOutlastsAnOwnerThatTakesTheClipboardAgainAndAgainWithoutAnswering) {
    m_desktop.runOnce([&] {
        turnWatchOn();
        QProcess owner;
        owner.setProcessEnvironment(m_desktop.display().environment());
        owner.start(QStringLiteral(SILENTOWNER_BINARY), {"100"});
        ASSERT_TRUE(owner.waitForReadyRead(20000)) << "silentowner did not start";
        QByteArray said;
        const auto count = [&](const char* what) {
            said += owner.readAllStandardError();
            return said.count(what);
        };
        EXPECT_TRUE(menuOpensAndCloses()) << "the window did not answer";
        // Thirty times the owner took the clipboard; Plume asked it far fewer times.
        const QDeadlineTimer deadline(60000);
        while (count("took\n") < 30 && !deadline.hasExpired()) owner.waitForReadyRead(100);
        EXPECT_GE(count("took\n"), 30);
        EXPECT_LE(count("asked\n"), 6) << said.toStdString();
        EXPECT_TRUE(menuOpensAndCloses()) << "the window did not answer";

        // Another program takes the clipboard: its drawing is kept without waiting the owner
        // out.
        owner.closeWriteChannel();
        EXPECT_TRUE(owner.waitForFinished(20000));
        m_desktop.offer(kXEmf, m_a);
        EXPECT_TRUE(waitForContent(work("001.wmf"), m_a)) << "the next drawing was not kept";
    });
}

TEST_F(HabitsUse, TheWatchKeepsNothingOfGarbageBehindASoundEmfHeader) {
    m_desktop.runOnce([&] {
        turnWatchOn();
        m_desktop.offer(kXEmf, test::emfHeaderBeforeGarbage(200 * 1024 * 1024));
        ASSERT_TRUE(m_desktop.waitUntilOfferRead()) << "Plume did not look at the offer";
        m_desktop.offer(kXEmf, m_a);
        EXPECT_TRUE(waitForContent(work("001.wmf"), m_a)) << "the drawing after was not kept";
        EXPECT_FALSE(QFile::exists(work("002.wmf")));
    });
}

}  // namespace
}  // namespace plume
