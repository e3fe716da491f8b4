#include "platform/metafile/render/PixelRuns.h"

#include "platform/metafile/render/GdiPlayerInternal.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace plume::metafile {

namespace {

// The painter fills the pixels whose centres lie inside a shape; along one axis that is the
// pixels from this edge on, up to the far edge's.
int fillEdge(double v) {
    return int(std::clamp(std::floor(v + 0.5), -player::kCoordLimit, player::kCoordLimit));
}

// The pixels of row y whose centres lie inside the ellipse inscribed in `box`: [x0, x1).
bool ellipseRow(const QRectF& box, int y, int& x0, int& x1) {
    const double a = box.width() / 2, b = box.height() / 2;
    if (!(a > 0 && b > 0)) return false;
    const double t = (y + 0.5 - box.center().y()) / b;
    if (!(std::abs(t) < 1)) return false;
    const double dx = a * std::sqrt(1 - t * t);
    x0 = fillEdge(box.center().x() - dx);
    x1 = fillEdge(box.center().x() + dx);
    return x1 > x0;
}

}  // namespace

OutputPixels::OutputPixels(QPainter& painter, const QTransform& deviceUnits,
                           const QTransform& units)
    : m_painter(painter), m_deviceUnits(deviceUnits) {
    m_painter.setTransform(units);
}

OutputPixels::~OutputPixels() {
    m_painter.setTransform(m_deviceUnits);
}

PixelRuns::PixelRuns(QPainter& painter, const QTransform& deviceToPainter)
    : m_painter(painter), m_deviceToPainter(deviceToPainter) {}

void PixelRuns::choosePen(const QPen& pen, bool roundable, bool overpaintSafe, bool axisAligned) {
    m_pen = pen;
    m_choice = {};
    if (pen.style() != Qt::SolidLine || pen.isCosmetic() || !(pen.widthF() > 0) || !overpaintSafe ||
        !axisAligned)
        return;
    const bool square = pen.capStyle() == Qt::SquareCap && pen.joinStyle() == Qt::MiterJoin;
    const bool round = pen.capStyle() == Qt::RoundCap && pen.joinStyle() == Qt::RoundJoin;

    // Rectangles: with square corners (a miter join on a right angle) the stroke is exactly
    // the frame between the rectangle grown and shrunk by half the width; with round joins
    // its outer corners are quarter discs.
    if (pen.joinStyle() == Qt::MiterJoin) m_choice.frame = Corners::Square;
    if (pen.joinStyle() == Qt::RoundJoin) m_choice.frame = Corners::Round;
    // Ellipses: the ring between the ellipse grown and shrunk by half the width (to well
    // under a pixel for the widths pictures use).
    m_choice.ring = true;
    // Polylines: the painter draws a straight segment with flat or square ends without
    // building an outline. Square ends cover the joins as the stroker's miters do; round ends
    // and joins are discs of pixel runs at every vertex, a run per row: for pens up to 64
    // pixels wide that is no more than the stroker's own outline. The painter draws straight
    // wide segments quickly only under a transform that scales both axes alike; a picture
    // frame rounded to 0.01 mm on a reference device with unequal millimetre counts scales
    // them by slightly different amounts, which segments() handles by drawing in output
    // pixels. A plainly unequal stretch keeps the stroker.
    const double sx = std::abs(m_deviceToPainter.m11()), sy = std::abs(m_deviceToPainter.m22());
    const bool evenScale = std::abs(sx - sy) <= 0.01 * std::max(sx, sy);
    if (roundable && evenScale) {
        if (square) m_choice.segments = Corners::Square;
        if (round && pen.widthF() * sy <= 64) m_choice.segments = Corners::Round;
    }
}

int PixelRuns::rows() const {
    const QPaintDevice* target = m_painter.device();
    return target ? target->height() : 0;
}

void PixelRuns::fill(const std::vector<QRect>& spans, const QBrush& brush) {
    if (spans.empty()) return;
    const OutputPixels pixels(m_painter, m_deviceToPainter);
    m_painter.setPen(Qt::NoPen);
    // A pattern brush's transform is made for the painter's transform; with none, the brush
    // takes both, so that its pattern stays anchored where the other figures have it.
    QBrush output = brush;
    if (output.transform().type() != QTransform::TxNone)
        output.setTransform(output.transform() * m_deviceToPainter);
    m_painter.setBrush(output);
    m_painter.drawRects(spans.data(), int(spans.size()));
}

