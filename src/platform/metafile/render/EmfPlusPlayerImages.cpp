// EmfPlusPlayer: DrawImage and DrawImagePoints, bitmaps and metafiles.

#include "platform/metafile/render/EmfPlusPlayer.h"

#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/Document.h"
#include "platform/metafile/format/EmfReader.h"
#include "platform/metafile/format/PlayableDocument.h"
#include "platform/metafile/render/EmfPlusEffects.h"
#include "platform/metafile/render/Render.h"

#include <QPainter>
#include <cmath>

namespace plume::metafile {

using namespace emfplus;

namespace {

// Pictures inside pictures are drawn this deep at most.
constexpr int kMaxNestedPictures = 4;

// A source rectangle's unit in the bitmap's pixels, at its own resolution (96 dpi when it
// has none). The world and display units are taken as pixels.
double sourceUnitPixels(int32_t unit, const QImage& bitmap, bool vertical) {
    const int dpm = vertical ? bitmap.dotsPerMeterY() : bitmap.dotsPerMeterX();
    const double dpi = dpm > 0 ? dpm * 0.0254 : 96.0;
    switch (Unit(unit)) {
        case Unit::Point: return dpi / 72;
        case Unit::Inch: return dpi;
        case Unit::Document: return dpi / 300;
        case Unit::Millimeter: return dpi / 25.4;
        default: return 1;
    }
}

// The whole picture of a metafile image in the units of a source rectangle: an EMF's frame
// in its reference device's pixels, a placeable WMF's bounds in its own units. (Writers give
// most images the whole picture as their source, a pixel wider and higher than this box.)
std::optional<QRectF> metafileBox(const Document& document) {
    if (const auto* playable = dynamic_cast<const PlayableDocument*>(&document)) {
        if (const EmfFile* emf = playable->emfFile(); emf && document.format() == Format::Emf) {
            const EmfHeader& h = emf->header;
            if (h.deviceMillimeters.cx <= 0 || h.deviceMillimeters.cy <= 0 ||
                h.devicePixels.cx <= 0 || h.devicePixels.cy <= 0)
                return std::nullopt;
            const double kx = h.devicePixels.cx / (h.deviceMillimeters.cx * 100.0);
            const double ky = h.devicePixels.cy / (h.deviceMillimeters.cy * 100.0);
            return QRectF(h.frame.left * kx, h.frame.top * ky, (h.frame.right - h.frame.left) * kx,
                          (h.frame.bottom - h.frame.top) * ky);
        }
    }
    if (document.format() == Format::PlaceableWmf) {
        BoundedReader in(byteSpan(document.bytes()));
        in.skip(6);
        const int16_t left = in.i16(), top = in.i16(), right = in.i16(), bottom = in.i16();
        if (in.ok()) return QRectF(left, top, right - left, bottom - top);
    }
    return std::nullopt;
}

}  // namespace

// DrawImage and DrawImagePoints: the source rectangle of the image onto the destination
// rectangle or parallelogram.
bool EmfPlusPlayer::playImage(const ImageDrawRecord& r) {
    const auto* image = std::get_if<Image>(&m_objects[r.image % kObjectTableSize].data);
    if (!image) return false;
    const std::array<QPointF, 3> c =
        r.points ? r.corners
                 : std::array<QPointF, 3>{r.dest.topLeft(), r.dest.topRight(), r.dest.bottomLeft()};
    // The unit square onto the destination.
    const QTransform square(c[1].x() - c[0].x(), c[1].y() - c[0].y(), c[2].x() - c[0].x(),
                            c[2].y() - c[0].y(), c[0].x(), c[0].y());
    if (image->bitmap.isNull()) return drawMetafile(r, image->metafile, square);
    drawBitmap(r, image->bitmap, square);
    return true;
}

// A bitmap, through the effect the record names. Where the source rectangle goes beyond the
// bitmap, an image attributes object fills it: the bitmap repeated (tiled or flipped) or the
// clamp colour; without one nothing is drawn there.
void EmfPlusPlayer::drawBitmap(const ImageDrawRecord& r, const QImage& original,
                               const QTransform& square) {
    const double ux = sourceUnitPixels(r.srcUnit, original, false);
    const double uy = sourceUnitPixels(r.srcUnit, original, true);
    const QRectF src(r.src.x() * ux, r.src.y() * uy, r.src.width() * ux, r.src.height() * uy);
    if (!(src.width() > 0 && src.height() > 0)) return;
    applyPainterState();
    m_painter.setTransform(QTransform::fromTranslate(-src.x(), -src.y()) *
                           QTransform::fromScale(1 / src.width(), 1 / src.height()) * square *
                           worldToPainter());
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, !m_state.nearestImages);
    const QImage bitmap =
        r.effect && m_effect ? applyImageEffect(original, *m_effect) : original;
    // Copied over what is there (SourceCopy), a bitmap's translucent pixels are laid over
    // it instead, as Clear lays a translucent colour: the picture is seen on the caller's
    // opaque background, where a copied transparent pixel would show black.
    if (m_state.sourceCopy && bitmap.hasAlphaChannel()) {
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        m_painterDirty = true;
    }
    const auto* attributes = r.attributes < kObjectTableSize
                                 ? std::get_if<ImageAttributes>(&m_objects[r.attributes].data)
                                 : nullptr;
    const QRectF whole(bitmap.rect());
    // Half a pixel over the edge is the writers' way of sampling the edge pixels whole.
    if (attributes && !whole.adjusted(-0.5, -0.5, 0.5, 0.5).contains(src)) {
        if (attributes->wrapMode >= 4) {
            QPainterPath outside, inside;
            outside.addRect(src);
            inside.addRect(whole);
            if (qAlpha(attributes->clampColor) != 0)
                m_painter.fillPath(outside.subtracted(inside),
                                   QColor::fromRgba(attributes->clampColor));
        } else if (qint64(bitmap.width()) * bitmap.height() <= 4 * 1024 * 1024) {
            m_painter.fillRect(src, QBrush(wrapTile(bitmap, int32_t(attributes->wrapMode))));
            return;
        }
    }
    m_painter.drawImage(src, bitmap, src);
}

