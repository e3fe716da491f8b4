#include "platform/desktop/ShellLauncher.h"

#include <QDesktopServices>

namespace plume {

bool launchOnDesktop(const ShellLaunch& launch, const QString&) {
    // The desktop does not follow Plume's link entries: the address they point at is opened.
    // Opening a folder's address shows it in the file manager, which is what "explore" does.
    return QDesktopServices::openUrl(launch.url);
}

}  // namespace plume
