#pragma once

// The EMF+ records (MS-EMFPLUS) as typed values: what EmfPlusReader makes of the records
// inside "EMF+" comments, and what the EMF+ player draws. Coordinates are world units as
// floats; colours are ARGB values (0xAARRGGBB).

#include <QByteArray>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <array>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace plume::metafile::emfplus {

// The record types (MS-EMFPLUS 2.1.1.1).
enum class RecordType : uint16_t {
    Header = 0x4001,
    EndOfFile = 0x4002,
    Comment = 0x4003,
    GetDc = 0x4004,
    MultiFormatStart = 0x4005,
    MultiFormatSection = 0x4006,
    MultiFormatEnd = 0x4007,
    Object = 0x4008,
    Clear = 0x4009,
    FillRects = 0x400A,
    DrawRects = 0x400B,
    FillPolygon = 0x400C,
    DrawLines = 0x400D,
    FillEllipse = 0x400E,
    DrawEllipse = 0x400F,
    FillPie = 0x4010,
    DrawPie = 0x4011,
    DrawArc = 0x4012,
    FillRegion = 0x4013,
    FillPath = 0x4014,
    DrawPath = 0x4015,
    FillClosedCurve = 0x4016,
    DrawClosedCurve = 0x4017,
    DrawCurve = 0x4018,
    DrawBeziers = 0x4019,
    DrawImage = 0x401A,
    DrawImagePoints = 0x401B,
    DrawString = 0x401C,
    SetRenderingOrigin = 0x401D,
    SetAntiAliasMode = 0x401E,
    SetTextRenderingHint = 0x401F,
    SetTextContrast = 0x4020,
    SetInterpolationMode = 0x4021,
    SetPixelOffsetMode = 0x4022,
    SetCompositingMode = 0x4023,
    SetCompositingQuality = 0x4024,
    Save = 0x4025,
    Restore = 0x4026,
    BeginContainer = 0x4027,
    BeginContainerNoParams = 0x4028,
    EndContainer = 0x4029,
    SetWorldTransform = 0x402A,
    ResetWorldTransform = 0x402B,
    MultiplyWorldTransform = 0x402C,
    TranslateWorldTransform = 0x402D,
    ScaleWorldTransform = 0x402E,
    RotateWorldTransform = 0x402F,
    SetPageTransform = 0x4030,
    ResetClip = 0x4031,
    SetClipRect = 0x4032,
    SetClipPath = 0x4033,
    SetClipRegion = 0x4034,
    OffsetClip = 0x4035,
    DrawDriverString = 0x4036,
    StrokeFillPath = 0x4037,
    SerializableObject = 0x4038,
    SetTsGraphics = 0x4039,
    SetTsClip = 0x403A,
};

// Object types (MS-EMFPLUS 2.1.1.22).
enum class ObjectType : uint8_t {
    Invalid = 0,
    Brush = 1,
    Pen = 2,
    Path = 3,
    Region = 4,
    Image = 5,
    Font = 6,
    StringFormat = 7,
    ImageAttributes = 8,
    CustomLineCap = 9,
};

// Units (MS-EMFPLUS 2.1.1.33).
enum class Unit : uint8_t { World, Display, Pixel, Point, Inch, Document, Millimeter };

// The object table holds 64 objects (ids 0..63).
inline constexpr int kObjectTableSize = 64;

// An object that arrives in continuation records is assembled up to this size; a larger one
// is dropped. Generous (embedded images of real files reach a few megabytes), and the parts
// are appended as they come, so memory never runs ahead of the bytes really read.
inline constexpr uint32_t kMaxObjectBytes = 64u * 1024 * 1024;

