// GdiPlayer: figures (lines, polylines, polygons, Béziers, rectangles, ellipses, arcs,
// gradients) and paths. Wide solid pens on a raster image take the pixel runs (PixelRuns).

#include "platform/metafile/render/GdiPlayer.h"

#include "platform/metafile/render/GdiPlayerInternal.h"
#include "platform/metafile/render/Render.h"
#include "platform/metafile/render/StrokeBounds.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace plume::metafile {

using player::clamp;
using player::clampPoint;
using player::kCoordLimit;

// --- Drawing ---

void GdiPlayer::strokeWithBackground(const QPainterPath& path) {
    const QPen& pen = currentPen();
    if (pen.style() == Qt::NoPen) return;
    if (pen.style() != Qt::SolidLine && m_dc.bkMode == BkMode::Opaque) {
        // An opaque background fills the gaps of a styled line with the background colour.
        QPen gaps = pen;
        gaps.setStyle(Qt::SolidLine);
        gaps.setColor(m_dc.bkColor);
        m_painter.strokePath(path, gaps);
    }
    if (dashCount(path, pen, m_painter.deviceTransform()) > kMaxDashesPerStroke) {
        ++m_simplified;
        m_painter.strokePath(path, solidForDashes(pen));
        return;
    }
    m_painter.strokePath(path, pen);
}

void GdiPlayer::drawDevicePath(const QPainterPath& path, bool fill, bool stroke) {
    if (m_dc.rop2 == rop2::Nop) return;
    applyClip();
    applyRop2();
    if (fill && brushVisible()) {
        QPainterPath filled = path;
        filled.setFillRule(m_dc.fillMode == PolyFillMode::Winding ? Qt::WindingFill
                                                                  : Qt::OddEvenFill);
        m_painter.fillPath(filled, currentBrush());
    }
    if (stroke && penVisible()) strokeWithBackground(path);
}

void GdiPlayer::addToPath(const QPainterPath& devicePath, bool connectToCurrent) {
    if (connectToCurrent && m_pathOpen && !m_path.isEmpty())
        m_path.connectPath(devicePath);
    else
        m_path.addPath(devicePath);
    m_pathOpen = true;
}

void GdiPlayer::figure(const QPainterPath& devicePath, bool closed) {
    if (m_inPath) {
        m_path.addPath(devicePath);
        m_pathOpen = false;
        return;
    }
    drawDevicePath(devicePath, closed, true);
}

void GdiPlayer::lineTo(Point point) {
    const QPointF from = clampPoint(toDevice(m_dc.position));
    const QPointF to = clampPoint(toDevice(QPointF(point.x, point.y)));
    m_dc.position = QPointF(point.x, point.y);
    if (m_inPath) {
        if (!m_pathOpen) m_path.moveTo(from);
        m_path.lineTo(to);
        m_pathOpen = true;
        return;
    }
    if (prepareSimple(false)) {
        if (runPen().segments != PixelRuns::Corners::None) {
            m_polygon.resize(2);
            m_polygon[0] = from;
            m_polygon[1] = to;
            m_runs.segments(m_polygon, false);
        } else {
            m_painter.drawLine(from, to);
        }
        return;
    }
    QPainterPath path(from);
    path.lineTo(to);
    drawDevicePath(path, false, true);
}

void GdiPlayer::polyline(std::span<const Point> points) {
    if (points.empty()) return;
    if (!m_inPath && points.size() >= 2 && prepareSimple(false)) {
        m_polygon.resize(qsizetype(points.size()));
        for (size_t i = 0; i < points.size(); ++i)
            m_polygon[qsizetype(i)] = clampPoint(toDevice(points[i]));
        if (runPen().segments != PixelRuns::Corners::None)
            m_runs.segments(m_polygon, false);
        else
            m_painter.drawPolyline(m_polygon);
        return;
    }
    QPainterPath path(clampPoint(toDevice(points[0])));
    for (size_t i = 1; i < points.size(); ++i) path.lineTo(clampPoint(toDevice(points[i])));
    if (m_inPath) {
        m_path.addPath(path);
        m_pathOpen = true;
        return;
    }
    if (points.size() >= 2) drawDevicePath(path, false, true);
}

void GdiPlayer::polylineTo(std::span<const Point> points) {
    if (points.empty()) return;
    QPainterPath path(clampPoint(toDevice(m_dc.position)));
    for (const Point& p : points) path.lineTo(clampPoint(toDevice(p)));
    m_dc.position = QPointF(points.back().x, points.back().y);
    if (m_inPath) {
        addToPath(path, true);
        return;
    }
    drawDevicePath(path, false, true);
}

