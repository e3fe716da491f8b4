#include "platform/metafile/format/EmfPlusReader.h"

#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/DecodedImageCache.h"
#include "platform/metafile/format/Document.h"
#include "platform/metafile/format/MetafileFormat.h"
#include "platform/metafile/format/PathBoolean.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace plume::metafile::emfplus {

namespace {

// Record flags (MS-EMFPLUS 2.3): the brush is a colour, coordinates are 16-bit integers or
// relative, DrawLines closes the figure / FillClosedCurve fills by winding, a transform is
// appended.
constexpr uint16_t kColorBrush = 0x8000;
constexpr uint16_t kCompressed = 0x4000;
constexpr uint16_t kRelative = 0x0800;
constexpr uint16_t kCloseOrWinding = 0x2000;
constexpr uint16_t kAppend = 0x2000;
constexpr uint16_t kContinued = 0x8000;
constexpr uint32_t kGraphicsSignature = 0xDBC01;  // the top 20 bits of every version field

bool finite(float v) { return std::isfinite(v); }

QRectF rectF(BoundedReader& in) {
    const float x = in.f32(), y = in.f32(), w = in.f32(), h = in.f32();
    if (!finite(x) || !finite(y) || !finite(w) || !finite(h)) {
        in.skip(in.remaining() + 1);  // fails the reader
        return {};
    }
    return QRectF(x, y, w, h);
}

QTransform matrix(BoundedReader& in) {
    float m[6];
    for (float& v : m) v = in.f32();
    for (float v : m)
        if (!finite(v)) {
            in.skip(in.remaining() + 1);
            return {};
        }
    return QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
}

// EmfPlusRect (16-bit) or EmfPlusRectF, as the record's flags say.
bool readRects(BoundedReader& in, uint32_t count, bool compressed, std::vector<QRectF>& out) {
    if (uint64_t(count) * (compressed ? 8 : 16) > in.remaining()) return false;
    out.resize(count);
    for (QRectF& r : out) {
        if (compressed) {
            const int16_t x = in.i16(), y = in.i16(), w = in.i16(), h = in.i16();
            r = QRectF(x, y, w, h);
        } else {
            r = rectF(in);
        }
    }
    return in.ok();
}

// A relative coordinate (EmfPlusInteger7 or EmfPlusInteger15, 2.2.2.21/22).
int relativeValue(BoundedReader& in) {
    const uint8_t first = in.u8();
    if (!(first & 0x80)) return (first & 0x40) ? int(first) - 0x80 : int(first);
    const int value = ((first & 0x7F) << 8) | in.u8();
    return (value & 0x4000) ? value - 0x8000 : value;
}

// Points as floats, 16-bit integers or relative to the point before (the first to 0,0).
bool readPoints(BoundedReader& in, uint32_t count, uint16_t flags, std::vector<QPointF>& out) {
    const bool relative = flags & kRelative;
    const bool compressed = !relative && (flags & kCompressed);
    const uint64_t least = relative ? 2 : compressed ? 4 : 8;
    if (uint64_t(count) * least > in.remaining()) return false;
    out.resize(count);
    QPointF last;
    for (QPointF& p : out) {
        if (relative) {
            const int dx = relativeValue(in);
            last += QPointF(dx, relativeValue(in));
            p = last;
        } else if (compressed) {
            const int16_t x = in.i16();
            p = QPointF(x, in.i16());
        } else {
            const float x = in.f32(), y = in.f32();
            if (!finite(x) || !finite(y)) return false;
            p = QPointF(x, y);
        }
    }
    return in.ok();
}

BrushRef brushRef(BoundedReader& in, uint16_t flags) {
    return BrushRef{bool(flags & kColorBrush), in.u32()};
}

bool plausibleVersion(uint32_t version) { return (version >> 12) == kGraphicsSignature; }

// Blend positions with their colours or factors: a count, the positions, the values.
template <typename Value, typename ReadValue>
bool readBlend(BoundedReader& in, std::vector<std::pair<float, Value>>& out, ReadValue read) {
    const uint32_t count = in.u32();
    if (!in.ok() || uint64_t(count) * 8 > in.remaining()) return false;
    out.resize(count);
    for (auto& entry : out) entry.first = in.f32();
    for (auto& entry : out) entry.second = read();
    return in.ok();
}

std::optional<Image> readImage(BoundedReader& in);
std::optional<Path> readPath(BoundedReader& in);

// Path gradient data (2.2.2.29): the boundary a path (flag 0x01) or a polygon's points, then
// the optional transform, blend and focus scales.
bool readPathGradient(BoundedReader& in, Brush& brush) {
    const uint32_t flags = in.u32();
    brush.wrapMode = in.i32();
    brush.color = in.u32();
    const float cx = in.f32(), cy = in.f32();
    const uint32_t colors = in.u32();
    if (!in.ok() || !finite(cx) || !finite(cy) || uint64_t(colors) * 4 > in.remaining())
        return false;
    brush.center = QPointF(cx, cy);
    brush.surroundingColors.resize(colors);
    for (uint32_t& c : brush.surroundingColors) c = in.u32();
    if (flags & 0x01) {
        const uint32_t size = in.u32();
        const auto bytes = in.bytes(size);
        BoundedReader pathIn(bytes);
        auto path = in.ok() ? readPath(pathIn) : std::nullopt;
        if (!path) return false;
        brush.boundary = pathOutline(*path);
    } else {
        const uint32_t count = in.u32();
        std::vector<QPointF> points;
        if (!in.ok() || !readPoints(in, count, 0, points)) return false;
        brush.boundary.addPolygon(QPolygonF(QList<QPointF>(points.begin(), points.end())));
        brush.boundary.closeSubpath();
    }
    if (flags & 0x02) brush.transform = matrix(in);
    if (flags & 0x04) {
        if (!readBlend(in, brush.presetColors, [&] { return in.u32(); })) return false;
    } else if ((flags & 0x08) && !readBlend(in, brush.blendFactors, [&] { return in.f32(); })) {
        return false;
    }
    if (flags & 0x40) {
        in.u32();  // count, always 2
        brush.focusX = in.f32();
        brush.focusY = in.f32();
        if (!finite(brush.focusX) || !finite(brush.focusY)) return false;
    }
    return in.ok();
}

std::optional<Brush> readBrush(BoundedReader& in) {
    Brush brush;
    in.u32();  // version
    const uint32_t type = in.u32();
    if (!in.ok() || type > uint32_t(Brush::Type::LinearGradient)) return std::nullopt;
    brush.type = Brush::Type(type);
    switch (brush.type) {
        case Brush::Type::Solid:
            brush.color = in.u32();
            break;
        case Brush::Type::Hatch:
            brush.hatchStyle = in.u32();
            brush.color = in.u32();
            brush.backColor = in.u32();
            break;
        case Brush::Type::LinearGradient: {
            const uint32_t flags = in.u32();
            brush.wrapMode = in.i32();
            brush.rect = rectF(in);
            brush.color = in.u32();
            brush.endColor = in.u32();
            in.skip(8);  // reserved
            if (flags & 0x02) brush.transform = matrix(in);
            if (flags & 0x04) {
                if (!readBlend(in, brush.presetColors, [&] { return in.u32(); }))
                    return std::nullopt;
            } else {
                if ((flags & 0x08) && !readBlend(in, brush.blendFactors, [&] { return in.f32(); }))
                    return std::nullopt;
                brush.verticalBlend = flags & 0x10;
            }
            break;
        }
        case Brush::Type::Texture: {
            const uint32_t flags = in.u32();
            brush.wrapMode = in.i32();
            if (flags & 0x02) brush.transform = matrix(in);
            if (!in.ok()) return std::nullopt;
            if (auto image = readImage(in)) brush.texture = image->bitmap;
            break;
        }
        case Brush::Type::PathGradient:
            if (!readPathGradient(in, brush)) return std::nullopt;
            break;
    }
    if (!in.ok()) return std::nullopt;
    return brush;
}

// A custom line cap object (2.2.1.2): a default cap (2.2.2.12) or an arrow (2.2.2.11).
std::optional<CustomCap> readCustomCap(BoundedReader& in) {
    CustomCap cap;
    in.u32();  // version
    const uint32_t type = in.u32();
    if (!in.ok() || type > 1) return std::nullopt;
    cap.arrow = type == 1;
    if (cap.arrow) {
        cap.arrowWidth = in.f32();
        cap.arrowHeight = in.f32();
        cap.middleInset = in.f32();
        cap.arrowFilled = in.u32() != 0;
        in.skip(16);  // the caps and join of its outline, miter limit
        cap.widthScale = in.f32();
        in.skip(16);  // hot spots, unused by GDI+
        if (!finite(cap.arrowWidth) || !finite(cap.arrowHeight) || !finite(cap.middleInset))
            return std::nullopt;
        // A filled arrow covers the line up to its base; the line stops there.
        if (cap.arrowFilled) cap.baseInset = cap.arrowHeight;
    } else {
        const uint32_t flags = in.u32();
        in.u32();  // base cap
        cap.baseInset = in.f32();
        in.skip(16);  // the caps and join of its line path, miter limit
        cap.widthScale = in.f32();
        in.skip(16);  // hot spots
        const auto path = [&](QPainterPath& out) {
            const uint32_t size = in.u32();
            const auto bytes = in.bytes(size);
            BoundedReader pathIn(bytes);
            auto read = in.ok() ? readPath(pathIn) : std::nullopt;
            if (read) out = pathOutline(*read);
            return read.has_value();
        };
        if ((flags & 0x01) && !path(cap.fillPath)) return std::nullopt;
        if ((flags & 0x02) && !path(cap.linePath)) return std::nullopt;
        if (!finite(cap.baseInset)) return std::nullopt;
    }
    if (!in.ok() || !finite(cap.widthScale)) return std::nullopt;
    return cap;
}

// Optional pen fields (2.2.2.30), each present when its flag is set, in this order.
bool readPenFields(BoundedReader& in, uint32_t flags, Pen& pen) {
    if (flags & 0x0001) pen.transform = matrix(in);
    if (flags & 0x0002) pen.startCap = in.i32();
    if (flags & 0x0004) pen.endCap = in.i32();
    if (flags & 0x0008) pen.join = in.u32();
    if (flags & 0x0010) pen.miterLimit = in.f32();
    if (flags & 0x0020) pen.dashStyle = in.i32();
    if (flags & 0x0040) pen.dashCap = in.i32();
    if (flags & 0x0080) pen.dashOffset = in.f32();
    const auto floats = [&](std::vector<float>& out) {
        const uint32_t count = in.u32();
        if (!in.ok() || uint64_t(count) * 4 > in.remaining()) return false;
        out.resize(count);
        for (float& v : out) v = in.f32();
        return in.ok();
    };
    if ((flags & 0x0100) && !floats(pen.dashes)) return false;
    if (flags & 0x0200) pen.alignment = in.i32();
    if ((flags & 0x0400) && !floats(pen.compound)) return false;
    const auto customCap = [&](std::optional<CustomCap>& cap) {
        const uint32_t size = in.u32();
        const auto bytes = in.bytes(size);
        BoundedReader capIn(bytes);
        cap = in.ok() ? readCustomCap(capIn) : std::nullopt;
        return cap.has_value();
    };
    if ((flags & 0x0800) && !customCap(pen.customStartCap)) return false;
    if ((flags & 0x1000) && !customCap(pen.customEndCap)) return false;
    return in.ok() && finite(pen.miterLimit) && finite(pen.dashOffset);
}

std::optional<Pen> readPen(BoundedReader& in) {
    Pen pen;
    in.u32();  // version
    in.u32();  // type, always 0
    const uint32_t flags = in.u32();
    const uint32_t unit = in.u32();
    pen.width = in.f32();
    if (!in.ok() || unit > uint32_t(Unit::Millimeter) || !finite(pen.width)) return std::nullopt;
    pen.unit = Unit(unit);
    if (!readPenFields(in, flags, pen)) return std::nullopt;
    auto brush = readBrush(in);
    if (!brush) return std::nullopt;
    pen.brush = std::move(*brush);
    return pen;
}

std::optional<Path> readPath(BoundedReader& in) {
    Path path;
    in.u32();  // version
    const uint32_t count = in.u32();
    const uint32_t flags = in.u32();
    if (!in.ok() || !readPoints(in, count, uint16_t(flags), path.points)) return std::nullopt;
    if (flags & 0x1000) {
        // Run-length types (2.2.2.32): a run count (low 6 bits) and a type byte per run.
        path.types.reserve(count);
        while (path.types.size() < count) {
            const uint8_t run = in.u8() & 0x3F;
            const uint8_t type = in.u8();
            if (!in.ok() || run > count - path.types.size()) return std::nullopt;
            path.types.insert(path.types.end(), run, type);
            if (run == 0) return std::nullopt;
        }
    } else {
        const auto types = in.bytes(count);
        if (!in.ok()) return std::nullopt;
        path.types.assign(types.begin(), types.end());
    }
    return path;
}

// Region nodes (2.2.2.40): a combination of two child nodes, a rectangle, a path, empty or
// infinite. Nested at most kMaxRegionDepth deep (GDI+ nests one level per combination).
constexpr int kMaxRegionDepth = 256;

// Cells across each side of a large combination's bounds: an exact boolean of two large
// paths costs as the crossings between their outlines (minutes for two zigzags of 500 points),
// so past kMaxExactPathElements the paths are combined on a grid this fine over both of them.
constexpr int kRegionGrid = 256;

// `a op b`, exact for small paths, on the grid past the bound (and `*simplified` set).
QPainterPath combine(const QPainterPath& a, const QPainterPath& b, PathOp op, bool* simplified) {
    if (a.elementCount() + b.elementCount() <= kMaxExactPathElements)
        return combinePathsBounded(a, b, op, {}, simplified);
    const QRectF box = a.boundingRect().united(b.boundingRect());
    const auto scale = [](double side) {
        return side > 0 && std::isfinite(side) ? kRegionGrid / side : 1.0;
    };
    QTransform toGrid;
    toGrid.scale(scale(box.width()), scale(box.height()));
    toGrid.translate(-box.left(), -box.top());
    const QPainterPath out = combinePathsBounded(toGrid.map(a), toGrid.map(b), op,
                                                 QRect(0, 0, kRegionGrid, kRegionGrid), simplified);
    return toGrid.inverted().map(out);
}

// The combinations on regions that may lie outside a path: no finite rectangle stands for
// "everything", whatever the transforms the region is later drawn under.
Region inverse(Region r) {
    r.outside = !r.outside;
    return r;
}

Region both(const Region& a, const Region& b) {
    Region out{{}, false, a.simplified || b.simplified};
    const auto minus = [&](const QPainterPath& x, const QPainterPath& y) {
        return x.isEmpty() || y.isEmpty() ? x : combine(x, y, PathOp::Subtract, &out.simplified);
    };
    if (a.outside && b.outside) {
        out.path = combine(a.path, b.path, PathOp::Unite, &out.simplified);
        out.outside = true;
    } else if (a.outside) {
        out.path = minus(b.path, a.path);
    } else if (b.outside) {
        out.path = minus(a.path, b.path);
    } else {
        out.path = combine(a.path, b.path, PathOp::Intersect, &out.simplified);
    }
    return out;
}

Region combineRegions(uint32_t type, const Region& a, const Region& b) {
    switch (type) {
        case 1:  // and
            return both(a, b);
        case 2:  // or
            return inverse(both(inverse(a), inverse(b)));
        case 3: {  // xor
            Region out{{}, a.outside != b.outside, a.simplified || b.simplified};
            out.path = combine(a.path, b.path, PathOp::Xor, &out.simplified);
            return out;
        }
        case 4:  // exclude: the first without the second
            return both(a, inverse(b));
        default:  // complement: the second without the first
            return both(b, inverse(a));
    }
}

std::optional<Region> readRegionNode(BoundedReader& in, int depth) {
    const uint32_t type = in.u32();
    if (!in.ok() || depth > kMaxRegionDepth) return std::nullopt;
    Region out;
    switch (type) {
        case 0x10000000: {  // rectangle
            const QRectF r = rectF(in);
            out.path.addRect(r.normalized());
            break;
        }
        case 0x10000001: {  // path, after its length
            const uint32_t length = in.u32();
            const auto bytes = in.bytes(length);
            BoundedReader pathIn(bytes);
            auto path = in.ok() ? readPath(pathIn) : std::nullopt;
            if (!path) return std::nullopt;
            out.path = pathOutline(*path);
            break;
        }
        case 0x10000002:  // empty
            break;
        case 0x10000003:  // infinite: outside an empty path
            out.outside = true;
            break;
        case 1: case 2: case 3: case 4: case 5: {
            auto left = readRegionNode(in, depth + 1);
            if (!left) return std::nullopt;
            auto right = readRegionNode(in, depth + 1);
            if (!right) return std::nullopt;
            out = combineRegions(type, *left, *right);
            break;
        }
        default:
            return std::nullopt;
    }
    if (!in.ok()) return std::nullopt;
    return out;
}

// A bitmap's pixels as they lie in the record (2.2.2.2, top row first), in the pixel formats
// that have a QImage twin; other formats leave the image null.
QImage pixelBitmap(std::span<const uint8_t> pixels, int width, int height, int stride,
                   uint32_t format) {
    QImage::Format qt = QImage::Format_Invalid;
    int bytesPerPixel = 4;
    switch (format) {
        case 0x0026200A: qt = QImage::Format_ARGB32; break;
        case 0x000E200B: qt = QImage::Format_ARGB32_Premultiplied; break;
        case 0x00022009: qt = QImage::Format_RGB32; break;
        case 0x00021808: qt = QImage::Format_BGR888; bytesPerPixel = 3; break;
        case 0x00021005: qt = QImage::Format_RGB555; bytesPerPixel = 2; break;
        case 0x00021006: qt = QImage::Format_RGB16; bytesPerPixel = 2; break;
        default: return {};
    }
    if (stride < int64_t(width) * bytesPerPixel || int64_t(stride) * height > int64_t(pixels.size()))
        return {};
    QImage image(width, height, qt);
    if (image.isNull()) return {};
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), pixels.data() + size_t(y) * size_t(stride),
                    size_t(width) * size_t(bytesPerPixel));
    return image;
}

