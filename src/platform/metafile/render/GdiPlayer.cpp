// GdiPlayer: the picture frame, the transforms and the device context's state.

#include "platform/metafile/render/GdiPlayer.h"

#include "platform/metafile/render/GdiPlayerInternal.h"
#include "platform/metafile/render/Render.h"

#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace plume::metafile {

using player::rop2Mode;
using player::stockFont;
using player::usable;

QPainter::CompositionMode player::rop2Mode(uint32_t rop) {
    switch (rop) {
        case rop2::XorPen:
            return QPainter::RasterOp_SourceXorDestination;
        case rop2::Not:
            return QPainter::RasterOp_NotDestination;
        case rop2::MaskPen:
            return QPainter::RasterOp_SourceAndDestination;
        case rop2::MergePen:
            return QPainter::RasterOp_SourceOrDestination;
        case rop2::NotCopyPen:
            return QPainter::RasterOp_NotSource;
        case rop2::NotXorPen:
            return QPainter::RasterOp_NotSourceXorDestination;
        case rop2::MaskPenNot:
            return QPainter::RasterOp_SourceAndNotDestination;
        case rop2::MaskNotPen:
            return QPainter::RasterOp_NotSourceAndDestination;
        case rop2::MergeNotPen:
            return QPainter::RasterOp_NotSourceOrDestination;
        case rop2::MergePenNot:
            return QPainter::RasterOp_SourceOrNotDestination;
        case rop2::NotMaskPen:
            return QPainter::RasterOp_NotSourceOrNotDestination;
        case rop2::NotMergePen:
            return QPainter::RasterOp_NotSourceAndNotDestination;
        default:
            return QPainter::CompositionMode_SourceOver;
    }
}

GdiPlayer::GdiPlayer(QPainter& painter, const QRectF& target)
    : m_painter(painter), m_target(target) {}

GdiPlayer::~GdiPlayer() = default;

// --- Frame and transforms ---

void GdiPlayer::begin(const PictureInfo& info) {
    m_info = info;
    m_painter.save();
    m_painterBase = m_painter.transform();
    {
        const QPointF origin = m_painterBase.map(QPointF(0, 0));
        m_patternAnchor = QPointF(std::round(origin.x()), std::round(origin.y()));
    }
    // The clip the caller set, in output pixels.
    if (m_painter.hasClipping()) m_outerClip = m_painterBase.map(m_painter.clipPath());
    m_rasterOps =
        m_painter.paintEngine() && m_painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    // Runs of pixels are computed in the painter's device pixels, which a high-density device
    // (a device pixel ratio above 1) subdivides: there the painter draws whole outlines.
    m_rasterTarget = m_painter.paintEngine() &&
                     m_painter.paintEngine()->type() == QPaintEngine::Raster &&
                     m_painter.device() && m_painter.device()->devicePixelRatio() == 1;
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, false);

    m_unitsPerMmX = devicePixelsPerMm(info.devicePixels.cx, info.deviceMillimeters.cx,
                                      info.deviceMicrometers.cx);
    m_unitsPerMmY = devicePixelsPerMm(info.devicePixels.cy, info.deviceMillimeters.cy,
                                      info.deviceMicrometers.cy);

    // PlayEnhMetaFile maps the frame (0.01 mm) onto the target rectangle.
    QRectF frame(info.frame.left * m_unitsPerMmX / 100.0, info.frame.top * m_unitsPerMmY / 100.0,
                 double(int64_t(info.frame.right) - info.frame.left) * m_unitsPerMmX / 100.0,
                 double(int64_t(info.frame.bottom) - info.frame.top) * m_unitsPerMmY / 100.0);
    if (!(frame.width() > 0 && frame.height() > 0)) {
        const BoundsExtent b = inclusiveBounds(info.bounds);
        frame = QRectF(b.left, b.top, b.width, b.height);
    }
    if (!(frame.width() > 0 && frame.height() > 0) || !m_target.isValid())
        frame = QRectF(0, 0, std::max(1.0, m_target.width()), std::max(1.0, m_target.height()));
    double sx = m_target.width() / frame.width();
    double sy = m_target.height() / frame.height();
    // A scale that misses 1 by less than half a pixel over the whole target (a frame rounded
    // to 0.01 mm) is taken as 1, which keeps the painter on its fast untransformed paths.
    if (std::abs(sx - 1) * m_target.width() < 0.5) sx = 1;
    if (std::abs(sy - 1) * m_target.height() < 0.5) sy = 1;
    QTransform frameMap = QTransform::fromTranslate(-frame.left(), -frame.top()) *
                          QTransform::fromScale(sx, sy) *
                          QTransform::fromTranslate(m_target.left(), m_target.top());
    if (!usable(frameMap)) frameMap = QTransform::fromTranslate(m_target.left(), m_target.top());
    m_deviceToPainter = frameMap * m_painterBase;
    // One pixel of the output in device units, for GDI's "one pixel" rules.
    const double outputScale = std::sqrt(std::abs(m_deviceToPainter.determinant()));
    m_pixelInDevice = outputScale > 1e-12 ? 1.0 / outputScale : 1.0;
    m_painter.setTransform(m_deviceToPainter);
    {
        // A right-to-left layout runs the device's x axis from the target's right edge: pixel
        // column c goes to column (width - 1 - c).
        const QRectF t = m_painterBase.mapRect(m_target);
        m_mirrorOutput =
            QTransform(-1, 0, 0, 1, t.left() + t.right() - player::kLayoutMirrorShift, 0);
    }
    m_clipDirty = true;
    m_dc.font.font = stockFont(stockObject::SystemFont);
    updateTransform();
}

