#include "builders/EmfBuilder.h"

#include "platform/metafile/format/MetafileFormat.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace plume::test {

using metafile::EmfRecordType;

void appendU16(QByteArray& out, uint16_t v) {
    out.append(char(v & 0xff));
    out.append(char(v >> 8));
}

void appendU32(QByteArray& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xff));
}

namespace {
void appendI32(QByteArray& out, int v) {
    appendU32(out, uint32_t(v));
}
void appendF32(QByteArray& out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    appendU32(out, bits);
}
void appendRect(QByteArray& out, int l, int t, int r, int b) {
    appendI32(out, l);
    appendI32(out, t);
    appendI32(out, r);
    appendI32(out, b);
}
void pad4(QByteArray& out) {
    while (out.size() % 4) out.append('\0');
}
}  // namespace

EmfBuilder::EmfBuilder(int width, int height) : m_width(width), m_height(height) {}

EmfBuilder& EmfBuilder::record(uint32_t type, std::initializer_list<uint32_t> words) {
    QByteArray payload;
    for (uint32_t w : words) appendU32(payload, w);
    return record(type, payload);
}

EmfBuilder& EmfBuilder::record(uint32_t type, const QByteArray& payload) {
    QByteArray body = payload;
    pad4(body);
    appendU32(m_records, type);
    appendU32(m_records, uint32_t(body.size() + 8));
    m_records.append(body);
    ++m_count;
    return *this;
}

EmfBuilder& EmfBuilder::setMapMode(uint32_t mode) {
    return record(uint32_t(EmfRecordType::SetMapMode), {mode});
}
EmfBuilder& EmfBuilder::setWindowOrg(int x, int y) {
    return record(uint32_t(EmfRecordType::SetWindowOrgEx), {uint32_t(x), uint32_t(y)});
}
EmfBuilder& EmfBuilder::setWindowExt(int cx, int cy) {
    return record(uint32_t(EmfRecordType::SetWindowExtEx), {uint32_t(cx), uint32_t(cy)});
}
EmfBuilder& EmfBuilder::setViewportOrg(int x, int y) {
    return record(uint32_t(EmfRecordType::SetViewportOrgEx), {uint32_t(x), uint32_t(y)});
}
EmfBuilder& EmfBuilder::setViewportExt(int cx, int cy) {
    return record(uint32_t(EmfRecordType::SetViewportExtEx), {uint32_t(cx), uint32_t(cy)});
}

EmfBuilder& EmfBuilder::setWorldTransform(float m11, float m12, float m21, float m22, float dx,
                                          float dy) {
    QByteArray p;
    for (float f : {m11, m12, m21, m22, dx, dy}) appendF32(p, f);
    return record(uint32_t(EmfRecordType::SetWorldTransform), p);
}

EmfBuilder& EmfBuilder::modifyWorldTransform(float m11, float m12, float m21, float m22, float dx,
                                             float dy, uint32_t mode) {
    QByteArray p;
    for (float f : {m11, m12, m21, m22, dx, dy}) appendF32(p, f);
    appendU32(p, mode);
    return record(uint32_t(EmfRecordType::ModifyWorldTransform), p);
}

EmfBuilder& EmfBuilder::setBkMode(uint32_t mode) {
    return record(uint32_t(EmfRecordType::SetBkMode), {mode});
}
EmfBuilder& EmfBuilder::setBkColor(uint32_t c) {
    return record(uint32_t(EmfRecordType::SetBkColor), {c});
}
EmfBuilder& EmfBuilder::setTextColor(uint32_t c) {
    return record(uint32_t(EmfRecordType::SetTextColor), {c});
}
EmfBuilder& EmfBuilder::setTextAlign(uint32_t flags) {
    return record(uint32_t(EmfRecordType::SetTextAlign), {flags});
}
EmfBuilder& EmfBuilder::setPolyFillMode(uint32_t mode) {
    return record(uint32_t(EmfRecordType::SetPolyFillMode), {mode});
}
EmfBuilder& EmfBuilder::setRop2(uint32_t rop) {
    return record(uint32_t(EmfRecordType::SetRop2), {rop});
}
EmfBuilder& EmfBuilder::setArcDirection(uint32_t d) {
    return record(uint32_t(EmfRecordType::SetArcDirection), {d});
}
EmfBuilder& EmfBuilder::saveDc() {
    return record(uint32_t(EmfRecordType::SaveDc), {});
}
EmfBuilder& EmfBuilder::restoreDc(int32_t which) {
    return record(uint32_t(EmfRecordType::RestoreDc), {uint32_t(which)});
}
EmfBuilder& EmfBuilder::moveTo(int x, int y) {
    return record(uint32_t(EmfRecordType::MoveToEx), {uint32_t(x), uint32_t(y)});
}

