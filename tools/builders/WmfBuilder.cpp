#include "builders/WmfBuilder.h"

#include <algorithm>

namespace plume::test {
namespace {

void put16(QByteArray& b, int v) {
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>((v >> 8) & 0xFF));
}

void put32(QByteArray& b, uint32_t v) {
    put16(b, static_cast<int>(v & 0xFFFF));
    put16(b, static_cast<int>(v >> 16));
}

}  // namespace

WmfBuilder& WmfBuilder::record(uint16_t function, const QByteArray& params) {
    QByteArray padded = params;
    if (padded.size() % 2) padded.append('\0');
    const uint32_t sizeWords = static_cast<uint32_t>(3 + padded.size() / 2);
    return lyingRecord(function, sizeWords, padded);
}

WmfBuilder& WmfBuilder::lyingRecord(uint16_t function, uint32_t sizeWords,
                                    const QByteArray& params) {
    put32(m_records, sizeWords);
    put16(m_records, function);
    m_records.append(params);
    m_maxRecordWords = std::max(m_maxRecordWords, sizeWords);
    ++m_count;
    return *this;
}

WmfBuilder& WmfBuilder::words(uint16_t function, std::initializer_list<int> values) {
    QByteArray params;
    for (int v : values) put16(params, v);
    return record(function, params);
}

WmfBuilder& WmfBuilder::color(uint16_t function, uint32_t colorRef) {
    QByteArray params;
    put32(params, colorRef);
    return record(function, params);
}

WmfBuilder& WmfBuilder::createPen(int style, int width, uint32_t colorRef) {
    QByteArray p;
    put16(p, style);
    put16(p, width);
    put16(p, 0);
    put32(p, colorRef);
    ++m_objects;
    return record(metafile::META_CREATEPENINDIRECT, p);
}

WmfBuilder& WmfBuilder::createBrush(int style, uint32_t colorRef, int hatch) {
    QByteArray p;
    put16(p, style);
    put32(p, colorRef);
    put16(p, hatch);
    ++m_objects;
    return record(metafile::META_CREATEBRUSHINDIRECT, p);
}

WmfBuilder& WmfBuilder::createFont(int height, const QByteArray& face, int charSet, int weight,
                                   int escapement, int width) {
    QByteArray p;
    put16(p, height);
    put16(p, width);
    put16(p, escapement);
    put16(p, escapement);
    put16(p, weight);
    p.append('\0');  // italic
    p.append('\0');  // underline
    p.append('\0');  // strike-out
    p.append(static_cast<char>(charSet));
    p.append(QByteArray(4, '\0'));  // precisions, quality, pitch and family
    QByteArray name = face.left(31);
    name.append(QByteArray(32 - name.size(), '\0'));
    p.append(name);
    ++m_objects;
    return record(metafile::META_CREATEFONTINDIRECT, p);
}

WmfBuilder& WmfBuilder::createRegion(
    const std::vector<std::pair<int, int>>& scanTopBottom,
    const std::vector<std::vector<std::pair<int, int>>>& scanLeftRight) {
    QByteArray scans;
    int left = 0x7FFF, top = 0x7FFF, right = -0x8000, bottom = -0x8000;
    for (size_t s = 0; s < scanTopBottom.size(); ++s) {
        const auto& runs = scanLeftRight[s];
        put16(scans, static_cast<int>(runs.size() * 2));
        put16(scans, scanTopBottom[s].first);
        put16(scans, scanTopBottom[s].second);
        for (const auto& [l, r] : runs) {
            put16(scans, l);
            put16(scans, r);
            left = std::min(left, l);
            right = std::max(right, r);
        }
        put16(scans, static_cast<int>(runs.size() * 2));
        top = std::min(top, scanTopBottom[s].first);
        bottom = std::max(bottom, scanTopBottom[s].second);
    }
    QByteArray p;
    put16(p, 0);  // nextInChain
    put16(p, 6);  // ObjectType
    put32(p, 0);  // ObjectCount
    put16(p, static_cast<int>(22 + scans.size()));
    put16(p, static_cast<int>(scanTopBottom.size()));
    put16(p, 0);  // maxScan
    put16(p, left);
    put16(p, top);
    put16(p, right);
    put16(p, bottom);
    p.append(scans);
    ++m_objects;
    return record(metafile::META_CREATEREGION, p);
}

WmfBuilder& WmfBuilder::createDibPatternBrush(const QByteArray& packedDib) {
    QByteArray p;
    put16(p, 5);  // BS_DIBPATTERN
    put16(p, 0);  // DIB_RGB_COLORS
    p.append(packedDib);
    ++m_objects;
    return record(metafile::META_DIBCREATEPATTERNBRUSH, p);
}

WmfBuilder& WmfBuilder::dibPatternBrush(int style, int usage, const QByteArray& target) {
    QByteArray p;
    put16(p, style);
    put16(p, usage);
    p.append(target);
    ++m_objects;
    return record(metafile::META_DIBCREATEPATTERNBRUSH, p);
}

