#pragma once

// EmfReader: EMF bytes -> a validated header and an index of records. Parsing checks the
// header (EMR_HEADER, MS-EMF 2.3.4.2) and walks the record chain once (MS-EMF 2.3: each record
// has a type and a size that is a multiple of 4, at least 8 and inside the data); a record that
// does not fit ends the picture there. Playing turns each indexed record into GdiSink calls,
// reading every field through a BoundedReader.

#include "platform/metafile/GdiSink.h"
#include "platform/metafile/Metafile.h"
#include "platform/metafile/PlayableDocument.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace plume::metafile {

// Record types, MS-EMF 2.1.1 (those the engine plays or recognises).
enum class EmfRecordType : uint32_t {
    Header = 1,
    PolyBezier = 2,
    Polygon = 3,
    Polyline = 4,
    PolyBezierTo = 5,
    PolylineTo = 6,
    PolyPolyline = 7,
    PolyPolygon = 8,
    SetWindowExtEx = 9,
    SetWindowOrgEx = 10,
    SetViewportExtEx = 11,
    SetViewportOrgEx = 12,
    SetBrushOrgEx = 13,
    Eof = 14,
    SetPixelV = 15,
    SetMapperFlags = 16,
    SetMapMode = 17,
    SetBkMode = 18,
    SetPolyFillMode = 19,
    SetRop2 = 20,
    SetStretchBltMode = 21,
    SetTextAlign = 22,
    SetColorAdjustment = 23,
    SetTextColor = 24,
    SetBkColor = 25,
    OffsetClipRgn = 26,
    MoveToEx = 27,
    SetMetaRgn = 28,
    ExcludeClipRect = 29,
    IntersectClipRect = 30,
    ScaleViewportExtEx = 31,
    ScaleWindowExtEx = 32,
    SaveDc = 33,
    RestoreDc = 34,
    SetWorldTransform = 35,
    ModifyWorldTransform = 36,
    SelectObject = 37,
    CreatePen = 38,
    CreateBrushIndirect = 39,
    DeleteObject = 40,
    AngleArc = 41,
    Ellipse = 42,
    Rectangle = 43,
    RoundRect = 44,
    Arc = 45,
    Chord = 46,
    Pie = 47,
    SelectPalette = 48,
    CreatePalette = 49,
    SetPaletteEntries = 50,
    ResizePalette = 51,
    RealizePalette = 52,
    ExtFloodFill = 53,
    LineTo = 54,
    ArcTo = 55,
    PolyDraw = 56,
    SetArcDirection = 57,
    SetMiterLimit = 58,
    BeginPath = 59,
    EndPath = 60,
    CloseFigure = 61,
    FillPath = 62,
    StrokeAndFillPath = 63,
    StrokePath = 64,
    FlattenPath = 65,
    WidenPath = 66,
    SelectClipPath = 67,
    AbortPath = 68,
    Comment = 70,
    FillRgn = 71,
    FrameRgn = 72,
    InvertRgn = 73,
    PaintRgn = 74,
    ExtSelectClipRgn = 75,
    BitBlt = 76,
    StretchBlt = 77,
    MaskBlt = 78,
    PlgBlt = 79,
    SetDiBitsToDevice = 80,
    StretchDiBits = 81,
    ExtCreateFontIndirectW = 82,
    ExtTextOutA = 83,
    ExtTextOutW = 84,
    PolyBezier16 = 85,
    Polygon16 = 86,
    Polyline16 = 87,
    PolyBezierTo16 = 88,
    PolylineTo16 = 89,
    PolyPolyline16 = 90,
    PolyPolygon16 = 91,
    PolyDraw16 = 92,
    CreateMonoBrush = 93,
    CreateDibPatternBrushPt = 94,
    ExtCreatePen = 95,
    PolyTextOutA = 96,
    PolyTextOutW = 97,
    SetIcmMode = 98,
    AlphaBlend = 114,
    SetLayout = 115,
    TransparentBlt = 116,
    GradientFill = 118,
    SetTextJustification = 120,
};

// One record of the chain: where it lies in the bytes. Kept small so that a picture of a
// million records indexes into 12 MB.
struct EmfRecordRef {
    uint32_t type = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
};

struct EmfHeader {
    Rect bounds;
    Rect frame;
    uint32_t version = 0;
    uint32_t declaredBytes = 0;
    uint32_t declaredRecords = 0;
    uint16_t handles = 0;
    Size devicePixels;
    Size deviceMillimeters;
    Size deviceMicrometers;
};

struct EmfFile {
    QByteArray bytes;  // shared with the caller (implicitly shared, no copy)
    EmfHeader header;
    std::vector<EmfRecordRef> records;  // the header record first, EMR_EOF last when present
    QString truncationNote;             // why the chain ended before EMR_EOF, if it did
};

// True when the bytes begin like an EMF: EMR_HEADER first and " EMF" at offset 40.
bool looksLikeEmf(const QByteArray& bytes);

// Checks the header and indexes the records. A ParseError when the bytes are no EMF, the
// header is broken or the data is over the size limit; a chain that breaks later ends the
// picture there with a truncation note.
std::variant<EmfFile, ParseError> readEmf(const QByteArray& bytes);

// Decodes every record after the header and calls the sink: begin() with the header's picture
// information, one or more calls per record, end(). Records whose fields do not fit their size
// are skipped and counted.
PlaybackStats playEmf(const EmfFile& file, GdiSink& sink, const PlaybackControl& control = {});

}  // namespace plume::metafile
