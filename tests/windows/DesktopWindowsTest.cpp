// The desktop pieces on Windows, checked against Windows' own view of what they made: the
// registry read with RegGetValue, shortcuts read with IShellLink, the folder after a delete.
#include "platform/base/PlumeError.h"
#include "platform/desktop/ComWindows.h"
#include "platform/desktop/ShellFolders.h"
#include "platform/desktop/ShellLauncher.h"
#include "platform/desktop/Shortcut.h"
#include "platform/desktop/Trash.h"
#include "platform/desktop/UserRegistry.h"
#include "platform/widgets/JapaneseInterface.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>
#include <vector>

#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

namespace plume {
namespace {

const QString kSettingsKey = QStringLiteral("Software\\VB and VBA Program Settings\\");

std::wstring wide(const QString& text) {
    return text.toStdWString();
}

// The target a shortcut file holds, as the shell itself reads it.
QString shellLinkPath(const QString& file) {
    const ComScope com;
    ComPointer<IShellLinkW> link;
    ComPointer<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.out())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.out())) ||
        FAILED(persist->Load(wide(QDir::toNativeSeparators(file)).c_str(), STGM_READ)))
        return QStringLiteral("<no shell link>");
    std::vector<wchar_t> path(32768, L'\0');
    if (FAILED(link->GetPath(path.data(), int(path.size()), nullptr, SLGP_RAWPATH)))
        return QStringLiteral("<no path>");
    return QString::fromWCharArray(path.data());
}

// A registry string as Windows reads it, or nothing.
std::optional<QString> registryString(const QString& key, const QString& name) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, wide(key).c_str(), wide(name).c_str(), RRF_RT_REG_SZ,
                     nullptr, value, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return QString::fromWCharArray(value);
}

// An application name of the test's own, its key removed afterwards.
class RegistryApp {
  public:
    RegistryApp() : m_name("PlumeTest-" + QUuid::createUuid().toString(QUuid::WithoutBraces)) {}
    ~RegistryApp() { RegDeleteTreeW(HKEY_CURRENT_USER, wide(key()).c_str()); }
    const QString& name() const { return m_name; }
    QString key() const { return kSettingsKey + m_name; }

  private:
    QString m_name;
};

TEST(WindowsRegistry, ValuesLiveUnderTheApplicationsKeyOfTheCurrentUser) {
    const RegistryApp app;
    const QString exe = QStringLiteral("C:\\Program Files\\Plume\\plume.exe");
    EXPECT_EQ(GetSetting(app.name(), "Path", "plume", "none"), "none");
    SaveSetting(app.name(), "Path", "plume", exe);
    EXPECT_EQ(registryString(app.key() + "\\Path", "plume"), exe);
    EXPECT_EQ(GetSetting(app.name(), "Path", "plume", "none"), exe);
    // A value another program wrote there is read the same way.
    const QString other = QStringLiteral("D:\\別の場所\\plume.exe");
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, wide(app.key() + "\\Path").c_str(), L"plume",
                              REG_SZ, wide(other).c_str(), DWORD((other.size() + 1) * 2)),
              ERROR_SUCCESS);
    EXPECT_EQ(GetSetting(app.name(), "Path", "plume", "none"), other);
}

TEST(WindowsRegistry, AKeyThatCannotBeMadeIsAnErrorAndReadsAsTheDefault) {
    // Under a volatile key no lasting key can be made: the section cannot be created.
    const RegistryApp app;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, wide(app.key()).c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_THROW(SaveSetting(app.name(), "Path", "plume", "C:\\plume.exe"), PlumeError);
    EXPECT_EQ(GetSetting(app.name(), "Path", "plume", "none"), "none");
    // A value of another type is no crash either.
    const DWORD number = 7;
    RegSetKeyValueW(HKEY_CURRENT_USER, wide(app.key()).c_str(), L"odd", REG_DWORD, &number,
                    sizeof number);
    EXPECT_NO_THROW(GetSetting(app.name(), QString(), "odd", "none"));
}

