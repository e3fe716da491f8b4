#pragma once

// Writes metafiles record by record for benchmarks, fuzz seeds and tests: no binary blobs,
// every byte made here from the record layouts of the published formats. Header-only; of the
// engine it takes only the record numbers, so that it can also make files the engine must
// refuse.

#include "platform/metafile/format/MetafileFormat.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace plume::synth {

// Little-endian byte appender.
class Bytes {
public:
    Bytes& u8(uint8_t v) {
        m_data.append(char(v));
        return *this;
    }
    Bytes& u16(uint16_t v) {
        char b[2];
        qToLittleEndian(v, b);
        m_data.append(b, 2);
        return *this;
    }
    Bytes& i16(int16_t v) { return u16(uint16_t(v)); }
    Bytes& u32(uint32_t v) {
        char b[4];
        qToLittleEndian(v, b);
        m_data.append(b, 4);
        return *this;
    }
    Bytes& i32(int32_t v) { return u32(uint32_t(v)); }
    Bytes& raw(const QByteArray& b) {
        m_data.append(b);
        return *this;
    }
    Bytes& pad4() {
        while (m_data.size() % 4) m_data.append('\0');
        return *this;
    }
    const QByteArray& data() const { return m_data; }
    qsizetype size() const { return m_data.size(); }

private:
    QByteArray m_data;
};

// Record numbers (EMF record types, WMF functions) are the engine's own (MetafileFormat.h).
using metafile::EmfRecordType;

// An EMF under construction: the header (EMR_HEADER, MS-EMF 2.3.4.2) is written by finish(),
// which also counts bytes and records and appends EMR_EOF (MS-EMF 2.3.4.1).
class EmfWriter {
public:
    // The picture frame in 0.01 mm and the bounds in device pixels (96 DPI reference device).
    EmfWriter(int widthPx, int heightPx) : m_width(widthPx), m_height(heightPx) {}

    // Any record: type and the 32-bit words after the size field.
    void record(EmfRecordType type, std::initializer_list<int32_t> words) {
        Bytes b;
        for (int32_t w : words) b.i32(w);
        record(type, b.data());
    }
    void record(EmfRecordType type, const QByteArray& payload) {
        Bytes b;
        b.u32(uint32_t(type)).u32(uint32_t(8 + payload.size())).raw(payload).pad4();
        // The size field counts the padding too.
        QByteArray bytes = b.data();
        qToLittleEndian(uint32_t(bytes.size()), bytes.data() + 4);
        m_body.append(bytes);
        ++m_records;
    }