// A compressed bitmap (PNG, JPEG, GIF, BMP...), refused before decoding when it is larger
// than the raster limits.
QImage decodeCompressedBitmap(std::span<const uint8_t> data) {
    QBuffer buffer;
    buffer.setData(QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()),
                                           qsizetype(data.size())));
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxRasterSide || size.height() > kMaxRasterSide ||
        qint64{size.width()} * size.height() > kMaxRasterPixels)
        return {};
    return reader.read();
}

QImage compressedBitmap(std::span<const uint8_t> data) {
    return decodedImage(data, [data] { return decodeCompressedBitmap(data); });
}

std::optional<Image> readImage(BoundedReader& in) {
    in.u32();  // version
    const uint32_t type = in.u32();
    Image image;
    if (type == 1) {  // bitmap
        const int32_t width = in.i32(), height = in.i32(), stride = in.i32();
        const uint32_t format = in.u32();
        const uint32_t kind = in.u32();
        const auto data = in.rest();
        if (!in.ok()) return std::nullopt;
        // A compressed bitmap's size is its codec's (writers leave these fields zero).
        if (kind == 1) {
            image.bitmap = compressedBitmap(data);
        } else {
            if (width <= 0 || height <= 0 || width > kMaxRasterSide || height > kMaxRasterSide ||
                qint64{width} * height > kMaxRasterPixels)
                return std::nullopt;
            image.bitmap = pixelBitmap(data, width, height, stride, format);
        }
    } else if (type == 2) {  // metafile: its type, its size, its bytes
        const uint32_t metafileType = in.u32();
        const uint32_t size = in.u32();
        const auto data = in.bytes(size);
        if (!in.ok()) return std::nullopt;
        image.metafile = QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(size));
        // A placeable WMF is written with its 22-byte header padded to 24 (two zero bytes
        // before the WMF header, which starts with type 1 or 2 and header size 9); the
        // padding is dropped so that the WMF reader finds its header.
        const auto at = [&](qsizetype i) { return uint8_t(image.metafile[i]); };
        if (metafileType == 2 && image.metafile.size() >= 24 + 18 && at(22) == 0 &&
            at(23) == 0 && (at(24) == 1 || at(24) == 2) && at(25) == 0 && at(26) == 9 &&
            at(27) == 0)
            image.metafile.remove(22, 2);
    } else if (!in.ok()) {
        return std::nullopt;
    }
    return image;
}