// The painter fills, for rectangles as for the stroke's outline, the pixels whose centres lie
// in the shape, so bands and the stroke cover the same pixels.
void PixelRuns::frame(const QRectF& device, const QBrush* inside) {
    const double half = m_pen.widthF() / 2;
    const QRectF inner = device.adjusted(half, half, -half, -half);
    if (inside && inner.width() > 0 && inner.height() > 0) m_painter.fillRect(inner, *inside);
    if (m_choice.frame == Corners::Round) {
        roundFrameSpans(device.adjusted(-half, -half, half, half), inner, half);
        return;
    }
    const QColor color = m_pen.color();
    const double l = device.left() - half, t = device.top() - half;
    const double r = device.right() + half, b = device.bottom() + half;
    m_painter.fillRect(QRectF(QPointF(l, t), QPointF(r, device.top() + half)), color);
    m_painter.fillRect(QRectF(QPointF(l, device.bottom() - half), QPointF(r, b)), color);
    m_painter.fillRect(QRectF(QPointF(l, t), QPointF(device.left() + half, b)), color);
    m_painter.fillRect(QRectF(QPointF(device.right() - half, t), QPointF(r, b)), color);
}

// The frame a wide pen with round joins strokes around a rectangle: the rectangle grown by
// half the width with its corners rounded to that radius, less the rectangle shrunk by it, as
// runs of output pixels.
void PixelRuns::roundFrameSpans(const QRectF& outerDevice, const QRectF& innerDevice,
                                double radius) {
    const QRectF outer = m_deviceToPainter.mapRect(outerDevice);
    const bool hole = innerDevice.width() > 0 && innerDevice.height() > 0;
    const QRectF inner = m_deviceToPainter.mapRect(innerDevice);
    const double rx = radius * std::abs(m_deviceToPainter.m11());
    const double ry = radius * std::abs(m_deviceToPainter.m22());
    const int yFrom = std::max(fillEdge(outer.top()), 0);
    const int yTo = std::min(fillEdge(outer.bottom()), rows());
    const int holeTop = fillEdge(inner.top()), holeBottom = fillEdge(inner.bottom());
    const int holeLeft = fillEdge(inner.left()), holeRight = fillEdge(inner.right());
    m_penSpans.clear();
    for (int y = yFrom; y < yTo; ++y) {
        const double yc = y + 0.5;
        const double dy = std::max(outer.top() + ry - yc, yc - (outer.bottom() - ry));
        double inset = 0;
        if (dy > 0 && ry > 0) {
            if (dy > ry) continue;  // a row on the straight edge itself keeps the edge
            const double t = dy / ry;
            inset = rx * (1 - std::sqrt(1 - t * t));
        }
        const int x0 = fillEdge(outer.left() + inset), x1 = fillEdge(outer.right() - inset);
        if (x1 <= x0) continue;
        if (hole && y >= holeTop && y < holeBottom && holeLeft < holeRight) {
            if (holeLeft > x0) m_penSpans.emplace_back(x0, y, std::min(holeLeft, x1) - x0, 1);
            if (x1 > holeRight)
                m_penSpans.emplace_back(std::max(holeRight, x0), y, x1 - std::max(holeRight, x0),
                                        1);
        } else {
            m_penSpans.emplace_back(x0, y, x1 - x0, 1);
        }
    }
    fill(m_penSpans, QBrush(m_pen.color()));
}

bool PixelRuns::ring(const QRectF& device, const QBrush* inside) {
    const double half = m_pen.widthF() / 2;
    const QRectF inner = device.adjusted(half, half, -half, -half);
    if (!(inner.width() > 0 && inner.height() > 0)) return false;  // the pen covers it all
    ellipseSpans(device.adjusted(-half, -half, half, half), inner, inside);
    return true;
}

