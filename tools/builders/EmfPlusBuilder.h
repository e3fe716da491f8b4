#pragma once

// Writes EMF+ records (MS-EMFPLUS) into the comments of an EMF made with EmfBuilder, so that
// tests and fuzz seeds state EMF+ pictures as readable code. Records gather until flushTo()
// writes them as one EMR_COMMENT. Coordinates are world units as floats unless a record says
// otherwise; colours are ARGB (0xAARRGGBB).

#include "builders/EmfBuilder.h"

#include <QByteArray>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>
#include <cstdint>
#include <vector>

namespace plume::test {

// A brush as the figure records name it: a colour or an object id.
struct PlusBrush {
    bool isColor = true;
    uint32_t value = 0;
};
inline PlusBrush plusColor(uint32_t argb) { return {true, argb}; }
inline PlusBrush plusObject(uint8_t id) { return {false, id}; }

// A region node (rectangle, path, empty, infinite, or a combination of two nodes) and the
// number of nodes under it, for EmfPlusBuilder::region().
struct PlusRegion {
    QByteArray bytes;
    uint32_t children = 0;
};
PlusRegion regionRect(const QRectF& rect);
PlusRegion regionPath(const QByteArray& pathBody);
PlusRegion regionEmpty();
PlusRegion regionInfinite();
// `mode`: 1 and, 2 or, 3 xor, 4 exclude (the first without the second), 5 complement.
PlusRegion regionCombined(uint32_t mode, const PlusRegion& left, const PlusRegion& right);

// The optional fields of a pen (written when they differ from GDI+'s defaults).
struct PlusPenStyle {
    uint32_t unit = 0;  // world
    int32_t startCap = 0, endCap = 0;
    uint32_t join = 0;
    int32_t dashStyle = 0;
    std::vector<float> dashes;
    // An adjustable arrow as the end's custom cap (width and height in pen widths).
    std::optional<std::pair<float, float>> arrowEndCap = std::nullopt;
    float miterLimit = 10;
    int32_t dashCap = 0;  // 0 flat, 2 round, 3 triangle
    int32_t alignment = 0;  // 0 centre, 1 inset
    std::vector<float> compound = {};  // pairs of positions across the width, 0 to 1
};

class EmfPlusBuilder {
  public:
    // Any record: its type, flags and data.
    EmfPlusBuilder& record(uint16_t type, uint16_t flags, const QByteArray& data);

    EmfPlusBuilder& header(bool dual, uint32_t dpi = 96);
    EmfPlusBuilder& endOfFile();
    EmfPlusBuilder& getDc();

    // Objects. `object` writes any body, split into continuation records of `part` bytes
    // when `part` is not zero.
    EmfPlusBuilder& object(uint8_t id, uint8_t type, const QByteArray& body, int part = 0);
    EmfPlusBuilder& solidBrush(uint8_t id, uint32_t argb);
    EmfPlusBuilder& hatchBrush(uint8_t id, uint32_t style, uint32_t fore, uint32_t back);
    EmfPlusBuilder& linearBrush(uint8_t id, const QRectF& rect, uint32_t start, uint32_t end);
    // A texture brush of a bitmap (32-bit ARGB pixels) in world units, tiled unless `wrapMode`
    // says otherwise (1 flip x, 2 flip y, 3 flip both, 4 clamp).
    EmfPlusBuilder& textureBrush(uint8_t id, const QImage& image, uint32_t wrapMode = 0);
    EmfPlusBuilder& pen(uint8_t id, float width, uint32_t argb, const PlusPenStyle& style = {});
    // A path gradient from `surround` on the polygon `boundary` to `centre` at `center`.
    EmfPlusBuilder& pathGradientBrush(uint8_t id, const std::vector<QPointF>& boundary,
                                      QPointF center, uint32_t centre, uint32_t surround);
    // A path; `types` one per point (0 start, 1 line, 3 Bezier, | 0x80 closes). With
    // `compressed` the points are 16-bit integers, with `rle` the types run-length coded.
    EmfPlusBuilder& path(uint8_t id, const std::vector<QPointF>& points,
                         const std::vector<uint8_t>& types, bool compressed = false,
                         bool rle = false);
    // Image objects: a bitmap as 32-bit ARGB pixels, or a metafile's bytes (EMF).
    EmfPlusBuilder& bitmap(uint8_t id, const QImage& image);
    EmfPlusBuilder& metafileImage(uint8_t id, const QByteArray& emf);
    // A font of `emSize` in `unit` (style: 1 bold, 2 italic) and a string format (alignment
    // and line alignment: 0 near, 1 centre, 2 far).
    EmfPlusBuilder& font(uint8_t id, float emSize, uint32_t unit, const QString& family,
                         int32_t style = 0);
    // Optionally the hotkey prefix (1 shown, 2 hidden), trimming and tab stops.
    EmfPlusBuilder& stringFormat(uint8_t id, uint32_t flags, uint32_t alignment,
                                 uint32_t lineAlignment, int32_t hotkeyPrefix = 0,
                                 uint32_t trimming = 0, const std::vector<float>& tabs = {});
    EmfPlusBuilder& region(uint8_t id, const PlusRegion& node);
    static QByteArray brushBody(uint32_t argb);
    static QByteArray bitmapBody(const QImage& image);
    static QByteArray pathBody(const std::vector<QPointF>& points,
                               const std::vector<uint8_t>& types, bool compressed, bool rle);