// UTF-16 text of `chars` characters, checked against the bytes left.
std::optional<QString> utf16(BoundedReader& in, uint32_t chars) {
    const auto bytes = in.bytes(size_t(chars) * 2);
    if (!in.ok()) return std::nullopt;
    QString text(qsizetype(chars), Qt::Uninitialized);
    for (uint32_t i = 0; i < chars; ++i)
        text[i] = QChar(uint16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    return text;
}

std::optional<Font> readFont(BoundedReader& in) {
    Font font;
    in.u32();  // version
    font.emSize = in.f32();
    const uint32_t unit = in.u32();
    font.style = in.i32();
    in.u32();  // reserved
    const uint32_t length = in.u32();
    auto family = utf16(in, length);
    if (!family || unit > uint32_t(Unit::Millimeter) || !finite(font.emSize)) return std::nullopt;
    font.unit = Unit(unit);
    font.family = *family;
    return font;
}

std::optional<StringFormat> readStringFormat(BoundedReader& in) {
    StringFormat format;
    in.u32();  // version
    format.flags = in.u32();
    in.u32();  // language
    format.alignment = in.u32();
    format.lineAlignment = in.u32();
    if (!in.ok()) return std::nullopt;
    // The fields after them, which a few writers leave out.
    if (in.remaining() < 40) return format;
    in.skip(8);  // digit substitution and its language
    format.firstTabOffset = in.f32();
    format.hotkeyPrefix = in.i32();
    in.skip(12);  // leading and trailing margins, tracking
    format.trimming = in.u32();
    const uint32_t tabs = in.u32();
    in.u32();  // character ranges, which follow the tab stops
    if (!finite(format.firstTabOffset)) format.firstTabOffset = 0;
    if (tabs <= 1024 && uint64_t(tabs) * 4 <= in.remaining()) {
        format.tabStops.resize(tabs);
        for (float& t : format.tabStops) t = in.f32();
        const auto& stops = format.tabStops;
        if (!std::all_of(stops.begin(), stops.end(), [](float t) { return finite(t); }))
            format.tabStops.clear();
    }
    return format;
}

std::optional<Region> readRegion(BoundedReader& in) {
    in.u32();  // version
    in.u32();  // node count (the tree says it again)
    return readRegionNode(in, 0);
}

}  // namespace