WmfBuilder& WmfBuilder::createPatternBrush(int width, int height, int widthBytes, int bitsPixel,
                                           const QByteArray& bits) {
    QByteArray p;
    for (int v : {0, width, height, widthBytes}) put16(p, v);
    p.append(char(1));
    p.append(char(bitsPixel));
    put32(p, 0);                     // Bits pointer, unused
    p.append(QByteArray(18, '\0'));  // reserved
    p.append(bits);
    ++m_objects;
    return record(metafile::META_CREATEPATTERNBRUSH, p);
}

WmfBuilder& WmfBuilder::createPalette(const std::vector<uint32_t>& entries) {
    ++m_objects;
    return paletteRecord(metafile::META_CREATEPALETTE, 0x0300, entries);
}

WmfBuilder& WmfBuilder::paletteRecord(uint16_t function, int start,
                                      const std::vector<uint32_t>& entries) {
    QByteArray p;
    put16(p, start);
    put16(p, static_cast<int>(entries.size()));
    for (uint32_t e : entries) put32(p, e);
    return record(function, p);
}

WmfBuilder& WmfBuilder::poly(uint16_t function, const Points& points) {
    QByteArray p;
    put16(p, static_cast<int>(points.size()));
    for (const auto& [x, y] : points) {
        put16(p, x);
        put16(p, y);
    }
    return record(function, p);
}

WmfBuilder& WmfBuilder::polyPolygon(const std::vector<Points>& polygons) {
    QByteArray p;
    put16(p, static_cast<int>(polygons.size()));
    for (const auto& poly : polygons) put16(p, static_cast<int>(poly.size()));
    for (const auto& poly : polygons)
        for (const auto& [x, y] : poly) {
            put16(p, x);
            put16(p, y);
        }
    return record(metafile::META_POLYPOLYGON, p);
}

WmfBuilder& WmfBuilder::setPixel(int x, int y, uint32_t colorRef) {
    QByteArray p;
    put32(p, colorRef);
    put16(p, y);
    put16(p, x);
    return record(metafile::META_SETPIXEL, p);
}

WmfBuilder& WmfBuilder::setLayout(uint16_t flags) {
    QByteArray p;
    put16(p, flags);
    put16(p, 0);
    return record(metafile::META_SETLAYOUT, p);
}

WmfBuilder& WmfBuilder::floodFill(int x, int y, uint32_t colorRef, std::optional<uint16_t> mode) {
    QByteArray p;
    if (mode) put16(p, *mode);
    put32(p, colorRef);
    put16(p, y);
    put16(p, x);
    return record(mode ? metafile::META_EXTFLOODFILL : metafile::META_FLOODFILL, p);
}

WmfBuilder& WmfBuilder::patBlt(int x, int y, int w, int h, uint32_t rop) {
    QByteArray p;
    put32(p, rop);
    put16(p, h);
    put16(p, w);
    put16(p, y);
    put16(p, x);
    return record(metafile::META_PATBLT, p);
}

WmfBuilder& WmfBuilder::textOut(int x, int y, const QByteArray& text) {
    QByteArray p;
    put16(p, static_cast<int>(text.size()));
    p.append(text);
    if (text.size() % 2) p.append('\0');
    put16(p, y);
    put16(p, x);
    return record(metafile::META_TEXTOUT, p);
}

WmfBuilder& WmfBuilder::extTextOut(int x, int y, const QByteArray& text, int options,
                                   std::vector<int> rect, std::vector<int> dx) {
    QByteArray p;
    put16(p, y);
    put16(p, x);
    put16(p, static_cast<int>(text.size()));
    put16(p, options);
    for (int v : rect) put16(p, v);
    p.append(text);
    if (text.size() % 2) p.append('\0');
    for (int v : dx) put16(p, v);
    return record(metafile::META_EXTTEXTOUT, p);
}

WmfBuilder& WmfBuilder::stretchDib(int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh,
                                   const QByteArray& packedDib, uint32_t rop) {
    QByteArray p;
    put32(p, rop);
    put16(p, 0);  // DIB_RGB_COLORS
    put16(p, sh);
    put16(p, sw);
    put16(p, sy);
    put16(p, sx);
    put16(p, dh);
    put16(p, dw);
    put16(p, dy);
    put16(p, dx);
    p.append(packedDib);
    return record(metafile::META_STRETCHDIB, p);
}

WmfBuilder& WmfBuilder::dibStretchBlt(int dx, int dy, int dw, int dh, int sx, int sy, int sw,
                                      int sh, const QByteArray& packedDib, uint32_t rop) {
    QByteArray p;
    put32(p, rop);
    put16(p, sh);
    put16(p, sw);
    put16(p, sy);
    put16(p, sx);
    if (packedDib.isEmpty()) put16(p, 0);  // the reserved word of the form without a bitmap
    put16(p, dh);
    put16(p, dw);
    put16(p, dy);
    put16(p, dx);
    p.append(packedDib);
    return record(metafile::META_DIBSTRETCHBLT, p);
}

