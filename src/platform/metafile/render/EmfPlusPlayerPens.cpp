// EmfPlusPlayer: what GDI+ pens draw beyond Qt's stroker: caps that differ at the two ends of
// a line, triangle and anchor caps, custom caps, compound lines, inset pens and triangle
// dash caps.

#include "platform/metafile/render/EmfPlusPlayer.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace plume::metafile {

using namespace emfplus;

namespace {

// Line cap types (MS-EMFPLUS 2.1.1.18).
enum : int32_t {
    kFlat = 0,
    kSquare = 1,
    kRound = 2,
    kTriangle = 3,
    kNoAnchor = 0x10,
    kSquareAnchor = 0x11,
    kRoundAnchor = 0x12,
    kDiamondAnchor = 0x13,
    kArrowAnchor = 0x14,
    kCustom = 0xFF,
};

bool knownCap(int32_t cap) {
    return (cap >= kFlat && cap <= kTriangle) || (cap >= kNoAnchor && cap <= kArrowAnchor);
}

// A built-in cap as a cap shape (in pen widths, its y axis along the line towards the end,
// the end at the origin), or nullopt for a flat end. Square, round and triangle caps lie
// beyond the end, so that they add to the line without covering it twice. Anchors are
// centred on the end and twice the pen's width across, as GDI+ draws them (the document asks
// only that they be wider than the line); the arrow's tip is the end, the line stopping at
// its base.
std::optional<CustomCap> builtinCap(int32_t type) {
    CustomCap cap;
    QPainterPath& p = cap.fillPath;
    const double arrowLength = std::numbers::sqrt3;  // an equilateral arrow two widths across
    switch (type) {
        case kSquare:
            p.addRect(QRectF(-0.5, 0, 1, 0.5));
            break;
        case kRound:
            p.moveTo(-0.5, 0);
            p.arcTo(QRectF(-0.5, -0.5, 1, 1), 180, 180);
            p.closeSubpath();
            break;
        case kTriangle:
            p.moveTo(-0.5, 0);
            p.lineTo(0, 0.5);
            p.lineTo(0.5, 0);
            p.closeSubpath();
            break;
        case kSquareAnchor:
            p.addRect(QRectF(-1, -1, 2, 2));
            break;
        case kRoundAnchor:
            p.addEllipse(QPointF(0, 0), 1, 1);
            break;
        case kDiamondAnchor:
            p.moveTo(0, -1);
            p.lineTo(1, 0);
            p.lineTo(0, 1);
            p.lineTo(-1, 0);
            p.closeSubpath();
            break;
        case kArrowAnchor:
            p.moveTo(0, 0);
            p.lineTo(1, -arrowLength);
            p.lineTo(-1, -arrowLength);
            p.closeSubpath();
            cap.baseInset = float(arrowLength);
            break;
        default:
            return std::nullopt;
    }
    return cap;
}

// Whether Qt's own cap draws both ends of a line with this pen.
bool qtCapsSuffice(const Pen& pen) {
    return !pen.customStartCap && !pen.customEndCap && pen.startCap == pen.endCap &&
           pen.startCap >= kFlat && pen.startCap <= kRound;
}

// A compound array the player draws: pairs of ascending positions from 0 to 1.
bool validCompound(const std::vector<float>& c) {
    if (c.size() < 2 || c.size() % 2 != 0) return false;
    for (size_t i = 0; i < c.size(); ++i)
        if (!(c[i] >= 0 && c[i] <= 1) || (i > 0 && c[i] < c[i - 1])) return false;
    return true;
}

// A compound array of one band over the whole width: a plain line (writers put it).
bool plainCompound(const std::vector<float>& c) {
    return c.empty() || (c.size() == 2 && c[0] <= 0 && c[1] >= 1);
}

// A figure's end: its end point and the direction the line runs into it (from the nearest
// distinct point before it), with the index of that end's element.
struct FigureEnd {
    QPointF point;
    QPointF direction;  // unit length
    int element = 0;
    int neighbour = 0;
};

std::optional<FigureEnd> figureEnd(const QPainterPath& path, int first, int last, bool atEnd) {
    const int end = atEnd ? last : first;
    const int step = atEnd ? -1 : 1;
    const QPointF p = path.elementAt(end);
    for (int i = end + step; i >= first && i <= last; i += step) {
        const QPointF q = path.elementAt(i);
        const QPointF d = p - q;
        const double length = std::hypot(d.x(), d.y());
        if (length > 1e-9) return FigureEnd{p, d / length, end, i};
    }
    return std::nullopt;
}

// The cap's coordinates to world units: scaled by `scale`, its y axis along `direction`.
QTransform capTransform(const FigureEnd& end, double scale) {
    const QPointF d = end.direction * scale;
    return QTransform(d.y(), -d.x(), d.x(), d.y(), end.point.x(), end.point.y());
}

// The figures of a path split into the closed ones (last point on the first) and the open.
std::pair<QPainterPath, QPainterPath> splitClosed(const QPainterPath& path) {
    QPainterPath closed, open;
    closed.setFillRule(path.fillRule());
    const int count = path.elementCount();
    for (int first = 0; first < count;) {
        int last = first;
        while (last + 1 < count && !path.elementAt(last + 1).isMoveTo()) ++last;
        const bool isClosed =
            last > first && QPointF(path.elementAt(first)) == QPointF(path.elementAt(last));
        QPainterPath& into = isClosed ? closed : open;
        for (int i = first; i <= last; ++i) {
            const QPainterPath::Element e = path.elementAt(i);
            if (e.isMoveTo()) {
                into.moveTo(e);
            } else if (e.isLineTo()) {
                into.lineTo(e);
            } else if (e.type == QPainterPath::CurveToElement && i + 2 <= last) {
                into.cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
                i += 2;
            }
        }
        if (isClosed) into.closeSubpath();
        first = last + 1;
    }
    return {closed, open};
}

double dot(QPointF a, QPointF b) {
    return a.x() * b.x() + a.y() * b.y();
}

// The line parallel to a polyline at the distance `d` along its normals (to the right,
// looking along it, in a y-down world), joined as the pen joins: on the outer side of a turn
// by a miter (a bevel past `miterLimit` half-widths), a bevel or a round arc; on the inner
// side at the two lines' crossing.
QPolygonF offsetLine(const QPolygonF& p, bool closed, double d, uint32_t join, double miterLimit,
                     double halfWidth) {
    const int n = int(p.size());
    const int segments = closed ? n : n - 1;
    std::vector<QPointF> dirs(static_cast<size_t>(segments));
    for (int i = 0; i < segments; ++i) {
        const QPointF v = p[(i + 1) % n] - p[i];
        dirs[size_t(i)] = v / std::hypot(v.x(), v.y());
    }
    const auto normal = [](QPointF v) { return QPointF(-v.y(), v.x()); };
    QPolygonF out;
    for (int i = 0; i < n; ++i) {
        if (!closed && (i == 0 || i == n - 1)) {
            out << p[i] + d * normal(dirs[size_t(i == 0 ? 0 : n - 2)]);
            continue;
        }
        const QPointF in = dirs[size_t((i - 1 + segments) % segments)], outDir = dirs[size_t(i)];
        const QPointF n0 = normal(in), n1 = normal(outDir);
        const double cosine = dot(n0, n1);
        if (cosine > 1 - 1e-9) {
            out << p[i] + d * n0;
            continue;
        }
        const bool reversal = 1 + cosine < 1e-9;
        const QPointF miter = reversal ? QPointF() : d * (n0 + n1) / (1 + cosine);
        const bool inner = dot(d * (n0 + n1), outDir - in) > 0;
        const bool miterFits = std::hypot(miter.x(), miter.y()) <= miterLimit * halfWidth;
        if (!reversal && (inner || ((join == 0 || join == 3) && miterFits))) {
            out << p[i] + miter;
        } else if (join == 2) {
            const QPointF a = d * n0, b = d * n1;
            const double from = std::atan2(a.y(), a.x());
            double sweep = std::atan2(b.y(), b.x()) - from;
            while (sweep > std::numbers::pi) sweep -= 2 * std::numbers::pi;
            while (sweep < -std::numbers::pi) sweep += 2 * std::numbers::pi;
            constexpr int kSteps = 8;
            for (int s = 0; s <= kSteps; ++s) {
                const double t = from + sweep * s / kSteps;
                out << p[i] + std::abs(d) * QPointF(std::cos(t), std::sin(t));
            }
        } else {
            out << p[i] + d * n0 << p[i] + d * n1;
        }
    }
    return out;
}

// Polygons of a path flattened in output pixels (so that curves stay smooth whatever the
// world's scale), in world units, without repeated points.
std::vector<QPolygonF> flattened(const QPainterPath& path, const QTransform& toPainter) {
    const QTransform toWorld = toPainter.inverted();
    std::vector<QPolygonF> out;
    for (const QPolygonF& flat : path.toSubpathPolygons(toPainter)) {
        QPolygonF p;
        for (const QPointF& q : toWorld.map(flat))
            if (p.isEmpty() || std::hypot(q.x() - p.back().x(), q.y() - p.back().y()) > 1e-9)
                p << q;
        out.push_back(p);
    }
    return out;
}

// The dashes of the figures as open subpaths: `pattern` (on, off, ... in pen widths) from
// `offset` into it, restarting on each figure. A pattern that would make more than 100,000
// dashes leaves the figures solid.
QPainterPath dashed(const std::vector<QPolygonF>& figures, const QList<qreal>& pattern,
                    double offset, double width, const QPainterPath& solid) {
    double total = 0;
    for (qreal d : pattern) total += d * width;
    if (pattern.isEmpty() || !(total > 0) || !std::isfinite(offset)) return solid;
    QPainterPath out;
    int dashes = 0;
    for (const QPolygonF& p : figures) {
        if (p.size() < 2) continue;
        double phase = std::fmod(offset * width, total);
        if (phase < 0) phase += total;
        qsizetype index = 0;
        double left = pattern[0] * width;
        while (phase >= left) {
            phase -= left;
            index = (index + 1) % pattern.size();
            left = pattern[index] * width;
        }
        left -= phase;
        bool on = index % 2 == 0;
        out.moveTo(p[0]);
        for (qsizetype i = 1; i < p.size(); ++i) {
            const QPointF a = p[i - 1], b = p[i];
            const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
            double at = 0;
            while (length - at > left) {
                at += left;
                const QPointF q = a + (b - a) * (at / length);
                if (on)
                    out.lineTo(q);
                else
                    out.moveTo(q);
                on = !on;
                index = (index + 1) % pattern.size();
                left = pattern[index] * width;
                if (++dashes > 100'000) return solid;
            }
            left -= length - at;
            if (on) out.lineTo(b);
        }
    }
    return out;
}

}  // namespace

bool emfPlusPenDrawable(const Pen& pen) {
    const auto capDrawable = [](int32_t cap, const std::optional<CustomCap>& custom) {
        return custom ? cap == kCustom : knownCap(cap);
    };
    // Compound lines are drawn solid and centred (their dashes and inset are not).
    const bool compound = !plainCompound(pen.compound);
    const bool compoundDrawable =
        !compound || (validCompound(pen.compound) && pen.dashStyle == 0 && pen.alignment != 1);
    // A clamped texture bounds fills only: a pen would draw it repeated.
    const bool clampedTexture = pen.brush.type == Brush::Type::Texture && pen.brush.wrapMode == 4;
    return emfPlusBrushDrawable(pen.brush) && !clampedTexture &&
           capDrawable(pen.startCap, pen.customStartCap) &&
           capDrawable(pen.endCap, pen.customEndCap) && pen.join <= 3 && pen.dashStyle >= 0 &&
           pen.dashStyle <= 5 && (pen.dashStyle != 5 || !pen.dashes.empty()) &&
           (pen.dashStyle == 0 || (pen.dashCap >= 0 && pen.dashCap <= 3 && pen.dashCap != 1)) &&
           // GDI+ knows two alignments, centre and inset; the left, outset and right of the
           // format are drawn centred, as GDI+ draws them.
           pen.alignment >= 0 && pen.alignment <= 4 && compoundDrawable &&
           (!pen.transform || pen.transform->isIdentity());
}

bool EmfPlusPlayer::needsShaping(const Pen& pen) {
    return !qtCapsSuffice(pen) || pen.alignment == 1 || !plainCompound(pen.compound) ||
           (pen.dashStyle != 0 && pen.dashCap == kTriangle);
}

// Caps, compound lines, inset pens and triangle dash caps. Closed figures of an inset pen are
// drawn inside their area: a stroke twice the width, cut to the figure. Compound lines are bands
// parallel to the figures (flattened in output pixels). The caps of the open figures are shapes put
// on their ends; built-in ones are joined to the line into one outline filled once, custom ones
// drawn over it as before. Triangle dash caps: the dashes are made here and capped as line ends.
void EmfPlusPlayer::strokeShaped(const QPainterPath& path, const Pen& pen, const QPen& qpen) {
    const double width = qpen.widthF();
    QPainterPath figures = path;
    if (pen.alignment == 1 && width > 0) {
        auto [closed, open] = splitClosed(path);
        if (!closed.isEmpty()) {
            QPen wide = qpen;
            wide.setWidthF(2 * width);
            const QPainterPath band = QPainterPathStroker(wide).createStroke(closed);
            m_painter.setPen(Qt::NoPen);
            m_painter.setBrush(qpen.brush());
            m_painter.drawPath(band.intersected(closed));
            m_painter.setPen(qpen);
            m_painter.setBrush(Qt::NoBrush);
        }
        figures = open;
    }
    if (figures.isEmpty()) return;

    const bool compound = !plainCompound(pen.compound) && width > 0;
    const bool ownCaps = !qtCapsSuffice(pen) || compound;
    QPen line = qpen;
    if (ownCaps)
        line.setCapStyle(pen.dashStyle != 0 && pen.dashCap == 2 ? Qt::RoundCap : Qt::FlatCap);
    const auto startCap = pen.customStartCap ? pen.customStartCap : builtinCap(pen.startCap);
    const auto endCap = pen.customEndCap ? pen.customEndCap : builtinCap(pen.endCap);

    // The figures' ends, each moved back by its cap's base inset when its last segment is a
    // straight line long enough.
    struct Cap {
        const CustomCap* cap;
        FigureEnd end;
        bool custom;
    };
    std::vector<Cap> caps;
    const int count = figures.elementCount();
    for (int first = 0; ownCaps && first < count;) {
        int last = first;
        while (last + 1 < count && !figures.elementAt(last + 1).isMoveTo()) ++last;
        const bool closed =
            last > first && QPointF(figures.elementAt(first)) == QPointF(figures.elementAt(last));
        for (int atEnd = 0; atEnd < 2 && !closed; ++atEnd) {
            const CustomCap* cap =
                atEnd ? (endCap ? &*endCap : nullptr) : (startCap ? &*startCap : nullptr);
            const auto end = cap ? figureEnd(figures, first, last, atEnd) : std::nullopt;
            if (!end) continue;
            caps.push_back({cap, *end, bool(atEnd ? pen.customEndCap : pen.customStartCap)});
            const double inset = cap->baseInset * cap->widthScale * width;
            const bool straight = atEnd ? figures.elementAt(end->element).isLineTo()
                                        : figures.elementAt(end->neighbour).isLineTo();
            const QPointF q = figures.elementAt(end->neighbour);
            if (inset > 0 && straight &&
                std::hypot(end->point.x() - q.x(), end->point.y() - q.y()) > inset) {
                const QPointF moved = end->point - end->direction * inset;
                figures.setElementPositionAt(end->element, moved.x(), moved.y());
            }
        }
        first = last + 1;
    }

    // The line, and the built-in caps joined to it.
    const double scale = std::max(width, 1e-3);
    QPainterPath shapes;
    shapes.setFillRule(Qt::WindingFill);
    for (const auto& [cap, end, custom] : caps)
        if (!custom) shapes.addPath(capTransform(end, scale).map(cap->fillPath));
    // Triangle dash caps: the dashes made here, each end a triangle.
    if (pen.dashStyle != 0 && pen.dashCap == kTriangle && width > 0 && !compound) {
        figures = dashed(flattened(figures, worldToPainter()), line.dashPattern(),
                         line.dashOffset(), width, figures);
        line.setStyle(Qt::SolidLine);
        line.setCapStyle(Qt::FlatCap);
        const QPainterPath triangle = builtinCap(kTriangle)->fillPath;
        const int elements = figures.elementCount();
        for (int first = 0; first < elements;) {
            int last = first;
            while (last + 1 < elements && !figures.elementAt(last + 1).isMoveTo()) ++last;
            for (bool atEnd : {false, true})
                if (const auto end = figureEnd(figures, first, last, atEnd))
                    shapes.addPath(capTransform(*end, scale).map(triangle));
            first = last + 1;
        }
    }
    m_painter.setBrush(Qt::NoBrush);
    if (compound) {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(qpen.brush());
        for (const QPainterPath& band : compoundBands(figures, pen, width))
            m_painter.drawPath(band);
        if (!shapes.isEmpty()) m_painter.drawPath(shapes);
    } else if (!shapes.isEmpty() && width > 0) {
        QPainterPath outline = QPainterPathStroker(line).createStroke(figures);
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(qpen.brush());
        m_painter.drawPath(outline.united(shapes.simplified()));
    } else {
        m_painter.setPen(line);
        m_painter.drawPath(figures);
    }

    // Custom caps over it.
    for (const auto& [cap, end, custom] : caps)
        if (custom) drawCustomCap(*cap, capTransform(end, scale * cap->widthScale), qpen);
}

// A custom cap, in the pen's brush: a fill path filled, a line path stroked with the pen, an
// arrow filled or outlined.
void EmfPlusPlayer::drawCustomCap(const CustomCap& cap, const QTransform& toWorld,
                                  const QPen& qpen) {
    QPen outline = qpen;
    outline.setStyle(Qt::SolidLine);
    if (cap.arrow) {
        const double w = cap.arrowWidth / 2, h = cap.arrowHeight;
        QPainterPath arrow;
        arrow.moveTo(-w, -h);
        arrow.lineTo(0, 0);
        arrow.lineTo(w, -h);
        if (cap.arrowFilled) {
            arrow.lineTo(0, -h + cap.middleInset);
            arrow.closeSubpath();
            m_painter.setPen(Qt::NoPen);
            m_painter.setBrush(qpen.brush());
        } else {
            m_painter.setPen(outline);
            m_painter.setBrush(Qt::NoBrush);
        }
        m_painter.drawPath(toWorld.map(arrow));
        return;
    }
    if (!cap.fillPath.isEmpty()) {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(qpen.brush());
        m_painter.drawPath(toWorld.map(cap.fillPath));
    }
    if (!cap.linePath.isEmpty()) {
        m_painter.setPen(outline);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawPath(toWorld.map(cap.linePath));
    }
}

// The bands of a compound line: each pair of positions across the pen's width (0 its left
// edge, 1 its right, looking along the line) the area between the lines parallel to the
// figure at those two distances, one path per band and figure.
std::vector<QPainterPath> EmfPlusPlayer::compoundBands(const QPainterPath& figures, const Pen& pen,
                                                       double width) const {
    std::vector<float> c = pen.compound;
    for (float& v : c) v = std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f;
    std::sort(c.begin(), c.end());
    if (c.size() % 2) c.pop_back();
    const double limit = std::isfinite(pen.miterLimit) ? std::max(1.0f, pen.miterLimit) : 10;
    std::vector<QPainterPath> bands;
    for (QPolygonF p : flattened(figures, worldToPainter())) {
        const bool closed = p.size() > 2 && std::hypot(p.front().x() - p.back().x(),
                                                       p.front().y() - p.back().y()) < 1e-6;
        if (closed) p.removeLast();
        if (p.size() < 2) continue;
        for (size_t i = 0; i + 1 < c.size(); i += 2) {
            const double d1 = (c[i] - 0.5) * width, d2 = (c[i + 1] - 0.5) * width;
            if (d2 - d1 <= 0) continue;
            const QPolygonF a = offsetLine(p, closed, d1, pen.join, limit, width / 2);
            QPolygonF b = offsetLine(p, closed, d2, pen.join, limit, width / 2);
            std::reverse(b.begin(), b.end());
            QPainterPath band;
            band.setFillRule(Qt::WindingFill);
            if (closed) {
                band.addPolygon(a);
                band.closeSubpath();
                band.addPolygon(b);
                band.closeSubpath();
            } else {
                band.addPolygon(a + b);
                band.closeSubpath();
            }
            bands.push_back(band);
        }
    }
    return bands;
}

}  // namespace plume::metafile
