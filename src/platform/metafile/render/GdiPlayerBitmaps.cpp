// GdiPlayer: bitmaps (the blit family, raster operations, DIB pattern brushes).

#include "platform/metafile/format/Dib.h"
#include "platform/metafile/render/GdiPlayer.h"
#include "platform/metafile/render/GdiPlayerInternal.h"
#include "platform/metafile/render/Render.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace plume::metafile {

namespace {

// The ternary operation that leaves the destination as it is.
constexpr uint32_t kRopDestination = 0x00AA0029;

DibColorUsage usageOf(const DibRef& dib) {
    return dibColorUsage(dib.colorUsage);
}

// `palette`: the DC's palette for DIB_PAL_COLORS and DIB_PAL_INDICES bitmaps (empty: the
// default palette).
std::optional<QImage> decode(const DibRef& dib, bool keepAlpha, DibPalette palette = {}) {
    const DibColorUsage usage = usageOf(dib);
    if (dib.bits.empty()) return decodePackedDib(dib.info, usage, keepAlpha, nullptr, palette);
    return decodeDib(dib.info, dib.bits, usage, keepAlpha, nullptr, palette);
}

// The two colours of a monochrome brush's bitmap: 0 bits black, 1 bits white. A
// DIB_PAL_INDICES bitmap (no colour table) is taken as that too.
constexpr QRgb kMonoTable[2] = {0xFF000000u, 0xFFFFFFFFu};

QPainter::CompositionMode rop3Mode(uint32_t rop) {
    switch (rop) {
        case rop3::SrcPaint:
            return QPainter::RasterOp_SourceOrDestination;
        case rop3::SrcAnd:
            return QPainter::RasterOp_SourceAndDestination;
        case rop3::SrcInvert:
            return QPainter::RasterOp_SourceXorDestination;
        case rop3::SrcErase:
            return QPainter::RasterOp_SourceAndNotDestination;
        case rop3::NotSrcCopy:
            return QPainter::RasterOp_NotSource;
        case rop3::NotSrcErase:
            return QPainter::RasterOp_NotSourceAndNotDestination;
        case rop3::MergePaint:
            return QPainter::RasterOp_NotSourceOrDestination;
        case rop3::PatInvert:
            return QPainter::RasterOp_SourceXorDestination;
        case rop3::DstInvert:
            return QPainter::RasterOp_NotDestination;
        default:
            return QPainter::CompositionMode_SourceOver;
    }
}

// Applies a ternary raster operation to 32-bit pixels: each result bit is the operation's
// code bit indexed by the pattern, source and destination bits (MS-WMF 2.1.1.31).
inline uint32_t ternary(uint8_t code, uint32_t p, uint32_t s, uint32_t d) {
    uint32_t r = 0;
    for (int k = 0; k < 8; ++k) {
        if (!(code & (1u << k))) continue;
        r |= ((k & 4) ? p : ~p) & ((k & 2) ? s : ~s) & ((k & 1) ? d : ~d);
    }
    return r;
}

// The full code of a ternary raster operation from its index byte: the two halves of
// MaskBlt's quaternary operation are index bytes only.
uint32_t rop3FromIndex(uint32_t index) {
    static constexpr uint32_t kKnown[] = {
        rop3::SrcCopy,    rop3::SrcPaint,   rop3::SrcAnd,      rop3::SrcInvert,
        rop3::SrcErase,   rop3::NotSrcCopy, rop3::NotSrcErase, rop3::MergeCopy,
        rop3::MergePaint, rop3::PatCopy,    rop3::PatPaint,    rop3::PatInvert,
        rop3::DstInvert,  rop3::Blackness,  rop3::Whiteness,   kRopDestination};
    index &= 0xff;
    for (uint32_t rop : kKnown)
        if (((rop >> 16) & 0xff) == index) return rop;
    return index << 16;
}

// `image` as a monochrome bitmap: 1 where a pixel is nearer white than black, or the other
// way round with `invert`.
QImage monoBits(const QImage& image, bool invert) {
    QImage mono(image.size(), QImage::Format_Mono);
    mono.setColorCount(2);
    mono.setColor(0, qRgb(0, 0, 0));
    mono.setColor(1, qRgb(255, 255, 255));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            mono.setPixel(x, y, (qGray(image.pixel(x, y)) > 127) != invert ? 1 : 0);
    return mono;
}

// The bits of a monochrome brush's 1-bpp DIB, which take the text colour (0) and the
// background colour (1) when the brush paints. The colour table only says which bits are
// which: of two RGB colours the darker entry's bits are the 0 bits (the first entry's when
// neither is darker), however light or dark both are; DIB_PAL_COLORS indexes name no colour
// and DIB_PAL_INDICES has no table, so their bits count as they stand. Nothing for a DIB of
// another depth.
std::optional<QImage> monoBrushBits(const DibRef& dib) {
    const DibColorUsage usage = usageOf(dib);
    const auto header = parseDibHeader(dib.info, usage);
    if (!header || header->bitCount != 1 || header->compression != 0) return std::nullopt;
    std::span<const uint8_t> info = dib.info, bits = dib.bits;
    if (bits.empty()) {  // a packed DIB: the bits follow the header and table
        if (header->infoSize > qsizetype(info.size())) return std::nullopt;
        bits = info.subspan(size_t(header->infoSize));
        info = info.first(size_t(header->infoSize));
    }
    const auto raw = decodeDib(info, bits, DibColorUsage::PaletteIndices, false, nullptr,
                               DibPalette(kMonoTable));
    if (!raw) return std::nullopt;
    bool invert = false;
    const qsizetype entry = header->headerSize == 12 ? 3 : 4;  // RGBTRIPLE or RGBQUAD
    const qsizetype table = header->colorTableOffset;
    if (usage == DibColorUsage::Rgb && header->colorTableEntries >= 2 &&
        qsizetype(info.size()) >= table + 2 * entry) {
        const auto sum = [&](qsizetype at) { return info[at] + info[at + 1] + info[at + 2]; };
        invert = sum(table) > sum(table + entry);
    }
    return monoBits(*raw, invert);
}

// A monochrome mask as GDI makes one of a DIB: white where the colour is nearer white (bit 1),
// black elsewhere.
QImage maskBits(const QImage& decoded) {
    QImage bits(decoded.size(), QImage::Format_RGB32);
    for (int y = 0; y < decoded.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(decoded.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(bits.scanLine(y));
        for (int x = 0; x < decoded.width(); ++x)
            out[x] = qGray(in[x]) > 127 ? 0xffffffffu : 0xff000000u;
    }
    return bits;
}

// Mask bits laid over `size` source pixels, the mask's `origin` on the source's `at`: what
// lies outside the mask reads as 0.
QImage alignedMask(const QImage& bits, QSize size, QPoint at, Point origin) {
    QImage aligned(size, QImage::Format_RGB32);
    aligned.fill(0xff000000u);
    QPainter p(&aligned);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPointF(double(at.x()) - origin.x, double(at.y()) - origin.y), bits);
    return aligned;
}

}  // namespace

