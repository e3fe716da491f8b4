#pragma once

// Helpers shared by the player's source files (not part of its interface).

#include "platform/metafile/format/LogFont.h"

#include <QColor>
#include <QPainter>
#include <QPointF>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace plume::metafile::player {

// Device coordinates beyond this are clamped: far outside any picture, and small enough that
// QPainter's fixed-point rasteriser never overflows.
inline constexpr double kCoordLimit = 1e7;

inline double clamp(double v) {
    return std::clamp(std::isfinite(v) ? v : 0.0, -kCoordLimit, kCoordLimit);
}

inline QPointF clampPoint(QPointF p) {
    return {clamp(p.x()), clamp(p.y())};
}

// A transform is usable when all its parts are finite and it does not collapse the plane.
inline bool usable(const QTransform& t) {
    const double v[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    for (double x : v)
        if (!std::isfinite(x) || std::abs(x) > 1e12) return false;
    return std::abs(t.determinant()) > 1e-18;
}

// A right-to-left layout mirrors the points of figures and text to pixel column
// (width - 1 - x), one pixel left of a mirror of the plane; rectangles of pixels (clip regions,
// blitted bitmaps) GDI mirrors whole, to (width - right, width - left), without that shift.
inline constexpr double kLayoutMirrorShift = 1;

// The stock fonts as a reference screen defines them.
LogFont stockFont(uint32_t index);

// The colour of a stock brush (white, the three greys; black for the others).
QColor stockBrushColor(uint32_t index);

// The painter's composition mode for a ROP2 code (source over for those it has none for).
QPainter::CompositionMode rop2Mode(uint32_t rop);

}  // namespace plume::metafile::player
