#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace plume {

// The per-user application registry: string values by application, section and key.
// A value that cannot be read gives the default; one that cannot be saved (the key cannot be
// made or written) throws PlumeError.
QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue);
void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value);

// The platform's store of one application's values, sections as groups: the registry key
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app> on Windows, the INI file
// <app>.ini of the user's config folder on Linux.
std::unique_ptr<QSettings> openUserRegistry(const QString& app);

}  // namespace plume