QPainterPath pathOutline(const Path& path) {
    QPainterPath out;
    out.setFillRule(Qt::OddEvenFill);
    const size_t n = std::min(path.points.size(), path.types.size());
    for (size_t i = 0; i < n; ++i) {
        const uint8_t kind = path.types[i] & 0x07;
        if (kind == 0 || out.elementCount() == 0) {
            out.moveTo(path.points[i]);
        } else if (kind == 3 && i + 2 < n && (path.types[i + 1] & 0x07) == 3 &&
                   (path.types[i + 2] & 0x07) == 3) {
            out.cubicTo(path.points[i], path.points[i + 1], path.points[i + 2]);
            i += 2;
        } else {
            out.lineTo(path.points[i]);
        }
        if (path.types[i] & 0x80) out.closeSubpath();
    }
    return out;
}

uint32_t readU32Le(std::span<const uint8_t> bytes, size_t at) {
    return BoundedReader(bytes).u32At(at);
}

std::span<const uint8_t> emfPlusPayload(std::span<const uint8_t> emrComment) {
    BoundedReader in(emrComment);
    in.skip(kEmfRecordHeaderSize);
    const uint32_t cb = in.u32();
    auto data = in.bytes(cb);
    if (!in.ok() || data.size() < 4 || BoundedReader(data).u32() != kEmfPlusId) return {};
    return data.subspan(4);
}

