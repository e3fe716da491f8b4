#pragma once

// What Windows itself reads in a shortcut file and in the registry, for the Windows tests.

#include "platform/desktop/ComWindows.h"

#include <QDir>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include <intshcut.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

namespace plume::test {

// The target a shortcut file holds, as the shell reads it (IShellLink::GetPath).
inline QString shellLinkPath(const QString& file) {
    const ComScope com;
    ComPointer<IShellLinkW> link;
    ComPointer<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.out())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.out())) ||
        FAILED(persist->Load(QDir::toNativeSeparators(file).toStdWString().c_str(), STGM_READ)))
        return QStringLiteral("<no shell link>");
    std::vector<wchar_t> path(32768, L'\0');
    if (FAILED(link->GetPath(path.data(), int(path.size()), nullptr, SLGP_RAWPATH)))
        return QStringLiteral("<no path>");
    return QString::fromWCharArray(path.data());
}

// The address an Internet Shortcut (".url") holds, as the shell's own object for one reads it.
inline QString internetShortcutUrl(const QString& file) {
    const ComScope com;
    ComPointer<IUniformResourceLocatorW> shortcut;
    ComPointer<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IUniformResourceLocatorW, shortcut.out())) ||
        FAILED(shortcut->QueryInterface(IID_IPersistFile, persist.out())) ||
        FAILED(persist->Load(QDir::toNativeSeparators(file).toStdWString().c_str(), STGM_READ)))
        return QStringLiteral("<no internet shortcut>");
    LPWSTR url = nullptr;
    if (shortcut->GetURL(&url) != S_OK || !url) return QStringLiteral("<no address>");
    const QString address = QString::fromWCharArray(url);
    CoTaskMemFree(url);
    return address;
}

// A string value of the current user's registry as Windows reads it, or nothing.
inline std::optional<QString> registryString(const QString& key, const QString& name) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, key.toStdWString().c_str(), name.toStdWString().c_str(),
                     RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return QString::fromWCharArray(value);
}

// The key under which Plume's per-user values live, one sub-key an application.
inline const QString kSettingsKey = QStringLiteral("Software\\VB and VBA Program Settings\\");

}  // namespace plume::test
