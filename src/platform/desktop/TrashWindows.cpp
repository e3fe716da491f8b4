#include "platform/desktop/Trash.h"

#include "platform/desktop/ComWindows.h"

#include <QDir>
#include <QFileInfo>
#include <string>

#include <shellapi.h>
#include <shlobj.h>

namespace plume {
namespace {

// The Recycle Bin's name as the shell shows it ("ごみ箱" on a Japanese system).
QString recycleBinName() {
    PIDLIST_ABSOLUTE bin = nullptr;
    QString name;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &bin)) && bin) {
        SHFILEINFOW info = {};
        if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(bin), 0, &info, sizeof info,
                           SHGFI_PIDL | SHGFI_DISPLAYNAME))
            name = QString::fromWCharArray(info.szDisplayName);
        CoTaskMemFree(bin);
    }
    return name.isEmpty() ? QStringLiteral("ごみ箱") : name;
}

}  // namespace

Expected<TrashedFile> moveToTrash(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) return trashFailure(path);
    const QString absolute = QDir::toNativeSeparators(info.absoluteFilePath());
    // The shell takes a list of names, each ended by a null and the list by another.
    std::wstring from = absolute.toStdWString();
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    // No confirmation for the bin; a file that cannot go there (a drive without a bin) is
    // deleted only after the shell has asked.
    operation.fFlags =
        FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_WANTNUKEWARNING;
    const ComScope com;
    const int result = SHFileOperationW(&operation);
    if (result != 0) return trashFailure(path, QStringLiteral("0x%1").arg(result, 0, 16));
    // The shell reports a declined or skipped file only through the aborted flag, and a file
    // that is still there was not moved whatever it says.
    if (operation.fAnyOperationsAborted || QFileInfo::exists(absolute)) return trashFailure(path);
    return Expected<TrashedFile>::success({recycleBinName(), QString()});
}

}  // namespace plume