bool GdiPlayer::rasterOpOnImage(const QRectF& destLogical, const QImage* image, const QRectF& src,
                                uint32_t rop, const QImage* mask, uint32_t backgroundRop) {
    // Exact GDI semantics need the destination pixels, which only an image device gives.
    QPaintDevice* device = m_painter.device();
    if (!device || device->devType() != QInternal::Image) return false;
    auto* target = static_cast<QImage*>(device);
    if (target->depth() != 32) return false;
    const QTransform logicalToOutput = full();
    if (logicalToOutput.isRotating()) return false;
    const QRectF mapped = logicalToOutput.mapRect(destLogical);
    QRect box(QPoint(int(std::lround(mapped.left())), int(std::lround(mapped.top()))),
              QPoint(int(std::lround(mapped.right())) - 1, int(std::lround(mapped.bottom())) - 1));
    box = box.intersected(target->rect());
    if (box.isEmpty()) return true;

    QImage sourcePixels(box.size(), QImage::Format_RGB32);
    sourcePixels.fill(Qt::black);
    if (image) {
        QPainter sp(&sourcePixels);
        sp.setTransform(logicalToOutput * QTransform::fromTranslate(-box.left(), -box.top()));
        sp.setRenderHint(QPainter::SmoothPixmapTransform, m_dc.stretchMode == 4);
        sp.drawImage(destLogical, *image, src);
    }
    QImage patternPixels(box.size(), QImage::Format_RGB32);
    {
        // A pattern in a raster operation is a whole two-colour tile: hatch gaps take the
        // background colour whatever the background mode.
        patternPixels.fill(m_dc.bkColor);
        QPainter pp(&patternPixels);
        const BkMode mode = m_dc.bkMode;
        m_dc.bkMode = BkMode::Opaque;
        QBrush brush = deviceBrush(m_dc.brush);
        m_dc.bkMode = mode;
        if (brush.style() != Qt::NoBrush) {
            brush.setTransform(QTransform::fromTranslate(patternOrigin().x() - box.left(),
                                                         patternOrigin().y() - box.top()));
            pp.fillRect(patternPixels.rect(), brush);
        }
    }
    QImage result = target->copy(box).convertToFormat(QImage::Format_RGB32);
    const uint8_t code = uint8_t((rop >> 16) & 0xff);
    if (mask) {
        // MaskBlt: the mask's 1 bits take the foreground operation, its 0 bits the background.
        QImage maskPixels(box.size(), QImage::Format_RGB32);
        maskPixels.fill(0xff000000u);
        QPainter mp(&maskPixels);
        mp.setTransform(logicalToOutput * QTransform::fromTranslate(-box.left(), -box.top()));
        mp.drawImage(destLogical, *mask, src);
        mp.end();
        const uint8_t back = uint8_t((backgroundRop >> 16) & 0xff);
        for (int y = 0; y < result.height(); ++y) {
            auto* d = reinterpret_cast<uint32_t*>(result.scanLine(y));
            const auto* sl = reinterpret_cast<const uint32_t*>(sourcePixels.constScanLine(y));
            const auto* pl = reinterpret_cast<const uint32_t*>(patternPixels.constScanLine(y));
            const auto* ml = reinterpret_cast<const uint32_t*>(maskPixels.constScanLine(y));
            for (int x = 0; x < result.width(); ++x)
                d[x] = 0xff000000u |
                       (ternary((ml[x] & 0xff) ? code : back, pl[x], sl[x], d[x]) & 0x00ffffffu);
        }
    } else {
        for (int y = 0; y < result.height(); ++y) {
            auto* d = reinterpret_cast<uint32_t*>(result.scanLine(y));
            const auto* sl = reinterpret_cast<const uint32_t*>(sourcePixels.constScanLine(y));
            const auto* pl = reinterpret_cast<const uint32_t*>(patternPixels.constScanLine(y));
            for (int x = 0; x < result.width(); ++x)
                d[x] = 0xff000000u | (ternary(code, pl[x], sl[x], d[x]) & 0x00ffffffu);
        }
    }
    applyClip();
    const OutputPixels pixels(m_painter, m_deviceToPainter);
    m_painter.setCompositionMode(QPainter::CompositionMode_Source);
    m_painter.drawImage(box.topLeft(), result);
    restoreCompositionMode();
    return true;
}