void GdiPlayer::end() {
    m_painter.restore();
}

void GdiPlayer::updateTransform() {
    const DcState& dc = m_dc;
    double sx = 1, sy = 1;
    switch (dc.mapMode) {
        case MapMode::Text:
            break;
        case MapMode::LoMetric:
            sx = m_unitsPerMmX / 10, sy = -m_unitsPerMmY / 10;
            break;
        case MapMode::HiMetric:
            sx = m_unitsPerMmX / 100, sy = -m_unitsPerMmY / 100;
            break;
        case MapMode::LoEnglish:
            sx = m_unitsPerMmX * 0.254, sy = -m_unitsPerMmY * 0.254;
            break;
        case MapMode::HiEnglish:
            sx = m_unitsPerMmX * 0.0254, sy = -m_unitsPerMmY * 0.0254;
            break;
        case MapMode::Twips:
            sx = m_unitsPerMmX * 25.4 / 1440, sy = -m_unitsPerMmY * 25.4 / 1440;
            break;
        case MapMode::Isotropic:
        case MapMode::Anisotropic:
            sx = double(dc.viewportExt.cx) / dc.windowExt.cx;
            sy = double(dc.viewportExt.cy) / dc.windowExt.cy;
            if (dc.mapMode == MapMode::Isotropic) {
                // MM_ISOTROPIC keeps one unit equal on both axes, the smaller scale winning.
                const double m = std::min(std::abs(sx), std::abs(sy));
                sx = std::copysign(m, sx);
                sy = std::copysign(m, sy);
            }
            break;
    }
    // In double: an origin of INT32_MIN has no negation in 32 bits.
    const QTransform page =
        QTransform::fromTranslate(-double(dc.windowOrg.x), -double(dc.windowOrg.y)) *
        QTransform::fromScale(sx, sy) *
        QTransform::fromTranslate(dc.viewportOrg.x, dc.viewportOrg.y);
    m_pageScale = QPointF(sx, sy);
    QTransform full = dc.world * page;
    if (dc.layoutFlags & layout::RightToLeft)
        full *= m_deviceToPainter * m_mirrorOutput * m_deviceToPainter.inverted();
    // A transform that overflows or collapses everything draws nothing sensible; keep the last
    // usable one rather than feeding NaN or infinity to the painter.
    if (usable(full)) m_toDevice = full;
    penOrBrushChanged();  // a pen's width follows the transform
}

QRectF GdiPlayer::logicalRect(const Rect& r) const {
    return QRectF(QPointF(std::min(r.left, r.right), std::min(r.top, r.bottom)),
                  QPointF(std::max(r.left, r.right), std::max(r.top, r.bottom)));
}

// --- DC state ---

void GdiPlayer::setLayout(uint32_t flags) {
    m_dc.layoutFlags = flags & (layout::RightToLeft | layout::BitmapOrientationPreserved);
    m_clipDirty = true;
    updateTransform();
}

