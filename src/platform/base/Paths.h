#pragma once

#include <QString>

namespace plume {

// The separator Plume puts between folder and name. Windows keeps "\", Linux uses "/".
QChar pathSeparator();

// Joins a folder and a name with exactly one separator between them.
QString joinPath(const QString& folder, const QString& name);

// The folder with one separator at its end (added only when missing).
QString withTrailingSeparator(const QString& folder);

// True when the text ends with a path separator ("/" everywhere, "\" too on Windows).
bool endsWithSeparator(const QString& path);

// True when the path is longer than the file system takes: the whole path beyond PATH_MAX
// bytes, or one of its names beyond NAME_MAX. No file or folder can have such a path.
bool pathTooLong(const QString& path);

// The path as a message shows it: whole, or, when it is too long to be a path at all, its
// start and an ellipsis, so that a message line never carries megabytes of text.
QString shownPath(const QString& path);

}  // namespace plume
