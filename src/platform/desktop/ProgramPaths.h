#pragma once

#include <QString>

namespace plume {

// The executable's folder (no trailing separator, except at the root) and base name (no
// folder, no ".exe"). Tests may place the "program" in a folder of their own.
QString executableFolder();
QString executableBaseName();

// The ending of executable file names on this platform: ".exe" on Windows, "" elsewhere.
QString executableSuffix();

void setExecutableOverrideForTesting(const QString& folder, const QString& baseName);

}  // namespace plume
