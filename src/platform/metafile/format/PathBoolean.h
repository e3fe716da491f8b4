// Booleans of two paths whose work stays bounded: exact while the paths are small, on the
// pixels of a rectangle past that (an exact boolean costs as the crossings between the
// outlines, the square of their sizes for a zigzag).

#pragma once

#include <QPainterPath>
#include <QRect>
#include <QRegion>

namespace plume::metafile {

enum class PathOp { Intersect, Unite, Xor, Subtract };

// Elements of the two paths together past which a boolean is done on pixels.
inline constexpr int kMaxExactPathElements = 256;

// The pixels of `bounds` whose centres the path covers.
QRegion pixelRegion(const QPainterPath& path, const QRect& bounds);

// `a op b`: exact for small paths; past kMaxExactPathElements the union of the pixels of
// `bounds` in the result, and `*simplified` set.
QPainterPath combinePathsBounded(const QPainterPath& a, const QPainterPath& b, PathOp op,
                                 const QRect& bounds, bool* simplified);

}  // namespace plume::metafile
