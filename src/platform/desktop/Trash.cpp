#include "platform/desktop/Trash.h"

#include <QFile>
#include <QUrl>

namespace plume {

QByteArray trashInfoText(const QString& originalPath, const QDateTime& when) {
    // The path as the file system's bytes, escaped as in URLs; "/" stays as it is.
    const QByteArray escaped = QUrl::toPercentEncoding(QFile::encodeName(originalPath), "/");
    return "[Trash Info]\nPath=" + escaped +
           "\nDeletionDate=" + when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
           "\n";
}

Expected<TrashedFile> trashFailure(const QString& path, const QString& cause) {
    QString message = QStringLiteral("%1 をごみ箱に移動できません").arg(path);
    if (!cause.isEmpty()) message += QStringLiteral(" (%1)").arg(cause);
    return Expected<TrashedFile>::failure(message);
}

}  // namespace plume
