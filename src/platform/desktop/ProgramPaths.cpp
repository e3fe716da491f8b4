#include "platform/desktop/ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace plume {
namespace {

struct Override {
    QString folder;
    QString baseName;
};

Override& override() {
    static Override o;
    return o;
}

}  // namespace

void setExecutableOverrideForTesting(const QString& folder, const QString& baseName) {
    override() = {folder, baseName};
}

QString executableFolder() {
    if (!override().folder.isEmpty()) return override().folder;
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString executableBaseName() {
    if (!override().baseName.isEmpty()) return override().baseName;
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString installedDataFolder() {
    return QDir::toNativeSeparators(QDir::cleanPath(
        QDir::fromNativeSeparators(executableFolder()) + QStringLiteral("/../share/plume")));
}

}  // namespace plume
