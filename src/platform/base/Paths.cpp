#include "platform/base/Paths.h"

#include <QDir>
#include <QFile>
#include <climits>

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

bool pathTooLong(const QString& path) {
#ifdef PATH_MAX
    constexpr qsizetype kPathMax = PATH_MAX;
#else
    constexpr qsizetype kPathMax = 4096;
#endif
#ifdef NAME_MAX
    constexpr qsizetype kNameMax = NAME_MAX;
#else
    constexpr qsizetype kNameMax = 255;
#endif
    // Each character takes at least one byte: a text this long cannot fit in any encoding.
    if (path.size() >= kPathMax) return true;
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.size() >= kPathMax) return true;
    for (const QByteArray& name : bytes.split('/'))
        if (name.size() > kNameMax) return true;
    return false;
}

QString shownPath(const QString& path) {
    constexpr qsizetype kShown = 120;
    if (!pathTooLong(path)) return path;
    return path.left(kShown) + QChar(0x2026);
}

}  // namespace plume
