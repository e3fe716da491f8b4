// The desktop pieces on Windows, checked against Windows' own view of what they made: the
// registry read with RegGetValue, shortcuts read with IShellLink, the folder after a delete.
#include "platform/base/PlumeError.h"
#include "platform/base/Twips.h"
#include "platform/desktop/ShellFolders.h"
#include "platform/desktop/ShellLauncher.h"
#include "platform/desktop/Shortcut.h"
#include "platform/desktop/Trash.h"
#include "platform/desktop/UserRegistry.h"
#include "platform/widgets/JapaneseInterface.h"
#include "platform/widgets/WindowFrame.h"
#include "support/LaunchCapture.h"
#include "windows/ShellLink.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <QWidget>

#include <windows.h>

namespace plume {
namespace {

using test::kSettingsKey;
using test::registryString;
using test::shellLinkPath;

std::wstring wide(const QString& text) {
    return text.toStdWString();
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
    const QString targets[] = {page,
                               QUrl::fromLocalFile(dir.filePath("help/plume.htm")).toString()};
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
    const test::LaunchCapture shell;
    EXPECT_TRUE(shellExecute(3, ShellVerb::Open, link));
    EXPECT_TRUE(shellExecute(3, ShellVerb::Explore, QDir::toNativeSeparators(dir.path())));
    const std::vector<ShellLaunch>& launches = shell.launches();
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
    EXPECT_EQ(interfaceFaceChoices(), QStringList({"Yu Gothic UI", "Meiryo UI", "MS UI Gothic"}));
    EXPECT_EQ(firstInstalledFace({"No Such Face Of Plume"}), QString());
    // The offscreen platform of Windows knows no system fonts: only where one is known.
    const QStringList installed = QFontDatabase::families();
    if (installed.isEmpty()) GTEST_SKIP() << "no font known to this platform";
    EXPECT_EQ(firstInstalledFace({"No Such Face Of Plume", installed.last(), installed.first()}),
              installed.last());
}

// Run by at_dpi.sh with Windows (Wine) set to PLUME_SCREEN_DPI dots per inch, on Qt's windows
// platform: twips follow the screen's real DPI, and a window placed by its frame in twips
// covers, by Windows' own measure, that many inches of the screen.
TEST(WindowsTwips, AnInchOfTwipsIsAnInchOfTheScreenAndTheFrameIsWindows) {
    const int dpi = qEnvironmentVariableIntValue("PLUME_SCREEN_DPI");
    if (dpi == 0 || QGuiApplication::platformName() != QLatin1String("windows"))
        GTEST_SKIP() << "runs at a set DPI through at_dpi.sh";
    const double ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
    EXPECT_DOUBLE_EQ(1440.0 / twipsPerPixel() * ratio, dpi);

    QWidget window;
    FramePlacement placement(window);
    const double tpp = twipsPerPixel();
    // One inch from the screen's corner, three inches wide and two high, frame included.
    const QRect frame(qRound(1440 / tpp), qRound(1440 / tpp), qRound(4320 / tpp),
                      qRound(2880 / tpp));
    placement.placeFrame(frame);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.frameGeometry(), frame);
    EXPECT_GT(placement.margins().top(), placement.margins().bottom()) << "a title bar";
    // Windows' own rectangles, in device pixels: the area inside the frame is the window's;
    // the whole window is the frame with, on Windows 10 and later, its invisible resize
    // borders at the sides and the bottom (Qt's frame leaves them out, as the user sees it).
    const HWND handle = reinterpret_cast<HWND>(window.winId());
    RECT client = {};
    ASSERT_TRUE(GetClientRect(handle, &client));
    POINT origin = {0, 0};
    ASSERT_TRUE(ClientToScreen(handle, &origin));
    const QRect inside = window.geometry();
    EXPECT_NEAR(origin.x, inside.x() * ratio, 1);
    EXPECT_NEAR(origin.y, inside.y() * ratio, 1);
    EXPECT_NEAR(client.right, inside.width() * ratio, 1);
    EXPECT_NEAR(client.bottom, inside.height() * ratio, 1);
    RECT outer = {};
    ASSERT_TRUE(GetWindowRect(handle, &outer));
    EXPECT_NEAR(outer.top, dpi, 1);
    const int border = qRound(8 * ratio);
    EXPECT_LE(outer.left, dpi);
    EXPECT_GE(outer.left, dpi - border);
    EXPECT_GE(outer.right - outer.left, 3 * dpi);
    EXPECT_LE(outer.right - outer.left, 3 * dpi + 2 * border);
    EXPECT_GE(outer.bottom - outer.top, 2 * dpi);
    EXPECT_LE(outer.bottom - outer.top, 2 * dpi + border);
}

}  // namespace
}  // namespace plume
