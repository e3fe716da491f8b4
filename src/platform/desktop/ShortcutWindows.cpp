#include "platform/desktop/Shortcut.h"

#include "platform/base/AtomicFile.h"
#include "platform/desktop/ComWindows.h"
#include "platform/desktop/ShellLauncher.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <string>
#include <vector>

#include <shlobj.h>
#include <shobjidl.h>

namespace plume {
namespace {

// A shortcut is a few hundred bytes; anything much larger is not one.
constexpr qint64 kMaxShortcutBytes = 1024 * 1024;

// Paths as long as the file system allows, not MAX_PATH only.
constexpr int kPathCapacity = 32768;

std::wstring wide(const QString& text) {
    return text.toStdWString();
}

bool newShellLink(ComPointer<IShellLinkW>& link) {
    return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, link.out()));
}

// The link's target: a local path as it is, a web address as the shell's item for it.
bool setTarget(IShellLinkW& link, const QString& target) {
    const QUrl url = urlForTarget(target);
    if (url.isLocalFile())
        return SUCCEEDED(link.SetPath(wide(QDir::toNativeSeparators(url.toLocalFile())).c_str()));
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(SHParseDisplayName(wide(target).c_str(), nullptr, &item, 0, nullptr))) return false;
    const bool set = SUCCEEDED(link.SetIDList(item));
    CoTaskMemFree(item);
    return set;
}

// The name the shell gives the link's item in `form`: its file-system path, or its full
// parsing name (a web address for a web item); nothing for a link without an item.
std::optional<QString> itemName(IShellLinkW& link, SIGDN form) {
    PIDLIST_ABSOLUTE item = nullptr;
    if (link.GetIDList(&item) != S_OK || !item) return std::nullopt;
    PWSTR name = nullptr;
    std::optional<QString> result;
    if (SUCCEEDED(SHGetNameFromIDList(item, form, &name)) && name) {
        result = QString::fromWCharArray(name);
        CoTaskMemFree(name);
    }
    CoTaskMemFree(item);
    if (result && result->isEmpty()) return std::nullopt;
    return result;
}

bool isWebAddress(const QString& target) {
    return !urlForTarget(target).isLocalFile();
}

// The address as an Internet Shortcut's "URL=" line holds it: as given when it is printable
// ASCII without blanks, otherwise encoded (the line is read in the system's code page, and a
// line break would end it). Empty when there is no address to write.
QByteArray internetShortcutAddress(const QString& target) {
    const bool plain = std::all_of(target.cbegin(), target.cend(), [](QChar c) {
        return c.unicode() > u' ' && c.unicode() < 0x7f;
    });
    if (plain) return target.toLatin1();
    const QUrl url = urlForTarget(target);
    return url.isValid() ? url.toEncoded() : QByteArray();
}

// An Internet Shortcut, as the scripting host's CreateShortcut saves one: a small INI file
// that the shell opens with the program that takes the address's scheme.
bool writeInternetShortcut(const QString& path, const QString& target) {
    const QByteArray address = internetShortcutAddress(target);
    if (address.isEmpty()) return false;
    return writeFileAtomically(path, "[InternetShortcut]\r\nURL=" + address + "\r\n") == 0;
}

// Whether `path` is a file of a shortcut's size. Asked of Windows itself: Qt takes a ".lnk"
// for a link and would answer for its target.
bool shortcutSizedFile(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    const quint64 size = (quint64(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && size <= kMaxShortcutBytes;
}

}  // namespace

QString shortcutFileFor(const QString& path, const QString& target) {
    const QString link = QStringLiteral(".lnk");
    if (!isWebAddress(target) || !path.endsWith(link, Qt::CaseInsensitive)) return path;
    return path.chopped(link.size()) + QStringLiteral(".url");
}

bool writeShortcut(const QString& path, const QString& target) {
    const QFileInfo info(path);
    // A relative path would land in whatever folder the program happens to run in.
    if (path.isEmpty() || info.isRelative()) return false;
    if (!info.absoluteDir().exists()) return false;
    if (path.endsWith(QStringLiteral(".url"), Qt::CaseInsensitive))
        return writeInternetShortcut(info.absoluteFilePath(), target);
    const ComScope com;
    ComPointer<IShellLinkW> link;
    if (!com.ready() || !newShellLink(link) || !setTarget(*link.get(), target)) return false;
    ComPointer<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return false;
    return SUCCEEDED(
        file->Save(wide(QDir::toNativeSeparators(info.absoluteFilePath())).c_str(), TRUE));
}

std::optional<QString> readShortcutTarget(const QString& path) {
    const std::wstring file = wide(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    if (!shortcutSizedFile(file)) return std::nullopt;
    const ComScope com;
    ComPointer<IShellLinkW> link;
    ComPointer<IPersistFile> persist;
    if (!com.ready() || !newShellLink(link) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.out())) ||
        FAILED(persist->Load(file.c_str(), STGM_READ)))
        return std::nullopt;
    // The item's path first: a link may keep its path text in the system's code page only,
    // which cannot hold every folder name.
    if (std::optional<QString> path = itemName(*link.get(), SIGDN_FILESYSPATH)) return path;
    std::vector<wchar_t> buffer(kPathCapacity, L'\0');
    if (SUCCEEDED(link->GetPath(buffer.data(), kPathCapacity, nullptr, SLGP_RAWPATH)) && buffer[0])
        return QString::fromWCharArray(buffer.data());
    return itemName(*link.get(), SIGDN_DESKTOPABSOLUTEPARSING);
}

}  // namespace plume