// --- Bitmaps ---

void GdiPlayer::createDibPatternBrush(uint32_t index, const DibRef& pattern, bool monochrome) {
    if (index >= uint32_t(kMaxObjectSlots)) return;
    BrushObject b;
    b.style = brushStyle::DibPatternPt;
    b.color = Qt::black;
    const DibColorUsage usage = usageOf(pattern);
    const std::vector<QRgb> palette =
        usage == DibColorUsage::Rgb ? std::vector<QRgb>{} : paletteColors();
    const DibPalette table = monochrome && usage == DibColorUsage::PaletteIndices
                                 ? DibPalette(kMonoTable)
                                 : DibPalette(palette);
    if (!monochrome && usage != DibColorUsage::Rgb) {
        // Its colours come from the palette selected with the brush, looked up then.
        auto kept = std::make_shared<PalettePattern>();
        kept->info.assign(pattern.info.begin(), pattern.info.end());
        kept->bits.assign(pattern.bits.begin(), pattern.bits.end());
        kept->usage = pattern.colorUsage;
        b.palettePattern = std::move(kept);
    }
    if (auto bits = monochrome ? monoBrushBits(pattern) : std::nullopt) {
        // A monochrome brush keeps its bits, to take the text and background colours when it
        // paints.
        b.pattern = *bits;
        b.monochrome = true;
    } else if (auto image = decode(pattern, false, table)) {
        b.pattern = monochrome ? monoBits(*image, false) : *image;
        b.monochrome = monochrome;
    } else {
        b.style = brushStyle::Solid;  // an unreadable pattern paints black, not garbage
    }
    if (m_objects.size() <= index) m_objects.resize(index + 1);
    m_objects[index] = std::move(b);
}