// Brush object (2.2.1.1). Only the fields of its type are meaningful.
struct Brush {
    enum class Type : uint32_t { Solid, Hatch, Texture, PathGradient, LinearGradient };
    Type type = Type::Solid;
    uint32_t color = 0xFF000000;  // solid colour; hatch fore colour
    uint32_t backColor = 0;       // hatch background
    uint32_t hatchStyle = 0;
    // Linear gradient (2.2.2.24): from startColor on the rectangle's left edge to endColor on
    // its right, through the brush transform.
    QRectF rect;
    uint32_t endColor = 0;
    int32_t wrapMode = 0;  // 0 tile, 1 flip x, 2 flip y, 3 flip both, 4 clamp
    std::optional<QTransform> transform;
    std::vector<std::pair<float, uint32_t>> presetColors;  // position, colour
    std::vector<std::pair<float, float>> blendFactors;     // position, factor (horizontal)
    bool verticalBlend = false;  // factors along y, which a linear gradient does not show
    // Path gradient (2.2.2.29): from the surrounding colours on the boundary to `color` at
    // the centre; blends and presets run from the boundary (0) to the centre (1). Inside the
    // focus scales (fractions of the boundary about the centre) the centre colour is solid.
    QPointF center;
    std::vector<uint32_t> surroundingColors;
    QPainterPath boundary;
    float focusX = 0, focusY = 0;
    // Texture (2.2.2.45): a bitmap repeated in world units (null when not a bitmap Plume
    // reads), through the brush transform; wrapMode as for gradients.
    QImage texture;
};

// A custom line cap (2.2.1.2) in pen widths times `widthScale`, its y axis along the line
// towards the end it caps, the line's end at the origin: a default cap's fill and line paths,
// or an adjustable arrow (tip at the origin, `arrowWidth` across and `arrowHeight` back, its
// base notched by `middleInset`). The line stops `baseInset` short of its end.
struct CustomCap {
    bool arrow = false;
    QPainterPath fillPath, linePath;
    float baseInset = 0, widthScale = 1;
    float arrowWidth = 0, arrowHeight = 0, middleInset = 0;
    bool arrowFilled = true;
};

// Pen object (2.2.1.7), its optional fields present as its flags say.
struct Pen {
    Unit unit = Unit::World;
    float width = 1;
    std::optional<QTransform> transform;
    int32_t startCap = 0, endCap = 0;  // 0 flat, 1 square, 2 round, 3 triangle, 0x1x anchors
    uint32_t join = 0;                 // 0 miter, 1 bevel, 2 round, 3 miter clipped
    float miterLimit = 10;
    int32_t dashStyle = 0;  // 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 custom
    int32_t dashCap = 0;    // 0 flat, 2 round, 3 triangle
    float dashOffset = 0;
    std::vector<float> dashes;  // custom dash lengths, in pen widths
    int32_t alignment = 0;      // 0 centre, 1 inset
    std::vector<float> compound;
    std::optional<CustomCap> customStartCap, customEndCap;
    Brush brush;
};

// Path object (2.2.1.6): points and their types (2.2.2.31: low 3 bits 0 start, 1 line,
// 3 Bezier; 0x80 closes the figure).
struct Path {
    std::vector<QPointF> points;
    std::vector<uint8_t> types;
};

// Region object (2.2.1.8): its tree of nodes combined into one outline, in world units: the
// inside of `path`, or with `outside` everything outside it (an infinite region is outside an
// empty path). A finite stand-in for "everything" would be wrong under some world transform.
struct Region {
    QPainterPath path;
    bool outside = false;
    bool simplified = false;  // a combination too large to be exact was done on a grid
};

// Image object (2.2.1.4): a bitmap, decoded (null when its pixel format or codec is not one
// Plume reads), or the bytes of a metafile, drawn with Plume's own engine (`metafileReadable`
// when they read as one).
struct Image {
    QImage bitmap;
    QByteArray metafile;
    bool metafileReadable = false;
};

// Font object (2.2.1.5): the em size in its unit, style flags (1 bold, 2 italic,
// 4 underline, 8 strike-out) and the family name.
struct Font {
    float emSize = 0;
    Unit unit = Unit::World;
    int32_t style = 0;
    QString family;
};

