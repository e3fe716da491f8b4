// GdiPlayer: regions (filled, framed, inverted, painted) and the clip region.

#include "platform/metafile/render/GdiPlayer.h"

#include "platform/metafile/render/GdiPlayerInternal.h"
#include "platform/metafile/render/Render.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace plume::metafile {

using player::clamp;

using player::stockBrushColor;

namespace {

QRegion everything() {
    constexpr int far = 1 << 24;
    return QRegion(-far, -far, 2 * far, 2 * far);
}

}  // namespace

// --- Regions ---

QPainterPath GdiPlayer::regionPath(const RegionData& region) const {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const Rect& r : region.rects) path.addRect(logicalRect(r));
    return path;
}

void GdiPlayer::fillDeviceRegion(const QPainterPath& path, const BrushObject& brush) {
    if (m_dc.rop2 == rop2::Nop || brush.style == brushStyle::Null) return;
    applyClip();
    applyRop2();
    QPainterPath filled = path;
    filled.setFillRule(Qt::WindingFill);
    m_painter.fillPath(filled, deviceBrush(brush));
}

namespace {
std::optional<GdiPlayer::BrushObject> brushFor(uint32_t index, const GdiPlayer::Object* o) {
    if (index & stockObject::Flag) {
        if (index == stockObject::NullBrush)
            return GdiPlayer::BrushObject{brushStyle::Null, Qt::white, 0, {}, false, {}, {}};
        if (index <= stockObject::BlackBrush)
            return GdiPlayer::BrushObject{
                brushStyle::Solid, stockBrushColor(index), 0, {}, false, {}, {}};
        return std::nullopt;
    }
    if (o)
        if (auto* b = std::get_if<GdiPlayer::BrushObject>(o)) return *b;
    return std::nullopt;
}
}  // namespace

void GdiPlayer::fillRegion(const RegionData& region, uint32_t brushIndex) {
    if (auto b = brushFor(brushIndex, object(brushIndex)))
        fillDeviceRegion(m_toDevice.map(regionPath(region)), *b);
}

void GdiPlayer::frameRegion(const RegionData& region, uint32_t brushIndex, Size stroke) {
    auto b = brushFor(brushIndex, object(brushIndex));
    if (!b) return;
    // The frame is the region less the region shrunk by the stroke on each side.
    const QPainterPath r = regionPath(region);
    const double w = std::clamp<double>(std::abs(double(stroke.cx)), 1, 1e5);
    const double h = std::clamp<double>(std::abs(double(stroke.cy)), 1, 1e5);
    const QPainterPath inner = r.intersected(r.translated(w, 0))
                                   .intersected(r.translated(-w, 0))
                                   .intersected(r.translated(0, h))
                                   .intersected(r.translated(0, -h));
    fillDeviceRegion(m_toDevice.map(r.subtracted(inner)), *b);
}

void GdiPlayer::invertDevicePath(const QPainterPath& path) {
    if (!m_rasterOps) return;
    applyClip();
    m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    m_painter.fillPath(path, Qt::black);
    restoreCompositionMode();
}

void GdiPlayer::invertRegion(const RegionData& region) {
    invertDevicePath(m_toDevice.map(regionPath(region)));
}

void GdiPlayer::paintRegion(const RegionData& region) {
    fillDeviceRegion(m_toDevice.map(regionPath(region)), m_dc.brush);
}

namespace {
const QPainterPath* regionOf(const GdiPlayer::Object* o) {
    if (!o) return nullptr;
    auto* r = std::get_if<GdiPlayer::RegionObject>(o);
    return r ? &r->path : nullptr;
}
}  // namespace

void GdiPlayer::fillRegionObject(uint32_t regionIndex, uint32_t brushIndex) {
    const QPainterPath* r = regionOf(object(regionIndex));
    auto b = brushFor(brushIndex, object(brushIndex));
    if (r && b) fillDeviceRegion(m_toDevice.map(*r), *b);
}

void GdiPlayer::frameRegionObject(uint32_t regionIndex, uint32_t brushIndex, Size stroke) {
    const QPainterPath* r = regionOf(object(regionIndex));
    if (!r) return;
    std::vector<Rect> rects;
    // Reuse the by-value path: turn the stored path back into its rectangles' bounds.
    const QRectF b = r->boundingRect();
    rects.push_back(
        Rect{int32_t(b.left()), int32_t(b.top()), int32_t(b.right()), int32_t(b.bottom())});
    frameRegion(RegionData{rects.front(), rects}, brushIndex, stroke);
}

void GdiPlayer::invertRegionObject(uint32_t regionIndex) {
    if (const QPainterPath* r = regionOf(object(regionIndex))) invertDevicePath(m_toDevice.map(*r));
}

void GdiPlayer::paintRegionObject(uint32_t regionIndex) {
    if (const QPainterPath* r = regionOf(object(regionIndex)))
        fillDeviceRegion(m_toDevice.map(*r), m_dc.brush);
}

// --- Clipping ---

void GdiPlayer::setClip(std::optional<QRegion> clip) {
    m_dc.clip = std::move(clip);
    m_clipDirty = true;
}

void GdiPlayer::applyClip() {
    if (!m_clipDirty) return;
    m_clipDirty = false;
    std::optional<QRegion> effective = m_dc.clip;
    if (m_dc.metaClip)
        effective = effective ? effective->intersected(*m_dc.metaClip) : *m_dc.metaClip;
    const OutputPixels pixels(m_painter, m_deviceToPainter);
    if (m_outerClip) {
        m_painter.setClipPath(*m_outerClip, Qt::ReplaceClip);
        if (effective) m_painter.setClipRegion(*effective, Qt::IntersectClip);
    } else if (effective) {
        m_painter.setClipRegion(*effective, Qt::ReplaceClip);
    } else {
        m_painter.setClipping(false);
    }
}

