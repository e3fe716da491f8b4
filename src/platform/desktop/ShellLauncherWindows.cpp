#include "platform/desktop/ShellLauncher.h"

#include "platform/desktop/ComWindows.h"

#include <QDir>
#include <string>

#include <shellapi.h>

namespace plume {

bool launchOnDesktop(const ShellLaunch& launch, const QString& file) {
    // A path or file address goes as a path with the system's separators; any other address
    // as it is.
    const QUrl address = urlForTarget(file);
    const QString target =
        address.isLocalFile() ? QDir::toNativeSeparators(address.toLocalFile()) : file;
    const std::wstring wideTarget = target.toStdWString();
    const ComScope com;
    const HINSTANCE result = ShellExecuteW(reinterpret_cast<HWND>(launch.ownerWindow),
                                           launch.verb == ShellVerb::Explore ? L"explore" : L"open",
                                           wideTarget.c_str(), L"", L"", SW_SHOW);
    // Values above 32 are success; the rest are the shell's error codes.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace plume
