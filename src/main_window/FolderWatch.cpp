#include "main_window/FolderWatch.h"

#include <QDir>
#include <QFileInfo>
#include <limits>

namespace plume {

FolderStamp readFolderStamp(const QString& folder) {
    FolderStamp stamp;
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir()) return stamp;
    stamp.modified = info.lastModified();
    // All files, whatever their names, hidden ones too; no sub-folders.
    const qsizetype count =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).size();
    if (count <= std::numeric_limits<int16_t>::max()) stamp.fileCount = static_cast<int16_t>(count);
    return stamp;
}

bool folderChanged(const FolderStamp& now, const FolderStamp& last) {
    const bool later =
        now.modified.isValid() && (!last.modified.isValid() || now.modified > last.modified);
    return later || now.fileCount != last.fileCount;
}

}  // namespace plume
