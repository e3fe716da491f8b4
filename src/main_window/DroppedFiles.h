#pragma once

#include "platform/picture/Picture.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace plume {

// One address dropped onto the main window, sorted: an EMF or WMF file to import (its bytes
// as they are, and the picture they make), a folder (nothing to do), or anything else.
struct DroppedItem {
    enum class Kind { Drawing, Folder, Refused };
    Kind kind = Kind::Refused;
    QString name;  // the local path, or the address as the user would write it
    QByteArray bytes;
    PicturePtr picture;
};

// Reads and sorts one dropped address. A drawing is a local file of at most the picture-file
// limit whose bytes are an EMF or a WMF that Plume can read; its name's ending plays no part.
DroppedItem readDropped(const QUrl& url);

// The status line after a drop: the files made (full paths, in order) and the first address
// refused (empty when none was). The refusal is said first, by the file's name.
QString dropStatus(const QStringList& created, const QString& firstRefused);

}  // namespace plume
