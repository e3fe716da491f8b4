#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace plume {

// What the folder watch reads of a folder: its last modification time and its number of
// files. Each reading that fails leaves its value at zero (an invalid time, count 0); a
// count beyond the 16-bit range counts as failed.
struct FolderStamp {
    QDateTime modified;
    int16_t fileCount = 0;
};

FolderStamp readFolderStamp(const QString& folder);

// True when the folder changed since the last stamp: a later time or another count.
bool folderChanged(const FolderStamp& now, const FolderStamp& last);

}  // namespace plume