// The ring between two ellipses (device units) in the pen's colour and the inner ellipse in
// the brush, as runs of output pixels: a row's runs come straight from the ellipse equation,
// and the painter fills a list of rectangles without scan-converting any outline.
void PixelRuns::ellipseSpans(const QRectF& outerDevice, const QRectF& innerDevice,
                             const QBrush* inside) {
    const QRectF outer = m_deviceToPainter.mapRect(outerDevice);
    const QRectF inner = m_deviceToPainter.mapRect(innerDevice);
    const int yFrom = std::max(fillEdge(outer.top()), 0);
    const int yTo = std::min(fillEdge(outer.bottom()), rows());
    m_penSpans.clear();
    m_brushSpans.clear();
    for (int y = yFrom; y < yTo; ++y) {
        int ox0, ox1, ix0, ix1;
        if (!ellipseRow(outer, y, ox0, ox1)) continue;
        if (ellipseRow(inner, y, ix0, ix1) && ix0 >= ox0 && ix1 <= ox1) {
            if (inside) m_brushSpans.emplace_back(ix0, y, ix1 - ix0, 1);
            if (ix0 > ox0) m_penSpans.emplace_back(ox0, y, ix0 - ox0, 1);
            if (ox1 > ix1) m_penSpans.emplace_back(ix1, y, ox1 - ix1, 1);
        } else {
            m_penSpans.emplace_back(ox0, y, ox1 - ox0, 1);
        }
    }
    if (inside) fill(m_brushSpans, *inside);
    fill(m_penSpans, QBrush(m_pen.color()));
}

// A round pen's stroke is the union of the segments with flat ends and a disc of the pen's
// width at every vertex.
void PixelRuns::segments(const QPolygonF& polygon, bool closed) {
    const qsizetype n = polygon.size();
    if (n < 2) return;
    const bool round = m_choice.segments == Corners::Round;
    m_lines.resize(size_t(closed ? n : n - 1));
    // Under a slightly unequal scale the segments are mapped here and drawn in output pixels,
    // with the pen's width scaled by the mean of the axes.
    const double sx = std::abs(m_deviceToPainter.m11()), sy = std::abs(m_deviceToPainter.m22());
    const bool mapHere = std::abs(sx - sy) > 1e-12 * std::max(sx, sy);
    const auto at = [&](qsizetype i) {
        return mapHere ? m_deviceToPainter.map(polygon[i]) : polygon[i];
    };
    for (qsizetype i = 0; i + 1 < n; ++i) m_lines[size_t(i)] = QLineF(at(i), at(i + 1));
    if (closed) m_lines[size_t(n - 1)] = QLineF(at(n - 1), at(0));
    if (mapHere || round) {
        QPen pen = m_pen;
        if (mapHere) pen.setWidthF(pen.widthF() * std::sqrt(sx * sy));
        if (round) pen.setCapStyle(Qt::FlatCap);
        m_painter.setPen(pen);
        if (mapHere) {
            const OutputPixels pixels(m_painter, m_deviceToPainter);
            m_painter.drawLines(m_lines.data(), int(m_lines.size()));
        } else {
            m_painter.drawLines(m_lines.data(), int(m_lines.size()));
        }
        m_painter.setPen(m_pen);
    } else {
        m_painter.drawLines(m_lines.data(), int(m_lines.size()));
    }
    if (!round) return;
    const double rx = m_pen.widthF() / 2 * sx, ry = m_pen.widthF() / 2 * sy;
    // GDI centres the disc of a pen an odd number of pixels wide on the pixel the vertex
    // falls in, that of an even one on the pixel corner, as the painter does the segments.
    const double shift = std::lround(2 * ry) % 2 ? 0.5 : 0;
    const int rowCount = rows();
    const QBrush color(m_pen.color());
    m_penSpans.clear();
    for (qsizetype i = 0; i < n; ++i) {
        const QPointF c = m_deviceToPainter.map(polygon[i]) + QPointF(shift, shift);
        const QRectF disc(c.x() - rx, c.y() - ry, 2 * rx, 2 * ry);
        const int yTo = std::min(fillEdge(disc.bottom()), rowCount);
        for (int y = std::max(fillEdge(disc.top()), 0); y < yTo; ++y) {
            int x0, x1;
            if (ellipseRow(disc, y, x0, x1)) m_penSpans.emplace_back(x0, y, x1 - x0, 1);
        }
        if (m_penSpans.size() >= 8192) {  // a long polyline: draw as it goes
            fill(m_penSpans, color);
            m_penSpans.clear();
        }
    }
    fill(m_penSpans, color);
}

}  // namespace plume::metafile
