#pragma once

#include <QString>
#include <optional>

namespace plume {

// Shortcut files keep the names Plume gives them (".lnk"). On Windows they are the shell's
// own shortcuts (IShellLink): a path or file address is written as the local path, a web
// address as the shell's item for it; a name ending ".url" is an Internet Shortcut instead
// (see shortcutFileFor). On Linux they hold a freedesktop link entry: "[Desktop Entry]",
// "Type=Link", "Name=" the file's base name, "URL=" the target as given (a web address or a
// path), in UTF-8 with the entry format's escapes.

// The file a shortcut to `target` is written to, for the shortcut Plume names `path` (ending
// ".lnk"). On Windows a web address goes into an Internet Shortcut, the file the scripting
// host's CreateShortcut makes for a name ending ".url": `path` with ".url" in place of
// ".lnk", since the shell opens a file by the ending of its name, and a shell link cannot
// hold a web address on every Windows (Wine's shell has no item for one). Anything else, and
// every target on Linux, keeps `path`.
QString shortcutFileFor(const QString& path, const QString& target);

// Writes the shortcut at `path`, replacing any file of that name as a whole. Fails (false)
// when the path is not absolute or the file cannot be written, for example when its folder is
// missing, or (Windows) the shell cannot name a web address in a shell link; the folder is
// never created here. On Windows a name ending ".url" gets an Internet Shortcut: the lines
// "[InternetShortcut]" and "URL=" the address, ended by CR LF; an address that is not plain
// printable ASCII is written in its encoded form (punycode host, percent-encoded path), which
// every browser opens as the same address and the system's code page cannot garble.
bool writeShortcut(const QString& path, const QString& target);

// The target written in a shortcut file, or nothing when the file is missing, larger than a
// shortcut can be, or holds no link with a target. Windows gives a local path with its own
// separators, Linux the target as it was written.
std::optional<QString> readShortcutTarget(const QString& path);

}  // namespace plume
