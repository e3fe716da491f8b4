#pragma once

// Writes a picture as PNG a band of rows at a time, so that a large picture (a raw WMF whose
// window is ten thousand units wide, drawn at one unit a pixel) never needs its whole raster
// in memory: each band is drawn on its own small bitmap and its rows go straight to the
// encoder.

#include "platform/base/Expected.h"
#include "platform/picture/Picture.h"

#include <QList>
#include <utility>

class QIODevice;

namespace plume {

// Default memory for one band: a few megapixels. Pictures that fit in it are drawn in one go.
inline constexpr qint64 kPngBandBytes = 32LL * 1024 * 1024;

// Renders the picture stretched to `size` on white and writes it to `out` as an 8-bit RGB
// PNG (zlib's fastest level). Bands are `bandBytes` of raster at most (at least one row).
// A vector picture is drawn once a band, each band under the same time limit (the engine's
// for a picture, a budget of the records' work), so a cut picture stops at the same record in
// every band; the whole costs at most the limit once a band.
// Refused when the size breaks the raster limits; a failed write is reported. Without
// `drawEmfPlus` an EMF is drawn from its GDI records only. A `background` that is not opaque
// makes an RGBA PNG (transparent where nothing is drawn for Qt::transparent). `text` goes
// into tEXt chunks before the pixels (keys of 1 to 79 Latin-1 characters). `cutOff` tells
// that the time limit stopped the drawing of some band, whose PNG then lacks what came after.
using PngText = QList<std::pair<QByteArray, QByteArray>>;
struct PngWritten {
    bool cutOff = false;
};
Expected<PngWritten> writePictureAsPng(const Picture& picture, QSize size, QIODevice& out,
                                       qint64 bandBytes = kPngBandBytes,
                                       int timeLimitMs = metafile::RenderOptions{}.timeLimitMs,
                                       bool drawEmfPlus = true,
                                       const QColor& background = Qt::white,
                                       const PngText& text = {});

}  // namespace plume
