// ExtFloodFill: the brush spreads from a pixel over the colours already drawn, so it needs the
// output's pixels. Only a 32-bit image device has them; on a vector device (SVG, PDF) the
// record is counted as unsupported and skipped, since any guess there could cover the drawing.

#include "platform/metafile/render/GdiPlayer.h"
#include "platform/metafile/render/GdiPlayerInternal.h"

#include <QPaintDevice>
#include <QPainter>
#include <vector>

namespace plume::metafile {
namespace {

// The most pixels one fill may look at (its clip's bounds): 16 megapixels, a byte each for the
// mask. A larger area is skipped as unsupported rather than holding memory and time unbounded.
constexpr qint64 kMaxFloodPixels = qint64(1) << 24;

// The pixel's colour as GDI compares it. On a transparent background, untouched pixels count
// as the white of a fresh GDI surface.
uint32_t rgbOf(uint32_t pixel, bool premultiplied) {
    if (premultiplied) {
        const uint32_t alpha = qAlpha(pixel);
        if (alpha == 0) return 0xFFFFFFu;
        if (alpha < 255) pixel = qUnpremultiply(pixel);
    }
    return pixel & 0xFFFFFFu;
}

// Marks in `mask` (the bounds' size, 1 = may be filled) the 4-connected pixels reachable from
// `start` whose colour passes the test, and sets them to 2. `mask` comes in with 1 for the
// pixels inside the clip and 0 elsewhere. Scan lines: each span is filled whole, then the lines
// above and below are searched for new spans, so the work is linear in the bounds' area.
void flood(const QImage& image, const QRect& bounds, std::vector<uint8_t>& mask, QPoint start,
           uint32_t color, bool surface) {
    const bool premultiplied = image.format() == QImage::Format_ARGB32_Premultiplied;
    const int w = bounds.width(), h = bounds.height();
    const auto fillable = [&](int x, int y) {
        uint8_t& m = mask[size_t(y) * size_t(w) + size_t(x)];
        if (m != 1) return false;
        const auto* line = reinterpret_cast<const uint32_t*>(image.constScanLine(y + bounds.top()));
        const bool same = rgbOf(line[x + bounds.left()], premultiplied) == color;
        return surface ? same : !same;
    };
    std::vector<QPoint> seeds{start - bounds.topLeft()};
    while (!seeds.empty()) {
        const QPoint seed = seeds.back();
        seeds.pop_back();
        if (!fillable(seed.x(), seed.y())) continue;
        int left = seed.x(), right = seed.x();
        while (left > 0 && fillable(left - 1, seed.y())) --left;
        while (right + 1 < w && fillable(right + 1, seed.y())) ++right;
        for (int x = left; x <= right; ++x) mask[size_t(seed.y()) * size_t(w) + size_t(x)] = 2;
        for (const int y : {seed.y() - 1, seed.y() + 1}) {
            if (y < 0 || y >= h) continue;
            bool inSpan = false;
            for (int x = left; x <= right; ++x) {
                const bool ok = fillable(x, y);
                if (ok && !inSpan) seeds.push_back(QPoint(x, y));
                inSpan = ok;
            }
        }
    }
}

}  // namespace

void GdiPlayer::extFloodFill(Point start, ColorRef color, uint32_t mode) {
    QPaintDevice* device = m_painter.device();
    if (!device || device->devType() != QInternal::Image ||
        static_cast<QImage*>(device)->depth() != 32 || m_inPath) {
        ++m_unsupported;
        return;
    }
    if (!brushVisible()) return;
    QImage& image = *static_cast<QImage*>(device);
    const QPointF at = full().map(QPointF(start.x, start.y));
    const QPoint seed(int(std::floor(player::clamp(at.x()))),
                      int(std::floor(player::clamp(at.y()))));

    // The surface the fill may spread over: the picture, the image, the clip.
    QRegion allowed(m_painterBase.mapRect(m_target).toAlignedRect());
    allowed &= image.rect();
    if (m_dc.clip) allowed &= *m_dc.clip;
    if (m_dc.metaClip) allowed &= *m_dc.metaClip;
    if (m_outerClip) allowed &= QRegion(m_outerClip->toFillPolygon().toPolygon());
    if (!allowed.contains(seed)) return;  // GDI fails for a point outside the clip
    const QRect bounds = allowed.boundingRect();
    if (qint64(bounds.width()) * bounds.height() > kMaxFloodPixels) {
        ++m_unsupported;
        return;
    }
    std::vector<uint8_t> mask(size_t(bounds.width()) * size_t(bounds.height()), 0);
    for (const QRect& r : allowed) {
        const QRect local = r.translated(-bounds.topLeft());
        for (int y = local.top(); y <= local.bottom(); ++y)
            std::fill_n(mask.begin() + qsizetype(y) * bounds.width() + local.left(), local.width(),
                        uint8_t(1));
    }
    flood(image, bounds, mask, seed, resolveColor(color).rgb() & 0xFFFFFFu,
          mode == floodFill::Surface);

    // The brush laid over the filled pixels, its pattern anchored as for any other figure.
    QImage paint(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    paint.fill(Qt::transparent);
    {
        QPainter pp(&paint);
        QBrush brush = deviceBrush(m_dc.brush);
        brush.setTransform(QTransform::fromTranslate(patternOrigin().x() - bounds.left(),
                                                     patternOrigin().y() - bounds.top()));
        pp.fillRect(paint.rect(), brush);
    }
    for (int y = 0; y < bounds.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(paint.scanLine(y));
        const uint8_t* m = mask.data() + size_t(y) * size_t(bounds.width());
        for (int x = 0; x < bounds.width(); ++x)
            if (m[x] != 2) line[x] = 0;
    }
    applyClip();
    const OutputPixels pixels(m_painter, m_deviceToPainter);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.drawImage(bounds.topLeft(), paint);
    restoreCompositionMode();
}

}  // namespace plume::metafile
