#include "platform/desktop/ShellFolders.h"

#include <QDir>
#include <QStandardPaths>

namespace plume {

QString specialFolderPath(int csidl) {
    QString path;
    switch (csidl) {
        case kCsidlAppData:
            path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
            break;
        case kCsidlPersonal:
            path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
            break;
        default:
            return {};
    }
    path = QDir::toNativeSeparators(path);
    while (path.size() > 1 && (path.endsWith(u'/') || path.endsWith(u'\\'))) path.chop(1);
    return path;
}

}  // namespace plume
