#include "platform/desktop/UserRegistry.h"

#include "platform/base/PlumeError.h"

#include <QSettings>
#include <memory>

namespace plume {
namespace {

std::unique_ptr<QSettings> openStore(const QString& app) {
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + app,
        QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, app);
#endif
}

}  // namespace

QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue) {
    auto store = openStore(app);
    store->beginGroup(section);
    return store->value(key, defaultValue).toString();
}

void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value) {
    auto store = openStore(app);
    store->beginGroup(section);
    store->setValue(key, value);
    store->endGroup();
    store->sync();
    if (store->status() != QSettings::NoError)
        throw PlumeError(QStringLiteral("設定 %1\\%2\\%3 を保存できません").arg(app, section, key));
}

}  // namespace plume
