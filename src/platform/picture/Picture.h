#pragma once

// The picture Plume passes between files, the clipboard and its surfaces: shared, immutable,
// either vector (a parsed metafile) or raster (a bitmap), and knowing its own size.

#include "platform/base/Expected.h"
#include "platform/metafile/Metafile.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <memory>

class QPainter;
class QRectF;

namespace plume {

class Picture;
using PicturePtr = std::shared_ptr<const Picture>;

enum class PictureKind { Vector, Raster };

class Picture {
  public:
    // A vector picture over a parsed metafile (EMF or WMF). Null when the document is.
    static PicturePtr fromDocument(metafile::DocumentPtr document);
    // A raster picture of the image. Null when the image is null.
    static PicturePtr fromImage(QImage image);

    PictureKind kind() const { return m_document ? PictureKind::Vector : PictureKind::Raster; }
    bool isVector() const { return kind() == PictureKind::Vector; }

    // Own size in pixels: a vector picture's frame at the screen's logical DPI (as the size
    // was fixed when the picture was made), a raster picture's pixel size.
    QSize size() const { return m_size; }

    // The metafile of a vector picture (null for raster).
    const metafile::DocumentPtr& document() const { return m_document; }
    // The bitmap of a raster picture (null image for vector).
    const QImage& image() const { return m_image; }

    // A vector picture as EMF bytes: an EMF as it came, a WMF converted. Empty for raster.
    QByteArray emfBytes() const;

  private:
    Picture(metafile::DocumentPtr document, QImage image, QSize size);

    metafile::DocumentPtr m_document;
    QImage m_image;
    QSize m_size;
};

// The screen's logical DPI as Plume uses it for own sizes: 1440 / twips per pixel.
double screenDpi();

// A vector document's own size in whole pixels at `dpi` (rounded, never negative).
QSize ownPixelSize(const metafile::Document& document, double dpi);

// Limits on any raster Plume creates (shared with the bitmaps the metafile engine decodes).
using metafile::kMaxRasterPixels;
using metafile::kMaxRasterSide;

// Whether a raster of this size may be made; the failure names the size and the limit.
Status checkRasterSize(QSize size);

// Draws the whole picture stretched into `target` of the painter's coordinates. A vector
// picture is played with the engine's limits and `options`; the stats say whether a limit (or
// options.shouldStop) cut it short. A raster picture is scaled smoothly.
metafile::RenderStats paintPicture(QPainter& painter, const Picture& picture, const QRectF& target,
                                   const metafile::RenderOptions& options = {});

// The picture rendered stretched to exactly `size` on `background`. Refused when the size
// breaks the raster limits or is empty. `stats`, when given, receives the drawing's counts.
Expected<QImage> renderPicture(const Picture& picture, QSize size,
                               const QColor& background = Qt::white,
                               const metafile::RenderOptions& options = {},
                               metafile::RenderStats* stats = nullptr);

// `viewSize` of `background` with the picture drawn at its own size from the top-left
// corner, cut off at the edges: what a preview surface shows. Only the visible part is drawn.
Expected<QImage> renderAtOwnSize(const Picture* picture, QSize viewSize,
                                 const QColor& background = Qt::white,
                                 const metafile::RenderOptions& options = {},
                                 metafile::RenderStats* stats = nullptr);

}  // namespace plume
