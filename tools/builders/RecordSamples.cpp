#include "builders/RecordSamples.h"

#include "builders/EmfBuilder.h"
#include "builders/WmfBuilder.h"
#include "platform/metafile/format/MetafileFormat.h"

#include <QtEndian>

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

}  // namespace plume::test