TEST(WindowsShortcut, IsAShellLinkToThePathOrFileAddressAndReadsBack) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("help"));
    const QString page = QDir::toNativeSeparators(dir.filePath("help/plume.htm"));
    const QString link = dir.filePath("plume_help.lnk");
    // A path, and the same as a file address (the help's), whether the page exists or not.
    const QString targets[] = {page, QUrl::fromLocalFile(dir.filePath("help/plume.htm")).toString()};
    for (const QString& target : targets) {
        ASSERT_TRUE(writeShortcut(link, target)) << target.toStdString();
        EXPECT_EQ(shellLinkPath(link), page);
        EXPECT_EQ(readShortcutTarget(link), page);
    }
    // A folder name no code page holds whole (Japanese, Korean, Greek) is kept.
    const QString wideName = QStringLiteral("ﾍﾙﾌﾟ 한글 αβ");
    QDir().mkpath(dir.filePath(wideName));
    const QString widePage = QDir::toNativeSeparators(dir.filePath(wideName + "/plume.htm"));
    ASSERT_TRUE(writeShortcut(dir.filePath(wideName + "/htm_view.lnk"), widePage));
    EXPECT_EQ(readShortcutTarget(dir.filePath(wideName + "/htm_view.lnk")), widePage);

    EXPECT_FALSE(writeShortcut(dir.filePath("missing/x.lnk"), page));
    EXPECT_FALSE(writeShortcut("relative.lnk", page));
    QFile junk(dir.filePath("junk.lnk"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a shell link");
    junk.close();
    EXPECT_EQ(readShortcutTarget(dir.filePath("junk.lnk")), std::nullopt);
}

TEST(WindowsShortcut, ALaunchOfAShortcutNamesItsTarget) {
    QTemporaryDir dir;
    const QString program = QDir::toNativeSeparators(dir.filePath("plume.exe"));
    const QString link = dir.filePath("plume.lnk");
    ASSERT_TRUE(writeShortcut(link, program));
    std::vector<ShellLaunch> launches;
    setShellLaunchSink([&](const ShellLaunch& launch) {
        launches.push_back(launch);
        return true;
    });
    EXPECT_TRUE(shellExecute(3, ShellVerb::Open, link));
    EXPECT_TRUE(shellExecute(3, ShellVerb::Explore, QDir::toNativeSeparators(dir.path())));
    setShellLaunchSink({});
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(QDir::toNativeSeparators(launches[0].url.toLocalFile()), program);
    EXPECT_EQ(launches[1].verb, ShellVerb::Explore);
    EXPECT_EQ(launches[1].url.toLocalFile(), QDir::fromNativeSeparators(dir.path()));
}

TEST(WindowsFolders, TheShellNamesTheSpecialFoldersWithDriveAndNoTrailingSeparator) {
    const QRegularExpression absolute(QStringLiteral("^([A-Za-z]:|\\\\\\\\)\\\\.*[^\\\\]$"));
    for (const int id : {kCsidlAppData, kCsidlPersonal, kCsidlSendTo}) {
        const QString path = specialFolderPath(id);
        EXPECT_TRUE(absolute.match(path).hasMatch()) << id << " " << path.toStdString();
    }
    EXPECT_TRUE(specialFolderPath(kCsidlSendTo).endsWith("\\SendTo", Qt::CaseInsensitive));
    EXPECT_EQ(specialFolderPath(10), QString());
}

TEST(WindowsRecycleBin, ADeletedDrawingLeavesItsFolderAndAMissingOneIsAFailure) {
    QTemporaryDir dir;
    const QString drawing = dir.filePath("001.wmf");
    QFile file(drawing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("drawing");
    file.close();
    const Expected<TrashedFile> moved = moveToTrash(drawing);
    ASSERT_TRUE(moved) << moved.error().toStdString();
    EXPECT_FALSE(QFile::exists(drawing));
    EXPECT_FALSE(moved.value().trashFolder.isEmpty());

    const Expected<TrashedFile> missing = moveToTrash(drawing);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), drawing + " をごみ箱に移動できません");
}

TEST(WindowsInterfaceFace, TheSystemsJapaneseFacesInOrderTheFirstInstalledChosen) {
    EXPECT_EQ(interfaceFaceChoices(),
              QStringList({"Yu Gothic UI", "Meiryo UI", "MS UI Gothic"}));
    EXPECT_EQ(firstInstalledFace({"No Such Face Of Plume"}), QString());
    // The offscreen platform of Windows knows no system fonts: only where one is known.
    const QStringList installed = QFontDatabase::families();
    if (installed.isEmpty()) GTEST_SKIP() << "no font known to this platform";
    EXPECT_EQ(firstInstalledFace({"No Such Face Of Plume", installed.last(), installed.first()}),
              installed.last());
}

}  // namespace
}  // namespace plume
