#pragma once

// The desktop's trash: a file moved there can be put back from the file manager.

#include "platform/base/Expected.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace plume {

// Where a file went: the trash folder that took it and the file's path inside it. On Windows
// the Recycle Bin's own name as the shell shows it, and no path (the bin keeps it to itself).
struct TrashedFile {
    QString trashFolder;
    QString pathInTrash;
};

// Moves one file to the desktop's trash. On Windows that is the Recycle Bin, through the shell
// (SHFileOperation with undo, no confirmation, no progress, no error box); should the file's
// drive have no bin, the shell asks before it deletes the file for good, and a refusal leaves
// the file. On Linux this is the freedesktop.org trash: the home
// trash $XDG_DATA_HOME/Trash (made when missing) for files on its own file system, otherwise
// the trash at the top of the file's own file system ($topdir/.Trash/$uid, or
// $topdir/.Trash-$uid). The information file (original path, URL-escaped, and the deletion
// time) is reserved first under a name no other file has, then the file is renamed into the
// trash beside it; nothing is ever copied or deleted. A file that cannot be moved to a trash
// stays where it is and the failure says why.
Expected<TrashedFile> moveToTrash(const QString& path);

// The failure for a file that could not be moved: "<path> をごみ箱に移動できません", and the
// cause in brackets when there is one.
Expected<TrashedFile> trashFailure(const QString& path, const QString& cause = {});

// The text of a .trashinfo file for `originalPath` (absolute, or relative to the top folder
// of a top-directory trash), deleted at `when` (local time).
QByteArray trashInfoText(const QString& originalPath, const QDateTime& when);

}  // namespace plume