void GdiPlayer::drawImage(const BlitOp& op, const QImage& source, bool keepRasterOp) {
    QImage image = source;
    QRectF src(op.srcX, op.srcY, op.srcWidth, op.srcHeight);
    QRectF dest(op.destX, op.destY, op.destWidth, op.destHeight);
    // Negative extents mirror the picture; a right-to-left layout that preserves bitmaps'
    // orientation turns them back.
    constexpr uint32_t kPreserved = layout::RightToLeft | layout::BitmapOrientationPreserved;
    const bool preserved = (m_dc.layoutFlags & kPreserved) == kPreserved;
    const bool mirrorX = ((dest.width() < 0) != (src.width() < 0)) != preserved;
    const bool mirrorY = (dest.height() < 0) != (src.height() < 0);
    dest = dest.normalized();
    src = src.normalized();
    if (mirrorX || mirrorY) {
        image = image.mirrored(mirrorX, mirrorY);
        if (mirrorX) src.moveLeft(image.width() - src.right());
        if (mirrorY) src.moveTop(image.height() - src.bottom());
    }
    if (dest.isEmpty() || src.isEmpty()) return;
    // Under a right-to-left layout the rectangle of pixels is mirrored whole.
    if ((m_dc.layoutFlags & layout::RightToLeft) && !m_toDevice.isRotating())
        dest.translate(player::kLayoutMirrorShift / full().m11(), 0);
    if (keepRasterOp && op.rop != rop3::SrcCopy && rasterOpOnImage(dest, &image, src, op.rop))
        return;
    applyClip();
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    if (keepRasterOp) {
        if (m_rasterOps) {
            mode = rop3Mode(op.rop);
        } else if (op.rop == rop3::NotSrcCopy) {
            image.invertPixels();
        }
        if (op.rop == rop3::MergeCopy) {
            // MERGECOPY: source AND pattern brush.
            QImage merged = image.convertToFormat(QImage::Format_RGB32);
            QPainter p(&merged);
            p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            p.fillRect(merged.rect(), m_dc.brush.style == brushStyle::Solid ? m_dc.brush.color
                                                                            : QColor(Qt::white));
            p.end();
            image = merged;
        }
    }
    const OutputPixels logical(m_painter, m_deviceToPainter, full());
    m_painter.setCompositionMode(mode);
    const bool smooth = m_dc.stretchMode == 4;
    if (smooth) m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_painter.drawImage(dest, image, src);
    if (smooth) m_painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    restoreCompositionMode();
}

