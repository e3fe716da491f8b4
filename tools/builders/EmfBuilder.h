#pragma once

// Writes EMF files record by record, so that the pictures of tests, benchmarks and fuzz seeds
// are readable code rather than binary blobs. Coordinates are logical units; the reference device
// is a 96-dpi screen, so at the default mapping one logical unit is one pixel of a picture rendered
// at its own size.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace plume::test {

class EmfBuilder {
  public:
    using Dib = std::pair<QByteArray, QByteArray>;  // BITMAPINFO and bits

    // A picture of width x height pixels (the frame covers exactly that at 96 dpi).
    EmfBuilder(int width, int height);

    // Any record: type and 32-bit words (the record header is added).
    EmfBuilder& record(uint32_t type, std::initializer_list<uint32_t> words);
    EmfBuilder& record(uint32_t type, const QByteArray& payload);

    // State.
    EmfBuilder& setMapMode(uint32_t mode);
    EmfBuilder& setWindowOrg(int x, int y);
    EmfBuilder& setWindowExt(int cx, int cy);
    EmfBuilder& setViewportOrg(int x, int y);
    EmfBuilder& setViewportExt(int cx, int cy);
    EmfBuilder& setWorldTransform(float m11, float m12, float m21, float m22, float dx, float dy);
    EmfBuilder& modifyWorldTransform(float m11, float m12, float m21, float m22, float dx, float dy,
                                     uint32_t mode);
    EmfBuilder& setBkMode(uint32_t mode);
    EmfBuilder& setBkColor(uint32_t colorRef);
    EmfBuilder& setTextColor(uint32_t colorRef);
    EmfBuilder& setTextAlign(uint32_t flags);
    EmfBuilder& setPolyFillMode(uint32_t mode);
    EmfBuilder& setRop2(uint32_t rop);
    EmfBuilder& setArcDirection(uint32_t direction);
    EmfBuilder& saveDc();
    EmfBuilder& restoreDc(int32_t which);
    EmfBuilder& moveTo(int x, int y);

    // Objects.
    EmfBuilder& createPen(uint32_t index, uint32_t style, int width, uint32_t colorRef);
    EmfBuilder& createExtPen(uint32_t index, uint32_t style, uint32_t width, uint32_t colorRef,
                             std::initializer_list<uint32_t> dashes = {});
    EmfBuilder& createBrush(uint32_t index, uint32_t style, uint32_t colorRef, uint32_t hatch = 0);
    EmfBuilder& createDibPatternBrush(uint32_t index, const QImage& pattern);
    // EMR_CREATEDIBPATTERNBRUSHPT (94) or EMR_CREATEMONOBRUSH (93) with a DIB as given: header
    // and colour table `info`, pixel `bits`, colour usage (0 RGB, 1 palette indexes, 2 none).
    EmfBuilder& dibBrush(uint32_t type, uint32_t index, uint32_t usage, const QByteArray& info,
                         const QByteArray& bits);
    // Palettes: entries as COLORREF values with the PALETTEENTRY flags in the top byte.
    EmfBuilder& createPalette(uint32_t index, const std::vector<uint32_t>& entries);
    EmfBuilder& setPaletteEntries(uint32_t index, uint32_t start,
                                  const std::vector<uint32_t>& entries);
    EmfBuilder& resizePalette(uint32_t index, uint32_t count) { return record(51, {index, count}); }
    EmfBuilder& selectPalette(uint32_t index) { return record(48, {index}); }
    EmfBuilder& realizePalette() { return record(52, {}); }
    EmfBuilder& setBrushOrg(int x, int y) { return record(13, {uint32_t(x), uint32_t(y)}); }
    EmfBuilder& setLayout(uint32_t flags) { return record(115, {flags}); }
    EmfBuilder& extFloodFill(int x, int y, uint32_t colorRef, uint32_t mode) {
        return record(53, {uint32_t(x), uint32_t(y), colorRef, mode});
    }
    EmfBuilder& createFont(uint32_t index, int height, int weight, const QString& face,
                           int escapement = 0, uint8_t charSet = 0, uint8_t italic = 0,
                           uint8_t underline = 0, int width = 0);
    // A font whose glyphs turn by `orientation` apart from the baseline's `escapement`.
    EmfBuilder& createTurnedFont(uint32_t index, int height, const QString& face, int escapement,
                                 int orientation, int width = 0);
    EmfBuilder& selectObject(uint32_t index);
    EmfBuilder& deleteObject(uint32_t index);

