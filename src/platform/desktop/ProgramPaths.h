#pragma once

#include <QString>

namespace plume {

// The executable's folder (no trailing separator, except at the root) and base name (no
// folder, no ".exe"). Tests may place the "program" in a folder of their own.
QString executableFolder();
QString executableBaseName();

// Where an installed copy keeps its read-only data: PREFIX/share/plume for PREFIX/bin/plume
// (native separators, no trailing one), whether or not that folder exists. A program folder
// of its own (the build tree, a copied folder) keeps its data beside the executable instead.
QString installedDataFolder();

// The ending of executable file names on this platform: ".exe" on Windows, "" on Linux.
QString executableSuffix();

// Whether folder and file names are told apart by letter case: not on Windows, where a
// folder named in UserData.ini is taken lower-cased; on Linux, where it is used as written.
bool namesHeedLetterCase();

void setExecutableOverrideForTesting(const QString& folder, const QString& baseName);

}  // namespace plume