void GdiPlayer::blit(const BlitOp& op) {
    if (!rop3::usesSource(op.rop) || op.source.empty()) {
        // PatBlt and the blits without a source: fill the rectangle by the operation.
        const QRectF destRect =
            QRectF(op.destX, op.destY, op.destWidth, op.destHeight).normalized();
        if (op.rop != rop3::PatCopy && op.rop != rop3::Blackness && op.rop != rop3::Whiteness &&
            rasterOpOnImage(destRect, nullptr, QRectF(), op.rop))
            return;
        QPainterPath path;
        path.addRect(destRect);
        path = m_toDevice.map(path);
        applyClip();
        QBrush brush = deviceBrush(m_dc.brush);
        QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
        switch (op.rop) {
            case rop3::Blackness:
                brush = QBrush(Qt::black);
                break;
            case rop3::Whiteness:
                brush = QBrush(Qt::white);
                break;
            case rop3::DstInvert:
                if (!m_rasterOps) return;
                brush = QBrush(Qt::black);
                mode = QPainter::RasterOp_NotDestination;
                break;
            case rop3::PatInvert:
                if (!m_rasterOps) return;
                mode = QPainter::RasterOp_SourceXorDestination;
                break;
            case kRopDestination:
                return;  // the destination unchanged
            default:
                break;  // PATCOPY and the rest: the brush
        }
        if (brush.style() == Qt::NoBrush) return;
        m_painter.setCompositionMode(mode);
        m_painter.fillPath(path, brush);
        restoreCompositionMode();
        return;
    }

    auto image = decode(op.source, false, sourcePalette(op.source));
    if (!image) {
        ++m_unsupported;
        return;
    }
    BlitOp adjusted = op;
    // The DIB's own height, negative when it is stored top-down.
    int32_t height = 0;
    if (const auto header = parseDibHeader(op.source.info, usageOf(op.source)))
        height = header->topDown ? -header->height : header->height;
    if (op.dibitsToDevice) {
        // SetDIBitsToDevice: the source rectangle counts from the lower-left corner of a
        // bottom-up DIB; the bits hold the scan lines from startScan on.
        const int imageHeight = image->height();
        if (height > 0) {
            const int64_t bandTop = int64_t(height) - op.startScan - imageHeight;
            const int64_t top =
                int64_t(height) - op.srcY - op.srcHeight - std::max<int64_t>(bandTop, 0);
            adjusted.srcY = int32_t(std::clamp<int64_t>(top, INT32_MIN / 2, INT32_MAX / 2));
        }
    } else if (height > 0 && op.source.bits.size() > 0 && op.srcHeight > 0 &&
               op.srcHeight != image->height()) {
        // StretchDIBits: a bottom-up DIB's source origin is its lower-left corner.
        adjusted.srcY = int32_t(std::clamp<int64_t>(
            int64_t(image->height()) - op.srcY - op.srcHeight, INT32_MIN / 2, INT32_MAX / 2));
    }
    drawImage(adjusted, *image, true);
}

void GdiPlayer::alphaBlend(const BlitOp& op, uint32_t blendFunction) {
    // BLENDFUNCTION: constant alpha in the third byte, AC_SRC_ALPHA in the fourth.
    const double constant = ((blendFunction >> 16) & 0xff) / 255.0;
    const bool perPixel = (blendFunction >> 24) & 0x01;
    auto image = decode(op.source, perPixel, sourcePalette(op.source));
    if (!image) {
        ++m_unsupported;
        return;
    }
    m_painter.save();
    m_painter.setOpacity(constant);
    drawImage(op, *image, false);
    m_painter.restore();
}

void GdiPlayer::transparentBlt(const BlitOp& op, ColorRef transparent) {
    auto image = decode(op.source, false, sourcePalette(op.source));
    if (!image) {
        ++m_unsupported;
        return;
    }
    // The colour is matched in the source's own pixel format: a palette bitmap's nearest
    // entry, a high-colour bitmap's colour cut to the bits it keeps.
    const QRgb key = colorInDibFormat(
        op.source.info, usageOf(op.source),
        qRgb(transparent.red(), transparent.green(), transparent.blue()), sourcePalette(op.source));
    QImage keyed = image->convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            if ((line[x] & 0xffffff) == (key & 0xffffff)) line[x] = 0;
    }
    drawImage(op, keyed, false);
}