    // Figures.
    EmfBuilder& rectangle(int l, int t, int r, int b);
    EmfBuilder& ellipse(int l, int t, int r, int b);
    EmfBuilder& roundRect(int l, int t, int r, int b, int cw, int ch);
    // type: 45 arc, 46 chord, 47 pie, 55 arcTo.
    EmfBuilder& arcFamily(uint32_t type, int l, int t, int r, int b, int x1, int y1, int x2,
                          int y2);
    EmfBuilder& lineTo(int x, int y);
    // type: one of the 16-bit poly records (85 bezier, 86 polygon, 87 polyline, 88 bezierTo,
    // 89 polylineTo) or the 32-bit ones (2..6).
    EmfBuilder& poly(uint32_t type, const std::vector<std::pair<int, int>>& points);
    EmfBuilder& polyPolygon16(const std::vector<std::vector<std::pair<int, int>>>& polygons);

    // Paths and clipping.
    EmfBuilder& beginPath();
    EmfBuilder& endPath();
    EmfBuilder& closeFigure();
    EmfBuilder& fillPath();
    EmfBuilder& strokePath();
    EmfBuilder& strokeAndFillPath();
    EmfBuilder& selectClipPath(uint32_t mode);
    EmfBuilder& intersectClipRect(int l, int t, int r, int b);
    EmfBuilder& excludeClipRect(int l, int t, int r, int b);
    // Region in device units; no rectangles with mode 5 (RGN_COPY) resets the clip.
    EmfBuilder& extSelectClipRgn(const std::vector<std::array<int, 4>>& rects, uint32_t mode);

    // The graphics mode the next text records carry (1 GM_COMPATIBLE, as at first; 2
    // GM_ADVANCED): EMF keeps the DC's mode in each text record only.
    EmfBuilder& textGraphicsMode(uint32_t mode) {
        m_textGraphicsMode = mode;
        return *this;
    }
    EmfBuilder& setTextJustification(int breakExtra, int breakCount);
    // Text (EMR_EXTTEXTOUTW); `dx` in logical units, one per character (x and y pairs with
    // ETO_PDY), or empty.
    EmfBuilder& extTextOutW(int x, int y, const QString& text, uint32_t options = 0,
                            const std::vector<int>& dx = {},
                            std::array<int, 4> rect = {0, 0, 0, 0});
    // EMR_EXTTEXTOUTA with raw 8-bit bytes.
    EmfBuilder& extTextOutA(int x, int y, const QByteArray& bytes);
    // EMR_SMALLTEXTOUT: the rectangle is written unless `options` has ETO_NO_RECT (0x100); with
    // ETO_SMALL_CHARS (0x200) each character is stored as its low byte.
    EmfBuilder& smallTextOut(int x, int y, const QString& text, uint32_t options,
                             std::array<int, 4> rect = {0, 0, 0, 0});

    // Bitmaps: EMR_STRETCHDIBITS with `image` stored as a DIB of `bitCount` bits (1, 4, 8, 24
    // or 32; 1/4/8 use the image's colour table), bottom-up unless topDown.
    EmfBuilder& stretchDiBits(int x, int y, int cx, int cy, const QImage& image, uint32_t rop,
                              int bitCount = 24, bool topDown = false);
    // EMR_STRETCHDIBITS of a DIB as given (see dibBrush) of `size` pixels, with its colour usage.
    EmfBuilder& stretchDiBitsRaw(int x, int y, int cx, int cy, QSize size, const QByteArray& info,
                                 const QByteArray& bits, uint32_t usage);
    // EMR_STRETCHDIBITS whose bits are a PNG file (BI_PNG) of `size` pixels, as given.
    EmfBuilder& stretchDiBitsPng(int x, int y, int cx, int cy, QSize size, const QByteArray& png);
    // EMR_BITBLT without a bitmap (a pattern operation such as PATCOPY or DSTINVERT).
    EmfBuilder& patBlt(int x, int y, int cx, int cy, uint32_t rop);