EmfBuilder& EmfBuilder::createPen(uint32_t index, uint32_t style, int width, uint32_t colorRef) {
    return record(uint32_t(EmfRecordType::CreatePen), {index, style, uint32_t(width), 0, colorRef});
}

EmfBuilder& EmfBuilder::createExtPen(uint32_t index, uint32_t style, uint32_t width,
                                     uint32_t colorRef, std::initializer_list<uint32_t> dashes) {
    QByteArray p;
    appendU32(p, index);
    for (int i = 0; i < 4; ++i) appendU32(p, 0);  // no DIB
    appendU32(p, style);
    appendU32(p, width);
    appendU32(p, 0);  // BS_SOLID
    appendU32(p, colorRef);
    appendU32(p, 0);
    appendU32(p, uint32_t(dashes.size()));
    for (uint32_t d : dashes) appendU32(p, d);
    return record(uint32_t(EmfRecordType::ExtCreatePen), p);
}

EmfBuilder& EmfBuilder::createBrush(uint32_t index, uint32_t style, uint32_t colorRef,
                                    uint32_t hatch) {
    return record(uint32_t(EmfRecordType::CreateBrushIndirect), {index, style, colorRef, hatch});
}

EmfBuilder& EmfBuilder::createDibPatternBrush(uint32_t index, const QImage& pattern) {
    const auto [info, bits] = dib(pattern, 24, false);
    QByteArray p;
    const uint32_t offBmi = 8 + 24;
    appendU32(p, index);
    appendU32(p, 0);  // DIB_RGB_COLORS
    appendU32(p, offBmi);
    appendU32(p, uint32_t(info.size()));
    appendU32(p, offBmi + uint32_t(info.size()));
    appendU32(p, uint32_t(bits.size()));
    p.append(info);
    p.append(bits);
    return record(uint32_t(EmfRecordType::CreateDibPatternBrushPt), p);
}

EmfBuilder& EmfBuilder::dibBrush(uint32_t type, uint32_t index, uint32_t usage,
                                 const QByteArray& info, const QByteArray& bits) {
    QByteArray p;
    const uint32_t offBmi = 8 + 24;
    appendU32(p, index);
    appendU32(p, usage);
    appendU32(p, offBmi);
    appendU32(p, uint32_t(info.size()));
    appendU32(p, offBmi + uint32_t(info.size()));
    appendU32(p, uint32_t(bits.size()));
    p.append(info);
    p.append(bits);
    return record(type, p);
}

EmfBuilder& EmfBuilder::createPalette(uint32_t index, const std::vector<uint32_t>& entries) {
    QByteArray p;
    appendU32(p, index);
    appendU16(p, 0x0300);
    appendU16(p, uint16_t(entries.size()));
    for (uint32_t e : entries) appendU32(p, e);
    return record(uint32_t(EmfRecordType::CreatePalette), p);
}

EmfBuilder& EmfBuilder::setPaletteEntries(uint32_t index, uint32_t start,
                                          const std::vector<uint32_t>& entries) {
    QByteArray p;
    appendU32(p, index);
    appendU32(p, start);
    appendU32(p, uint32_t(entries.size()));
    for (uint32_t e : entries) appendU32(p, e);
    return record(uint32_t(EmfRecordType::SetPaletteEntries), p);
}

EmfBuilder& EmfBuilder::createFont(uint32_t index, int height, int weight, const QString& face,
                                   int escapement, uint8_t charSet, uint8_t italic,
                                   uint8_t underline, int width) {
    QByteArray p;
    appendU32(p, index);
    appendI32(p, height);
    appendI32(p, width);
    appendI32(p, escapement);
    appendI32(p, escapement);
    appendI32(p, weight);
    p.append(char(italic));
    p.append(char(underline));
    p.append('\0');
    p.append(char(charSet));
    p.append(QByteArray(4, '\0'));
    for (int i = 0; i < 32; ++i) appendU16(p, i < face.size() ? face[i].unicode() : 0);
    return record(uint32_t(EmfRecordType::ExtCreateFontIndirectW), p);
}

