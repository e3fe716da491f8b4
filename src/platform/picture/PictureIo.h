#pragma once

// Picture files: load a picture of whatever kind the bytes hold, save one in its own format.

#include "platform/base/Expected.h"
#include "platform/picture/Picture.h"

#include <QByteArray>
#include <QString>

namespace plume {

// The largest picture file Plume reads (the same limit as for metafiles from the clipboard).
inline constexpr qint64 kMaxPictureFileBytes = metafile::kMaxMetafileBytes;

// A picture from bytes, its kind chosen by content alone: EMF, placeable WMF and raw WMF
// become vector pictures; BMP and every raster format Qt reads become raster pictures.
// Bytes that are no picture, a broken metafile or a raster beyond the limits give an error.
Expected<PicturePtr> pictureFromBytes(const QByteArray& bytes);

// The bytes of the picture file at `path`, refused beyond the picture file limit. Only a
// regular file (or a link to one) is read: a pipe or a device of that name, which would block
// or never end, is refused before any read.
Expected<QByteArray> readPictureFile(const QString& path);

// Loads the picture in the file at `path` (its name's ending plays no part), read as
// readPictureFile reads it. Memory that runs out is a failure like any other.
Expected<PicturePtr> loadPicture(const QString& path);

// Writes the picture in its own format, replacing a file of that name as a whole (a failed
// write leaves the old file untouched): vector as EMF bytes (a WMF converted), raster as BMP.
Status savePicture(const Picture& picture, const QString& path);

}  // namespace plume

namespace plume {

// Whether a metafile is shorter than its own header says (an EMF's nBytes, a WMF's
// mtSize): a file cut short on its way to the disk. Such a picture can still be drawn in
// part, but as a file it is damaged.
bool metafileCutShort(const metafile::Document& document);

}  // namespace plume