// String format object (2.2.1.9), the fields the player uses: flags (0x0001 right to left,
// 0x0002 vertical, 0x0800 trailing spaces measured, 0x1000 no wrap, 0x2000 whole lines only,
// 0x4000 no clip), the alignment along the line and of the lines (0 near, 1 centre, 2 far),
// the hotkey prefix (0 none, 1 shown underlined, 2 hidden), trimming (0 none, 1 character,
// 2 word, 3 ellipsis after a character, 4 after a word, 5 in the middle of a path) and the
// tab stops (each from the one before it, the first from `firstTabOffset`). Character ranges
// (for measuring) and digit substitution have no drawing meaning.
struct StringFormat {
    uint32_t flags = 0;
    uint32_t alignment = 0;
    uint32_t lineAlignment = 0;
    int32_t hotkeyPrefix = 0;
    uint32_t trimming = 0;
    float firstTabOffset = 0;
    std::vector<float> tabStops;
};

// Image attributes object (2.2.1.5): how DrawImage fills a source rectangle beyond its bitmap:
// wrap mode as for brushes (0 tile, 1-3 flipped, 4 clamp to `clampColor`).
struct ImageAttributes {
    uint32_t wrapMode = 4;
    uint32_t clampColor = 0;
    int32_t objectClamp = 0;  // 0 the rectangle, 1 the bitmap
};

// The object kinds the player keeps; any other type is known by its type alone.
using ObjectData = std::variant<std::monostate, Brush, Pen, Path, Region, Image, Font,
                                StringFormat, ImageAttributes>;

// A brush given by a record: a colour, or an object id.
struct BrushRef {
    bool isColor = false;
    uint32_t value = 0;
};

struct HeaderRecord {
    uint32_t version = 0;
    bool dual = false;  // GDI records draw the same picture for readers without EMF+
    bool videoDisplay = false;
    uint32_t dpiX = 96, dpiY = 96;
};
struct EndOfFileRecord {};
struct GetDcRecord {};
// The image effects a serializable object names (MS-EMFPLUS 2.1.3.1), for the DrawImagePoints
// that follows it.
enum class ImageEffect : uint8_t {
    None,
    Blur,
    BrightnessContrast,
    ColorBalance,
    ColorCurve,
    ColorLookupTable,
    ColorMatrix,
    HueSaturationLightness,
    Levels,
    RedEyeCorrection,
    Sharpen,
    Tint,
};

// Comments and other records with no drawing meaning.
struct IgnoredRecord {
    uint16_t type = 0;
};
// An image effect (a serializable object, 2.2.3), applied to the images that DrawImagePoints
// draws with its effect flag until the next effect. Parameters as the effect defines them.
struct ImageEffectRecord {
    ImageEffect effect = ImageEffect::None;
    // The integer parameters in their order: brightness and contrast; cyan-red, magenta-green,
    // yellow-blue; curve adjustment, channel and intensity; hue, saturation and lightness;
    // highlight, midtone and shadow; tint hue and amount.
    std::array<int32_t, 3> values{};
    float radius = 0, amount = 0;  // blur (amount: 1 expands the edge) and sharpen
    std::array<float, 25> matrix{};  // colour matrix, rows: red, green, blue, alpha, offset
    std::vector<uint8_t> table;      // colour lookup table: 256 entries each of B, G, R, A
    std::vector<QRect> areas;        // red-eye areas, in image pixels
};
// Well-formed records the reader does not decode yet (text, images, regions).
struct UnsupportedRecord {
    uint16_t type = 0;
};
// A part of an object whose continuation records have not all come yet.
struct PendingObject {};

struct ObjectRecord {
    uint8_t id = 0;
    ObjectType type = ObjectType::Invalid;
    ObjectData data;
};

struct ClearRecord {
    uint32_t color = 0;
};

struct FillRectsRecord {
    BrushRef brush;
    std::vector<QRectF> rects;
};
struct DrawRectsRecord {
    uint8_t pen = 0;
    std::vector<QRectF> rects;
};

// FillEllipse, DrawEllipse, FillPie, DrawPie, DrawArc. Angles in degrees, clockwise from the
// x axis (y pointing down).
struct EllipseRecord {
    enum class Kind { Ellipse, Pie, Arc };
    Kind kind = Kind::Ellipse;
    bool fill = false;
    BrushRef brush;  // when filling
    uint8_t pen = 0;  // when drawing
    float startAngle = 0, sweepAngle = 0;
    QRectF rect;
};

