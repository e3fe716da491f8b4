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

}  // namespace plume
