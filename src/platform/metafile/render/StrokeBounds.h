#pragma once

// Bounds on the work one stroke may cause. A record is drawn in one go, so the picture's time
// limit, asked between records, cannot stop it: a dashed pen with a tiny dash along a long
// path would make millions of dashes in Qt's dash stroker, and every dash again in the
// boolean operations of shaped pens (caps, inset pens). The players estimate the dashes
// before stroking and, past a bound, draw what the eye would see of them instead.

#include <QPen>

class QPainterPath;
class QTransform;

namespace plume::metafile {

// At most this many dashes in one stroke; a pen that would make more draws solid, at half
// its alpha, as Qt's raster engine itself draws a pattern too fine for the extent of a path.
inline constexpr double kMaxDashesPerStroke = 100'000;
// At most this many dashes in a stroke that is shaped by path operations (the cost of which
// grows faster than the count); past it the dashes are drawn by Qt's stroker alone.
inline constexpr double kMaxShapedDashes = 2'000;

// The number of dashes `pen` makes along `path` (both in coordinates that `toDevice` maps to
// the output's pixels): the path's length over the pattern's, both in pixels, 0 for a solid
// or cosmetic pen. The length is the control polygon's, never shorter than the curves.
double dashCount(const QPainterPath& path, const QPen& pen, const QTransform& toDevice);

// The pen as a solid line, its alpha scaled by the share of the pattern its dashes take:
// what a pattern of countless tiny dashes shows.
QPen solidForDashes(QPen pen);

}  // namespace plume::metafile