// FillPolygon, DrawLines, DrawBeziers, FillClosedCurve, DrawClosedCurve, DrawCurve.
struct PolyRecord {
    enum class Kind { Polygon, Lines, Beziers, ClosedCurve, Curve };
    Kind kind = Kind::Polygon;
    bool fill = false;
    BrushRef brush;
    uint8_t pen = 0;
    std::vector<QPointF> points;
    bool closed = false;   // DrawLines: the last point joins the first
    bool winding = false;  // FillClosedCurve: non-zero fill rule
    float tension = 0.5f;
    uint32_t offset = 0, segments = 0;  // DrawCurve: the part of the curve drawn
};

// FillPath, DrawPath, and FillRegion (`path` names the region).
struct PathDrawRecord {
    bool region = false;
    bool fill = false;
    uint8_t path = 0;
    BrushRef brush;
    uint8_t pen = 0;
};

// DrawImage (into a rectangle) and DrawImagePoints (into the parallelogram of three corners:
// upper left, upper right, lower left). The source rectangle is in `srcUnit`.
struct ImageDrawRecord {
    uint8_t image = 0;
    uint32_t attributes = 0xFFFFFFFF;  // an image attributes object, if one is in that slot
    int32_t srcUnit = 2;
    QRectF src;
    bool points = false;
    // The image effect of the last serializable object applies (DrawImagePoints only).
    bool effect = false;
    QRectF dest;
    std::array<QPointF, 3> corners{};
};

// DrawString: the text laid out in the rectangle (an empty one: from its corner, unwrapped).
struct StringRecord {
    uint8_t font = 0;
    BrushRef brush;
    uint32_t format = 0;
    QRectF layout;
    QString text;
};

// DrawDriverString: glyphs (or characters, with CmapLookup) each at its own position; with
// RealizedAdvance only the first position counts and the font's advances place the rest.
struct DriverStringRecord {
    enum Options : uint32_t { CmapLookup = 1, Vertical = 2, RealizedAdvance = 4, LimitSubpixel = 8 };
    uint8_t font = 0;
    BrushRef brush;
    uint32_t options = 0;
    std::vector<uint16_t> glyphs;
    std::vector<QPointF> positions;
    std::optional<QTransform> matrix;  // applied to the glyphs, before the world transform
};

// Save, Restore, BeginContainerNoParams, EndContainer.
struct StackRecord {
    enum class Kind { Save, Restore, BeginContainer, EndContainer };
    Kind kind = Kind::Save;
    uint32_t index = 0;
};
struct BeginContainerRecord {
    Unit unit = Unit::World;
    QRectF dest, src;
    uint32_t index = 0;
};

// The world transform records, the translation, scale and rotation as their matrix.
struct TransformRecord {
    enum class Kind { Set, Reset, Multiply };
    Kind kind = Kind::Set;
    bool append = false;  // multiply after the world transform instead of before
    QTransform matrix;
};
struct PageTransformRecord {
    Unit unit = Unit::Pixel;
    float scale = 1;
};

// Combine modes (2.1.1.4): 0 replace, 1 intersect, 2 union, 3 xor, 4 exclude, 5 complement.
struct ClipRecord {
    enum class Kind { Reset, Rect, Path, Region, Offset };
    Kind kind = Kind::Reset;
    uint8_t combine = 0;
    QRectF rect;
    uint8_t object = 0;
    float dx = 0, dy = 0;
};

// The rendering settings: antialiasing, text hint and contrast, interpolation, pixel offset,
// compositing mode and quality, rendering origin.
struct SettingRecord {
    RecordType type = RecordType::SetAntiAliasMode;
    int32_t value = 0;
    int32_t value2 = 0;  // the origin's y
};

using Record = std::variant<HeaderRecord, EndOfFileRecord, GetDcRecord, IgnoredRecord,
                            UnsupportedRecord, PendingObject, ObjectRecord, ClearRecord,
                            FillRectsRecord, DrawRectsRecord, EllipseRecord, PolyRecord,
                            PathDrawRecord, ImageDrawRecord, StringRecord, DriverStringRecord, StackRecord, BeginContainerRecord, TransformRecord,
                            PageTransformRecord, ClipRecord, SettingRecord, ImageEffectRecord>;

}  // namespace plume::metafile::emfplus