void GdiPlayer::polygon(std::span<const Point> points) {
    if (points.size() < 2) return;
    m_polygon.resize(qsizetype(points.size()));
    for (size_t i = 0; i < points.size(); ++i)
        m_polygon[qsizetype(i)] = clampPoint(toDevice(points[i]));
    if (prepareSimple(true)) {
        const Qt::FillRule rule =
            m_dc.fillMode == PolyFillMode::Winding ? Qt::WindingFill : Qt::OddEvenFill;
        if (runPen().segments != PixelRuns::Corners::None) {
            if (brushVisible()) {
                m_painter.setPen(Qt::NoPen);
                m_painter.drawPolygon(m_polygon, rule);
                m_painter.setPen(currentPen());
            }
            m_runs.segments(m_polygon, true);
            return;
        }
        m_painter.drawPolygon(m_polygon, rule);
        return;
    }
    QPainterPath path;
    path.addPolygon(m_polygon);
    path.closeSubpath();
    figure(path, true);
}

void GdiPlayer::polyPolyline(std::span<const Point> points, std::span<const uint32_t> counts) {
    size_t at = 0;
    for (uint32_t count : counts) {
        if (count > points.size() - at) break;
        polyline(points.subspan(at, count));
        at += count;
    }
}

void GdiPlayer::polyPolygon(std::span<const Point> points, std::span<const uint32_t> counts) {
    // One path for all polygons, so that the fill mode decides about their overlaps.
    QPainterPath path;
    size_t at = 0;
    for (uint32_t count : counts) {
        if (count > points.size() - at) break;
        if (count >= 2) {
            path.moveTo(clampPoint(toDevice(points[at])));
            for (size_t i = 1; i < count; ++i) path.lineTo(clampPoint(toDevice(points[at + i])));
            path.closeSubpath();
        }
        at += count;
    }
    figure(path, true);
}

