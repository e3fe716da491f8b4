// The shell operations of yIni: help, a page in the browser, the "Send to" shortcut and a
// folder in the file manager, observed through the shell-launch seam.
#include "platform/desktop/Usr.h"
#include "environment/YIni.h"
#include "platform/base/Paths.h"
#include "platform/desktop/ProgramPaths.h"
#include "platform/desktop/ShellLauncher.h"
#include "platform/desktop/Shortcut.h"
#include "support/LaunchCapture.h"
#include "support/ShellFixture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <vector>

namespace plume {
namespace {

using test::LaunchCapture;
using test::ShellWithSendTo;

// The fixture's Linux paths, with "/".
class ShellFixture : public test::ShellFixture {
  protected:
    QString helpShortcut() const { return Usr::sUsrFld + "plume_help.lnk"; }
    QString helpAddress(const QString& page) const {
        return QUrl::fromLocalFile(path("prog") + "/help/" + page).toString();
    }
};

TEST_F(ShellFixture, HelpWritesItsShortcutAndOpensThePageInTheHelpFolder) {
    m_ini.W_Help(QStringLiteral("plume.htm"));

    EXPECT_EQ(ShellServices::helpBaseAddress(), helpAddress(""));
    EXPECT_TRUE(ShellServices::helpBaseAddress().endsWith(u'/'));
    EXPECT_EQ(readShortcutTarget(helpShortcut()), helpAddress("plume.htm"));
    ASSERT_EQ(m_shell.launches().size(), 1u);
    const ShellLaunch& launch = m_shell.launches()[0];
    EXPECT_EQ(launch.verb, ShellVerb::Open);
    EXPECT_EQ(launch.ownerWindow, m_ini.nWhnd());
    EXPECT_EQ(launch.url.toString(), helpAddress("plume.htm"));
    EXPECT_EQ(launch.url.toLocalFile(), path("prog") + "/help/plume.htm");
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(ShellFixture, HelpOfAnInstalledProgramIsUnderShareUnlessAFolderIsBesideIt) {
    // PREFIX/bin/plume and PREFIX/share/plume/help, as cmake --install lays them out.
    QDir().mkpath(path("prefix/bin"));
    QDir().mkpath(path("prefix/share/plume/help"));
    setExecutableOverrideForTesting(path("prefix/bin"), QStringLiteral("plume"));
    m_ini.W_Help(QStringLiteral("plume.htm"));
    ASSERT_EQ(m_shell.launches().size(), 1u);
    EXPECT_EQ(m_shell.launches()[0].url.toLocalFile(), path("prefix/share/plume/help/plume.htm"));
    EXPECT_TRUE(ShellServices::helpBaseAddress().endsWith(u'/'));

    QDir().mkpath(path("prefix/bin/help"));
    EXPECT_EQ(ShellServices::helpBaseAddress(),
              QUrl::fromLocalFile(path("prefix/bin/help/")).toString());
}

TEST_F(ShellFixture, HelpLowerCasesThePageAndAddsHtmOnlyWhenItHasNoDot) {
    const struct {
        QString job;
        QString page;
    } rows[] = {
        {"plume.htm", "plume.htm"},
        {"Plume", "plume.htm"},
        {"a.txt", "a.txt"},
        {"Guide.HTML", "guide.html"},
    };
    for (const auto& row : rows) {
        m_ini.W_Help(row.job);
        EXPECT_EQ(readShortcutTarget(helpShortcut()), helpAddress(row.page))
            << row.job.toStdString();
        ASSERT_FALSE(m_shell.launches().empty());
        EXPECT_EQ(m_shell.launches().back().url.toString(), helpAddress(row.page));
    }
    // Each call rewrote the same shortcut and opened it once.
    EXPECT_EQ(m_shell.launches().size(), std::size(rows));
    EXPECT_EQ(QDir(path("usr")).entryList(QDir::Files), QStringList{"plume_help.lnk"});
}

TEST_F(ShellFixture, HelpWithoutAUserDataFolderWritesAndOpensNothing) {
    Usr::sUsrFld = withTrailingSeparator(path("gone"));
    m_ini.W_Help(QStringLiteral("plume.htm"));
    EXPECT_TRUE(m_shell.launches().empty());
    EXPECT_FALSE(QFileInfo::exists(path("gone")));

    // Before the user data folder is known the shortcut path would be relative, landing in
    // whatever folder the program runs in: refused the same way.
    Usr::sUsrFld.clear();
    m_ini.W_Help(QStringLiteral("plume.htm"));
    EXPECT_TRUE(m_shell.launches().empty());
    EXPECT_FALSE(QFileInfo::exists("plume_help.lnk"));
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(ShellFixture, HtmViewNeedsTheWrkFolderAndPassesTheAddressUnchanged) {
    const QString address = QStringLiteral("https://example.org/見本?a=1&b=%20");
    m_ini.W_HtmView(address);
    EXPECT_TRUE(m_shell.launches().empty());
    EXPECT_FALSE(QFileInfo::exists(path("usr/Wrk")));

    QDir().mkpath(path("usr/Wrk"));
    m_ini.W_HtmView(address);
    EXPECT_EQ(readShortcutTarget(path("usr/Wrk/htm_view.lnk")), address);
    ASSERT_EQ(m_shell.launches().size(), 1u);
    EXPECT_EQ(m_shell.launches()[0].url, QUrl(address));

    // A path is opened as a file.
    m_ini.W_HtmView(path("page.html"));
    ASSERT_EQ(m_shell.launches().size(), 2u);
    EXPECT_EQ(m_shell.launches()[1].url.toLocalFile(), path("page.html"));
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(ShellFixture, SendToOnLinuxWritesNothingAndShowsNothing) {
    m_ini.W_SendTo();
    EXPECT_TRUE(m_messages.texts().isEmpty());
    EXPECT_TRUE(m_shell.launches().empty());
    EXPECT_TRUE(QDir(path("usr")).isEmpty());
    EXPECT_EQ(m_ini.FsGtSpFld(9), QString());
}

TEST_F(ShellFixture, SendToConfirmsOnlyAShortcutThatWasSaved) {
    QDir().mkpath(path("sendto"));
    ShellWithSendTo shell(path("sendto"));
    shell.W_SendTo();
    const QString program = path("prog") + "/plume" + executableSuffix();
    EXPECT_EQ(readShortcutTarget(path("sendto/plume.lnk")), program);
    ASSERT_EQ(m_messages.texts().size(), 1);
    EXPECT_EQ(m_messages.texts()[0],
              program + " のｼｮｰﾄｶｯﾄを " + path("sendto") + " に作成しました");
    EXPECT_TRUE(m_shell.launches().empty());

    m_messages.clear();
    ShellWithSendTo missing(path("no-such-folder"));
    missing.W_SendTo();
    EXPECT_TRUE(m_messages.texts().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path("no-such-folder")));
}

TEST_F(ShellFixture, ExpFdExploresAnExistingFolderAndOpensAnyPathDirectly) {
    m_ini.W_ExpFd(QString(), false);
    m_ini.W_ExpFd(QString(), true);
    m_ini.W_ExpFd(path("missing"), false);
    EXPECT_TRUE(m_shell.launches().empty());

    m_ini.W_ExpFd(path("usr"), false);
    m_ini.W_ExpFd(path("missing"), true);
    ASSERT_EQ(m_shell.launches().size(), 2u);
    EXPECT_EQ(m_shell.launches()[0].verb, ShellVerb::Explore);
    EXPECT_EQ(m_shell.launches()[0].url.toLocalFile(), path("usr"));
    EXPECT_EQ(m_shell.launches()[1].verb, ShellVerb::Open);
    EXPECT_EQ(m_shell.launches()[1].url.toLocalFile(), path("missing"));

    // A file is no folder to explore.
    test::writeFileBytes(path("file.txt"), "x");
    m_ini.W_ExpFd(path("file.txt"), false);
    EXPECT_EQ(m_shell.launches().size(), 2u);
}

TEST(ShellLauncher, WebAddressesStayAndPathsBecomeFileAddresses) {
    EXPECT_EQ(urlForTarget("https://example.org/a/"), QUrl("https://example.org/a/"));
    EXPECT_EQ(urlForTarget("file:///tmp/x.htm"), QUrl("file:///tmp/x.htm"));
    EXPECT_EQ(urlForTarget("/tmp/a b#c.htm").toLocalFile(), "/tmp/a b#c.htm");
    // A drive letter is no scheme.
    EXPECT_TRUE(urlForTarget("C:\\Work\\x.wmf").isLocalFile());
}

TEST(ShellLauncher, AShortcutIsFollowedAndABrokenOneOpensNothing) {
    QTemporaryDir dir;
    LaunchCapture shell;
    const QString good = dir.filePath("good.lnk");
    ASSERT_TRUE(writeShortcut(good, "https://example.org/"));
    EXPECT_TRUE(shellExecute(7, ShellVerb::Open, good));
    test::writeFileBytes(dir.filePath("bad.lnk"), "not a link entry");
    EXPECT_FALSE(shellExecute(7, ShellVerb::Open, dir.filePath("bad.lnk")));
    EXPECT_FALSE(shellExecute(7, ShellVerb::Open, dir.filePath("missing.lnk")));
    EXPECT_FALSE(shellExecute(7, ShellVerb::Open, QString()));
    ASSERT_EQ(shell.launches().size(), 1u);
    EXPECT_EQ(shell.launches()[0].url, QUrl("https://example.org/"));
    EXPECT_EQ(shell.launches()[0].ownerWindow, 7);
}

TEST(Shortcut, KeepsAnyTargetThroughTheEntryEscapesAndReplacesTheOldFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath("x.lnk");
    const QString targets[] = {
        " leading blank and trailing \\",
        "C:\\Program Files\\plume.exe",
        "line\nbreak\rand\ttab",
        "https://example.org/ヘルプ/plume.htm",
    };
    for (const QString& target : targets) {
        ASSERT_TRUE(writeShortcut(file, target));
        EXPECT_EQ(readShortcutTarget(file), target);
    }
    const QByteArray text = test::readFileBytes(file);
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\nType=Link\nName=x\nURL="));
    EXPECT_EQ(text.count('\n'), 4);
}

TEST(Shortcut, RefusesRelativePathsMissingFoldersAndForeignFiles) {
    QTemporaryDir dir;
    EXPECT_FALSE(writeShortcut("relative.lnk", "x"));
    EXPECT_FALSE(QFileInfo::exists("relative.lnk"));
    EXPECT_FALSE(writeShortcut(dir.filePath("no/such.lnk"), "x"));
    EXPECT_FALSE(writeShortcut(QString(), "x"));

    const QString other = dir.filePath("other.lnk");
    test::writeFileBytes(other, "[Desktop Entry]\nType=Application\nURL=x\n");
    EXPECT_EQ(readShortcutTarget(other), std::nullopt);
    test::writeFileBytes(other, "[Other]\nType=Link\nURL=x\n");
    EXPECT_EQ(readShortcutTarget(other), std::nullopt);
    test::writeFileBytes(other, "[Desktop Entry]\r\nType=Link\r\nURL=https://a/\r\n");
    EXPECT_EQ(readShortcutTarget(other), QString("https://a/"));
    // Far larger than any link entry: not read.
    test::writeFileBytes(other, "[Desktop Entry]\nType=Link\nURL=" + QByteArray(2 << 20, 'a'));
    EXPECT_EQ(readShortcutTarget(other), std::nullopt);
}

}  // namespace
}  // namespace plume