EmfBuilder& EmfBuilder::createTurnedFont(uint32_t index, int height, const QString& face,
                                         int escapement, int orientation, int width) {
    const qsizetype recordStart = m_records.size();
    createFont(index, height, 400, face, escapement, 1, 0, 0, width);
    // lfOrientation follows the header, the index, lfHeight, lfWidth and lfEscapement.
    const qsizetype at = recordStart + 8 + 16;
    for (int i = 0; i < 4; ++i) m_records[at + i] = char((uint32_t(orientation) >> (8 * i)) & 0xFF);
    return *this;
}

EmfBuilder& EmfBuilder::setTextJustification(int breakExtra, int breakCount) {
    return record(uint32_t(EmfRecordType::SetTextJustification),
                  {uint32_t(breakExtra), uint32_t(breakCount)});
}

EmfBuilder& EmfBuilder::selectObject(uint32_t index) {
    return record(uint32_t(EmfRecordType::SelectObject), {index});
}
EmfBuilder& EmfBuilder::deleteObject(uint32_t index) {
    return record(uint32_t(EmfRecordType::DeleteObject), {index});
}

EmfBuilder& EmfBuilder::rectangle(int l, int t, int r, int b) {
    return record(uint32_t(EmfRecordType::Rectangle),
                  {uint32_t(l), uint32_t(t), uint32_t(r), uint32_t(b)});
}
EmfBuilder& EmfBuilder::ellipse(int l, int t, int r, int b) {
    return record(uint32_t(EmfRecordType::Ellipse),
                  {uint32_t(l), uint32_t(t), uint32_t(r), uint32_t(b)});
}
EmfBuilder& EmfBuilder::roundRect(int l, int t, int r, int b, int cw, int ch) {
    return record(44,
                  {uint32_t(l), uint32_t(t), uint32_t(r), uint32_t(b), uint32_t(cw), uint32_t(ch)});
}
EmfBuilder& EmfBuilder::arcFamily(uint32_t type, int l, int t, int r, int b, int x1, int y1, int x2,
                                  int y2) {
    return record(type, {uint32_t(l), uint32_t(t), uint32_t(r), uint32_t(b), uint32_t(x1),
                         uint32_t(y1), uint32_t(x2), uint32_t(y2)});
}
EmfBuilder& EmfBuilder::lineTo(int x, int y) {
    return record(uint32_t(EmfRecordType::LineTo), {uint32_t(x), uint32_t(y)});
}

EmfBuilder& EmfBuilder::poly(uint32_t type, const std::vector<std::pair<int, int>>& points) {
    const bool shortPoints = type >= 85;
    QByteArray p;
    appendRect(p, 0, 0, m_width, m_height);
    appendU32(p, uint32_t(points.size()));
    for (auto [x, y] : points) {
        if (shortPoints) {
            appendU16(p, uint16_t(x));
            appendU16(p, uint16_t(y));
        } else {
            appendI32(p, x);
            appendI32(p, y);
        }
    }
    return record(type, p);
}

EmfBuilder& EmfBuilder::polyPolygon16(const std::vector<std::vector<std::pair<int, int>>>& polys) {
    QByteArray p;
    appendRect(p, 0, 0, m_width, m_height);
    appendU32(p, uint32_t(polys.size()));
    uint32_t total = 0;
    for (const auto& poly : polys) total += uint32_t(poly.size());
    appendU32(p, total);
    for (const auto& poly : polys) appendU32(p, uint32_t(poly.size()));
    for (const auto& poly : polys)
        for (auto [x, y] : poly) {
            appendU16(p, uint16_t(x));
            appendU16(p, uint16_t(y));
        }
    return record(uint32_t(EmfRecordType::PolyPolygon16), p);
}

