#include "platform/metafile/format/PathBoolean.h"

#include <QPolygon>
#include <cmath>

namespace plume::metafile {

namespace {

// One edge of Sutherland-Hodgman: the polygon cut to the side of a line where `inside` holds.
// Points outside are replaced by points on the line, which keeps the winding of every point
// inside, so either fill rule still holds.
template <class Inside, class Cross>
QPolygonF cutPolygon(const QPolygonF& polygon, Inside inside, Cross cross) {
    QPolygonF out;
    for (qsizetype i = 0; i < polygon.size(); ++i) {
        const QPointF& a = polygon[i];
        const QPointF& b = polygon[(i + 1) % polygon.size()];
        if (inside(a)) out << a;
        if (inside(a) != inside(b)) out << cross(a, b);
    }
    return out;
}

QPolygonF cutToRect(QPolygonF polygon, const QRectF& r) {
    const auto atX = [](double x) {
        return [x](QPointF a, QPointF b) {
            return QPointF(x, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()));
        };
    };
    const auto atY = [](double y) {
        return [y](QPointF a, QPointF b) {
            return QPointF(a.x() + (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y()), y);
        };
    };
    polygon = cutPolygon(polygon, [&](QPointF p) { return p.x() >= r.left(); }, atX(r.left()));
    polygon = cutPolygon(polygon, [&](QPointF p) { return p.x() <= r.right(); }, atX(r.right()));
    polygon = cutPolygon(polygon, [&](QPointF p) { return p.y() >= r.top(); }, atY(r.top()));
    return cutPolygon(polygon, [&](QPointF p) { return p.y() <= r.bottom(); }, atY(r.bottom()));
}

}  // namespace

QRegion pixelRegion(const QPainterPath& path, const QRect& bounds) {
    const QRectF cut = QRectF(bounds).adjusted(-1, -1, 1, 1);
    const Qt::FillRule rule = path.fillRule();
    QRegion region;
    for (QPolygonF polygon : path.toFillPolygons()) {
        for (QPointF& p : polygon)
            if (!std::isfinite(p.x()) || !std::isfinite(p.y())) p = QPointF();
        const QPolygonF inside = cutToRect(polygon, cut);
        QPolygon pixels;
        pixels.reserve(inside.size());
        for (const QPointF& p : inside)
            pixels << QPoint(int(std::lround(p.x())), int(std::lround(p.y())));
        const QRegion part(pixels, rule);
        region = rule == Qt::OddEvenFill ? region.xored(part) : region.united(part);
    }
    return region.intersected(bounds);
}


QPainterPath combinePathsBounded(const QPainterPath& a, const QPainterPath& b, PathOp op,
                                 const QRect& bounds, bool* simplified) {
    if (a.elementCount() + b.elementCount() <= kMaxExactPathElements) {
        switch (op) {
            case PathOp::Intersect:
                return a.intersected(b);
            case PathOp::Unite:
                return a.united(b);
            case PathOp::Xor:
                return a.united(b).subtracted(a.intersected(b));
            case PathOp::Subtract:
                return a.subtracted(b);
        }
    }
    if (simplified) *simplified = true;
    const QRegion ra = pixelRegion(a, bounds);
    const QRegion rb = pixelRegion(b, bounds);
    QPainterPath out;
    switch (op) {
        case PathOp::Intersect:
            out.addRegion(ra.intersected(rb));
            break;
        case PathOp::Unite:
            out.addRegion(ra.united(rb));
            break;
        case PathOp::Xor:
            out.addRegion(ra.xored(rb));
            break;
        case PathOp::Subtract:
            out.addRegion(ra.subtracted(rb));
            break;
    }
    return out;
}

}  // namespace plume::metafile
