#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace plume {

// Shortcut files keep the names Plume gives them (".lnk"), and on Linux hold a freedesktop
// link entry: "[Desktop Entry]", "Type=Link", "Name=" the file's base name, "URL=" the target
// as given (a web address or a path), in UTF-8 with the entry format's escapes.

// Writes the shortcut at `path`, replacing any file of that name as a whole. Fails (false)
// when the path is not absolute or the file cannot be written, for example when its folder is
// missing; the folder is never created here.
bool writeShortcut(const QString& path, const QString& target);

// The target written in a shortcut file, or nothing when the file is missing, larger than a
// shortcut can be, or holds no link entry with a target.
std::optional<QString> readShortcutTarget(const QString& path);

// The entry's text for a target (exposed for tests of the escapes).
QByteArray shortcutEntryText(const QString& name, const QString& target);

}  // namespace plume