    void rectangle(int l, int t, int r, int b) { record(EmfRecordType::Rectangle, {l, t, r, b}); }
    void ellipse(int l, int t, int r, int b) { record(EmfRecordType::Ellipse, {l, t, r, b}); }
    void moveTo(int x, int y) { record(EmfRecordType::MoveToEx, {x, y}); }
    void lineTo(int x, int y) { record(EmfRecordType::LineTo, {x, y}); }
    // EMR_POLYLINE16 / EMR_POLYGON16 (MS-EMF 2.3.5.24, 2.3.5.22): bounds, count, 16-bit points.
    void poly16(EmfRecordType type, const std::vector<std::pair<int, int>>& points) {
        Bytes b;
        b.i32(0).i32(0).i32(m_width).i32(m_height).u32(uint32_t(points.size()));
        for (auto [x, y] : points) b.i16(int16_t(x)).i16(int16_t(y));
        record(type, b.data());
    }
    // EMR_CREATEPEN (MS-EMF 2.3.7.7): LogPen style, width (x), colour.
    void createPen(int slot, int style, int width, uint32_t colorRef) {
        record(EmfRecordType::CreatePen, {slot, style, width, 0, int32_t(colorRef)});
    }
    // EMR_CREATEBRUSHINDIRECT (MS-EMF 2.3.7.1): LogBrush style, colour, hatch.
    void createBrush(int slot, int style, uint32_t colorRef, int hatch = 0) {
        record(EmfRecordType::CreateBrushIndirect, {slot, style, int32_t(colorRef), hatch});
    }
    void select(uint32_t slot) { record(EmfRecordType::SelectObject, {int32_t(slot)}); }
    void deleteObject(int slot) { record(EmfRecordType::DeleteObject, {slot}); }
    // EMR_EXTCREATEFONTINDIRECTW (MS-EMF 2.3.7.8) with a plain LogFont (MS-WMF 2.2.1.1... as
    // LogFont of MS-EMF 2.2.13): height, weight, charset and face.
    void createFont(int slot, int height, const QString& face, int charset = 1) {
        Bytes b;
        b.i32(slot).i32(height).i32(0).i32(0).i32(0).i32(400);
        b.u8(0).u8(0).u8(0).u8(uint8_t(charset)).u8(0).u8(0).u8(0).u8(0);
        for (int i = 0; i < 32; ++i) b.u16(i < face.size() ? face[i].unicode() : 0);
        record(EmfRecordType::ExtCreateFontIndirectW, b.data());
    }
    // EMR_EXTTEXTOUTW (MS-EMF 2.3.5.8) with its EmrText (2.2.5): reference point, the UTF-16
    // string and one advance per character.
    void textOut(int x, int y, const QString& text, int advance = 0) {
        const int chars = int(text.size());
        const int fixed = 8 + 16 + 12 + 40;
        const int stringBytes = (chars * 2 + 3) / 4 * 4;
        Bytes b;
        b.i32(0).i32(0).i32(-1).i32(-1);  // bounds
        b.u32(1).u32(0).u32(0);            // GM_COMPATIBLE, no scale
        b.i32(x).i32(y).u32(uint32_t(chars)).u32(uint32_t(fixed)).u32(0);
        b.i32(0).i32(0).i32(-1).i32(-1);  // no clip rectangle
        b.u32(advance > 0 ? uint32_t(fixed + stringBytes) : 0u);
        for (QChar c : text) b.u16(c.unicode());
        b.pad4();
        if (advance > 0)
            for (int i = 0; i < chars; ++i) b.i32(advance);
        record(EmfRecordType::ExtTextOutW, b.data());
    }
    // EMR_STRETCHDIBITS (MS-EMF 2.3.1.7) of a 24-bit bottom-up BI_RGB bitmap filled with a
    // gradient, drawn with SRCCOPY into the destination rectangle.
    void stretchDib(int x, int y, int w, int h, int bmpW, int bmpH) {
        const int stride = (bmpW * 3 + 3) / 4 * 4;
        const int fixed = 8 + 72;
        Bytes b;
        b.i32(x).i32(y).i32(x + w).i32(y + h);                      // bounds
        b.i32(x).i32(y).i32(0).i32(0).i32(bmpW).i32(bmpH);          // dest, source origin/size
        b.u32(uint32_t(fixed)).u32(40);                              // offBmiSrc, cbBmiSrc
        b.u32(uint32_t(fixed + 40)).u32(uint32_t(stride * bmpH));   // offBitsSrc, cbBitsSrc
        b.u32(0).u32(0x00CC0020).i32(w).i32(h);                      // DIB_RGB_COLORS, SRCCOPY
        b.u32(40).i32(bmpW).i32(bmpH).u16(1).u16(24).u32(0).u32(uint32_t(stride * bmpH));
        b.i32(3780).i32(3780).u32(0).u32(0);
        for (int row = 0; row < bmpH; ++row) {
            Bytes line;
            for (int col = 0; col < bmpW; ++col)
                line.u8(uint8_t(col * 255 / std::max(1, bmpW - 1)))
                    .u8(uint8_t(row * 255 / std::max(1, bmpH - 1)))
                    .u8(128);
            line.pad4();
            b.raw(line.data());
        }
        record(EmfRecordType::StretchDiBits, b.data());
    }

    int recordCount() const { return m_records + 2; }

    // The whole file: header, body, EMR_EOF.
    QByteArray finish() const {
        Bytes eof;
        eof.u32(uint32_t(EmfRecordType::Eof)).u32(20).u32(0).u32(16).u32(20);
        const int headerSize = 108;
        const qsizetype total = headerSize + m_body.size() + eof.size();
        Bytes h;
        h.u32(uint32_t(EmfRecordType::Header)).u32(headerSize);
        h.i32(0).i32(0).i32(m_width - 1).i32(m_height - 1);  // bounds, inclusive pixels
        // Frame in 0.01 mm at 96 DPI: 2540 / 96 per pixel.
        h.i32(0).i32(0).i32(m_width * 2540 / 96).i32(m_height * 2540 / 96);
        h.u32(0x464D4520).u32(0x10000).u32(uint32_t(total)).u32(uint32_t(m_records + 2));
        h.u16(uint16_t(m_maxSlots)).u16(0).u32(0).u32(0).u32(0);
        h.i32(1920).i32(1080).i32(508).i32(286);  // reference device pixels and millimetres
        h.u32(0).u32(0).u32(0).i32(508000).i32(286000);
        QByteArray out = h.data();
        out.append(m_body);
        out.append(eof.data());
        return out;
    }

    void setHandleCount(int count) { m_maxSlots = count; }

private:
    int m_width;
    int m_height;
    int m_records = 0;
    int m_maxSlots = 16;
    QByteArray m_body;
};

