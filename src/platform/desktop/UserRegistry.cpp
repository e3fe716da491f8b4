#include "platform/desktop/UserRegistry.h"

#include "platform/base/PlumeError.h"

#include <QSettings>

namespace plume {

QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue) {
    auto store = openUserRegistry(app);
    store->beginGroup(section);
    return store->value(key, defaultValue).toString();
}

void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value) {
    auto store = openUserRegistry(app);
    store->beginGroup(section);
    store->setValue(key, value);
    store->endGroup();
    store->sync();
    if (store->status() != QSettings::NoError)
        throw PlumeError(QStringLiteral("設定 %1\\%2\\%3 を保存できません").arg(app, section, key));
}

}  // namespace plume