std::optional<ObjectData> decodeObjectData(ObjectType type, std::span<const uint8_t> data) {
    BoundedReader in(data);
    switch (type) {
        case ObjectType::Brush:
            if (auto brush = readBrush(in)) return ObjectData(std::move(*brush));
            return std::nullopt;
        case ObjectType::Pen:
            if (auto pen = readPen(in)) return ObjectData(std::move(*pen));
            return std::nullopt;
        case ObjectType::Path:
            if (auto path = readPath(in)) return ObjectData(std::move(*path));
            return std::nullopt;
        case ObjectType::Region:
            if (auto region = readRegion(in)) return ObjectData(std::move(*region));
            return std::nullopt;
        case ObjectType::Image:
            if (auto image = readImage(in)) {
                image->metafileReadable =
                    !image->metafile.isEmpty() &&
                    std::holds_alternative<DocumentPtr>(parseMetafile(image->metafile));
                return ObjectData(std::move(*image));
            }
            return std::nullopt;
        case ObjectType::Font:
            if (auto font = readFont(in)) return ObjectData(std::move(*font));
            return std::nullopt;
        case ObjectType::StringFormat:
            if (auto format = readStringFormat(in)) return ObjectData(*format);
            return std::nullopt;
        case ObjectType::ImageAttributes: {
            ImageAttributes attributes;
            in.skip(8);  // version, reserved
            attributes.wrapMode = in.u32();
            attributes.clampColor = in.u32();
            attributes.objectClamp = in.i32();
            if (!in.ok()) return std::nullopt;
            return ObjectData(attributes);
        }
        case ObjectType::Invalid:
            return std::nullopt;
        default:
            if (uint8_t(type) > uint8_t(ObjectType::CustomLineCap)) return std::nullopt;
            return ObjectData();  // known by its type only
    }
}

