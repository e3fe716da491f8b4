#pragma once

#include <QString>

namespace plume {

// The per-user application registry: string values by application, section and key.
// Windows keeps them in the registry under the classic per-user program-settings key;
// Linux in an INI file of the user's config folder (QSettings).
QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue);
void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value);

}  // namespace plume
