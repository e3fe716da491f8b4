#pragma once

// Writes WMF files record by record for tests, so that each test's picture can be read in
// its source: `WmfBuilder w; w.createPen(0, 1, 0x0000FF).selectObject(0).lineTo(10, 10);`
// then `w.placeable(...)` or `w.raw()`. Coordinates are given x before y; the builder stores
// them in the order each record wants.

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace plume::test {

class WmfBuilder {
  public:
    using Points = std::vector<std::pair<int16_t, int16_t>>;

    // Any record: function number and its parameters as raw bytes (padded to whole words).
    WmfBuilder& record(uint16_t function, const QByteArray& params);
    // A record whose parameters are 16-bit words, in the order the record stores them.
    WmfBuilder& words(uint16_t function, std::initializer_list<int> values);
    // A record with a RecordSize field that lies: `sizeWords` instead of the real size.
    WmfBuilder& lyingRecord(uint16_t function, uint32_t sizeWords, const QByteArray& params);

    WmfBuilder& setMapMode(int mode) { return words(0x0103, {mode}); }
    WmfBuilder& setWindowOrg(int x, int y) { return words(0x020B, {y, x}); }
    WmfBuilder& setWindowExt(int cx, int cy) { return words(0x020C, {cy, cx}); }
    WmfBuilder& setViewportOrg(int x, int y) { return words(0x020D, {y, x}); }
    WmfBuilder& setViewportExt(int cx, int cy) { return words(0x020E, {cy, cx}); }
    WmfBuilder& setBkMode(int mode) { return words(0x0102, {mode}); }
    WmfBuilder& setBkColor(uint32_t colorRef) { return color(0x0201, colorRef); }
    WmfBuilder& setTextColor(uint32_t colorRef) { return color(0x0209, colorRef); }
    WmfBuilder& setTextAlign(int flags) { return words(0x012E, {flags}); }
    WmfBuilder& setPolyFillMode(int mode) { return words(0x0106, {mode}); }
    WmfBuilder& setRop2(int rop) { return words(0x0104, {rop}); }
    WmfBuilder& saveDc() { return words(0x001E, {}); }
    WmfBuilder& restoreDc(int level) { return words(0x0127, {level}); }
    WmfBuilder& intersectClipRect(int l, int t, int r, int b) {
        return words(0x0416, {b, r, t, l});
    }
    WmfBuilder& excludeClipRect(int l, int t, int r, int b) { return words(0x0415, {b, r, t, l}); }

    // Objects take the lowest free slot, as GDI assigns them.
    WmfBuilder& createPen(int style, int width, uint32_t colorRef);
    WmfBuilder& createBrush(int style, uint32_t colorRef, int hatch = 0);
    // Face name given as the bytes the record holds (in the font's code page).
    WmfBuilder& createFont(int height, const QByteArray& face, int charSet = 0, int weight = 400,
                           int escapement = 0, int width = 0);
    WmfBuilder& createRegion(const std::vector<std::pair<int, int>>& scanTopBottom,
                             const std::vector<std::vector<std::pair<int, int>>>& scanLeftRight);
    WmfBuilder& createDibPatternBrush(const QByteArray& packedDib);
    WmfBuilder& selectObject(int index) { return words(0x012D, {index}); }
    WmfBuilder& selectClipRegion(int index) { return words(0x012C, {index}); }
    WmfBuilder& deleteObject(int index) { return words(0x01F0, {index}); }

    WmfBuilder& moveTo(int x, int y) { return words(0x0214, {y, x}); }
    WmfBuilder& lineTo(int x, int y) { return words(0x0213, {y, x}); }
    WmfBuilder& rectangle(int l, int t, int r, int b) { return words(0x041B, {b, r, t, l}); }
    WmfBuilder& ellipse(int l, int t, int r, int b) { return words(0x0418, {b, r, t, l}); }
    WmfBuilder& roundRect(int l, int t, int r, int b, int w, int h) {
        return words(0x061C, {h, w, b, r, t, l});
    }
    // META_ARC 0x0817, META_CHORD 0x0830, META_PIE 0x081A.
    WmfBuilder& arcLike(uint16_t function, int l, int t, int r, int b, int x1, int y1, int x2,
                        int y2) {
        return words(function, {y2, x2, y1, x1, b, r, t, l});
    }
    WmfBuilder& polyline(const Points& points) { return poly(0x0325, points); }
    WmfBuilder& polygon(const Points& points) { return poly(0x0324, points); }
    WmfBuilder& polyPolygon(const std::vector<Points>& polygons);
    WmfBuilder& setPixel(int x, int y, uint32_t colorRef);
    WmfBuilder& patBlt(int x, int y, int w, int h, uint32_t rop);

    WmfBuilder& textOut(int x, int y, const QByteArray& text);
    // options: ETO_OPAQUE 2, ETO_CLIPPED 4 (then `rect` is written: l, t, r, b).
    WmfBuilder& extTextOut(int x, int y, const QByteArray& text, int options = 0,
                           std::vector<int> rect = {}, std::vector<int> dx = {});

    // META_STRETCHDIB with a packed DIB.
    WmfBuilder& stretchDib(int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh,
                           const QByteArray& packedDib, uint32_t rop = 0x00CC0020);
    // META_DIBSTRETCHBLT with a packed DIB.
    WmfBuilder& dibStretchBlt(int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh,
                              const QByteArray& packedDib, uint32_t rop = 0x00CC0020);
    WmfBuilder& dibBitBlt(int dx, int dy, int w, int h, int sx, int sy, const QByteArray& packedDib,
                          uint32_t rop = 0x00CC0020);
    WmfBuilder& setDibToDev(int dx, int dy, int w, int h, int sx, int sy, int startScan,
                            int scanCount, const QByteArray& packedDib);

    // META_ESCAPE with MFCOMMENT carrying `emf` as "WMFC" pieces of at most `pieceSize` bytes.
    WmfBuilder& embeddedEmf(const QByteArray& emf, int pieceSize = 8192);
    WmfBuilder& escape(int function, const QByteArray& data);

    // The file: a META_HEADER (raw) or the placeable header before it, records, META_EOF.
    QByteArray raw(bool withEof = true) const;
    QByteArray placeable(int left, int top, int right, int bottom, int unitsPerInch,
                         bool withEof = true) const;

    int recordCount() const { return m_count; }

  private:
    WmfBuilder& color(uint16_t function, uint32_t colorRef);
    WmfBuilder& poly(uint16_t function, const Points& points);

    QByteArray m_records;
    int m_count = 0;
    int m_objects = 0;
    uint32_t m_maxRecordWords = 3;
};

// A packed 24-bit bottom-up DIB (BITMAPINFOHEADER + rows) of an image, for the bitmap records.
QByteArray packedDib24(const QImage& image);

}  // namespace plume::test
