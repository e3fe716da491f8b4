#include "platform/base/Paths.h"

#include <QDir>

namespace plume {

QChar pathSeparator() {
    return QDir::separator();
}

bool endsWithSeparator(const QString& path) {
    if (path.isEmpty()) return false;
    const QChar last = path.back();
    return last == u'/' || last == pathSeparator();
}

QString withTrailingSeparator(const QString& folder) {
    return endsWithSeparator(folder) ? folder : folder + pathSeparator();
}

QString joinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty()) return name;
    return withTrailingSeparator(folder) + name;
}

}  // namespace plume
