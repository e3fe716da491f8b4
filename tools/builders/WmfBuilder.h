#pragma once

// Writes WMF files record by record for tests, benchmarks and fuzz seeds, so that each
// picture can be read in its source: `WmfBuilder w; w.createPen(0, 1,
// 0x0000FF).selectObject(0).lineTo(10, 10);` then `w.placeable(...)` or `w.raw()`. Coordinates are
// given x before y; the builder stores them in the order each record wants.

#include "platform/metafile/format/MetafileFormat.h"

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <initializer_list>
#include <optional>
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

    WmfBuilder& setMapMode(int mode) { return words(metafile::META_SETMAPMODE, {mode}); }
    WmfBuilder& setWindowOrg(int x, int y) { return words(metafile::META_SETWINDOWORG, {y, x}); }
    WmfBuilder& setWindowExt(int cx, int cy) {
        return words(metafile::META_SETWINDOWEXT, {cy, cx});
    }
    WmfBuilder& setViewportOrg(int x, int y) {
        return words(metafile::META_SETVIEWPORTORG, {y, x});
    }
    WmfBuilder& setViewportExt(int cx, int cy) {
        return words(metafile::META_SETVIEWPORTEXT, {cy, cx});
    }
    WmfBuilder& setBkMode(int mode) { return words(metafile::META_SETBKMODE, {mode}); }
    WmfBuilder& setBkColor(uint32_t colorRef) { return color(metafile::META_SETBKCOLOR, colorRef); }
    WmfBuilder& setTextColor(uint32_t colorRef) {
        return color(metafile::META_SETTEXTCOLOR, colorRef);
    }
    WmfBuilder& setTextAlign(int flags) { return words(metafile::META_SETTEXTALIGN, {flags}); }
    WmfBuilder& setTextCharacterExtra(int extra) {
        return words(metafile::META_SETTEXTCHAREXTRA, {extra});
    }
    WmfBuilder& setTextJustification(int breakExtra, int breakCount) {
        return words(metafile::META_SETTEXTJUSTIFICATION, {breakCount, breakExtra});
    }
    WmfBuilder& setPolyFillMode(int mode) { return words(metafile::META_SETPOLYFILLMODE, {mode}); }
    WmfBuilder& setRop2(int rop) { return words(metafile::META_SETROP2, {rop}); }
    WmfBuilder& saveDc() { return words(metafile::META_SAVEDC, {}); }
    WmfBuilder& restoreDc(int level) { return words(metafile::META_RESTOREDC, {level}); }
    WmfBuilder& intersectClipRect(int l, int t, int r, int b) {
        return words(metafile::META_INTERSECTCLIPRECT, {b, r, t, l});
    }
    WmfBuilder& excludeClipRect(int l, int t, int r, int b) {
        return words(metafile::META_EXCLUDECLIPRECT, {b, r, t, l});
    }

    // Objects take the lowest free slot, as GDI assigns them.
    WmfBuilder& createPen(int style, int width, uint32_t colorRef);
    WmfBuilder& createBrush(int style, uint32_t colorRef, int hatch = 0);
    // Face name given as the bytes the record holds (in the font's code page).
    WmfBuilder& createFont(int height, const QByteArray& face, int charSet = 0, int weight = 400,
                           int escapement = 0, int width = 0);
    WmfBuilder& createRegion(const std::vector<std::pair<int, int>>& scanTopBottom,
                             const std::vector<std::vector<std::pair<int, int>>>& scanLeftRight);
    WmfBuilder& createDibPatternBrush(const QByteArray& packedDib);
    // META_DIBCREATEPATTERNBRUSH with a style (BS_PATTERN 3 takes a Bitmap16, BS_DIBPATTERN 5 a
    // packed DIB) and colour usage; META_CREATEPATTERNBRUSH with a Bitmap16's fields and bits.
    WmfBuilder& dibPatternBrush(int style, int usage, const QByteArray& target);
    WmfBuilder& createPatternBrush(int width, int height, int widthBytes, int bitsPixel,
                                   const QByteArray& bits);
    // Palettes: entries as COLORREF values with the PALETTEENTRY flags in the top byte. The
    // changing records act on the selected palette.
    WmfBuilder& createPalette(const std::vector<uint32_t>& entries);
    WmfBuilder& paletteRecord(uint16_t function, int start, const std::vector<uint32_t>& entries);
    WmfBuilder& selectPalette(int index) { return words(metafile::META_SELECTPALETTE, {index}); }
    WmfBuilder& realizePalette() { return words(metafile::META_REALIZEPALETTE, {}); }
    WmfBuilder& resizePalette(int count) { return words(metafile::META_RESIZEPALETTE, {count}); }
    WmfBuilder& selectObject(int index) { return words(metafile::META_SELECTOBJECT, {index}); }
    WmfBuilder& selectClipRegion(int index) {
        return words(metafile::META_SELECTCLIPREGION, {index});
    }
    WmfBuilder& deleteObject(int index) { return words(metafile::META_DELETEOBJECT, {index}); }

    WmfBuilder& moveTo(int x, int y) { return words(metafile::META_MOVETO, {y, x}); }
    WmfBuilder& lineTo(int x, int y) { return words(metafile::META_LINETO, {y, x}); }
    WmfBuilder& rectangle(int l, int t, int r, int b) {
        return words(metafile::META_RECTANGLE, {b, r, t, l});
    }
    WmfBuilder& ellipse(int l, int t, int r, int b) {
        return words(metafile::META_ELLIPSE, {b, r, t, l});
    }
    WmfBuilder& roundRect(int l, int t, int r, int b, int w, int h) {
        return words(metafile::META_ROUNDRECT, {h, w, b, r, t, l});
    }
    // metafile::META_ARC, META_CHORD or META_PIE.
    WmfBuilder& arcLike(uint16_t function, int l, int t, int r, int b, int x1, int y1, int x2,
                        int y2) {
        return words(function, {y2, x2, y1, x1, b, r, t, l});
    }
    WmfBuilder& polyline(const Points& points) { return poly(metafile::META_POLYLINE, points); }
    WmfBuilder& polygon(const Points& points) { return poly(metafile::META_POLYGON, points); }
    WmfBuilder& polyPolygon(const std::vector<Points>& polygons);
    WmfBuilder& setPixel(int x, int y, uint32_t colorRef);
    WmfBuilder& setLayout(uint16_t flags);
    // META_FLOODFILL without a mode (a border fill), else META_EXTFLOODFILL.
    WmfBuilder& floodFill(int x, int y, uint32_t colorRef, std::optional<uint16_t> mode = {});
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
    // With `checksum`, the first piece's checksum makes the file's words add up to zero, as
    // Windows writes it (filled in by raw() and placeable()).
    WmfBuilder& embeddedEmf(const QByteArray& emf, int pieceSize = 8192, bool checksum = true);
    WmfBuilder& escape(int function, const QByteArray& data);

    // The file: a META_HEADER (raw) or the placeable header before it, records, META_EOF.
    QByteArray raw(bool withEof = true) const;
    QByteArray placeable(int left, int top, int right, int bottom, int unitsPerInch,
                         bool withEof = true) const;

    int recordCount() const { return m_count; }
    // The header's number of object slots: the number of objects created unless set.
    WmfBuilder& setObjectCount(int count) {
        m_objectSlots = count;
        return *this;
    }

  private:
    WmfBuilder& color(uint16_t function, uint32_t colorRef);
    WmfBuilder& poly(uint16_t function, const Points& points);

    QByteArray m_records;
    int m_count = 0;
    int m_objects = 0;
    int m_objectSlots = -1;
    uint32_t m_maxRecordWords = 3;
    qsizetype m_emfChecksumAt = -1;  // in m_records
};

// A packed 24-bit bottom-up DIB (BITMAPINFOHEADER + rows) of an image, for the bitmap records.
QByteArray packedDib24(const QImage& image);

}  // namespace plume::test
