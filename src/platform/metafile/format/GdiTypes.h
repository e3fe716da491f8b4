#pragma once

// Plain value types and the constants of GDI that the metafile readers and the GDI sinks
// share. Coordinates are logical units as the records carry them (32-bit in EMF, 16-bit in
// WMF, both widened to int32_t); colours are COLORREF values; flags keep their GDI numbers so
// that a reader can pass a record's field through unchanged.

#include <QColor>
#include <cstdint>
#include <span>

namespace plume::metafile {

struct Point {
    int32_t x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int32_t cx = 0, cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// A GDI rectangle: right and bottom are the far edges (the drawn shape excludes them for
// filled figures, as GDI does in its compatible graphics mode).
struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// COLORREF (MS-WMF 2.2.2.8): 0x00bbggrr, with 0x01 or 0x02 in the top byte for palette
// indices and palette-relative colours.
struct ColorRef {
    uint32_t value = 0;
    uint8_t red() const { return uint8_t(value & 0xff); }
    uint8_t green() const { return uint8_t((value >> 8) & 0xff); }
    uint8_t blue() const { return uint8_t((value >> 16) & 0xff); }
    uint8_t flags() const { return uint8_t(value >> 24); }
    QColor toQColor() const { return QColor(red(), green(), blue()); }
    static constexpr ColorRef rgb(uint8_t r, uint8_t g, uint8_t b) {
        return ColorRef{uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16)};
    }
    friend bool operator==(const ColorRef&, const ColorRef&) = default;
};

// XFORM (MS-EMF 2.2.28): x' = x * m11 + y * m21 + dx; y' = x * m12 + y * m22 + dy, the same
// row-vector convention as QTransform.
struct XForm {
    float m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
    friend bool operator==(const XForm&, const XForm&) = default;
};

// MapMode enumeration, MS-WMF 2.1.1.16.
enum class MapMode : uint32_t {
    Text = 1,
    LoMetric = 2,
    HiMetric = 3,
    LoEnglish = 4,
    HiEnglish = 5,
    Twips = 6,
    Isotropic = 7,
    Anisotropic = 8,
};

// ModifyWorldTransformMode, MS-EMF 2.1.24.
enum class TransformMode : uint32_t { Identity = 1, LeftMultiply = 2, RightMultiply = 3, Set = 4 };

// RegionMode, MS-EMF 2.1.29: how a new clip combines with the current one.
enum class RegionMode : uint32_t { And = 1, Or = 2, Xor = 3, Diff = 4, Copy = 5 };

enum class BkMode : uint32_t { Transparent = 1, Opaque = 2 };
enum class PolyFillMode : uint32_t { Alternate = 1, Winding = 2 };
enum class ArcDirection : uint32_t { CounterClockwise = 1, Clockwise = 2 };
enum class GraphicsMode : uint32_t { Compatible = 1, Advanced = 2 };

// Binary raster operations (SetROP2), MS-WMF 2.1.1.5.
namespace rop2 {
inline constexpr uint32_t Black = 1, NotMergePen = 2, MaskNotPen = 3, NotCopyPen = 4,
                          MaskPenNot = 5, Not = 6, XorPen = 7, NotMaskPen = 8, MaskPen = 9,
                          NotXorPen = 10, Nop = 11, MergeNotPen = 12, CopyPen = 13,
                          MergePenNot = 14, MergePen = 15, White = 16;
}

// Ternary raster operations, MS-WMF 2.1.1.31 (the full 32-bit values).
namespace rop3 {
inline constexpr uint32_t SrcCopy = 0x00CC0020, SrcPaint = 0x00EE0086, SrcAnd = 0x008800C6,
                          SrcInvert = 0x00660046, SrcErase = 0x00440328, NotSrcCopy = 0x00330008,
                          NotSrcErase = 0x001100A6, MergeCopy = 0x00C000CA, MergePaint = 0x00BB0226,
                          PatCopy = 0x00F00021, PatPaint = 0x00FB0A09, PatInvert = 0x005A0049,
                          DstInvert = 0x00550009, Blackness = 0x00000042, Whiteness = 0x00FF0062;
// Whether the operation reads the source bitmap (its index byte differs when S is flipped).
constexpr bool usesSource(uint32_t rop) {
    const uint32_t code = (rop >> 16) & 0xff;
    return ((code >> 2) & 0x33) != (code & 0x33);
}
}  // namespace rop3

// Pen styles (PenStyle, MS-WMF 2.1.1.23): the low nibble is the dash style, then end cap,
// join and type bits.
namespace penStyle {
inline constexpr uint32_t Solid = 0, Dash = 1, Dot = 2, DashDot = 3, DashDotDot = 4, Null = 5,
                          InsideFrame = 6, UserStyle = 7, Alternate = 8, StyleMask = 0x0f;
inline constexpr uint32_t EndCapRound = 0x000, EndCapSquare = 0x100, EndCapFlat = 0x200,
                          EndCapMask = 0xf00;
inline constexpr uint32_t JoinRound = 0x0000, JoinBevel = 0x1000, JoinMiter = 0x2000,
                          JoinMask = 0xf000;
inline constexpr uint32_t Cosmetic = 0x00000, Geometric = 0x10000, TypeMask = 0xf0000;
}  // namespace penStyle

// Brush styles (BrushStyle, MS-WMF 2.1.1.4) and hatch styles (HatchStyle, 2.1.1.12).
namespace brushStyle {
inline constexpr uint32_t Solid = 0, Null = 1, Hatched = 2, Pattern = 3, DibPattern = 5,
                          DibPatternPt = 6;
}
namespace hatchStyle {
inline constexpr uint32_t Horizontal = 0, Vertical = 1, FDiagonal = 2, BDiagonal = 3, Cross = 4,
                          DiagCross = 5;
}

// Text alignment flags (TextAlignmentMode, MS-WMF 2.1.2.3).
namespace textAlign {
inline constexpr uint32_t NoUpdateCp = 0, UpdateCp = 1, Left = 0, Right = 2, Center = 6,
                          HorizontalMask = 6, Top = 0, Bottom = 8, Baseline = 24, VerticalMask = 24,
                          RtlReading = 256;
}

// ExtTextOut options (ExtTextOutOptions, MS-EMF 2.1.11).
namespace textOut {
inline constexpr uint32_t Opaque = 0x0002, Clipped = 0x0004, GlyphIndex = 0x0010,
                          RtlReading = 0x0080, NoRect = 0x0100, SmallChars = 0x0200, Pdy = 0x2000;
}

// Stock objects (StockObject, MS-EMF 2.1.31): an object index with the top bit set.
namespace stockObject {
inline constexpr uint32_t Flag = 0x80000000;
inline constexpr uint32_t WhiteBrush = Flag | 0, LtGrayBrush = Flag | 1, GrayBrush = Flag | 2,
                          DkGrayBrush = Flag | 3, BlackBrush = Flag | 4, NullBrush = Flag | 5,
                          WhitePen = Flag | 6, BlackPen = Flag | 7, NullPen = Flag | 8,
                          OemFixedFont = Flag | 10, AnsiFixedFont = Flag | 11,
                          AnsiVarFont = Flag | 12, SystemFont = Flag | 13,
                          DeviceDefaultFont = Flag | 14, DefaultPalette = Flag | 15,
                          SystemFixedFont = Flag | 16, DefaultGuiFont = Flag | 17,
                          DcBrush = Flag | 18, DcPen = Flag | 19;
}  // namespace stockObject

// Point types of PolyDraw (MS-EMF 2.1.26).
namespace pointType {
inline constexpr uint8_t CloseFigure = 0x01, LineTo = 0x02, BezierTo = 0x04, MoveTo = 0x06;
}

// The colour-usage field of the DIB records: DIB_RGB_COLORS (0) or DIB_PAL_COLORS (1),
// passed through as the record holds it (see DibColorUsage in Dib.h).
inline constexpr uint32_t kDibRgbColors = 0, kDibPalColors = 1;

// Deepest SaveDC nesting a device context keeps; saves beyond it are ignored (and restores to
// them fail). Readers, the EMF writer and the player follow the same levels.
inline constexpr int kMaxSavedDcDepth = 1024;

// The reference device's pixels per millimetre along one axis: from its micrometres when the
// header carries them (exact where millimetres are rounded), else its millimetres, else 96 DPI.
inline double devicePixelsPerMm(int32_t pixels, int32_t millimeters, int32_t micrometers) {
    if (pixels > 0 && micrometers > 0) return double(pixels) * 1000.0 / micrometers;
    if (pixels > 0 && millimeters > 0) return double(pixels) / millimeters;
    return 96 / 25.4;
}

// The drawn bounds of a picture with no usable frame, in device pixels: the bounds rectangle
// is inclusive, so its size is one more than the difference of its edges. Either size may come
// out zero or negative, which the callers test.
struct BoundsExtent {
    double left, top, width, height;
};
inline BoundsExtent inclusiveBounds(const Rect& bounds) {
    return {double(bounds.left), double(bounds.top),
            double(int64_t(bounds.right) - bounds.left) + 1,
            double(int64_t(bounds.bottom) - bounds.top) + 1};
}

}  // namespace plume::metafile