void GdiPlayer::maskBlt(const BlitOp& op, const DibRef& mask, Point maskOrigin) {
    // The quaternary operation: the foreground operation's index in the third byte (where the
    // mask is 1), the background one's in the fourth (where it is 0).
    BlitOp fore = op;
    fore.rop = rop3FromIndex(op.rop >> 16);
    const uint32_t back = rop3FromIndex(op.rop >> 24);
    std::optional<QImage> maskImage;
    if (!mask.empty()) maskImage = decode(mask, false);
    if (!maskImage) {
        blit(fore);  // without a mask, BitBlt with the foreground operation
        return;
    }
    std::optional<QImage> image;
    if (rop3::usesSource(fore.rop) || rop3::usesSource(back)) {
        if (!op.source.empty()) image = decode(op.source, false, sourcePalette(op.source));
        if (!image) {
            ++m_unsupported;
            return;
        }
    } else {
        // Without a source the mask lies over the destination rectangle.
        fore.srcX = fore.srcY = 0;
        fore.srcWidth = std::abs(op.destWidth);
        fore.srcHeight = std::abs(op.destHeight);
        if (fore.srcWidth > kMaxRasterSide || fore.srcHeight > kMaxRasterSide) return;
    }
    const QSize size = image ? image->size() : QSize(fore.srcWidth, fore.srcHeight);
    const QImage bits =
        alignedMask(maskBits(*maskImage), size, QPoint(fore.srcX, fore.srcY), maskOrigin);
    const QRectF dest = QRectF(op.destX, op.destY, op.destWidth, op.destHeight).normalized();
    const QRectF src = QRectF(fore.srcX, fore.srcY, fore.srcWidth, fore.srcHeight).normalized();
    if (dest.isEmpty() || src.isEmpty()) return;
    if (rasterOpOnImage(dest, image ? &*image : nullptr, src, fore.rop, &bits, back)) return;

    // Elsewhere (a vector device, a rotation): each pixel takes what its operation gives
    // when that does not depend on the destination, and is left out where it keeps it.
    QImage source =
        image ? image->convertToFormat(QImage::Format_ARGB32) : QImage(size, QImage::Format_ARGB32);
    if (!image) source.fill(Qt::black);
    const QRgb brush =
        m_dc.brush.style == brushStyle::Solid ? m_dc.brush.color.rgb() : qRgb(0, 0, 0);
    for (int y = 0; y < source.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(source.scanLine(y));
        const auto* on = reinterpret_cast<const QRgb*>(bits.constScanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            switch ((on[x] & 0xff) ? fore.rop : back) {
                case rop3::SrcCopy:
                    break;
                case rop3::NotSrcCopy:
                    line[x] = 0xff000000u | ~line[x];
                    break;
                case rop3::Blackness:
                    line[x] = 0xff000000u;
                    break;
                case rop3::Whiteness:
                    line[x] = 0xffffffffu;
                    break;
                case rop3::PatCopy:
                    line[x] = brush;
                    break;
                case kRopDestination:
                    line[x] = 0;
                    break;
                default:
                    break;  // approximated by the source
            }
        }
    }
    BlitOp copy = fore;
    copy.rop = rop3::SrcCopy;
    drawImage(copy, source, false);
}

void GdiPlayer::plgBlt(const BlitOp& op, const std::array<Point, 3>& corners, const DibRef& mask,
                       Point maskOrigin) {
    if (op.srcWidth == 0 || op.srcHeight == 0) return;
    auto image = decode(op.source, false, sourcePalette(op.source));
    if (!image) {
        ++m_unsupported;
        return;
    }
    QImage drawn = *image;
    std::optional<QImage> maskImage;
    if (!mask.empty()) maskImage = decode(mask, false);
    if (maskImage) {
        // The mask's 1 bits take the source; its 0 bits leave the destination.
        const QImage bits =
            alignedMask(maskBits(*maskImage), drawn.size(), QPoint(op.srcX, op.srcY), maskOrigin);
        drawn = drawn.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < drawn.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(drawn.scanLine(y));
            const auto* on = reinterpret_cast<const QRgb*>(bits.constScanLine(y));
            for (int x = 0; x < drawn.width(); ++x)
                if (!(on[x] & 0xff)) line[x] = 0;
        }
    }
    // The source rectangle's upper-left, upper-right and lower-left corners go to the three
    // points; the fourth corner follows.
    const double ax = corners[0].x, ay = corners[0].y;
    const double w = op.srcWidth, h = op.srcHeight;
    const QTransform toLogical =
        QTransform::fromTranslate(-double(op.srcX), -double(op.srcY)) *
        QTransform((corners[1].x - ax) / w, (corners[1].y - ay) / w, (corners[2].x - ax) / h,
                   (corners[2].y - ay) / h, ax, ay);
    const QTransform toOutput = toLogical * full();
    if (!player::usable(toOutput)) return;
    const QRectF src = QRectF(op.srcX, op.srcY, w, h).normalized();
    applyClip();
    const OutputPixels pixels(m_painter, m_deviceToPainter, toOutput);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const bool smooth = m_dc.stretchMode == 4;
    if (smooth) m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_painter.drawImage(src, drawn, src);
    if (smooth) m_painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    restoreCompositionMode();
}

}  // namespace plume::metafile