void GdiPlayer::polyBezier(std::span<const Point> points) {
    if (points.size() < 4) return;
    QPainterPath path(clampPoint(toDevice(points[0])));
    for (size_t i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(clampPoint(toDevice(points[i])), clampPoint(toDevice(points[i + 1])),
                     clampPoint(toDevice(points[i + 2])));
    if (m_inPath) {
        m_path.addPath(path);
        m_pathOpen = true;
        return;
    }
    drawDevicePath(path, false, true);
}

void GdiPlayer::polyBezierTo(std::span<const Point> points) {
    if (points.size() < 3) return;
    QPainterPath path(clampPoint(toDevice(m_dc.position)));
    size_t i = 0;
    for (; i + 2 < points.size(); i += 3)
        path.cubicTo(clampPoint(toDevice(points[i])), clampPoint(toDevice(points[i + 1])),
                     clampPoint(toDevice(points[i + 2])));
    m_dc.position = QPointF(points[i - 1].x, points[i - 1].y);
    if (m_inPath) {
        addToPath(path, true);
        return;
    }
    drawDevicePath(path, false, true);
}

void GdiPlayer::polyDraw(std::span<const Point> points, std::span<const uint8_t> types) {
    // PolyDraw: move, line and Bézier points, each possibly closing its figure.
    QPainterPath path(clampPoint(toDevice(m_dc.position)));
    QPointF figureStart = m_dc.position;
    const size_t n = std::min(points.size(), types.size());
    for (size_t i = 0; i < n; ++i) {
        const uint8_t t = types[i] & ~pointType::CloseFigure;
        const QPointF p(points[i].x, points[i].y);
        if (t == pointType::MoveTo) {
            path.moveTo(clampPoint(toDevice(p)));
            figureStart = p;
        } else if (t == pointType::LineTo) {
            path.lineTo(clampPoint(toDevice(p)));
        } else if (t == pointType::BezierTo && i + 2 < n) {
            path.cubicTo(clampPoint(toDevice(p)), clampPoint(toDevice(points[i + 1])),
                         clampPoint(toDevice(points[i + 2])));
            i += 2;
        } else {
            break;  // a malformed point type ends the figure list, as GDI fails the call
        }
        m_dc.position = QPointF(points[i].x, points[i].y);
        if (types[i] & pointType::CloseFigure) {
            path.closeSubpath();
            m_dc.position = figureStart;
        }
    }
    if (m_inPath) {
        addToPath(path, true);
        return;
    }
    drawDevicePath(path, false, true);
}

// EMF playback draws rectangles and ellipses with their right and bottom edges, as GDI does
// when it plays a metafile (its playback runs in the advanced graphics mode).

// Figures with a solid pen, outside a path, go to the painter's own drawRect, drawLine and
// drawPolygon, which skip building paths (the painter itself ignores a pen or brush equal to
// the one it has).
bool GdiPlayer::prepareSimple(bool fill) {
    if (m_inPath || m_dc.rop2 == rop2::Nop) return false;
    const QPen& pen = currentPen();
    if (pen.style() != Qt::SolidLine && pen.style() != Qt::NoPen) return false;
    applyClip();
    applyRop2();
    static const QBrush noBrush(Qt::NoBrush);
    m_painter.setPen(pen);
    m_painter.setBrush(fill && brushVisible() ? currentBrush() : noBrush);
    return true;
}

bool GdiPlayer::overpaintSafe() const {
    if (!m_rasterTarget) return false;
    if (!m_rasterOps) return true;
    const uint32_t rop = m_dc.rop2;
    return rop == rop2::CopyPen || rop == rop2::Black || rop == rop2::White ||
           rop == rop2::NotCopyPen;
}

bool GdiPlayer::drawSimpleRect(const QRectF& logical) {
    if (m_toDevice.isRotating()) return false;
    const QRectF device = m_toDevice.mapRect(logical);
    if (!(std::abs(device.left()) < kCoordLimit && std::abs(device.right()) < kCoordLimit &&
          std::abs(device.top()) < kCoordLimit && std::abs(device.bottom()) < kCoordLimit))
        return false;
    if (!m_inPath && runPen().frame != PixelRuns::Corners::None) {
        applyClip();
        applyRop2();
        m_runs.frame(device, brushVisible() ? &currentBrush() : nullptr);
        return true;
    }
    if (!prepareSimple(true)) return false;
    m_painter.drawRect(device);
    return true;
}

void GdiPlayer::rectangle(const Rect& rect) {
    QRectF r = logicalRect(rect);
    if ((m_dc.pen.style & penStyle::StyleMask) == penStyle::InsideFrame) {
        const double half = m_dc.pen.width / 2;
        if (r.width() > 2 * half && r.height() > 2 * half) r.adjust(half, half, -half, -half);
    }
    if (drawSimpleRect(r)) return;
    QPainterPath path;
    path.addRect(r);
    path = m_toDevice.map(path);
    figure(path, true);
}

void GdiPlayer::roundRect(const Rect& rect, Size corner) {
    const QRectF r = logicalRect(rect);
    QPainterPath path;
    path.addRoundedRect(r, std::min(std::abs(double(corner.cx)) / 2.0, r.width() / 2),
                        std::min(std::abs(double(corner.cy)) / 2.0, r.height() / 2));
    figure(m_toDevice.map(path), true);
}

void GdiPlayer::ellipse(const Rect& rect) {
    QRectF r = logicalRect(rect);
    if ((m_dc.pen.style & penStyle::StyleMask) == penStyle::InsideFrame) {
        const double half = m_dc.pen.width / 2;
        if (r.width() > 2 * half && r.height() > 2 * half) r.adjust(half, half, -half, -half);
    }
    QPainterPath path;
    if (!m_toDevice.isRotating()) {
        // An ellipse scaled along its axes is the ellipse of the scaled box.
        const QRectF device = m_toDevice.mapRect(r);
        if (!m_inPath && runPen().ring) {
            applyClip();
            applyRop2();
            if (m_runs.ring(device, brushVisible() ? &currentBrush() : nullptr)) return;
        }
        path.addEllipse(device);
        if (prepareSimple(true)) {
            m_painter.drawPath(path);
            return;
        }
        figure(path, true);
        return;
    }
    path.addEllipse(r);
    figure(m_toDevice.map(path), true);
}

// An arc of the ellipse in `box` from the radial line through `start` to the one through
// `end`, in the DC's arc direction as seen on the output; kind 0 arc, 1 chord, 2 pie,
// 3 arc joined to the current position (ArcTo).
QPainterPath GdiPlayer::arcPath(const Rect& box, Point start, Point end, int kind) const {
    const QRectF r = logicalRect(box);
    const QPointF c = r.center();
    const double rx = std::max(r.width() / 2, 1e-9), ry = std::max(r.height() / 2, 1e-9);
    // Qt measures ellipse angles parametrically; GDI by the radial line through the point.
    const auto angleOf = [&](Point p) {
        return std::atan2(-(p.y - c.y()) / ry, (p.x - c.x()) / rx) * 180 / std::numbers::pi;
    };
    const double a0 = angleOf(start);
    double sweep = angleOf(end) - a0;
    // Counter-clockwise on the output; a transform that mirrors turns the logical direction.
    bool counterClockwise = m_dc.arcDirection == ArcDirection::CounterClockwise;
    if (m_toDevice.determinant() < 0) counterClockwise = !counterClockwise;
    if (counterClockwise) {
        while (sweep <= 0) sweep += 360;
    } else {
        while (sweep >= 0) sweep -= 360;
    }
    if (!std::isfinite(sweep)) sweep = 0;
    QPainterPath path;
    if (kind == 2) {
        path.moveTo(c);
        path.arcTo(r, a0, sweep);
        path.closeSubpath();
    } else if (kind == 3) {
        path.moveTo(m_dc.position);
        path.arcTo(r, a0, sweep);
    } else {
        path.arcMoveTo(r, a0);
        path.arcTo(r, a0, sweep);
        if (kind == 1) path.closeSubpath();
    }
    return m_toDevice.map(path);
}

void GdiPlayer::arc(const Rect& box, Point start, Point end) {
    const QPainterPath path = arcPath(box, start, end, 0);
    if (m_inPath) {
        addToPath(path, false);
        return;
    }
    drawDevicePath(path, false, true);
}

void GdiPlayer::arcTo(const Rect& box, Point start, Point end) {
    const QPainterPath path = arcPath(box, start, end, 3);
    const QPointF last = path.elementCount() ? path.currentPosition() : QPointF();
    m_dc.position = m_toDevice.inverted().map(last);
    if (m_inPath) {
        addToPath(path, true);
        return;
    }
    drawDevicePath(path, false, true);
}

void GdiPlayer::chord(const Rect& box, Point start, Point end) {
    figure(arcPath(box, start, end, 1), true);
}

void GdiPlayer::pie(const Rect& box, Point start, Point end) {
    figure(arcPath(box, start, end, 2), true);
}

void GdiPlayer::angleArc(Point center, uint32_t radius, float startAngle, float sweepAngle) {
    const double r = std::min<double>(radius, kCoordLimit);
    const QRectF box(center.x - r, center.y - r, 2 * r, 2 * r);
    QPainterPath path(m_dc.position);
    path.arcTo(box, startAngle, std::clamp<double>(sweepAngle, -3600, 3600));
    m_dc.position = path.currentPosition();
    const QPainterPath device = m_toDevice.map(path);
    if (m_inPath) {
        addToPath(device, true);
        return;
    }
    drawDevicePath(device, false, true);
}

void GdiPlayer::setPixel(Point point, ColorRef color) {
    applyClip();
    applyRop2();
    const QPointF p = clampPoint(toDevice(point));
    QPainterPath path;
    path.addRect(QRectF(QPointF(std::floor(p.x()), std::floor(p.y())),
                        QSizeF(std::max(1.0, m_pixelInDevice), std::max(1.0, m_pixelInDevice))));
    m_painter.fillPath(path, resolveColor(color));
}

void GdiPlayer::shadeTriangle(const QTransform& full, std::array<const TriVertex*, 3> corners,
                              const QRect& deviceRect) {
    QPointF p[3];
    for (int k = 0; k < 3; ++k) {
        p[k] = full.map(QPointF(corners[k]->x, corners[k]->y));
        p[k] = QPointF(clamp(p[k].x()), clamp(p[k].y()));
    }
    const double area = (p[1].x() - p[0].x()) * (p[2].y() - p[0].y()) -
                        (p[2].x() - p[0].x()) * (p[1].y() - p[0].y());
    if (std::abs(area) < 1e-9) return;
    const QRect box = QPolygonF({p[0], p[1], p[2]}).boundingRect().toAlignedRect() & deviceRect;
    if (box.isEmpty()) return;
    QImage shaded(box.size(), QImage::Format_ARGB32_Premultiplied);
    if (shaded.isNull()) return;
    shaded.fill(Qt::transparent);
    for (int y = 0; y < box.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shaded.scanLine(y));
        const double cy = box.top() + y + 0.5;
        for (int x = 0; x < box.width(); ++x) {
            const double cx = box.left() + x + 0.5;
            // Barycentric weights of the pixel centre; all three non-negative inside.
            const double w0 =
                ((p[1].x() - cx) * (p[2].y() - cy) - (p[2].x() - cx) * (p[1].y() - cy)) / area;
            const double w1 =
                ((p[2].x() - cx) * (p[0].y() - cy) - (p[0].x() - cx) * (p[2].y() - cy)) / area;
            const double w2 = 1 - w0 - w1;
            if (w0 < -1e-9 || w1 < -1e-9 || w2 < -1e-9) continue;
            const auto channel = [&](uint16_t TriVertex::*c) {
                const double v =
                    w0 * (corners[0]->*c) + w1 * (corners[1]->*c) + w2 * (corners[2]->*c);
                return std::clamp(int(v) >> 8, 0, 255);
            };
            line[x] = qRgb(channel(&TriVertex::red), channel(&TriVertex::green),
                           channel(&TriVertex::blue));
        }
    }
    m_painter.drawImage(box.topLeft(), shaded);
}