EmfBuilder& EmfBuilder::beginPath() {
    return record(uint32_t(EmfRecordType::BeginPath), {});
}
EmfBuilder& EmfBuilder::endPath() {
    return record(uint32_t(EmfRecordType::EndPath), {});
}
EmfBuilder& EmfBuilder::closeFigure() {
    return record(uint32_t(EmfRecordType::CloseFigure), {});
}
EmfBuilder& EmfBuilder::fillPath() {
    return record(uint32_t(EmfRecordType::FillPath), {0, 0, uint32_t(m_width), uint32_t(m_height)});
}
EmfBuilder& EmfBuilder::strokeAndFillPath() {
    return record(uint32_t(EmfRecordType::StrokeAndFillPath),
                  {0, 0, uint32_t(m_width), uint32_t(m_height)});
}
EmfBuilder& EmfBuilder::strokePath() {
    return record(uint32_t(EmfRecordType::StrokePath),
                  {0, 0, uint32_t(m_width), uint32_t(m_height)});
}
EmfBuilder& EmfBuilder::selectClipPath(uint32_t mode) {
    return record(uint32_t(EmfRecordType::SelectClipPath), {mode});
}
EmfBuilder& EmfBuilder::intersectClipRect(int l, int t, int r, int b) {
    return record(uint32_t(EmfRecordType::IntersectClipRect),
                  {uint32_t(l), uint32_t(t), uint32_t(r), uint32_t(b)});
}
EmfBuilder& EmfBuilder::excludeClipRect(int l, int t, int r, int b) {
    return record(uint32_t(EmfRecordType::ExcludeClipRect),
                  {uint32_t(l), uint32_t(t), uint32_t(r), uint32_t(b)});
}

EmfBuilder& EmfBuilder::extSelectClipRgn(const std::vector<std::array<int, 4>>& rects,
                                         uint32_t mode) {
    QByteArray p;
    if (rects.empty()) {
        appendU32(p, 0);
        appendU32(p, mode);
        return record(uint32_t(EmfRecordType::ExtSelectClipRgn), p);
    }
    QByteArray region;
    appendU32(region, 32);
    appendU32(region, 1);
    appendU32(region, uint32_t(rects.size()));
    appendU32(region, uint32_t(rects.size() * 16));
    appendRect(region, rects[0][0], rects[0][1], rects[0][2], rects[0][3]);
    for (const auto& r : rects) appendRect(region, r[0], r[1], r[2], r[3]);
    appendU32(p, uint32_t(region.size()));
    appendU32(p, mode);
    p.append(region);
    return record(uint32_t(EmfRecordType::ExtSelectClipRgn), p);
}

EmfBuilder& EmfBuilder::extTextOutW(int x, int y, const QString& text, uint32_t options,
                                    const std::vector<int>& dx, std::array<int, 4> rect) {
    // Fixed part: bounds 16, graphics mode 4, scales 8, EmrText 40 = 68 bytes, +8 header.
    QByteArray p;
    appendRect(p, 0, 0, -1, -1);
    appendU32(p, m_textGraphicsMode);
    appendF32(p, 0);
    appendF32(p, 0);
    appendI32(p, x);
    appendI32(p, y);
    appendU32(p, uint32_t(text.size()));
    const uint32_t offString = 8 + 68;
    const uint32_t stringBytes = uint32_t((text.size() * 2 + 3) / 4 * 4);
    appendU32(p, offString);
    appendU32(p, options);
    appendRect(p, rect[0], rect[1], rect[2], rect[3]);
    appendU32(p, dx.empty() ? 0 : offString + stringBytes);
    for (QChar c : text) appendU16(p, c.unicode());
    pad4(p);
    for (int d : dx) appendI32(p, d);
    return record(uint32_t(EmfRecordType::ExtTextOutW), p);
}

EmfBuilder& EmfBuilder::extTextOutA(int x, int y, const QByteArray& bytes) {
    QByteArray p;
    appendRect(p, 0, 0, -1, -1);
    appendU32(p, 1);
    appendF32(p, 0);
    appendF32(p, 0);
    appendI32(p, x);
    appendI32(p, y);
    appendU32(p, uint32_t(bytes.size()));
    appendU32(p, 8 + 68);
    appendU32(p, 0);
    appendRect(p, 0, 0, 0, 0);
    appendU32(p, 0);
    p.append(bytes);
    return record(uint32_t(EmfRecordType::ExtTextOutA), p);
}

EmfBuilder& EmfBuilder::smallTextOut(int x, int y, const QString& text, uint32_t options,
                                     std::array<int, 4> rect) {
    QByteArray p;
    appendI32(p, x);
    appendI32(p, y);
    appendU32(p, uint32_t(text.size()));
    appendU32(p, options);
    appendU32(p, 1);  // GM_COMPATIBLE
    appendF32(p, 0);
    appendF32(p, 0);
    if (!(options & 0x100)) appendRect(p, rect[0], rect[1], rect[2], rect[3]);
    for (QChar c : text) {
        if (options & 0x200)
            p.append(char(c.unicode() & 0xff));
        else
            appendU16(p, c.unicode());
    }
    pad4(p);
    return record(uint32_t(EmfRecordType::SmallTextOut), p);
}

