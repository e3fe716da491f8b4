#include "platform/desktop/UserRegistry.h"

namespace plume {

std::unique_ptr<QSettings> openUserRegistry(const QString& app) {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, app);
}

}  // namespace plume