    // The blits with a source DIB (`source` as dib() or dib32Bitfields() make it), the source
    // rectangle from (0, 0). EMR_ALPHABLEND with a BLENDFUNCTION as a 32-bit value:
    EmfBuilder& alphaBlend(int x, int y, int cx, int cy, const Dib& source, QSize srcSize,
                           uint32_t blendFunction);
    // EMR_TRANSPARENTBLT with the transparent colour as a COLORREF:
    EmfBuilder& transparentBlt(int x, int y, int cx, int cy, const Dib& source, QSize srcSize,
                               uint32_t transparent);
    // EMR_MASKBLT with a quaternary operation; no mask when `mask` is empty, no source when
    // `source` is.
    EmfBuilder& maskBlt(int x, int y, int cx, int cy, const Dib& source, uint32_t rop4,
                        const Dib& mask = {}, int xMask = 0, int yMask = 0);
    // EMR_PLGBLT: the source's upper-left, upper-right and lower-left corners go to `corners`.
    EmfBuilder& plgBlt(const std::array<std::pair<int, int>, 3>& corners, const Dib& source,
                       QSize srcSize, const Dib& mask = {}, int xMask = 0, int yMask = 0);

    // The header's handle count and reference-device size in micrometres: 64 handles and a
    // 1920 x 1080 screen at exactly 96 dpi unless set.
    EmfBuilder& setHandleCount(uint16_t count);
    EmfBuilder& setDeviceMicrometers(int cx, int cy);
    // Records so far, header and EMR_EOF included.
    int recordCount() const { return int(m_count) + 2; }

    // The file: header (bounds, frame, sizes and counts filled in) + records + EMR_EOF.
    QByteArray build() const;

    // A DIB (BITMAPINFOHEADER + colour table, and the bits) of an image, for other records.
    static std::pair<QByteArray, QByteArray> dib(const QImage& image, int bitCount, bool topDown);
    // A bottom-up 32-bit BI_BITFIELDS DIB of an image's pixels as stored (premultiplied ARGB
    // stays premultiplied), each channel placed by its 8-bit mask: red, green, blue, alpha.
    // Three masks after a BITMAPINFOHEADER when the alpha mask is 0 (the alpha then in the
    // byte the colour masks leave free), else a BITMAPV4HEADER.
    static std::pair<QByteArray, QByteArray> dib32Bitfields(const QImage& image,
                                                            std::array<uint32_t, 4> masks);

  private:
    // The opening EMR_BITBLT, EMR_ALPHABLEND, EMR_MASKBLT and EMR_TRANSPARENTBLT share, the
    // source DIB after `tail` (the record's own fields, whose DIB offsets `tail` leaves to
    // `tailDib`).
    EmfBuilder& bltRecord(uint32_t type, int x, int y, int cx, int cy, uint32_t rop,
                          const Dib& source, const QByteArray& tail, const Dib& tailDib = {});
    EmfBuilder& stretchDiBitsRecord(int x, int y, int cx, int cy, QSize size,
                                    const QByteArray& info, const QByteArray& bits, uint32_t rop,
                                    uint32_t usage = 0);

    int m_width, m_height;
    QByteArray m_records;
    uint32_t m_count = 0;
    uint16_t m_handles = 64;
    uint32_t m_textGraphicsMode = 1;
    int m_deviceMicrometersX = 508000, m_deviceMicrometersY = 285750;
};

// A busy drawing of about `records` records inside width x height pixels: pens and brushes
// created, selected and deleted, rectangles, ellipses, 16-bit polylines and polygons, lines
// and now and then a short text. A fixed recipe, so every run draws the same; the benchmarks
// measure these drawings.
QByteArray busyDrawing(int records, int width = 1000, int height = 1000, bool withText = true);

// Little-endian appenders, for tests that write records by hand.
void appendU16(QByteArray& out, uint16_t v);
void appendU32(QByteArray& out, uint32_t v);

}  // namespace plume::test