void GdiPlayer::saveDc() {
    // Saves beyond the deepest nesting kept are ignored, and their restores fail.
    if (m_saved.size() >= size_t(kMaxSavedDcDepth)) return;
    m_saved.push_back(m_dc);
}

void GdiPlayer::restoreDc(int32_t savedDc) {
    // Negative: relative to the top; positive: the absolute level SaveDC returned.
    const int64_t depth = int64_t(m_saved.size());
    const int64_t level = savedDc < 0 ? depth + savedDc + 1 : savedDc;
    if (savedDc == 0 || level < 1 || level > depth) return;
    m_dc = std::move(m_saved[size_t(level - 1)]);
    m_saved.resize(size_t(level - 1));
    m_clipDirty = true;
    updateTransform();
}

void GdiPlayer::setMapMode(MapMode mode) {
    if (mode == m_dc.mapMode) return;
    m_dc.mapMode = mode;
    if (mode == MapMode::Isotropic) {
        // GDI starts MM_ISOTROPIC with MM_LOMETRIC's extents; MM_ANISOTROPIC keeps the ones
        // in force.
        // (A header's device sizes can make them anything: kept within 32 bits.)
        const auto extent = [](double unitsPerMm) {
            return int32_t(std::clamp(std::round(unitsPerMm * 100), 1.0, double(INT32_MAX)));
        };
        m_dc.windowExt = {1000, 1000};
        m_dc.viewportExt = {extent(m_unitsPerMmX), -extent(m_unitsPerMmY)};
    } else if (mode != MapMode::Anisotropic) {
        m_dc.windowExt = {1, 1};
        m_dc.viewportExt = {1, 1};
    }
    updateTransform();
}

void GdiPlayer::setWindowOrg(Point origin) {
    m_dc.windowOrg = origin;
    updateTransform();
}

void GdiPlayer::setWindowExt(Size extent) {
    // SetWindowExtEx has effect only in the two scalable modes and fails for a zero extent.
    if (m_dc.mapMode != MapMode::Isotropic && m_dc.mapMode != MapMode::Anisotropic) return;
    if (extent.cx == 0 || extent.cy == 0) return;
    m_dc.windowExt = extent;
    updateTransform();
}

void GdiPlayer::setViewportOrg(Point origin) {
    m_dc.viewportOrg = origin;
    updateTransform();
}

void GdiPlayer::setViewportExt(Size extent) {
    if (m_dc.mapMode != MapMode::Isotropic && m_dc.mapMode != MapMode::Anisotropic) return;
    if (extent.cx == 0 || extent.cy == 0) return;
    m_dc.viewportExt = extent;
    updateTransform();
}

void GdiPlayer::offsetWindowOrg(int32_t dx, int32_t dy) {
    m_dc.windowOrg.x =
        int32_t(std::clamp<int64_t>(int64_t(m_dc.windowOrg.x) + dx, INT32_MIN, INT32_MAX));
    m_dc.windowOrg.y =
        int32_t(std::clamp<int64_t>(int64_t(m_dc.windowOrg.y) + dy, INT32_MIN, INT32_MAX));
    updateTransform();
}

void GdiPlayer::offsetViewportOrg(int32_t dx, int32_t dy) {
    m_dc.viewportOrg.x =
        int32_t(std::clamp<int64_t>(int64_t(m_dc.viewportOrg.x) + dx, INT32_MIN, INT32_MAX));
    m_dc.viewportOrg.y =
        int32_t(std::clamp<int64_t>(int64_t(m_dc.viewportOrg.y) + dy, INT32_MIN, INT32_MAX));
    updateTransform();
}

namespace {
std::optional<Size> scaled(Size ext, int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) {
    if (xDenom == 0 || yDenom == 0) return std::nullopt;
    const int64_t cx = int64_t(ext.cx) * xNum / xDenom;
    const int64_t cy = int64_t(ext.cy) * yNum / yDenom;
    if (cx == 0 || cy == 0 || cx > INT32_MAX || cx < INT32_MIN || cy > INT32_MAX || cy < INT32_MIN)
        return std::nullopt;
    return Size{int32_t(cx), int32_t(cy)};
}
}  // namespace