std::pair<QByteArray, QByteArray> EmfBuilder::dib(const QImage& source, int bitCount,
                                                  bool topDown) {
    QImage image = source;
    if (bitCount <= 8 && image.format() != QImage::Format_Indexed8)
        image = image.convertToFormat(QImage::Format_Indexed8);
    if (bitCount > 8) image = image.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    const int colors = bitCount <= 8 ? (1 << bitCount) : 0;
    QByteArray info;
    appendU32(info, 40);
    appendI32(info, w);
    appendI32(info, topDown ? -h : h);
    appendU16(info, 1);
    appendU16(info, uint16_t(bitCount));
    appendU32(info, 0);  // BI_RGB
    appendU32(info, 0);
    appendU32(info, 3780);
    appendU32(info, 3780);
    appendU32(info, uint32_t(colors));
    appendU32(info, 0);
    for (int i = 0; i < colors; ++i) {
        const QRgb c = i < image.colorCount() ? image.color(i) : 0;
        info.append(char(qBlue(c)));
        info.append(char(qGreen(c)));
        info.append(char(qRed(c)));
        info.append('\0');
    }
    const int stride = ((w * bitCount + 31) / 32) * 4;
    QByteArray bits(qsizetype(stride) * h, '\0');
    for (int row = 0; row < h; ++row) {
        const int y = topDown ? row : h - 1 - row;
        auto* out = reinterpret_cast<uint8_t*>(bits.data()) + qsizetype(row) * stride;
        for (int x = 0; x < w; ++x) {
            if (bitCount <= 8) {
                const int index = image.pixelIndex(x, y);
                const int perByte = 8 / bitCount;
                const int shift = (perByte - 1 - x % perByte) * bitCount;
                out[x / perByte] |= uint8_t(index << shift);
            } else {
                const QRgb c = image.pixel(x, y);
                const int bytes = bitCount / 8;
                out[x * bytes] = uint8_t(qBlue(c));
                out[x * bytes + 1] = uint8_t(qGreen(c));
                out[x * bytes + 2] = uint8_t(qRed(c));
                if (bytes == 4) out[x * bytes + 3] = uint8_t(qAlpha(c));
            }
        }
    }
    return {info, bits};
}

EmfBuilder& EmfBuilder::stretchDiBits(int x, int y, int cx, int cy, const QImage& image,
                                      uint32_t rop, int bitCount, bool topDown) {
    const auto [info, bits] = dib(image, bitCount, topDown);
    return stretchDiBitsRecord(x, y, cx, cy, image.size(), info, bits, rop);
}

EmfBuilder& EmfBuilder::stretchDiBitsPng(int x, int y, int cx, int cy, QSize size,
                                         const QByteArray& png) {
    QByteArray info;  // BITMAPINFOHEADER with BI_PNG and no bit count
    appendU32(info, 40);
    appendI32(info, size.width());
    appendI32(info, size.height());
    appendU16(info, 1);
    appendU16(info, 0);
    appendU32(info, 5);
    appendU32(info, uint32_t(png.size()));
    for (int i = 0; i < 4; ++i) appendU32(info, 0);
    return stretchDiBitsRecord(x, y, cx, cy, size, info, png, 0x00CC0020);  // SRCCOPY
}

EmfBuilder& EmfBuilder::stretchDiBitsRaw(int x, int y, int cx, int cy, QSize size,
                                         const QByteArray& info, const QByteArray& bits,
                                         uint32_t usage) {
    return stretchDiBitsRecord(x, y, cx, cy, size, info, bits, 0x00CC0020, usage);
}

