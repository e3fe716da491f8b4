#include "platform/metafile/render/StrokeBounds.h"

#include <QBrush>
#include <QPainterPath>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace plume::metafile {

double dashCount(const QPainterPath& path, const QPen& pen, const QTransform& toDevice) {
    // A cosmetic pen's dashes are drawn pixel by pixel inside the output, whatever their count.
    if (pen.style() == Qt::SolidLine || pen.style() == Qt::NoPen || pen.isCosmetic()) return 0;
    double pattern = 0;
    for (qreal d : pen.dashPattern()) pattern += std::max(d, qreal(0));
    // Qt measures a pattern in pen widths.
    pattern *= pen.widthF() * std::sqrt(std::abs(toDevice.determinant()));
    double length = 0;
    QPointF previous;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p = toDevice.map(QPointF(e.x, e.y));
        if (!e.isMoveTo()) length += std::hypot(p.x() - previous.x(), p.y() - previous.y());
        previous = p;
    }
    if (!std::isfinite(length)) return kMaxDashesPerStroke * 2;
    return pattern > 0 ? length / pattern : (length > 0 ? kMaxDashesPerStroke * 2 : 0);
}

QPen solidForDashes(QPen pen) {
    // The pattern alternates dashes and gaps: the dashes' share of it is the ink seen.
    double dashes = 0, period = 0;
    const QList<qreal> pattern = pen.dashPattern();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const double d = std::max(pattern[i], qreal(0));
        period += d;
        if (i % 2 == 0) dashes += d;
    }
    const double ink = period > 0 && std::isfinite(period) ? dashes / period : 0.5;
    pen.setStyle(Qt::SolidLine);
    QBrush brush = pen.brush();
    if (brush.style() == Qt::SolidPattern) {
        QColor color = brush.color();
        color.setAlphaF(float(color.alphaF() * ink));
        brush.setColor(color);
        pen.setBrush(brush);
    }
    return pen;
}

}  // namespace plume::metafile