void GdiPlayer::scaleWindowExt(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) {
    if (m_dc.mapMode != MapMode::Isotropic && m_dc.mapMode != MapMode::Anisotropic) return;
    if (auto s = scaled(m_dc.windowExt, xNum, xDenom, yNum, yDenom)) {
        m_dc.windowExt = *s;
        updateTransform();
    }
}

void GdiPlayer::scaleViewportExt(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) {
    if (m_dc.mapMode != MapMode::Isotropic && m_dc.mapMode != MapMode::Anisotropic) return;
    if (auto s = scaled(m_dc.viewportExt, xNum, xDenom, yNum, yDenom)) {
        m_dc.viewportExt = *s;
        updateTransform();
    }
}

namespace {
QTransform toQTransform(const XForm& x) {
    return QTransform(x.m11, x.m12, x.m21, x.m22, x.dx, x.dy);
}
}  // namespace

void GdiPlayer::setWorldTransform(const XForm& xform) {
    const QTransform t = toQTransform(xform);
    if (!usable(t)) return;
    m_dc.world = t;
    updateTransform();
}

void GdiPlayer::modifyWorldTransform(const XForm& xform, TransformMode mode) {
    const QTransform t = toQTransform(xform);
    QTransform next;
    switch (mode) {
        case TransformMode::Identity:
            break;
        case TransformMode::LeftMultiply:
            next = t * m_dc.world;
            break;
        case TransformMode::RightMultiply:
            next = m_dc.world * t;
            break;
        case TransformMode::Set:
            next = t;
            break;
    }
    if (!usable(next)) return;
    m_dc.world = next;
    updateTransform();
}

void GdiPlayer::setBkMode(BkMode mode) {
    m_dc.bkMode = mode;
    penOrBrushChanged();
}
void GdiPlayer::setBkColor(ColorRef color) {
    m_dc.bkColorRef = color;
    m_dc.bkColor = resolveColor(color);
    penOrBrushChanged();
}
void GdiPlayer::setTextColor(ColorRef color) {
    m_dc.textColorRef = color;
    m_dc.textColor = resolveColor(color);
    penOrBrushChanged();
}
void GdiPlayer::setTextAlign(uint32_t flags) {
    m_dc.textAlign = flags;
}
void GdiPlayer::setTextCharacterExtra(int32_t extra) {
    m_dc.charExtra = extra;
}
void GdiPlayer::setTextJustification(int32_t breakExtra, int32_t breakCount) {
    m_dc.breakExtra = breakCount > 0 ? breakExtra : 0;
    m_dc.breakCount = breakExtra != 0 ? std::max(breakCount, 0) : 0;
}
void GdiPlayer::setPolyFillMode(PolyFillMode mode) {
    m_dc.fillMode = mode;
}
void GdiPlayer::setRop2(uint32_t rop) {
    if (rop >= rop2::Black && rop <= rop2::White) m_dc.rop2 = rop;
    penOrBrushChanged();  // R2_BLACK and R2_WHITE colour both
}
void GdiPlayer::setStretchBltMode(uint32_t mode) {
    m_dc.stretchMode = mode;
}
void GdiPlayer::setMiterLimit(float limit) {
    if (std::isfinite(limit) && limit >= 1) m_dc.miterLimit = std::min<double>(limit, 1000);
    penOrBrushChanged();
}
void GdiPlayer::setArcDirection(ArcDirection direction) {
    m_dc.arcDirection = direction;
}
void GdiPlayer::setBrushOrg(Point origin) {
    m_dc.brushOrg = origin;
    penOrBrushChanged();  // the brush's pattern transform starts there
}

void GdiPlayer::moveTo(Point point) {
    m_dc.position = QPointF(point.x, point.y);
    m_pathOpen = false;
}

// --- Painter state ---

void GdiPlayer::applyRop2() {
    const uint32_t rop = m_rasterOps ? m_dc.rop2 : rop2::CopyPen;
    if (rop == m_appliedRop2) return;
    m_appliedRop2 = rop;
    m_painter.setCompositionMode(rop2Mode(rop));
}

void GdiPlayer::restoreCompositionMode() {
    m_painter.setCompositionMode(rop2Mode(m_appliedRop2));
}

void GdiPlayer::unknownRecord(uint32_t, std::span<const uint8_t>) {
    ++m_unsupported;
}

}  // namespace plume::metafile