void GdiPlayer::gradientFill(std::span<const TriVertex> vertices, std::span<const uint32_t> indices,
                             uint32_t mode) {
    applyClip();
    applyRop2();
    const auto colorOf = [](const TriVertex& v) {
        return QColor(v.red >> 8, v.green >> 8, v.blue >> 8);
    };
    if (mode == 2) {
        // GRADIENT_FILL_TRIANGLE: each triangle shaded from its corners' colours (Gouraud),
        // pixel by pixel in output pixels, then laid over the picture through the clip.
        const QPaintDevice* device = m_painter.device();
        if (!device) return;
        const QRect deviceRect(0, 0, device->width(), device->height());
        const QTransform logicalToOutput = full();
        const OutputPixels pixels(m_painter, m_deviceToPainter);
        for (size_t i = 0; i + 2 < indices.size(); i += 3)
            shadeTriangle(
                logicalToOutput,
                {&vertices[indices[i]], &vertices[indices[i + 1]], &vertices[indices[i + 2]]},
                deviceRect);
        return;
    }
    for (size_t i = 0; i + 1 < indices.size(); i += 2) {
        const TriVertex& a = vertices[indices[i]];
        const TriVertex& b = vertices[indices[i + 1]];
        const QRectF r = logicalRect(Rect{a.x, a.y, b.x, b.y});
        const QPointF from = toDevice(QPointF(a.x, a.y));
        const QPointF to = mode == 0 ? toDevice(QPointF(b.x, a.y)) : toDevice(QPointF(a.x, b.y));
        QLinearGradient gradient(from, to);
        gradient.setColorAt(0, colorOf(a));
        gradient.setColorAt(1, colorOf(b));
        QPainterPath path;
        path.addRect(r);
        m_painter.fillPath(m_toDevice.map(path), gradient);
    }
}