std::optional<Record> Reader::decodeObject(const RawRecord& raw) {
    const uint8_t id = raw.flags & 0xFF;
    const uint8_t type = (raw.flags >> 8) & 0x7F;
    const auto finish = [&](std::span<const uint8_t> body) -> std::optional<Record> {
        if (id >= kObjectTableSize) return std::nullopt;
        auto data = decodeObjectData(ObjectType(type), body);
        if (!data) return std::nullopt;
        return ObjectRecord{id, ObjectType(type), std::move(*data)};
    };
    const bool samePending = m_partsId == id && m_partsType == type;
    if (!(raw.flags & kContinued)) {
        if (!samePending) {
            m_partsId = -1;
            return finish(raw.data);
        }
        // A last part written without the continuation flag.
        m_parts.insert(m_parts.end(), raw.data.begin(), raw.data.end());
    } else {
        BoundedReader in(raw.data);
        const uint32_t total = in.u32();
        if (!in.ok() || total > kMaxObjectBytes) {
            m_partsId = -1;
            return std::nullopt;
        }
        if (!samePending || total != m_partsTotal) {
            m_parts.clear();
            m_partsId = id;
            m_partsType = type;
            m_partsTotal = total;
        }
        const auto part = raw.data.subspan(4);
        if (part.size() > m_partsTotal - m_parts.size()) {  // more than the total: damaged
            m_partsId = -1;
            m_parts.clear();
            return std::nullopt;
        }
        m_parts.insert(m_parts.end(), part.begin(), part.end());
        if (m_parts.size() < m_partsTotal) return PendingObject{};
    }
    m_partsId = -1;
    std::vector<uint8_t> whole;
    whole.swap(m_parts);
    return finish(whole);
}

// A record read to its end, or nothing when a read ran past the record's bytes.
static std::optional<Record> whole(const BoundedReader& in, Record record) {
    if (!in.ok()) return std::nullopt;
    return record;
}

