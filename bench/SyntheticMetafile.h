#pragma once

// Writes WMF files record by record for benchmarks, fuzz seeds and tests: no binary blobs,
// every byte made here from the record layouts of the published format. Header-only; of the
// engine it takes only the record numbers, so that it can also make files the engine must
// refuse. EMF files are made with EmfBuilder (tools/builders).

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
