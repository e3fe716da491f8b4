#pragma once

// What the two metafile formats look like from outside, shared by the readers, the EMF writer,
// the clipboard, the picture loader, tests and benchmarks: record numbers (EMF record types, WMF
// functions), signatures and fixed sizes, and the questions asked of a file's first bytes
// before it is parsed.

#include "platform/metafile/format/Document.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

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
    SmallTextOut = 108,
    AlphaBlend = 114,
    SetLayout = 115,
    TransparentBlt = 116,
    GradientFill = 118,
    SetTextJustification = 120,
};

// The 16-bit poly records EMR_POLYBEZIER16..EMR_POLYPOLYGON16 (85..91) are
// EMR_POLYBEZIER..EMR_POLYPOLYGON (2..8) in the same order with POINTS for POINTL, so each
// lies this far above its 32-bit form; EMR_POLYDRAW16 (92) is EMR_POLYDRAW's (56) and out of
// step (MS-EMF 2.3.5).
inline constexpr uint32_t kPoly16Offset =
    uint32_t(EmfRecordType::PolyBezier16) - uint32_t(EmfRecordType::PolyBezier);
static_assert(kPoly16Offset == 83 && uint32_t(EmfRecordType::PolyPolygon16) - kPoly16Offset ==
                                         uint32_t(EmfRecordType::PolyPolygon));

// The record with 32-bit points that a 16-bit poly record stands for; any other type is its
// own.
constexpr EmfRecordType withLongPoints(EmfRecordType type) {
    if (type == EmfRecordType::PolyDraw16) return EmfRecordType::PolyDraw;
    if (type >= EmfRecordType::PolyBezier16 && type <= EmfRecordType::PolyPolygon16)
        return EmfRecordType(uint32_t(type) - kPoly16Offset);
    return type;
}

// Record functions (RecordType enumeration, MS-WMF 2.1.1.1).
enum WmfFunction : uint16_t {
    META_EOF = 0x0000,
    META_REALIZEPALETTE = 0x0035,
    META_SETPALENTRIES = 0x0037,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETROP2 = 0x0104,
    META_SETRELABS = 0x0105,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETSTRETCHBLTMODE = 0x0107,
    META_SETTEXTCHAREXTRA = 0x0108,
    META_RESTOREDC = 0x0127,
    META_RESIZEPALETTE = 0x0139,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_SETLAYOUT = 0x0149,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_OFFSETVIEWPORTORG = 0x0211,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_OFFSETCLIPRGN = 0x0220,
    META_FILLREGION = 0x0228,
    META_SETMAPPERFLAGS = 0x0231,
    META_SELECTPALETTE = 0x0234,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_SETTEXTJUSTIFICATION = 0x020A,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_SETVIEWPORTORG = 0x020D,
    META_SETVIEWPORTEXT = 0x020E,
    META_OFFSETWINDOWORG = 0x020F,
    META_SCALEWINDOWEXT = 0x0410,
    META_SCALEVIEWPORTEXT = 0x0412,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_FLOODFILL = 0x0419,
    META_FRAMEREGION = 0x0429,
    META_ANIMATEPALETTE = 0x0436,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_EXTFLOODFILL = 0x0548,
    META_RECTANGLE = 0x041B,
    META_SETPIXEL = 0x041F,
    META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D,
    META_SAVEDC = 0x001E,
    META_PIE = 0x081A,
    META_STRETCHBLT = 0x0B23,
    META_ESCAPE = 0x0626,
    META_INVERTREGION = 0x012A,
    META_PAINTREGION = 0x012B,
    META_SELECTCLIPREGION = 0x012C,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_ARC = 0x0817,
    META_CHORD = 0x0830,
    META_BITBLT = 0x0922,
    META_EXTTEXTOUT = 0x0A32,
    META_SETDIBTODEV = 0x0D33,
    META_DIBBITBLT = 0x0940,
    META_DIBSTRETCHBLT = 0x0B41,
    META_STRETCHDIB = 0x0F43,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPALETTE = 0x00F7,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_CREATEREGION = 0x06FF,
};

inline constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF", MS-EMF 2.1.14
inline constexpr uint32_t kEmfPlusId = 0x2B464D45;     // "EMF+" comments, MS-EMF 2.3.3.1
inline constexpr size_t kEmfMinHeaderSize = 88;        // ENHMETAHEADER without extensions
inline constexpr size_t kEmfRecordHeaderSize = 8;      // type, size

inline constexpr uint32_t kWmfPlaceableKey = 0x9AC6CDD7;  // META_PLACEABLE, MS-WMF 2.3.2.3
inline constexpr size_t kWmfPlaceableSize = 22;
inline constexpr size_t kWmfHeaderSize = 18;       // META_HEADER, MS-WMF 2.3.2.2
inline constexpr size_t kWmfRecordHeaderSize = 6;  // size in words, function
// META_ESCAPE's comment function and the "WMFC" comments that carry an EMF (MS-WMF 2.3.6.1).
inline constexpr uint16_t kWmfMfComment = 0x000F;
inline constexpr uint32_t kWmfcIdentifier = 0x43464D57;

// EMR_HEADER first and " EMF" at offset 40, in at least a whole header's bytes.
bool looksLikeEmf(std::span<const uint8_t> bytes);
// The key of META_PLACEABLE, in at least its 22 bytes.
bool looksLikePlaceableWmf(std::span<const uint8_t> bytes);
// META_HEADER at `at`: type 1 (memory) or 2 (disk), header size 9 words, version 0x0100 or
// 0x0300.
bool looksLikeMetaHeader(std::span<const uint8_t> bytes, size_t at);
// A placeable WMF (by its key) or a raw one (by its META_HEADER).
bool looksLikeWmf(std::span<const uint8_t> bytes);

// The size the file's header declares in bytes (EMF nBytes; WMF mtSize, in words, after the
// placeable header when there is one), when the header is there.
std::optional<uint64_t> declaredEmfSize(std::span<const uint8_t> bytes);
std::optional<uint64_t> declaredWmfSize(std::span<const uint8_t> bytes);

// Whether bytes handed over whole (a clipboard offer) are an EMF: looksLikeEmf, and a declared
// size (nBytes) no larger than the data.
bool hasEmfSignature(const QByteArray& bytes);
// Whether they are a WMF: a META_HEADER, after a placeable header when the key is there, and
// a declared size no larger than the data (measured against all the bytes: Inkscape counts
// its placeable header in that field).
bool hasWmfSignature(const QByteArray& bytes);

}  // namespace plume::metafile
