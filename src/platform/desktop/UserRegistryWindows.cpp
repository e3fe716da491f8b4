#include "platform/desktop/UserRegistry.h"

namespace plume {

std::unique_ptr<QSettings> openUserRegistry(const QString& app) {
    // Qt's native format is the registry itself: groups are sub-keys, keys are string values.
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + app,
        QSettings::NativeFormat);
}

}  // namespace plume