// --- Paths ---

void GdiPlayer::beginPath() {
    m_inPath = true;
    m_pathOpen = false;
    m_path = QPainterPath();
}

void GdiPlayer::endPath() {
    m_inPath = false;
}

void GdiPlayer::closeFigure() {
    if (m_inPath && !m_path.isEmpty()) m_path.closeSubpath();
    m_pathOpen = false;
}

void GdiPlayer::abortPath() {
    m_inPath = false;
    m_path = QPainterPath();
}

void GdiPlayer::fillPath() {
    if (m_inPath) return;  // GDI fails these inside an open bracket
    drawDevicePath(m_path, true, false);
    m_path = QPainterPath();
}

void GdiPlayer::strokePath() {
    if (m_inPath) return;
    drawDevicePath(m_path, false, true);
    m_path = QPainterPath();
}

void GdiPlayer::strokeAndFillPath() {
    if (m_inPath) return;
    drawDevicePath(m_path, true, true);
    m_path = QPainterPath();
}

void GdiPlayer::flattenPath() {
    if (m_inPath) return;
    QPainterPath flat;
    for (const QPolygonF& poly : m_path.toSubpathPolygons()) flat.addPolygon(poly);
    m_path = flat;
}

void GdiPlayer::widenPath() {
    if (m_inPath) return;
    const QPen pen = devicePen(m_dc.pen);
    QPainterPathStroker stroker(pen);
    if (pen.widthF() <= 0) stroker.setWidth(m_pixelInDevice);
    QPen measured = pen;
    measured.setWidthF(stroker.width());
    measured.setCosmetic(false);
    if (dashCount(m_path, measured, m_painter.deviceTransform()) > kMaxDashesPerStroke) {
        // Too many dashes: the outline of the solid line (what a tiny pattern comes to).
        stroker.setDashPattern(Qt::SolidLine);
        ++m_simplified;
    }
    m_path = stroker.createStroke(m_path);
    m_path.setFillRule(Qt::WindingFill);
}

}  // namespace plume::metafile