namespace {
// The union of many rectangles, halving the list each time, so that a region of n rectangles
// costs about n log n rather than n squared (the data need not be sorted or disjoint).
QRegion uniteRects(const QVector<QRect>& rects, qsizetype from, qsizetype to) {
    if (to - from <= 0) return {};
    if (to - from == 1) return QRegion(rects[from]);
    const qsizetype mid = from + (to - from) / 2;
    return uniteRects(rects, from, mid).united(uniteRects(rects, mid, to));
}
}  // namespace

// A figure in device units as the region of output pixels whose centres it covers.
QRegion GdiPlayer::toRegion(const QPainterPath& devicePath) const {
    const QPainterPath path = m_deviceToPainter.map(devicePath);
    QRegion region;
    if (path.elementCount() == 5 && !m_deviceToPainter.isRotating()) {
        // A rectangle: its edges rounded to pixel boundaries.
        const QRectF r = path.boundingRect();
        const auto edge = [](double v) { return int(std::lround(clamp(v))); };
        return QRegion(QRect(QPoint(edge(r.left()), edge(r.top())),
                             QPoint(edge(r.right()) - 1, edge(r.bottom()) - 1)));
    }
    const Qt::FillRule rule = path.fillRule();
    for (const QPolygonF& polygon : path.toFillPolygons()) {
        QPolygon pixels;
        pixels.reserve(polygon.size());
        for (const QPointF& p : polygon)
            pixels << QPoint(int(std::lround(clamp(p.x()))), int(std::lround(clamp(p.y()))));
        const QRegion part(pixels, rule);
        region = rule == Qt::OddEvenFill ? region.xored(part) : region.united(part);
    }
    return region;
}

void GdiPlayer::combineClip(const QRegion& region, RegionMode mode) {
    const std::optional<QRegion>& current = m_dc.clip;
    switch (mode) {
        case RegionMode::Copy:
            setClip(region);
            break;
        case RegionMode::And:
            setClip(current ? current->intersected(region) : region);
            break;
        case RegionMode::Or:
            if (current) setClip(current->united(region));
            break;  // no clip is the whole picture already
        case RegionMode::Xor:
            setClip((current ? *current : everything()).xored(region));
            break;
        case RegionMode::Diff:
            setClip((current ? *current : everything()).subtracted(region));
            break;
    }
}

void GdiPlayer::intersectClipRect(const Rect& rect) {
    QPainterPath path;
    path.addRect(logicalRect(rect));
    combineClip(toRegion(m_toDevice.map(path)), RegionMode::And);
}

void GdiPlayer::excludeClipRect(const Rect& rect) {
    QPainterPath path;
    path.addRect(logicalRect(rect));
    combineClip(toRegion(m_toDevice.map(path)), RegionMode::Diff);
}

void GdiPlayer::offsetClipRgn(int32_t dx, int32_t dy) {
    if (!m_dc.clip) return;
    // OffsetClipRgn moves the region by logical units scaled by the map mode alone: the world
    // transform, and with it an EMF's stretch onto the target, does not apply.
    const QTransform toOutput =
        (m_frameUnderWorld ? m_painterBase : m_deviceToPainter) * layoutMirror();
    const QPointF device(dx * m_pageScale.x(), dy * m_pageScale.y());
    const QPointF d = toOutput.map(device) - toOutput.map(QPointF(0, 0));
    setClip(m_dc.clip->translated(int(std::lround(clamp(d.x()))), int(std::lround(clamp(d.y())))));
}

void GdiPlayer::selectClipRegion(const RegionData* region, RegionMode mode) {
    if (!region) {
        if (mode == RegionMode::Copy) setClip(std::nullopt);
        return;
    }
    // Region data is in device units already: each rectangle to output pixels.
    QVector<QRect> rects;
    rects.reserve(qsizetype(region->rects.size()));
    const QTransform toOutput =
        m_deviceToPainter * layoutMirror() *
        QTransform::fromTranslate(
            (m_dc.layoutFlags & layout::RightToLeft) ? player::kLayoutMirrorShift : 0, 0);
    for (const Rect& r : region->rects) {
        const QRectF mapped = toOutput.mapRect(logicalRect(r));
        const auto edge = [](double v) { return int(std::lround(clamp(v))); };
        const QRect px(QPoint(edge(mapped.left()), edge(mapped.top())),
                       QPoint(edge(mapped.right()) - 1, edge(mapped.bottom()) - 1));
        if (!px.isEmpty()) rects.append(px);
    }
    combineClip(uniteRects(rects, 0, rects.size()), mode);
}

void GdiPlayer::selectClipPath(RegionMode mode) {
    if (m_inPath) return;
    QPainterPath path = m_path;
    path.setFillRule(m_dc.fillMode == PolyFillMode::Winding ? Qt::WindingFill : Qt::OddEvenFill);
    combineClip(toRegion(path), mode);
    m_path = QPainterPath();
}

void GdiPlayer::setMetaRgn() {
    if (m_dc.clip)
        m_dc.metaClip = m_dc.metaClip ? m_dc.metaClip->intersected(*m_dc.clip) : *m_dc.clip;
    setClip(std::nullopt);
}

}  // namespace plume::metafile