WmfBuilder& WmfBuilder::dibBitBlt(int dx, int dy, int w, int h, int sx, int sy,
                                  const QByteArray& packedDib, uint32_t rop) {
    QByteArray p;
    put32(p, rop);
    put16(p, sy);
    put16(p, sx);
    if (packedDib.isEmpty()) put16(p, 0);
    put16(p, h);
    put16(p, w);
    put16(p, dy);
    put16(p, dx);
    p.append(packedDib);
    return record(metafile::META_DIBBITBLT, p);
}

WmfBuilder& WmfBuilder::setDibToDev(int dx, int dy, int w, int h, int sx, int sy, int startScan,
                                    int scanCount, const QByteArray& packedDib) {
    QByteArray p;
    put16(p, 0);
    put16(p, scanCount);
    put16(p, startScan);
    put16(p, sy);
    put16(p, sx);
    put16(p, h);
    put16(p, w);
    put16(p, dy);
    put16(p, dx);
    p.append(packedDib);
    return record(metafile::META_SETDIBTODEV, p);
}

WmfBuilder& WmfBuilder::escape(int function, const QByteArray& data) {
    QByteArray p;
    put16(p, function);
    put16(p, static_cast<int>(data.size()));
    p.append(data);
    return record(metafile::META_ESCAPE, p);
}

WmfBuilder& WmfBuilder::embeddedEmf(const QByteArray& emf, int pieceSize, bool checksum) {
    // The checksum: after the record header, escape function, byte count, "WMFC", type, version.
    if (checksum && m_emfChecksumAt < 0) m_emfChecksumAt = m_records.size() + 6 + 4 + 12;
    const int pieces = std::max(1, static_cast<int>((emf.size() + pieceSize - 1) / pieceSize));
    for (int i = 0; i < pieces; ++i) {
        const QByteArray piece = emf.mid(static_cast<qsizetype>(i) * pieceSize, pieceSize);
        QByteArray c;
        put32(c, 0x43464D57);  // "WMFC"
        put32(c, 1);           // EMF comment
        put32(c, 0x00010000);  // version
        put16(c, 0);           // checksum
        put32(c, 0);           // flags
        put32(c, static_cast<uint32_t>(pieces));
        put32(c, static_cast<uint32_t>(piece.size()));
        put32(c, static_cast<uint32_t>(emf.size() -
                                       (static_cast<qsizetype>(i) * pieceSize + piece.size())));
        put32(c, static_cast<uint32_t>(emf.size()));
        c.append(piece);
        escape(0x000F, c);
    }
    return *this;
}

QByteArray WmfBuilder::raw(bool withEof) const {
    QByteArray body = m_records;
    if (withEof) {
        put32(body, 3);
        put16(body, 0);
    }
    QByteArray out;
    put16(out, 1);       // memory metafile
    put16(out, 9);       // header words
    put16(out, 0x0300);  // version
    put32(out, static_cast<uint32_t>((18 + body.size()) / 2));
    put16(out, m_objectSlots >= 0 ? m_objectSlots : m_objects);
    put32(out, m_maxRecordWords);
    put16(out, 0);
    out.append(body);
    if (m_emfChecksumAt >= 0) {
        uint16_t sum = 0;
        for (qsizetype i = 0; i + 1 < out.size(); i += 2)
            sum = uint16_t(sum + (uint8_t(out[i]) | uint8_t(out[i + 1]) << 8));
        const uint16_t checksum = uint16_t(-sum);
        out[18 + m_emfChecksumAt] = char(checksum & 0xff);
        out[18 + m_emfChecksumAt + 1] = char(checksum >> 8);
    }
    return out;
}

QByteArray WmfBuilder::placeable(int left, int top, int right, int bottom, int unitsPerInch,
                                 bool withEof) const {
    QByteArray head;
    put32(head, 0x9AC6CDD7);
    put16(head, 0);
    put16(head, left);
    put16(head, top);
    put16(head, right);
    put16(head, bottom);
    put16(head, unitsPerInch);
    put32(head, 0);
    uint16_t checksum = 0;
    for (int i = 0; i < 10; ++i)
        checksum ^= static_cast<uint16_t>(static_cast<uint8_t>(head[2 * i]) |
                                          (static_cast<uint8_t>(head[2 * i + 1]) << 8));
    put16(head, checksum);
    return head + raw(withEof);
}

QByteArray packedDib24(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int stride = (rgb.width() * 3 + 3) & ~3;
    QByteArray out;
    put32(out, 40);
    put32(out, static_cast<uint32_t>(rgb.width()));
    put32(out, static_cast<uint32_t>(rgb.height()));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, static_cast<uint32_t>(stride * rgb.height()));
    put32(out, 3780);
    put32(out, 3780);
    put32(out, 0);
    put32(out, 0);
    for (int y = rgb.height() - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = rgb.pixel(x, y);
            row.append(static_cast<char>(qBlue(c)));
            row.append(static_cast<char>(qGreen(c)));
            row.append(static_cast<char>(qRed(c)));
        }
        row.append(QByteArray(stride - row.size(), '\0'));
        out.append(row);
    }
    return out;
}

}  // namespace plume::test
