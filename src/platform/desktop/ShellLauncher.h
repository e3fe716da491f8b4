#pragma once

#include <QString>
#include <QUrl>
#include <cstdint>
#include <functional>

namespace plume {

// What the shell is asked to do with a target: open it, or show a folder in a file window.
enum class ShellVerb { Open, Explore };

// One launch as it reaches the desktop: the address that is opened, after shortcut files
// have been followed and paths turned into file addresses.
struct ShellLaunch {
    ShellVerb verb = ShellVerb::Open;
    QUrl url;
    intptr_t ownerWindow = 0;
};

// Every shell launch of Plume goes through shellExecute. By default it goes to the desktop
// (launchOnDesktop); tests install a sink to observe the launches instead, and answer whether
// the desktop took each one.
using ShellLaunchSink = std::function<bool(const ShellLaunch& launch)>;
void setShellLaunchSink(ShellLaunchSink sink);

// Hands `file` to the shell with the verb. A shortcut file written by writeShortcut is
// followed to its target, as the Windows shell does when it opens a ".lnk" (an Internet
// Shortcut, ".url", goes as the file itself, which the shell opens); a web address
// (anything with a scheme of two or more letters) goes as it is; anything else is taken as a
// local path. An empty file, or a shortcut that cannot be read, launches nothing.
// Returns whether the address was handed to a program: false when nothing was launched or
// the desktop has no program to open it (on Linux, no xdg-open; on Windows, the shell's
// refusal). Whether that program then
// manages to show it is not known.
bool shellExecute(intptr_t ownerWindow, ShellVerb verb, const QString& file);

// The platform's own launch, past the seam. Windows hands `file` as it is (a shortcut file
// too, which the shell follows itself) to ShellExecute with the verb; Linux opens the
// launch's address with QDesktopServices (xdg-open), where a folder's address shows the
// folder in the file manager.
bool launchOnDesktop(const ShellLaunch& launch, const QString& file);

// The address for a target: a web or file address as written, a local path as a file address.
QUrl urlForTarget(const QString& target);

}  // namespace plume
