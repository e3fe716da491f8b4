#pragma once

#include <QString>
#include <optional>

namespace plume {

// Shortcut files keep the names Plume gives them (".lnk"). On Windows they are the shell's
// own shortcuts (IShellLink): a path or file address is written as the local path, a web
// address as the shell's item for it. On Linux they hold a freedesktop link entry:
// "[Desktop Entry]", "Type=Link", "Name=" the file's base name, "URL=" the target as given
// (a web address or a path), in UTF-8 with the entry format's escapes.

// Writes the shortcut at `path`, replacing any file of that name as a whole. Fails (false)
// when the path is not absolute or the file cannot be written, for example when its folder is
// missing, or (Windows) the shell cannot name a web address; the folder is never created here.
bool writeShortcut(const QString& path, const QString& target);

// The target written in a shortcut file, or nothing when the file is missing, larger than a
// shortcut can be, or holds no link with a target. Windows gives a local path with its own
// separators, Linux the target as it was written.
std::optional<QString> readShortcutTarget(const QString& path);

}  // namespace plume