EmfBuilder& EmfBuilder::stretchDiBitsRecord(int x, int y, int cx, int cy, QSize size,
                                            const QByteArray& info, const QByteArray& bits,
                                            uint32_t rop, uint32_t usage) {
    // EMR_STRETCHDIBITS fixed part: 8 + 16 + 4*14 = 80 bytes.
    const uint32_t offBmi = 80;
    QByteArray p;
    // Bounds wrap around in 32 bits for the extreme rectangles of malformed-input tests.
    appendRect(p, x, y, int32_t(int64_t(x) + cx - 1), int32_t(int64_t(y) + cy - 1));
    appendI32(p, x);
    appendI32(p, y);
    appendI32(p, 0);
    appendI32(p, 0);
    appendI32(p, size.width());
    appendI32(p, size.height());
    appendU32(p, offBmi);
    appendU32(p, uint32_t(info.size()));
    appendU32(p, offBmi + uint32_t(info.size()));
    appendU32(p, uint32_t(bits.size()));
    appendU32(p, usage);
    appendU32(p, rop);
    appendI32(p, cx);
    appendI32(p, cy);
    p.append(info);
    p.append(bits);
    return record(uint32_t(EmfRecordType::StretchDiBits), p);
}

std::pair<QByteArray, QByteArray> EmfBuilder::dib32Bitfields(const QImage& source,
                                                             std::array<uint32_t, 4> masks) {
    const QImage image = source.format() == QImage::Format_ARGB32_Premultiplied
                             ? source
                             : source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    const bool v4 = masks[3] != 0;
    QByteArray info;
    appendU32(info, v4 ? 108 : 40);
    appendI32(info, w);
    appendI32(info, h);
    appendU16(info, 1);
    appendU16(info, 32);
    appendU32(info, 3);  // BI_BITFIELDS
    appendU32(info, uint32_t(w * h * 4));
    for (int i = 0; i < 4; ++i) appendU32(info, 0);
    for (int i = 0; i < (v4 ? 4 : 3); ++i) appendU32(info, masks[size_t(i)]);
    if (v4) {
        appendU32(info, 0x73524742);  // LCS_sRGB
        for (int i = 0; i < 12; ++i) appendU32(info, 0);
    }
    // Without an alpha mask the alpha goes into the byte the colour masks leave free.
    if (!v4) masks[3] = ~(masks[0] | masks[1] | masks[2]);
    const auto place = [](int value, uint32_t mask) {
        return mask ? uint32_t(value) << std::countr_zero(mask) & mask : 0u;
    };
    QByteArray bits;
    for (int row = h - 1; row >= 0; --row) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(row));
        for (int x = 0; x < w; ++x)
            appendU32(bits, place(qRed(line[x]), masks[0]) | place(qGreen(line[x]), masks[1]) |
                                place(qBlue(line[x]), masks[2]) | place(qAlpha(line[x]), masks[3]));
    }
    return {info, bits};
}

EmfBuilder& EmfBuilder::bltRecord(uint32_t type, int x, int y, int cx, int cy, uint32_t rop,
                                  const Dib& source, const QByteArray& tail, const Dib& tailDib) {
    // Fixed opening: 8 + 16 + 16 + 4 + 8 + 24 + 4 + 4 + 16 = 100 bytes, then the tail.
    const uint32_t offBmi = 100 + uint32_t(tail.size());
    QByteArray p;
    appendRect(p, x, y, x + cx - 1, y + cy - 1);
    appendI32(p, x);
    appendI32(p, y);
    appendI32(p, cx);
    appendI32(p, cy);
    appendU32(p, rop);
    appendI32(p, 0);
    appendI32(p, 0);
    for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) appendF32(p, f);
    appendU32(p, 0xFFFFFF);
    appendU32(p, 0);  // DIB_RGB_COLORS
    const bool none = source.first.isEmpty();
    appendU32(p, none ? 0 : offBmi);
    appendU32(p, uint32_t(source.first.size()));
    appendU32(p, none ? 0 : offBmi + uint32_t(source.first.size()));
    appendU32(p, uint32_t(source.second.size()));
    QByteArray t = tail;
    if (!tailDib.first.isEmpty()) {
        // The tail ends with the second DIB's usage and four offset fields, to be filled in.
        const uint32_t at = offBmi + uint32_t(source.first.size() + source.second.size());
        const qsizetype fields = t.size() - 16;
        t.truncate(fields);
        appendU32(t, at);
        appendU32(t, uint32_t(tailDib.first.size()));
        appendU32(t, at + uint32_t(tailDib.first.size()));
        appendU32(t, uint32_t(tailDib.second.size()));
    }
    p.append(t);
    p.append(source.first);
    p.append(source.second);
    p.append(tailDib.first);
    p.append(tailDib.second);
    return record(type, p);
}