// A busy drawing of about `records` records inside width x height pixels: pens and brushes
// created, selected and deleted, rectangles, ellipses, 16-bit polylines and polygons, lines
// and now and then a short text. A fixed recipe, so every run draws the same.
inline QByteArray busyDrawing(int records, int width = 1000, int height = 1000,
                              bool withText = true) {
    EmfWriter emf(width, height);
    uint32_t state = 12345;
    const auto next = [&state](int range) {
        state = state * 1103515245u + 12345u;
        return int((state >> 8) % uint32_t(std::max(1, range)));
    };
    if (withText) emf.createFont(3, -16, QStringLiteral("Arial"));
    if (withText) emf.select(3);
    while (emf.recordCount() < records) {
        const int x = next(width - 40), y = next(height - 40);
        switch (next(10)) {
            case 0:
                emf.createPen(1, 0, 1 + next(4), uint32_t(next(0xFFFFFF)));
                emf.select(1);
                break;
            case 1:
                emf.createBrush(2, next(3) == 0 ? 2 : 0, uint32_t(next(0xFFFFFF)), next(6));
                emf.select(2);
                break;
            case 2:
                emf.rectangle(x, y, x + 10 + next(30), y + 10 + next(30));
                break;
            case 3:
                emf.ellipse(x, y, x + 10 + next(30), y + 10 + next(30));
                break;
            case 4:
            case 5: {
                std::vector<std::pair<int, int>> points;
                for (int i = 0; i < 6; ++i) points.emplace_back(x + next(40), y + next(40));
                emf.poly16(next(2) ? EmfRecordType::Polyline16 : EmfRecordType::Polygon16, points);
                break;
            }
            case 6:
                emf.moveTo(x, y);
                emf.lineTo(x + next(40), y + next(40));
                break;
            case 7:
                if (withText && next(4) == 0)
                    emf.textOut(x, y, QStringLiteral("Plume"));
                else
                    emf.rectangle(x, y, x + 5, y + 5);
                break;
            default:
                emf.deleteObject(1 + next(2));
                break;
        }
    }
    return emf.finish();
}

// A WMF under construction: META_HEADER (MS-WMF 2.3.2.2), optionally after a placeable
// header (2.3.2.3) whose bounding box and units per inch fix the picture's size.
class WmfWriter {
public:
    // 16-bit parameters after the size and function fields.
    void record(uint16_t function, std::initializer_list<int> params) {
        Bytes b;
        b.u32(uint32_t(3 + params.size())).u16(function);
        for (int p : params) b.i16(int16_t(p));
        m_body.append(b.data());
        m_maxWords = std::max<uint32_t>(m_maxWords, uint32_t(3 + params.size()));
    }
    void window(int x, int y, int w, int h) {
        record(metafile::META_SETWINDOWORG, {y, x});
        record(metafile::META_SETWINDOWEXT, {h, w});
    }
    void rectangle(int l, int t, int r, int b) { record(metafile::META_RECTANGLE, {b, r, t, l}); }
    void ellipse(int l, int t, int r, int b) { record(metafile::META_ELLIPSE, {b, r, t, l}); }
    void createPen(int style, int width, uint32_t colorRef) {
        record(metafile::META_CREATEPENINDIRECT,
               {style, width, 0, int(colorRef & 0xFFFF), int(colorRef >> 16)});
    }
    void createBrush(int style, uint32_t colorRef, int hatch = 0) {
        record(metafile::META_CREATEBRUSHINDIRECT, {style, int(colorRef & 0xFFFF), int(colorRef >> 16), hatch});
    }
    void select(int index) { record(metafile::META_SELECTOBJECT, {index}); }

    QByteArray finish(bool placeable, int left = 0, int top = 0, int right = 0, int bottom = 0,
                      int unitsPerInch = 1440) const {
        Bytes eof;
        eof.u32(3).u16(metafile::META_EOF);
        const uint32_t words = uint32_t(9 + (m_body.size() + eof.size()) / 2);
        Bytes h;
        h.u16(1).u16(9).u16(0x0300).u32(words).u16(8).u32(m_maxWords).u16(0);
        QByteArray out;
        if (placeable) {
            Bytes p;
            p.u32(0x9AC6CDD7).u16(0).i16(int16_t(left)).i16(int16_t(top)).i16(int16_t(right));
            p.i16(int16_t(bottom)).u16(uint16_t(unitsPerInch)).u32(0);
            uint16_t checksum = 0;
            for (int i = 0; i < 20; i += 2)
                checksum ^= qFromLittleEndian<uint16_t>(p.data().constData() + i);
            p.u16(checksum);
            out.append(p.data());
        }
        out.append(h.data());
        out.append(m_body);
        out.append(eof.data());
        return out;
    }

private:
    QByteArray m_body;
    uint32_t m_maxWords = 3;
};

}  // namespace plume::synth