// A metafile, drawn by Plume's own engine (with its own EMF+ records where it has them): the
// part the source rectangle names (in the units of the picture's box, see metafileBox), or
// the whole picture when its box is not known.
bool EmfPlusPlayer::drawMetafile(const ImageDrawRecord& r, const QByteArray& bytes,
                                 const QTransform& square) {
    static thread_local int nesting = 0;
    if (bytes.isEmpty() || nesting >= kMaxNestedPictures) return false;
    const ParseResult parsed = parseMetafile(bytes);
    const auto* document = std::get_if<DocumentPtr>(&parsed);
    if (!document) return false;
    // Drawn at its size in output pixels, so that the engine's own rounding rules hold.
    const QTransform toPainter = square * worldToPainter();
    const double w = std::hypot(toPainter.m11(), toPainter.m12());
    const double h = std::hypot(toPainter.m21(), toPainter.m22());
    if (!(w > 1e-9 && h > 1e-9)) return true;
    QRectF target(0, 0, w, h);
    const auto box = r.srcUnit == int32_t(Unit::Pixel) ? metafileBox(**document) : std::nullopt;
    // A source rectangle that holds the whole picture, give or take a pixel, draws it whole.
    const bool part = box && box->width() > 0 && box->height() > 0 && r.src.width() > 0 &&
                      r.src.height() > 0 && !r.src.adjusted(-1, -1, 1, 1).contains(*box);
    if (part) {
        const double sx = w / r.src.width(), sy = h / r.src.height();
        target = QRectF((box->x() - r.src.x()) * sx, (box->y() - r.src.y()) * sy,
                        box->width() * sx, box->height() * sy);
    }
    applyPainterState();
    m_painter.save();
    m_painter.setTransform(QTransform::fromScale(1 / w, 1 / h) * toPainter);
    if (part) m_painter.setClipRect(QRectF(0, 0, w, h), Qt::IntersectClip);
    ++nesting;
    render(**document, m_painter, target);
    --nesting;
    m_painter.restore();
    return true;
}

}  // namespace plume::metafile
