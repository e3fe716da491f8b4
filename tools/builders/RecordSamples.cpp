#include "builders/RecordSamples.h"

#include "builders/EmfBuilder.h"
#include "builders/EmfPlusBuilder.h"
#include "builders/WmfBuilder.h"
#include "platform/metafile/format/MetafileFormat.h"

#include <QtEndian>
#include <cstring>
#include <initializer_list>

namespace plume::test {
namespace {

using metafile::EmfRecordType;

void put32(QByteArray& bytes, qsizetype at, uint32_t value) {
    if (bytes.size() < at + 4) bytes.resize(at + 4, '\0');
    qToLittleEndian(value, bytes.data() + at);
}
void put16(QByteArray& bytes, qsizetype at, uint16_t value) {
    if (bytes.size() < at + 2) bytes.resize(at + 2, '\0');
    qToLittleEndian(value, bytes.data() + at);
}

// A 1 x 1 monochrome DIB: BITMAPINFOHEADER, two colours (black, white), one padded row.
QByteArray monoDib() {
    QByteArray dib(40 + 8 + 4, '\0');
    put32(dib, 0, 40);
    put32(dib, 4, 1);
    put32(dib, 8, 1);
    put16(dib, 12, 1);
    put16(dib, 14, 1);
    put32(dib, 44, 0x00FFFFFF);
    return dib;
}

}  // namespace

QByteArray sampleEmfRecordBody(uint32_t type) {
    // Offsets below count from the start of the body (the record's byte 8).
    QByteArray body(128, '\0');
    switch (EmfRecordType(type)) {
        case EmfRecordType::SetMapMode:
        case EmfRecordType::SelectClipPath:
            put32(body, 0, 1);  // MM_TEXT, RGN_AND
            break;
        case EmfRecordType::ModifyWorldTransform:
            put32(body, 0, 0x3F800000);   // eM11 = 1
            put32(body, 12, 0x3F800000);  // eM22 = 1
            put32(body, 24, 1);           // MWT_IDENTITY
            break;
        case EmfRecordType::ExtSelectClipRgn:
            put32(body, 4, 5);  // no region, RGN_COPY: the whole picture again
            break;
        case EmfRecordType::FillRgn:
        case EmfRecordType::FrameRgn:
        case EmfRecordType::InvertRgn:
        case EmfRecordType::PaintRgn: {
            // Bounds, cbRgnData, [brush], [stroke], then an empty RGNDATA (header only).
            const qsizetype region = type == uint32_t(EmfRecordType::FrameRgn)  ? 32
                                     : type == uint32_t(EmfRecordType::FillRgn) ? 24
                                                                                : 20;
            put32(body, 16, 32);
            put32(body, region, 32);
            put32(body, region + 4, 1);  // RDH_RECTANGLES
            body.resize(region + 32, '\0');
            break;
        }
        case EmfRecordType::CreateMonoBrush:
        case EmfRecordType::CreateDibPatternBrushPt: {
            // ihBrush, iUsage, offBmi, cbBmi, offBits, cbBits (offsets from the record start).
            const QByteArray dib = monoDib();
            body = QByteArray(24, '\0');
            put32(body, 8, 8 + 24);
            put32(body, 12, 48);
            put32(body, 16, 8 + 24 + 48);
            put32(body, 20, 4);
            body += dib;
            break;
        }
        case EmfRecordType::PolyTextOutA:
        case EmfRecordType::PolyTextOutW:
            put32(body, 28, 1);  // one empty string
            body.resize(32 + 40, '\0');
            break;
        case EmfRecordType::ExtCreateFontIndirectW:
            body.resize(4 + 92, '\0');
            break;
        case EmfRecordType::PlgBlt:
            body.resize(132, '\0');  // the fixed fields, no source and no mask bitmap
            break;
        default:
            break;
    }
    return body;
}

QByteArray sampleWmfParams(uint16_t function) {
    using namespace metafile;
    // Records of a fixed size carry their parameter count in words in the function's high byte.
    QByteArray params(qsizetype(function >> 8) * 2, '\0');
    switch (function) {
        case META_SETMAPMODE:
        case META_SETBKMODE:
        case META_SETPOLYFILLMODE:
            put16(params, 0, 1);
            break;
        case META_DIBCREATEPATTERNBRUSH:
            params = QByteArray(4, '\0');  // BS_DIBPATTERNPT, DIB_RGB_COLORS, a packed DIB
            put16(params, 0, 5);
            params += monoDib();
            break;
        case META_CREATEPENINDIRECT:
            params.resize(10, '\0');
            break;
        case META_CREATEBRUSHINDIRECT:
            params.resize(8, '\0');
            break;
        case META_CREATEFONTINDIRECT:
            params.resize(18 + 32, '\0');
            break;
        case META_CREATEPALETTE:
            params = QByteArray(4, '\0');  // start, no entries
            put16(params, 0, 0x0300);
            break;
        case META_CREATEPATTERNBRUSH:
            params.resize(32 + 2, '\0');
            break;
        case META_SETPALENTRIES:
            params = QByteArray(4, '\0');  // start, no entries
            break;
        case META_CREATEREGION:
            params.resize(22, '\0');  // a region object without scans
            break;
        case META_ESCAPE:
            params = QByteArray(4, '\0');
            put16(params, 0, kWmfMfComment);  // an empty comment
            break;
        case META_ANIMATEPALETTE:
            put16(params, 2, 1);  // start 0, one entry (black)
            break;
        case META_SETTEXTCHAREXTRA:
            put16(params, 0, 2);  // an extra of 0 would change nothing
            break;
        case META_STRETCHDIB:
        case META_SETDIBTODEV:
            // The fixed fields (the source a DIB in RGB colours), then a packed DIB.
            params.resize(function == META_STRETCHDIB ? 22 : 18, '\0');
            params += monoDib();
            break;
        default:
            break;
    }
    return params;
}

QByteArray sampleEmfFile(uint32_t type) {
    EmfBuilder emf(10, 10);
    emf.record(type, sampleEmfRecordBody(type));
    return emf.build();
}

QByteArray sampleWmfFile(uint16_t function) {
    WmfBuilder wmf;
    wmf.createPen(0, 1, 0x000000);
    wmf.record(function, sampleWmfParams(function));
    return wmf.raw();
}

namespace {

QByteArray floats(std::initializer_list<float> values) {
    QByteArray out;
    for (float v : values) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        appendU32(out, bits);
    }
    return out;
}

QByteArray u32s(std::initializer_list<uint32_t> values) {
    QByteArray out;
    for (uint32_t v : values) appendU32(out, v);
    return out;
}

// One record of each type through the builder; the records the builder has no call for are
// written from their fields.
void addSampleEmfPlusRecord(EmfPlusBuilder& b, uint16_t type) {
    const QRectF rect(1, 1, 6, 6);
    const std::vector<QPointF> points{{1, 1}, {8, 2}, {4, 8}, {1, 5}};
    switch (type) {
        case 0x4001: b.header(true); return;
        case 0x4002: b.endOfFile(); return;
        case 0x4004: b.getDc(); return;
        case 0x4008: b.solidBrush(9, 0xFF00FF00); return;
        case 0x4009: b.clear(0x80FFFFFF); return;
        case 0x400A: b.fillRects(plusObject(1), {rect}); return;
        case 0x400B: b.drawRects(2, {rect}); return;
        case 0x400C: b.fillPolygon(plusObject(1), points); return;
        case 0x400D: b.drawLines(2, points, true); return;
        case 0x400E: b.fillEllipse(plusObject(1), rect); return;
        case 0x400F: b.drawEllipse(2, rect); return;
        case 0x4010: b.fillPie(plusObject(1), 0, 90, rect); return;
        case 0x4011: b.drawPie(2, 0, 90, rect); return;
        case 0x4012: b.drawArc(2, 0, 90, rect); return;
        case 0x4013: b.fillRegion(plusObject(1), 4); return;
        case 0x4014: b.fillPath(plusObject(1), 3); return;
        case 0x4015: b.drawPath(2, 3); return;
        case 0x4016: b.fillClosedCurve(plusObject(1), 0.5f, points); return;
        case 0x4017:
            b.record(type, 2, floats({0.5f}) + u32s({3}) + floats({1, 1, 8, 2, 4, 8}));
            return;
        case 0x4018: b.drawCurve(2, 0.5f, 0, 3, points); return;
        case 0x4019: b.drawBeziers(2, points); return;
        case 0x401A: b.drawImage(5, QRectF(0, 0, 2, 2), rect); return;
        case 0x401B: b.drawImagePoints(5, QRectF(0, 0, 2, 2), {{1, 1}, {8, 1}, {1, 8}}); return;
        case 0x401C: b.drawString(6, plusObject(1), 7, rect, QStringLiteral("Ab")); return;
        case 0x401D: b.record(type, 0, u32s({2, 3})); return;
        case 0x401E: b.antialias(true); return;
        case 0x4025: b.save(1); return;
        case 0x4026: b.save(1).restore(1); return;
        case 0x4027: b.beginContainer(rect, QRectF(0, 0, 3, 3), 1); return;
        case 0x4028: b.record(type, 0, u32s({1})); return;
        case 0x4029: b.record(0x4028, 0, u32s({1})).endContainer(1); return;
        case 0x402A: b.record(type, 0, floats({1, 0.1f, 0, 1, 2, 3})); return;
        case 0x402B: b.resetTransform(); return;
        case 0x402C: b.record(type, 0x2000, floats({2, 0, 0, 2, 0, 0})); return;
        case 0x402D: b.translate(1, 2); return;
        case 0x402E: b.scale(0.5f, 2); return;
        case 0x402F: b.rotate(30); return;
        case 0x4030: b.pageTransform(3, 0.5f); return;
        case 0x4031: b.resetClip(); return;
        case 0x4032: b.clipRect(rect, 1); return;
        case 0x4033: b.clipPath(3, 3); return;
        case 0x4034: b.clipRegion(4, 4); return;
        case 0x4035: b.clipRect(rect, 0).offsetClip(1, 1); return;
        case 0x4036:
            b.drawDriverString(6, plusObject(1), 1, QStringLiteral("Ab"), {{1, 8}, {5, 8}});
            return;
        case 0x4037: b.record(type, 3, {}); return;
        case 0x4038: {
            // The blur effect's GUID, its parameters' size and parameters (radius, edges).
            QByteArray blur = u32s({0x633C80A4});
            for (const uint8_t byte : {0x43, 0x18, 0x2B, 0x48, 0x9E, 0xF2, 0xBE, 0x28, 0x34,
                                       0xC5, 0xFD, 0xD4})
                blur.append(char(byte));
            b.record(type, 0, blur + u32s({8}) + floats({2}) + u32s({0}));
            return;
        }
        case 0x401F: case 0x4020: case 0x4021: case 0x4022: case 0x4023: case 0x4024:
            b.record(type, 1, {});  // the setting's value in the flags
            return;
        default:  // comments, the reserved multi-format records, remote session state
            b.record(type, 0, u32s({0x12345678}));
            return;
    }
}

}  // namespace