EmfBuilder& EmfBuilder::alphaBlend(int x, int y, int cx, int cy, const Dib& source, QSize srcSize,
                                   uint32_t blendFunction) {
    QByteArray tail;
    appendI32(tail, srcSize.width());
    appendI32(tail, srcSize.height());
    return bltRecord(uint32_t(EmfRecordType::AlphaBlend), x, y, cx, cy, blendFunction, source,
                     tail);
}

EmfBuilder& EmfBuilder::transparentBlt(int x, int y, int cx, int cy, const Dib& source,
                                       QSize srcSize, uint32_t transparent) {
    QByteArray tail;
    appendI32(tail, srcSize.width());
    appendI32(tail, srcSize.height());
    return bltRecord(uint32_t(EmfRecordType::TransparentBlt), x, y, cx, cy, transparent, source,
                     tail);
}

EmfBuilder& EmfBuilder::maskBlt(int x, int y, int cx, int cy, const Dib& source, uint32_t rop4,
                                const Dib& mask, int xMask, int yMask) {
    QByteArray tail;
    appendI32(tail, xMask);
    appendI32(tail, yMask);
    appendU32(tail, 0);                              // DIB_RGB_COLORS
    for (int i = 0; i < 4; ++i) appendU32(tail, 0);  // the mask's offsets, or none
    return bltRecord(uint32_t(EmfRecordType::MaskBlt), x, y, cx, cy, rop4, source, tail, mask);
}

EmfBuilder& EmfBuilder::plgBlt(const std::array<std::pair<int, int>, 3>& corners, const Dib& source,
                               QSize srcSize, const Dib& mask, int xMask, int yMask) {
    // Fixed part: 8 + 16 + 24 + 16 + 24 + 4 + 4 + 16 + 8 + 4 + 16 = 140 bytes.
    const uint32_t offBmi = 140;
    int l = corners[0].first, t = corners[0].second, r = l, b = t;
    for (const auto& [px, py] : corners) {
        l = std::min(l, px), t = std::min(t, py), r = std::max(r, px), b = std::max(b, py);
    }
    const int dx = corners[1].first + corners[2].first - 2 * corners[0].first;
    const int dy = corners[1].second + corners[2].second - 2 * corners[0].second;
    const int fx = corners[0].first + dx, fy = corners[0].second + dy;
    QByteArray p;
    appendRect(p, std::min(l, fx), std::min(t, fy), std::max(r, fx), std::max(b, fy));
    for (const auto& [px, py] : corners) {
        appendI32(p, px);
        appendI32(p, py);
    }
    appendI32(p, 0);
    appendI32(p, 0);
    appendI32(p, srcSize.width());
    appendI32(p, srcSize.height());
    for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) appendF32(p, f);
    appendU32(p, 0xFFFFFF);
    appendU32(p, 0);
    const uint32_t offBits = offBmi + uint32_t(source.first.size());
    appendU32(p, offBmi);
    appendU32(p, uint32_t(source.first.size()));
    appendU32(p, offBits);
    appendU32(p, uint32_t(source.second.size()));
    appendI32(p, xMask);
    appendI32(p, yMask);
    appendU32(p, 0);
    const bool none = mask.first.isEmpty();
    const uint32_t offMask = offBits + uint32_t(source.second.size());
    appendU32(p, none ? 0 : offMask);
    appendU32(p, uint32_t(mask.first.size()));
    appendU32(p, none ? 0 : offMask + uint32_t(mask.first.size()));
    appendU32(p, uint32_t(mask.second.size()));
    p.append(source.first);
    p.append(source.second);
    p.append(mask.first);
    p.append(mask.second);
    return record(uint32_t(EmfRecordType::PlgBlt), p);
}

EmfBuilder& EmfBuilder::patBlt(int x, int y, int cx, int cy, uint32_t rop) {
    QByteArray p;
    appendRect(p, x, y, x + cx - 1, y + cy - 1);
    appendI32(p, x);
    appendI32(p, y);
    appendI32(p, cx);
    appendI32(p, cy);
    appendU32(p, rop);
    appendI32(p, 0);
    appendI32(p, 0);
    for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) appendF32(p, f);
    appendU32(p, 0);
    for (int i = 0; i < 5; ++i) appendU32(p, 0);  // usage, no bitmap
    return record(uint32_t(EmfRecordType::BitBlt), p);
}

EmfBuilder& EmfBuilder::setHandleCount(uint16_t count) {
    m_handles = count;
    return *this;
}

