// The shell operations and the start-up on Windows: real shortcut files read back through
// IShellLink, the executable's path as Windows reads it from the registry, the user data
// folder that "UserData.ini" names with a drive letter and backslashes.
#include "environment/YIni.h"
#include "platform/base/Cp932.h"
#include "platform/base/Paths.h"
#include "platform/desktop/ProgramPaths.h"
#include "platform/desktop/ShellFolders.h"
#include "platform/desktop/UserRegistry.h"
#include "platform/desktop/Usr.h"
#include "support/ShellFixture.h"
#include "support/TestSupport.h"
#include "windows/ShellLink.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace plume {
namespace {

using test::ShellWithSendTo;

class WindowsShell : public test::ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        QDir().mkpath(path("usr/Wrk"));
        QDir().mkpath(path("prog/help"));
        QDir().mkpath(path("sendto"));
    }
};

TEST_F(WindowsShell, HelpHtmViewAndSendToWriteShellLinksToTheirTargets) {
    m_ini.W_Help(QStringLiteral("Plume"));
    EXPECT_EQ(test::shellLinkPath(path("usr/plume_help.lnk")), path("prog/help/plume.htm"));
    ASSERT_EQ(m_shell.launches().size(), 1u);
    EXPECT_EQ(QDir::toNativeSeparators(m_shell.launches()[0].url.toLocalFile()),
              path("prog/help/plume.htm"));

    m_ini.W_HtmView(path("page.html"));
    EXPECT_EQ(test::shellLinkPath(path("usr/Wrk/htm_view.lnk")), path("page.html"));
    EXPECT_EQ(m_shell.launches().size(), 2u);

    ShellWithSendTo shell(path("sendto"));
    shell.W_SendTo();
    const QString program = path("prog/plume.exe");
    EXPECT_EQ(test::shellLinkPath(path("sendto/plume.lnk")), program);
    ASSERT_EQ(m_messages.texts().size(), 1);
    EXPECT_EQ(m_messages.texts()[0],
              program + " のｼｮｰﾄｶｯﾄを " + path("sendto") + " に作成しました");
}

TEST_F(WindowsShell, HtmViewKeepsAWebAddressInAnInternetShortcutAndOpensThatFile) {
    const QString address = QStringLiteral("https://example.org/a?b=1&c=%20");
    const QString shortcut = path("usr/Wrk/htm_view.url");
    m_ini.W_HtmView(address);
    EXPECT_EQ(test::readFileBytes(shortcut),
              "[InternetShortcut]\r\nURL=" + address.toLatin1() + "\r\n");
    EXPECT_EQ(test::internetShortcutUrl(shortcut), address);
    EXPECT_FALSE(QFileInfo::exists(path("usr/Wrk/htm_view.lnk")));
    // The shell is handed the shortcut file, which it opens with the browser.
    ASSERT_EQ(m_shell.launches().size(), 1u);
    EXPECT_EQ(QDir::toNativeSeparators(m_shell.launches()[0].url.toLocalFile()), shortcut);

    // Beyond ASCII the address is written encoded; a later call replaces the file.
    m_ini.W_HtmView(QStringLiteral("https://例え.jp/見本 1"));
    EXPECT_EQ(test::internetShortcutUrl(shortcut), "https://xn--r8jz45g.jp/%E8%A6%8B%E6%9C%AC%201");
    EXPECT_EQ(m_shell.launches().size(), 2u);
}

TEST_F(WindowsShell, TheStartRecordsTheExecutablesFullPathInTheRegistry) {
    const QString key = test::kSettingsKey + "TovariTools\\Path";
    const std::optional<QString> before = test::registryString(key, "plume");
    test::writeFileBytes(path("prog/UserData.ini"), "%app%");
    m_ini.W_UserData(0);
    EXPECT_EQ(test::registryString(key, "plume"), path("prog/plume.exe"));
    EXPECT_EQ(Usr::sUsrFld, path("prog/usData/"));
    EXPECT_TRUE(m_messages.texts().isEmpty());
    // Whatever this user had there before is put back.
    if (before)
        SaveSetting("TovariTools", "Path", "plume", *before);
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key.toStdWString().c_str(), L"plume");
}

TEST_F(WindowsShell, UserDataIniNamesFoldersWithDriveLettersBackslashesAndAnyLetters) {
    const QString ini = path("prog/UserData.ini");
    const QString appData = specialFolderPath(kCsidlAppData);
    ASSERT_EQ(appData.mid(1, 2), ":\\");
    const struct {
        QByteArray content;
        QString folder;
    } rows[] = {
        {"%APP%", path("prog/usData/")},
        {"%usr%", appData + "\\Tovari\\plume\\"},
        {"%Doc", specialFolderPath(kCsidlPersonal) + "\\Tovari\\plume\\"},
        // A folder as written, in the system's letter case or not: Windows takes it lower-cased.
        {encodeCp932(path("Data/MixedCase")), path("data/mixedcase/").toLower()},
        // Written with "/": every path made from it has the system's separators.
        {encodeCp932(m_root.filePath("Data/MixedCase")), path("data/mixedcase/").toLower()},
        // A name CP932 cannot hold, written as UTF-8.
        {path("한글 αβ").toUtf8(), path("한글 αβ/").toLower()},
    };
    QDir().mkpath(path("Data/MixedCase"));
    QDir().mkpath(path("한글 αβ"));
    for (const auto& row : rows) {
        test::writeFileBytes(ini, row.content);
        m_ini.W_UserData(0);
        EXPECT_EQ(Usr::sUsrFld, row.folder) << row.content.constData();
        EXPECT_TRUE(QDir(Usr::sUsrFld).exists()) << row.content.constData();
    }
    EXPECT_TRUE(m_messages.texts().isEmpty());

    test::writeFileBytes(ini, encodeCp932(path("Not\\There")));
    m_ini.W_UserData(0);
    ASSERT_EQ(m_messages.texts().size(), 1);
    EXPECT_EQ(m_messages.texts()[0], "ﾌｫﾙﾀﾞ " + path("not\\there").toLower() +
                                         " が見つかりません\rﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは　" + appData +
                                         "\\Tovari\\plume\\ を使用します");
}

}  // namespace
}  // namespace plume