QByteArray sampleEmfPlusObjects() {
    EmfPlusBuilder b;
    QImage cells(2, 2, QImage::Format_ARGB32);
    cells.fill(0xFF0000FF);
    b.header(true)
        .solidBrush(1, 0xFF0000FF)
        .pen(2, 1, 0xFF000000)
        .path(3, {{1, 1}, {8, 1}, {8, 8}}, {0, 1, 0x81})
        .region(4, regionCombined(1, regionInfinite(), regionRect(QRectF(0, 0, 5, 5))))
        .bitmap(5, cells)
        .font(6, 5, 2, QStringLiteral("DejaVu Sans"))
        .stringFormat(7, 0, 0, 0);
    return b.take().mid(4);
}

QByteArray sampleEmfPlusRecord(uint16_t type) {
    EmfPlusBuilder b;
    addSampleEmfPlusRecord(b, type);
    return b.take().mid(4);
}

QByteArray sampleEmfPlusFile(uint16_t type) {
    EmfBuilder emf(10, 10);
    const QByteArray data = "EMF+" + sampleEmfPlusObjects() + sampleEmfPlusRecord(type);
    QByteArray comment;
    appendU32(comment, uint32_t(data.size()));
    emf.record(70, comment + data);  // EMR_COMMENT
    emf.createBrush(1, 0, 0x0000FF).selectObject(1).rectangle(1, 1, 9, 9);
    EmfPlusBuilder().endOfFile().flushTo(emf);
    return emf.build();
}

}  // namespace plume::test
