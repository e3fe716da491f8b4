#include "support/TestSupport.h"

#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <QDir>
#include <QGuiApplication>
#include <stdexcept>

// Windows' named pipes live outside the file system (\\.\pipe\), so no picture file can be
// one: the tests of a silent pipe skip there.

namespace plume::test {

qint64 peakMemoryKb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return qint64(counters.PeakWorkingSetSize / 1024);
}

bool qtListsSystemFonts() {
    return QGuiApplication::platformName() == QLatin1String("windows");
}

QString userFolderAsTaken(const QString& written) {
    return QDir::toNativeSeparators(written.toLower());
}

TestTrash testTrash(const QString&) {
    PIDLIST_ABSOLUTE bin = nullptr;
    QString name;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &bin)) && bin) {
        SHFILEINFOW info = {};
        if (::SHGetFileInfoW(reinterpret_cast<LPCWSTR>(bin), 0, &info, sizeof info,
                             SHGFI_PIDL | SHGFI_DISPLAYNAME))
            name = QString::fromWCharArray(info.szDisplayName);
        ::CoTaskMemFree(bin);
    }
    return {name, QString()};
}

bool makeFifo(const QString&) {
    return false;
}

bool returnsWhileFifoSilent(const QString&, const std::function<void()>&,
                            std::chrono::milliseconds) {
    throw std::logic_error("no named pipe was made on Windows");
}

}  // namespace plume::test
