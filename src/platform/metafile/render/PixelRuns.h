#pragma once

// The player's fast paths for wide pens: rectangle frames, ellipse rings and polylines drawn as
// runs of output pixels and plain segments instead of through the painter's stroker, which
// builds an outline and scan-converts it for every figure (the most costly part of a busy
// picture). Whether a pen may take them is decided once, when the pen is made.

#include <QBrush>
#include <QColor>
#include <QLineF>
#include <QPen>
#include <QPolygonF>
#include <QRect>
#include <QTransform>
#include <cstdint>
#include <vector>

class QPainter;

namespace plume::metafile {

// For its lifetime the painter draws in output pixels (or in `units` when given); then it goes
// back to the device units the player draws in.
class OutputPixels {
  public:
    OutputPixels(QPainter& painter, const QTransform& deviceUnits,
                 const QTransform& units = QTransform());
    ~OutputPixels();
    OutputPixels(const OutputPixels&) = delete;
    OutputPixels& operator=(const OutputPixels&) = delete;

  private:
    QPainter& m_painter;
    QTransform m_deviceUnits;
};

class PixelRuns {
  public:
    // How a figure's corners or a polyline's ends and joins are drawn, if at all.
    enum class Corners : uint8_t { None, Square, Round };

    // What the DC's pen allows. Every path needs a solid geometric pen painted where painting
    // a pixel twice is the same as once (a raster image, a ROP2 that ignores the destination)
    // under a mapping that keeps axes parallel.
    struct Pen {
        Corners frame = Corners::None;     // rectangles: miter (square) or round joins
        bool ring = false;                 // ellipses
        Corners segments = Corners::None;  // polylines and polygons, segment by segment
    };

    // `deviceToPainter` is the player's mapping of device units to the painter, which stays
    // fixed while a picture plays.
    PixelRuns(QPainter& painter, const QTransform& deviceToPainter);

    // Decides for the pen the player made for the painter (device units). `roundable`: the
    // GDI pen leaves its ends and joins to the plain pen's round ones (an extended pen that
    // names square or flat ends, or miter or bevel joins, does not). `overpaintSafe`: see
    // above. `axisAligned`: the logical-to-device mapping keeps axes parallel.
    void choosePen(const QPen& pen, bool roundable, bool overpaintSafe, bool axisAligned);
    const Pen& pen() const { return m_choice; }

    // A rectangle (device units) framed by the pen, its inside filled with `inside` if given.
    void frame(const QRectF& device, const QBrush* inside);
    // An ellipse (device units) stroked by the pen; false when the pen covers it all.
    bool ring(const QRectF& device, const QBrush* inside);
    // The open or closed polyline (device units) stroked by the pen.
    void segments(const QPolygonF& polygon, bool closed);

  private:
    void ellipseSpans(const QRectF& outerDevice, const QRectF& innerDevice, const QBrush* inside);
    void roundFrameSpans(const QRectF& outerDevice, const QRectF& innerDevice, double radius);
    // Fills rectangles given in output pixels (runs of a row) with the brush.
    void fill(const std::vector<QRect>& spans, const QBrush& brush);
    int rows() const;

    QPainter& m_painter;
    const QTransform& m_deviceToPainter;
    QPen m_pen;  // the pen chosen for
    Pen m_choice;
    std::vector<QRect> m_penSpans, m_brushSpans;  // reused buffers
    std::vector<QLineF> m_lines;
};

}  // namespace plume::metafile