EmfBuilder& EmfBuilder::setDeviceMicrometers(int cx, int cy) {
    m_deviceMicrometersX = cx;
    m_deviceMicrometersY = cy;
    return *this;
}

QByteArray EmfBuilder::build() const {
    // ENHMETAHEADER with the micrometre extension (108 bytes): a 1920x1080 reference screen at
    // exactly 96 dpi.
    QByteArray out;
    appendU32(out, 1);
    appendU32(out, 108);
    appendRect(out, 0, 0, m_width - 1, m_height - 1);
    appendRect(out, 0, 0, int(m_width * 2540 / 96), int(m_height * 2540 / 96));
    appendU32(out, 0x464D4520);
    appendU32(out, 0x10000);
    const uint32_t total = 108 + uint32_t(m_records.size()) + 20;
    appendU32(out, total);
    appendU32(out, m_count + 2);
    appendU16(out, m_handles);
    appendU16(out, 0);
    appendU32(out, 0);
    appendU32(out, 0);
    appendU32(out, 0);
    appendI32(out, 1920);
    appendI32(out, 1080);
    appendI32(out, 508);
    appendI32(out, 286);
    appendU32(out, 0);
    appendU32(out, 0);
    appendU32(out, 0);
    appendI32(out, m_deviceMicrometersX);
    appendI32(out, m_deviceMicrometersY);
    out.append(m_records);
    appendU32(out, 14);  // EMR_EOF
    appendU32(out, 20);
    appendU32(out, 0);
    appendU32(out, 16);
    appendU32(out, 20);
    return out;
}

QByteArray busyDrawing(int records, int width, int height, bool withText) {
    EmfBuilder emf(width, height);
    // The header these drawings have always had: 16 handles, a 508 x 286 mm screen.
    emf.setHandleCount(16).setDeviceMicrometers(508000, 286000);
    uint32_t state = 12345;
    const auto next = [&state](int range) {
        state = state * 1103515245u + 12345u;
        return int((state >> 8) % uint32_t(std::max(1, range)));
    };
    if (withText) emf.createFont(3, -16, 400, QStringLiteral("Arial"), 0, 1);
    if (withText) emf.selectObject(3);
    // The numbers of one record are drawn last argument first, the order in which GCC made
    // the drawings the benchmarks have always measured; spelt out, every compiler draws the same.
    const auto box = [&next](int x, int y, int spread) {
        const int bottom = y + 10 + next(spread);
        return std::array<int, 4>{x, y, x + 10 + next(spread), bottom};
    };
    const auto nearby = [&next](int x, int y) {
        const int dy = next(40);
        return std::pair<int, int>(x + next(40), y + dy);
    };
    while (emf.recordCount() < records) {
        const int x = next(width - 40), y = next(height - 40);
        switch (next(10)) {
            case 0: {
                const auto colour = uint32_t(next(0xFFFFFF));
                emf.createPen(1, 0, 1 + next(4), colour);
                emf.selectObject(1);
                break;
            }
            case 1: {
                const auto hatch = uint32_t(next(6));
                const auto colour = uint32_t(next(0xFFFFFF));
                emf.createBrush(2, next(3) == 0 ? 2 : 0, colour, hatch);
                emf.selectObject(2);
                break;
            }
            case 2: {
                const auto [l, t, r, b] = box(x, y, 30);
                emf.rectangle(l, t, r, b);
                break;
            }
            case 3: {
                const auto [l, t, r, b] = box(x, y, 30);
                emf.ellipse(l, t, r, b);
                break;
            }
            case 4:
            case 5: {
                std::vector<std::pair<int, int>> points;
                for (int i = 0; i < 6; ++i) points.push_back(nearby(x, y));
                emf.poly(uint32_t(next(2) ? EmfRecordType::Polyline16 : EmfRecordType::Polygon16),
                         points);
                break;
            }
            case 6: {
                emf.moveTo(x, y);
                const auto [toX, toY] = nearby(x, y);
                emf.lineTo(toX, toY);
                break;
            }
            case 7:
                if (withText && next(4) == 0)
                    emf.extTextOutW(x, y, QStringLiteral("Plume"), 0, {}, {0, 0, -1, -1});
                else
                    emf.rectangle(x, y, x + 5, y + 5);
                break;
            default:
                emf.deleteObject(1 + next(2));
                break;
        }
    }
    return emf.build();
}

}  // namespace plume::test