std::optional<Record> Reader::decode(const RawRecord& raw) {
    BoundedReader in(raw.data);
    const uint16_t f = raw.flags;
    const auto type = RecordType(raw.type);
    const auto done = [&](Record record) { return whole(in, std::move(record)); };
    // Any record other than an object's next part ends an object left unfinished.
    if (type != RecordType::Object) m_partsId = -1;
    switch (type) {
        case RecordType::Header: {
            HeaderRecord h;
            h.version = in.u32();
            h.dual = f & 0x0001;
            h.videoDisplay = in.u32() & 0x0001;
            h.dpiX = in.u32();
            h.dpiY = in.u32();
            if (!plausibleVersion(h.version) && in.ok()) h.version = 0;
            return done(h);
        }
        case RecordType::EndOfFile:
            return EndOfFileRecord{};
        case RecordType::GetDc:
            return GetDcRecord{};
        case RecordType::Comment:
        case RecordType::MultiFormatStart:
        case RecordType::MultiFormatSection:
        case RecordType::MultiFormatEnd:
        case RecordType::SetTsGraphics:
        case RecordType::SetTsClip:
            return IgnoredRecord{raw.type};
        case RecordType::SerializableObject:
            return imageEffectRecord(raw.data);
        case RecordType::Object:
            return decodeObject(raw);
        case RecordType::Clear:
            return done(ClearRecord{in.u32()});
        case RecordType::FillRects: {
            FillRectsRecord r;
            r.brush = brushRef(in, f);
            const uint32_t count = in.u32();
            if (!in.ok() || !readRects(in, count, f & kCompressed, r.rects)) return std::nullopt;
            return done(std::move(r));
        }
        case RecordType::DrawRects: {
            DrawRectsRecord r;
            r.pen = f & 0xFF;
            const uint32_t count = in.u32();
            if (!in.ok() || !readRects(in, count, f & kCompressed, r.rects)) return std::nullopt;
            return done(std::move(r));
        }
        case RecordType::FillEllipse:
        case RecordType::DrawEllipse:
        case RecordType::FillPie:
        case RecordType::DrawPie:
        case RecordType::DrawArc: {
            EllipseRecord r;
            r.fill = type == RecordType::FillEllipse || type == RecordType::FillPie;
            r.kind = (type == RecordType::FillEllipse || type == RecordType::DrawEllipse)
                         ? EllipseRecord::Kind::Ellipse
                     : type == RecordType::DrawArc ? EllipseRecord::Kind::Arc
                                                   : EllipseRecord::Kind::Pie;
            if (r.fill) r.brush = brushRef(in, f);
            else r.pen = f & 0xFF;
            if (r.kind != EllipseRecord::Kind::Ellipse) {
                r.startAngle = in.f32();
                r.sweepAngle = in.f32();
                if (!finite(r.startAngle) || !finite(r.sweepAngle)) return std::nullopt;
            }
            std::vector<QRectF> rect;
            if (!readRects(in, 1, f & kCompressed, rect)) return std::nullopt;
            r.rect = rect[0];
            return done(r);
        }
        case RecordType::FillPolygon:
        case RecordType::DrawLines:
        case RecordType::DrawBeziers:
        case RecordType::FillClosedCurve:
        case RecordType::DrawClosedCurve:
        case RecordType::DrawCurve: {
            PolyRecord r;
            r.fill = type == RecordType::FillPolygon || type == RecordType::FillClosedCurve;
            using K = PolyRecord::Kind;
            r.kind = type == RecordType::FillPolygon  ? K::Polygon
                     : type == RecordType::DrawLines   ? K::Lines
                     : type == RecordType::DrawBeziers ? K::Beziers
                     : type == RecordType::DrawCurve   ? K::Curve
                                                       : K::ClosedCurve;
            if (r.fill) r.brush = brushRef(in, f);
            else r.pen = f & 0xFF;
            r.closed = type == RecordType::DrawLines && (f & kCloseOrWinding);
            r.winding = type == RecordType::FillClosedCurve && (f & kCloseOrWinding);
            if (r.kind == K::ClosedCurve || r.kind == K::Curve) r.tension = in.f32();
            if (r.kind == K::Curve) {
                r.offset = in.u32();
                r.segments = in.u32();
            }
            const uint32_t count = in.u32();
            // DrawCurve has no relative points.
            const uint16_t pointFlags = r.kind == K::Curve ? uint16_t(f & ~kRelative) : f;
            if (!in.ok() || !finite(r.tension) || !readPoints(in, count, pointFlags, r.points))
                return std::nullopt;
            return done(std::move(r));
        }
        case RecordType::FillPath:
        case RecordType::FillRegion:
            return done(PathDrawRecord{type == RecordType::FillRegion, true, uint8_t(f & 0xFF),
                                       brushRef(in, f), 0});
        case RecordType::DrawPath: {
            const uint32_t pen = in.u32();
            if (in.ok() && pen >= kObjectTableSize) return std::nullopt;
            return done(PathDrawRecord{false, false, uint8_t(f & 0xFF), {}, uint8_t(pen)});
        }
        default:
            return decodeImagesAndText(raw, in);
    }
}

// The records that draw images and text.
std::optional<Record> Reader::decodeImagesAndText(const RawRecord& raw, BoundedReader& in) {
    const uint16_t f = raw.flags;
    const auto type = RecordType(raw.type);
    const auto done = [&](Record record) { return whole(in, std::move(record)); };
    switch (type) {
        case RecordType::DrawImage:
        case RecordType::DrawImagePoints: {
            ImageDrawRecord r;
            r.image = f & 0xFF;
            r.points = type == RecordType::DrawImagePoints;
            r.effect = r.points && (f & 0x2000);
            r.attributes = in.u32();
            r.srcUnit = in.i32();
            r.src = rectF(in);
            if (r.points) {
                const uint32_t count = in.u32();
                std::vector<QPointF> corners;
                if (!in.ok() || count != 3 || !readPoints(in, count, f, corners))
                    return std::nullopt;
                std::copy(corners.begin(), corners.end(), r.corners.begin());
            } else {
                std::vector<QRectF> dest;
                if (!readRects(in, 1, f & kCompressed, dest)) return std::nullopt;
                r.dest = dest[0];
            }
            return done(r);
        }
        case RecordType::DrawString: {
            StringRecord r;
            r.font = f & 0xFF;
            r.brush = brushRef(in, f);
            r.format = in.u32();
            const uint32_t length = in.u32();
            r.layout = rectF(in);
            auto text = in.ok() ? utf16(in, length) : std::nullopt;
            if (!text) return std::nullopt;
            r.text = *text;
            return r;
        }
        case RecordType::DrawDriverString: {
            DriverStringRecord r;
            r.font = f & 0xFF;
            r.brush = brushRef(in, f);
            r.options = in.u32();
            const uint32_t hasMatrix = in.u32();
            const uint32_t count = in.u32();
            if (!in.ok() || uint64_t(count) * 10 > in.remaining()) return std::nullopt;
            r.glyphs.resize(count);
            for (uint16_t& g : r.glyphs) g = in.u16();
            if (!readPoints(in, count, 0, r.positions)) return std::nullopt;
            if (hasMatrix) r.matrix = matrix(in);
            return done(std::move(r));
        }
        default:
            return decodeState(raw, in);
    }
}

