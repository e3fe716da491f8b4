#include "platform/desktop/Shortcut.h"

#include "platform/desktop/ComWindows.h"
#include "platform/desktop/ShellLauncher.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
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

// The target of a link whose target is no file: the shell item's own name (a web address).
std::optional<QString> itemName(IShellLinkW& link) {
    PIDLIST_ABSOLUTE item = nullptr;
    if (link.GetIDList(&item) != S_OK || !item) return std::nullopt;
    PWSTR name = nullptr;
    std::optional<QString> result;
    if (SUCCEEDED(SHGetNameFromIDList(item, SIGDN_DESKTOPABSOLUTEPARSING, &name)) && name) {
        result = QString::fromWCharArray(name);
        CoTaskMemFree(name);
    }
    CoTaskMemFree(item);
    if (result && result->isEmpty()) return std::nullopt;
    return result;
}

}  // namespace

bool writeShortcut(const QString& path, const QString& target) {
    const QFileInfo info(path);
    // A relative path would land in whatever folder the program happens to run in.
    if (path.isEmpty() || info.isRelative()) return false;
    if (!info.absoluteDir().exists()) return false;
    const ComScope com;
    ComPointer<IShellLinkW> link;
    if (!com.ready() || !newShellLink(link) || !setTarget(*link.get(), target)) return false;
    ComPointer<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return false;
    return SUCCEEDED(file->Save(wide(QDir::toNativeSeparators(info.absoluteFilePath())).c_str(),
                                TRUE));
}

std::optional<QString> readShortcutTarget(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxShortcutBytes) return std::nullopt;
    const ComScope com;
    ComPointer<IShellLinkW> link;
    ComPointer<IPersistFile> file;
    if (!com.ready() || !newShellLink(link) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.out())) ||
        FAILED(file->Load(wide(QDir::toNativeSeparators(info.absoluteFilePath())).c_str(),
                          STGM_READ)))
        return std::nullopt;
    std::vector<wchar_t> buffer(kPathCapacity, L'\0');
    if (link->GetPath(buffer.data(), kPathCapacity, nullptr, SLGP_RAWPATH) == S_OK && buffer[0])
        return QString::fromWCharArray(buffer.data());
    return itemName(*link.get());
}

}  // namespace plume