    // Figures.
    EmfPlusBuilder& clear(uint32_t argb);
    EmfPlusBuilder& fillRects(PlusBrush brush, const std::vector<QRectF>& rects,
                              bool compressed = false);
    EmfPlusBuilder& drawRects(uint8_t pen, const std::vector<QRectF>& rects);
    EmfPlusBuilder& fillEllipse(PlusBrush brush, const QRectF& rect);
    EmfPlusBuilder& drawEllipse(uint8_t pen, const QRectF& rect);
    EmfPlusBuilder& fillPie(PlusBrush brush, float start, float sweep, const QRectF& rect);
    EmfPlusBuilder& drawPie(uint8_t pen, float start, float sweep, const QRectF& rect);
    EmfPlusBuilder& drawArc(uint8_t pen, float start, float sweep, const QRectF& rect);
    // Points as floats; with `relative` as EMF+'s relative 7- and 15-bit steps (whole units).
    EmfPlusBuilder& fillPolygon(PlusBrush brush, const std::vector<QPointF>& points,
                                bool relative = false);
    EmfPlusBuilder& drawLines(uint8_t pen, const std::vector<QPointF>& points, bool closed);
    EmfPlusBuilder& drawBeziers(uint8_t pen, const std::vector<QPointF>& points);
    EmfPlusBuilder& fillClosedCurve(PlusBrush brush, float tension,
                                    const std::vector<QPointF>& points);
    EmfPlusBuilder& drawCurve(uint8_t pen, float tension, uint32_t offset, uint32_t segments,
                              const std::vector<QPointF>& points);
    EmfPlusBuilder& fillPath(PlusBrush brush, uint8_t path);
    // Driver string: `glyphs` (characters with options & 1) each at its position.
    EmfPlusBuilder& drawDriverString(uint8_t font, PlusBrush brush, uint32_t options,
                                     const QString& glyphs, const std::vector<QPointF>& positions);
    EmfPlusBuilder& drawString(uint8_t font, PlusBrush brush, uint32_t format,
                               const QRectF& layout, const QString& text);
    // DrawImage with source `src` (pixels) into `dest`; DrawImagePoints into the
    // parallelogram of three corners (`effect` sets the image-effect flag).
    // DrawImage's source is in `srcUnit` (2 pixels, 3 points...), and `attributes` names an
    // image attributes object.
    EmfPlusBuilder& drawImage(uint8_t image, const QRectF& src, const QRectF& dest,
                              uint32_t attributes = 0xFFFFFFFF, uint32_t srcUnit = 2);
    EmfPlusBuilder& drawImagePoints(uint8_t image, const QRectF& src,
                                    const std::vector<QPointF>& corners, bool effect = false);
    EmfPlusBuilder& drawPath(uint8_t pen, uint8_t path);
    EmfPlusBuilder& fillRegion(PlusBrush brush, uint8_t region);
    // An image effect: a serializable object of the effect's GUID (32 hex digits as the bytes
    // lie in the file) and its parameters.
    // Image attributes: wrap mode (0 tile, 1-3 flipped, 4 clamp) and clamp colour.
    EmfPlusBuilder& imageAttributes(uint8_t id, uint32_t wrapMode, uint32_t clampColor);
    EmfPlusBuilder& imageEffect(const char* guidHex, const QByteArray& parameters);

    // State.
    EmfPlusBuilder& save(uint32_t index);
    EmfPlusBuilder& restore(uint32_t index);
    EmfPlusBuilder& beginContainer(const QRectF& dest, const QRectF& src, uint32_t index);
    EmfPlusBuilder& endContainer(uint32_t index);
    EmfPlusBuilder& translate(float dx, float dy, bool append = false);
    EmfPlusBuilder& scale(float sx, float sy, bool append = false);
    EmfPlusBuilder& rotate(float degrees, bool append = false);
    EmfPlusBuilder& resetTransform();
    EmfPlusBuilder& pageTransform(uint8_t unit, float scale);
    EmfPlusBuilder& clipRect(const QRectF& rect, uint8_t combine);
    EmfPlusBuilder& clipPath(uint8_t path, uint8_t combine);
    EmfPlusBuilder& clipRegion(uint8_t region, uint8_t combine);
    EmfPlusBuilder& resetClip();
    EmfPlusBuilder& offsetClip(float dx, float dy);
    EmfPlusBuilder& antialias(bool on);

    // Writes the records gathered so far into `emf` as one EMF+ comment.
    EmfPlusBuilder& flushTo(EmfBuilder& emf);
    // The gathered records as a comment's data ("EMF+" and the records), and clears them.
    QByteArray take();

  private:
    QByteArray m_records;
};

// A 120 x 90 dual picture with a record of every kind the EMF+ player draws (objects,
// figures, state, transforms, clipping), and a GDI fallback: for fuzz seeds and damage tests.
QByteArray emfPlusSampler();

}  // namespace plume::test