// The state records: the graphics stack, world and page transforms, clipping, settings.
std::optional<Record> Reader::decodeState(const RawRecord& raw, BoundedReader& in) {
    const uint16_t f = raw.flags;
    const auto type = RecordType(raw.type);
    const auto done = [&](Record record) { return whole(in, std::move(record)); };
    switch (type) {
        case RecordType::Save:
        case RecordType::Restore:
        case RecordType::BeginContainerNoParams:
        case RecordType::EndContainer: {
            using K = StackRecord::Kind;
            const K kind = type == RecordType::Save      ? K::Save
                           : type == RecordType::Restore ? K::Restore
                           : type == RecordType::EndContainer ? K::EndContainer
                                                               : K::BeginContainer;
            return done(StackRecord{kind, in.u32()});
        }
        case RecordType::BeginContainer: {
            BeginContainerRecord r;
            r.unit = Unit(std::min<int>((f >> 8) & 0xFF, int(Unit::Millimeter) + 1));
            if (((f >> 8) & 0xFF) > uint8_t(Unit::Millimeter)) return std::nullopt;
            r.dest = rectF(in);
            r.src = rectF(in);
            r.index = in.u32();
            return done(r);
        }
        case RecordType::SetWorldTransform:
            return done(TransformRecord{TransformRecord::Kind::Set, false, matrix(in)});
        case RecordType::ResetWorldTransform:
            return TransformRecord{TransformRecord::Kind::Reset, false, {}};
        case RecordType::MultiplyWorldTransform:
            return done(
                TransformRecord{TransformRecord::Kind::Multiply, bool(f & kAppend), matrix(in)});
        case RecordType::TranslateWorldTransform:
        case RecordType::ScaleWorldTransform: {
            const float a = in.f32(), b = in.f32();
            if (!finite(a) || !finite(b)) return std::nullopt;
            const QTransform m = type == RecordType::TranslateWorldTransform
                                     ? QTransform::fromTranslate(a, b)
                                     : QTransform::fromScale(a, b);
            return done(TransformRecord{TransformRecord::Kind::Multiply, bool(f & kAppend), m});
        }
        case RecordType::RotateWorldTransform: {
            const float angle = in.f32();
            if (!finite(angle)) return std::nullopt;
            return done(TransformRecord{TransformRecord::Kind::Multiply, bool(f & kAppend),
                                        QTransform().rotate(angle)});
        }
        case RecordType::SetPageTransform: {
            const uint8_t unit = f & 0xFF;
            const float scale = in.f32();
            if (unit > uint8_t(Unit::Millimeter) || !finite(scale)) return std::nullopt;
            return done(PageTransformRecord{Unit(unit), scale});
        }
        case RecordType::ResetClip:
            return ClipRecord{};
        case RecordType::SetClipRect: {
            ClipRecord r;
            r.kind = ClipRecord::Kind::Rect;
            r.combine = uint8_t((f >> 8) & 0x0F);
            r.rect = rectF(in);
            return done(r);
        }
        case RecordType::SetClipPath:
        case RecordType::SetClipRegion: {
            ClipRecord r;
            r.kind = type == RecordType::SetClipPath ? ClipRecord::Kind::Path
                                                     : ClipRecord::Kind::Region;
            r.combine = uint8_t((f >> 8) & 0x0F);
            r.object = f & 0xFF;
            return r;
        }
        case RecordType::OffsetClip: {
            ClipRecord r;
            r.kind = ClipRecord::Kind::Offset;
            r.dx = in.f32();
            r.dy = in.f32();
            if (!finite(r.dx) || !finite(r.dy)) return std::nullopt;
            return done(r);
        }
        case RecordType::SetAntiAliasMode:
        case RecordType::SetTextRenderingHint:
        case RecordType::SetTextContrast:
        case RecordType::SetInterpolationMode:
        case RecordType::SetPixelOffsetMode:
        case RecordType::SetCompositingMode:
        case RecordType::SetCompositingQuality:
            return SettingRecord{type, int32_t(f)};
        case RecordType::SetRenderingOrigin: {
            const int32_t x = in.i32();
            return done(SettingRecord{type, x, in.i32()});
        }
        default:
            return UnsupportedRecord{raw.type};
    }
}

}  // namespace plume::metafile::emfplus
