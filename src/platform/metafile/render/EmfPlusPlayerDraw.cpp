// EmfPlusPlayer: brushes, pens, paths and the figures drawn with them.

#include "platform/metafile/render/EmfPlusPlayer.h"

#include "platform/metafile/format/EmfPlusReader.h"
#include "platform/metafile/render/EmfPlusEffects.h"
#include "platform/metafile/render/Render.h"
#include "platform/metafile/render/StrokeBounds.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace plume::metafile {

using namespace emfplus;

namespace {

// The largest tile, in pixels, made of a flipped texture and its mirror images.
constexpr qint64 kMaxFlippedTile = 16 * 1024 * 1024;

// The largest hatch style drawn: the six line hatches, the twelve percentage dithers and the
// thirty-five patterns after them.
constexpr uint32_t kLastDrawnHatch = 52;

// The 8 x 8 cells of hatch styles 18 to 52, a row a byte, bit 7 the left pixel. The line
// patterns (18 to 33) and the grids, checkerboards and diamonds follow their description in
// the format document exactly (spacing and width relative to the first six); the pictures it
// names only by their look (confetti, zigzag, wave, bricks, weave, plaid, divot, shingle,
// trellis, sphere) are Plume's own cells of that look.
constexpr uint8_t kPatternHatches[35][8] = {
    {0x88, 0x44, 0x22, 0x11, 0x88, 0x44, 0x22, 0x11},  // 18 light downward diagonal
    {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88},  // 19 light upward diagonal
    {0xCC, 0x66, 0x33, 0x99, 0xCC, 0x66, 0x33, 0x99},  // 20 dark downward diagonal
    {0x33, 0x66, 0xCC, 0x99, 0x33, 0x66, 0xCC, 0x99},  // 21 dark upward diagonal
    {0xE0, 0x70, 0x38, 0x1C, 0x0E, 0x07, 0x83, 0xC1},  // 22 wide downward diagonal
    {0x07, 0x0E, 0x1C, 0x38, 0x70, 0xE0, 0xC1, 0x83},  // 23 wide upward diagonal
    {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88},  // 24 light vertical
    {0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00},  // 25 light horizontal
    {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA},  // 26 narrow vertical
    {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00},  // 27 narrow horizontal
    {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC},  // 28 dark vertical
    {0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00},  // 29 dark horizontal
    {0x88, 0x44, 0x22, 0x11, 0x00, 0x00, 0x00, 0x00},  // 30 dashed downward diagonal
    {0x11, 0x22, 0x44, 0x88, 0x00, 0x00, 0x00, 0x00},  // 31 dashed upward diagonal
    {0xF0, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00},  // 32 dashed horizontal
    {0x80, 0x80, 0x80, 0x80, 0x08, 0x08, 0x08, 0x08},  // 33 dashed vertical
    {0x80, 0x08, 0x40, 0x02, 0x10, 0x01, 0x20, 0x04},  // 34 small confetti
    {0xC0, 0xCC, 0x0C, 0x03, 0x03, 0x30, 0x30, 0x00},  // 35 large confetti
    {0x81, 0x42, 0x24, 0x18, 0x81, 0x42, 0x24, 0x18},  // 36 zigzag
    {0x00, 0x18, 0x24, 0xC3, 0x00, 0x00, 0x00, 0x00},  // 37 wave
    {0x01, 0x02, 0x04, 0x08, 0x18, 0x24, 0x42, 0x81},  // 38 diagonal brick
    {0xFF, 0x80, 0x80, 0x80, 0xFF, 0x08, 0x08, 0x08},  // 39 horizontal brick
    {0x88, 0x54, 0x22, 0x45, 0x88, 0x14, 0x22, 0x51},  // 40 weave
    {0xAA, 0x55, 0xAA, 0x55, 0xF0, 0xF0, 0xF0, 0xF0},  // 41 plaid
    {0x00, 0x10, 0x08, 0x10, 0x00, 0x01, 0x80, 0x01},  // 42 divot
    {0xAA, 0x00, 0x80, 0x00, 0x80, 0x00, 0x80, 0x00},  // 43 dotted grid
    {0x80, 0x00, 0x22, 0x00, 0x08, 0x00, 0x22, 0x00},  // 44 dotted diamond
    {0x03, 0x84, 0x48, 0x30, 0x0C, 0x02, 0x01, 0x01},  // 45 shingle
    {0xFF, 0x66, 0xFF, 0x99, 0xFF, 0x66, 0xFF, 0x99},  // 46 trellis
    {0x77, 0x89, 0x8F, 0x8F, 0x77, 0x98, 0xF8, 0xF8},  // 47 sphere
    {0xFF, 0x88, 0x88, 0x88, 0xFF, 0x88, 0x88, 0x88},  // 48 small grid
    {0xCC, 0xCC, 0x33, 0x33, 0xCC, 0xCC, 0x33, 0x33},  // 49 small checkerboard
    {0xF0, 0xF0, 0xF0, 0xF0, 0x0F, 0x0F, 0x0F, 0x0F},  // 50 large checkerboard
    {0x41, 0x22, 0x14, 0x08, 0x14, 0x22, 0x41, 0x80},  // 51 outlined diamond
    {0x08, 0x1C, 0x3E, 0x7F, 0x3E, 0x1C, 0x08, 0x00},  // 52 solid diamond
};

QColor argb(uint32_t value) { return QColor::fromRgba(value); }

}  // namespace

// One tile of an image repeated with wrap mode 1 to 3: the image and its mirror images.
QImage wrapTile(const QImage& image, int32_t wrapMode) {
    if (wrapMode < 1 || wrapMode > 3) return image;
    const bool flipX = wrapMode != 2, flipY = wrapMode != 1;
    const int w = image.width(), h = image.height();
    QImage tile(w * (flipX ? 2 : 1), h * (flipY ? 2 : 1), QImage::Format_ARGB32_Premultiplied);
    tile.fill(Qt::transparent);
    QPainter p(&tile);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, image);
    if (flipX) p.drawImage(w, 0, image.mirrored(true, false));
    if (flipY) p.drawImage(0, h, image.mirrored(false, true));
    if (flipX && flipY) p.drawImage(w, h, image.mirrored(true, true));
    return tile;
}

namespace {

// An 8 x 8 hatch cell: bit 7 of a row is its left pixel.
std::array<uint8_t, 8> hatchRows(uint32_t style) {
    std::array<uint8_t, 8> rows{};
    if (style >= 18) {
        std::copy_n(kPatternHatches[std::min<uint32_t>(style, kLastDrawnHatch) - 18], 8,
                    rows.begin());
        return rows;
    }
    if (style >= 6) {
        // The percentage hatches (5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80 and 90 per cent),
        // as an ordered dither of that density.
        static constexpr int kPercent[] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
        static constexpr uint8_t kBayer[8][8] = {
            {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
            {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
            {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
            {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};
        const int on = kPercent[style - 6] * 64 / 100;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                if (kBayer[y][x] < on) rows[y] |= uint8_t(0x80 >> x);
        return rows;
    }
    for (int y = 0; y < 8; ++y) {
        const uint8_t forward = uint8_t(0x80 >> y), backward = uint8_t(0x01 << y);
        switch (style) {
            case 0: rows[y] = y == 0 ? 0xFF : 0; break;           // horizontal
            case 1: rows[y] = 0x80; break;                        // vertical
            case 2: rows[y] = forward; break;                     // forward diagonal
            case 3: rows[y] = backward; break;                    // backward diagonal
            case 4: rows[y] = y == 0 ? 0xFF : 0x80; break;        // cross
            default: rows[y] = forward | backward; break;         // diagonal cross
        }
    }
    return rows;
}

// Bezier control points of a cardinal spline through `p` (GDI+ curves): segment i runs from
// p[i] to p[i+1], its tangents a third of `tension` times the chord of the neighbours.
void addCurve(QPainterPath& path, const std::vector<QPointF>& p, float tension, size_t first,
              size_t segments, bool closed) {
    const size_t n = p.size();
    const auto at = [&](ptrdiff_t i) {
        if (closed) return p[size_t((i % ptrdiff_t(n) + ptrdiff_t(n)) % ptrdiff_t(n))];
        return p[size_t(std::clamp<ptrdiff_t>(i, 0, ptrdiff_t(n) - 1))];
    };
    const double k = tension / 3.0;
    path.moveTo(p[first]);
    for (size_t s = 0; s < segments; ++s) {
        const auto i = ptrdiff_t(first + s);
        const QPointF c1 = at(i) + k * (at(i + 1) - at(i - 1));
        const QPointF c2 = at(i + 1) - k * (at(i + 2) - at(i));
        path.cubicTo(c1, c2, at(i + 1));
    }
    if (closed) path.closeSubpath();
}

// GDI+ gives arc angles on the ellipse itself (the direction from its centre); Qt takes the
// parametric angle, and counter-clockwise. Both in degrees.
double parametric(double degrees, const QRectF& rect) {
    const double a = degrees * std::numbers::pi / 180;
    return std::atan2(std::sin(a) * rect.width(), std::cos(a) * rect.height()) * 180 /
           std::numbers::pi;
}

}  // namespace

bool emfPlusBrushDrawable(const Brush& brush) {
    switch (brush.type) {
        case Brush::Type::Solid:
            return true;
        case Brush::Type::Hatch:
            return brush.hatchStyle <= kLastDrawnHatch;
        case Brush::Type::LinearGradient:
            return !brush.verticalBlend;
        case Brush::Type::Texture:
            return !brush.texture.isNull() && brush.wrapMode >= 0 && brush.wrapMode <= 4 &&
                   (brush.wrapMode == 0 || brush.wrapMode == 4 ||
                    qint64(brush.texture.width()) * brush.texture.height() <= kMaxFlippedTile / 4);
        case Brush::Type::PathGradient: {
            const auto& colors = brush.surroundingColors;
            return !brush.boundary.isEmpty() &&
                   std::all_of(colors.begin(), colors.end(),
                               [&](uint32_t c) { return c == colors.front(); });
        }
        default:
            return false;
    }
}

std::optional<QBrush> EmfPlusPlayer::makeBrush(const Brush& b) const {
    switch (b.type) {
        case Brush::Type::Solid:
            return QBrush(argb(b.color));
        case Brush::Type::Hatch: {
            QImage cell(8, 8, QImage::Format_ARGB32_Premultiplied);
            const auto rows = hatchRows(std::min(b.hatchStyle, kLastDrawnHatch));
            const QRgb fore = argb(b.color).rgba(), back = argb(b.backColor).rgba();
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    cell.setPixel(x, y, qPremultiply((rows[y] & (0x80 >> x)) ? fore : back));
            // Hatches lie on output pixels, whatever the transforms, their cells from the
            // rendering origin (in output pixels, as the cells are: on a device the picture
            // is played on, GDI+ takes it in that device's pixels).
            QBrush hatch(cell);
            const QPointF origin = m_state.renderingOrigin;
            hatch.setTransform(QTransform::fromTranslate(origin.x(), origin.y()) *
                               worldToPainter().inverted());
            return hatch;
        }
        case Brush::Type::Texture: {
            if (b.texture.isNull()) return std::nullopt;
            // Tiled, and clamped (painted once: the fill is bounded by brushBounds), the image
            // repeats as it is; flipped, every other tile is its mirror image, which one tile
            // of the image and its mirrors draws.
            if (qint64(b.texture.width()) * b.texture.height() > kMaxFlippedTile / 4 &&
                b.wrapMode >= 1 && b.wrapMode <= 3)
                return std::nullopt;
            QBrush texture(wrapTile(b.texture, b.wrapMode));
            if (b.transform) texture.setTransform(*b.transform);
            return texture;
        }
        case Brush::Type::LinearGradient: {
            const QRectF r = b.rect;
            QLinearGradient g(r.left(), r.top(), r.right(), r.top());
            const QColor start = argb(b.color), end = argb(b.endColor);
            const auto mix = [&](double f) {
                f = std::clamp(f, 0.0, 1.0);
                const auto lerp = [f](int a, int z) { return int(std::lround(a + (z - a) * f)); };
                return QColor(lerp(start.red(), end.red()), lerp(start.green(), end.green()),
                              lerp(start.blue(), end.blue()), lerp(start.alpha(), end.alpha()));
            };
            QGradientStops stops;
            if (!b.presetColors.empty()) {
                for (const auto& [pos, color] : b.presetColors)
                    stops.append({std::clamp<double>(pos, 0, 1), argb(color)});
            } else if (!b.blendFactors.empty()) {
                for (const auto& [pos, factor] : b.blendFactors)
                    stops.append({std::clamp<double>(pos, 0, 1), mix(factor)});
            } else {
                stops = {{0, start}, {1, end}};
            }
            std::stable_sort(stops.begin(), stops.end(),
                             [](const auto& a, const auto& z) { return a.first < z.first; });
            g.setStops(stops);
            g.setSpread(b.wrapMode == 4   ? QGradient::PadSpread
                        : b.wrapMode & 1 ? QGradient::ReflectSpread
                                          : QGradient::RepeatSpread);
            QBrush brush(g);
            if (b.transform) brush.setTransform(*b.transform);
            return brush;
        }
        case Brush::Type::PathGradient:
            return pathGradient(b);
    }
    return std::nullopt;
}

namespace {

QColor mixColors(const QColor& from, const QColor& to, double f) {
    f = std::clamp(f, 0.0, 1.0);
    const auto lerp = [f](int a, int z) { return int(std::lround(a + (z - a) * f)); };
    return QColor(lerp(from.red(), to.red()), lerp(from.green(), to.green()),
                  lerp(from.blue(), to.blue()), lerp(from.alpha(), to.alpha()));
}

// The value at `u` of a piecewise linear function given at sorted positions.
template <typename Value, typename Mix>
Value piecewise(const std::vector<std::pair<float, Value>>& stops, double u, Mix mix) {
    if (u <= stops.front().first) return stops.front().second;
    for (size_t i = 1; i < stops.size(); ++i) {
        const auto& [p0, v0] = stops[i - 1];
        const auto& [p1, v1] = stops[i];
        if (u <= p1) return p1 > p0 ? mix(v0, v1, (u - p0) / (p1 - p0)) : v1;
    }
    return stops.back().second;
}

}  // namespace

// A path gradient is drawn as the boundary shrunk towards the centre in narrow bands, each
// filled with the colour of its distance (boundary 0, centre 1) through the blend or preset
// colours, the centre colour solid inside the focus scales. Bands follow any boundary shape
// (ellipses, polygons, paths) as GDI+'s gradient does, which a radial gradient would not;
// the bands are painted once into an image at about output resolution, used as a texture.
// Surrounding colours that differ along the boundary are averaged (canDraw keeps dual pictures
// that use several on their GDI rendition).
std::optional<QBrush> EmfPlusPlayer::pathGradient(const Brush& b) const {
    const QRectF box = b.boundary.boundingRect();
    if (b.boundary.isEmpty() || box.width() <= 0 || box.height() <= 0) return std::nullopt;
    const QTransform brushToPainter = b.transform.value_or(QTransform()) * worldToPainter();
    const QRectF out = brushToPainter.mapRect(box);
    constexpr double kMaxSide = 1024;
    const int w = int(std::clamp(std::ceil(out.width()), 1.0, kMaxSide));
    const int h = int(std::clamp(std::ceil(out.height()), 1.0, kMaxSide));
    int red = 0, green = 0, blue = 0, alpha = 0;
    for (uint32_t c : b.surroundingColors) {
        const QColor q = argb(c);
        red += q.red(), green += q.green(), blue += q.blue(), alpha += q.alpha();
    }
    const int n = std::max<int>(1, int(b.surroundingColors.size()));
    const QColor edge = b.surroundingColors.empty() ? argb(0xFFFFFFFF)
                                                    : QColor(red / n, green / n, blue / n, alpha / n);
    const QColor centre = argb(b.color);
    auto presets = b.presetColors;
    auto factors = b.blendFactors;
    std::stable_sort(presets.begin(), presets.end());
    std::stable_sort(factors.begin(), factors.end());
    const auto colorAt = [&](double u) {
        if (!presets.empty())
            return piecewise(presets, u, [](uint32_t a, uint32_t z, double f) {
                       return mixColors(argb(a), argb(z), f).rgba();
                   });
        const double f = factors.empty() ? u
                                         : piecewise(factors, u, [](float a, float z, double t) {
                                               return float(a + (z - a) * t);
                                           });
        return mixColors(edge, centre, f).rgba();
    };

    QBrush brush(gradientBands(b, w, h, colorAt));
    brush.setTransform(QTransform::fromScale(box.width() / w, box.height() / h) *
                       QTransform::fromTranslate(box.x(), box.y()) *
                       b.transform.value_or(QTransform()));
    return brush;
}

// The bands of a path gradient brush painted at w x h pixels, from the cache when this brush
// object was painted at that size before. Only the brushes of the object table are cached
// (their address names them until forgetGradientBands).
QImage EmfPlusPlayer::gradientBands(const Brush& b, int w, int h,
                                    const std::function<QRgb(double)>& colorAt) const {
    for (const GradientBands& cached : m_gradientBands)
        if (cached.brush == &b && cached.width == w && cached.height == h) return cached.image;
    const bool cacheable = std::any_of(m_objects.begin(), m_objects.end(), [&](const auto& o) {
        const auto* pen = std::get_if<Pen>(&o.data);
        return std::get_if<Brush>(&o.data) == &b || (pen && &pen->brush == &b);
    });
    const QRectF box = b.boundary.boundingRect();
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setTransform(QTransform::fromTranslate(-box.x(), -box.y()) *
                         QTransform::fromScale(w / box.width(), h / box.height()));
    const int bands = std::clamp(std::max(w, h) / 2, 8, 256);
    const QPointF c = b.center;
    for (int i = 0; i <= bands; ++i) {
        const double u = double(i) / bands;
        const double sx = 1 - u * (1 - std::clamp<double>(b.focusX, 0, 1));
        const double sy = 1 - u * (1 - std::clamp<double>(b.focusY, 0, 1));
        const QTransform shrink = QTransform::fromTranslate(-c.x(), -c.y()) *
                                  QTransform::fromScale(sx, sy) *
                                  QTransform::fromTranslate(c.x(), c.y());
        painter.setBrush(QColor::fromRgba(colorAt(i == bands ? 1.0 : u + 0.5 / bands)));
        painter.drawPath(shrink.map(b.boundary));
    }
    painter.end();
    constexpr size_t kCachedBands = 8;
    if (!cacheable) return image;
    if (m_gradientBands.size() >= kCachedBands) m_gradientBands.erase(m_gradientBands.begin());
    m_gradientBands.push_back({&b, w, h, image});
    return image;
}

// A brush or pen object leaves its slot: the bands of its brush go.
void EmfPlusPlayer::forgetGradientBands(uint8_t slot) {
    const ObjectData& data = m_objects[slot % kObjectTableSize].data;
    const Brush* brush = std::get_if<Brush>(&data);
    if (const auto* pen = std::get_if<Pen>(&data)) brush = &pen->brush;
    if (!brush) return;
    std::erase_if(m_gradientBands, [&](const GradientBands& g) { return g.brush == brush; });
}

// The boundary of a clamped path gradient brush in world units, which it paints nothing
// outside of (other wrap modes repeat the boundary's box, as the texture does); of a clamped
// texture, the image once at the origin.
std::optional<QPainterPath> EmfPlusPlayer::brushBounds(const BrushRef& ref) const {
    if (ref.isColor || ref.value >= m_objects.size()) return std::nullopt;
    const auto* b = std::get_if<Brush>(&m_objects[ref.value].data);
    if (!b || b->wrapMode != 4) return std::nullopt;
    QPainterPath area;
    if (b->type == Brush::Type::PathGradient)
        area = b->boundary;
    else if (b->type == Brush::Type::Texture)
        area.addRect(QRectF(0, 0, b->texture.width(), b->texture.height()));
    else
        return std::nullopt;
    return b->transform.value_or(QTransform()).map(area);
}

std::optional<QBrush> EmfPlusPlayer::brushOf(const BrushRef& ref) const {
    if (ref.isColor) return QBrush(argb(ref.value));
    if (ref.value >= m_objects.size()) return std::nullopt;
    const auto* brush = std::get_if<Brush>(&m_objects[ref.value].data);
    return brush ? makeBrush(*brush) : std::nullopt;
}

std::optional<QPen> EmfPlusPlayer::penOf(uint8_t id) const {
    const auto* pen = id < m_objects.size() ? std::get_if<Pen>(&m_objects[id].data) : nullptr;
    if (!pen) return std::nullopt;
    auto brush = makeBrush(pen->brush);
    if (!brush) return std::nullopt;
    // The width in world units: a pixel pen keeps its width in device pixels whatever the
    // transforms, a pen in a physical unit is converted to the page unit and then scaled by
    // the world transform with everything else.
    double width = pen->width;
    if (pen->unit == Unit::Pixel) {
        const QTransform worldToDevice = m_state.world * pageTransform();
        const double scale = std::sqrt(std::abs(worldToDevice.determinant()));
        if (scale > 1e-12) width /= scale;
    } else if (pen->unit != Unit::World) {
        width *= unitPixels(pen->unit, false) / unitPixels(m_state.pageUnit, false);
    }
    QPen qp(*brush, std::isfinite(width) ? std::max(0.0, width) : 0);
    static constexpr Qt::PenCapStyle kCaps[] = {Qt::FlatCap, Qt::SquareCap, Qt::RoundCap};
    const int32_t cap = !pen->customStartCap ? pen->startCap
                        : pen->customEndCap   ? 0
                                              : pen->endCap;
    qp.setCapStyle(cap >= 0 && cap <= 2 ? kCaps[cap] : Qt::FlatCap);
    // GDI+'s miter join turns into a bevel past the limit (SVG's rule); the clipped miter
    // is cut at the limit (Qt's own miter).
    static constexpr Qt::PenJoinStyle kJoins[] = {Qt::SvgMiterJoin, Qt::BevelJoin, Qt::RoundJoin,
                                                  Qt::MiterJoin};
    qp.setJoinStyle(pen->join <= 3 ? kJoins[pen->join] : Qt::SvgMiterJoin);
    if (std::isfinite(pen->miterLimit) && pen->miterLimit >= 1)
        qp.setMiterLimit(std::min(pen->miterLimit, 1000.0f));
    if (pen->dashStyle >= 1 && pen->dashStyle <= 5) {
        // Dash lengths in pen widths (2.1.1.8); the dash cap ends every dash.
        static const QList<qreal> kDashes[] = {
            {3, 1}, {1, 1}, {3, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
        QList<qreal> dashes;
        if (pen->dashStyle == 5) {
            for (float d : pen->dashes)
                dashes.append(std::isfinite(d) && d > 0.01f ? std::min(d, 1e4f) : 0.01);
            if (dashes.size() % 2) dashes.append(dashes.back());
        } else {
            dashes = kDashes[pen->dashStyle - 1];
        }
        if (!dashes.isEmpty()) {
            qp.setDashPattern(dashes);
            qp.setDashOffset(std::isfinite(pen->dashOffset) ? pen->dashOffset : 0);
        }
        qp.setCapStyle(pen->dashCap == 2 ? Qt::RoundCap : Qt::FlatCap);
    }
    return qp;
}

const Path* EmfPlusPlayer::pathOf(uint8_t id) const {
    return id < m_objects.size() ? std::get_if<Path>(&m_objects[id].data) : nullptr;
}

bool EmfPlusPlayer::fill(const QPainterPath& path, const BrushRef& ref) {
    auto brush = brushOf(ref);
    if (!brush) return false;
    applyPainterState();
    m_painter.setTransform(worldToPainter());
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(*brush);
    if (const auto bounds = brushBounds(ref))
        m_painter.drawPath(path.intersected(*bounds));
    else
        m_painter.drawPath(path);
    return true;
}

bool EmfPlusPlayer::stroke(const QPainterPath& path, uint8_t id) {
    const auto pen = penOf(id);
    if (!pen) return false;
    applyPainterState();
    m_painter.setTransform(worldToPainter());
    m_painter.setBrush(Qt::NoBrush);
    const auto& object = std::get<Pen>(m_objects[id].data);
    // Dashes past the bounds: Qt's own dashes instead of shaped ones, or a solid line.
    QPen qpen = *pen;
    bool shaped = needsShaping(object);
    const double dashes = dashCount(path, qpen, m_painter.deviceTransform());
    if (dashes > kMaxDashesPerStroke) qpen = solidForDashes(qpen);
    if (dashes > kMaxDashesPerStroke || (shaped && dashes > kMaxShapedDashes)) {
        shaped = false;
        ++m_simplified;
    }
    m_painter.setPen(qpen);
    if (shaped)
        strokeShaped(path, object, qpen);
    else
        m_painter.drawPath(path);
    return true;
}

// Clear fills the picture inside the clip with the colour, replacing what is there. A colour
// that is not opaque is laid over it instead: the picture is seen on the caller's background
// (an opaque raster, mostly), where replacing would show the colour against black, and the
// usual transparent Clear at the start would blacken the picture.
bool EmfPlusPlayer::playClear(uint32_t color) {
    applyPainterState();
    m_painter.setTransform(QTransform());
    if (qAlpha(color) == 255) m_painter.setCompositionMode(QPainter::CompositionMode_Source);
    m_painter.fillRect(m_target, argb(color));
    m_painterDirty = true;  // the compositing mode goes back
    return true;
}

bool EmfPlusPlayer::playRects(const std::vector<QRectF>& rects, bool isFill, const BrushRef& brush,
                              uint8_t pen) {
    QPainterPath path;
    for (const QRectF& r : rects) path.addRect(r);
    return isFill ? fill(path, brush) : stroke(path, pen);
}

bool EmfPlusPlayer::playEllipse(const EllipseRecord& r) {
    QPainterPath path;
    const QRectF rect = r.rect.normalized();
    if (r.kind == EllipseRecord::Kind::Ellipse) {
        path.addEllipse(rect);
    } else {
        // The sweep keeps its direction and turns (a full turn or more is the whole ellipse).
        const double start = parametric(r.startAngle, rect);
        double sweep = 360;
        if (std::abs(r.sweepAngle) < 360) {
            sweep = parametric(double(r.startAngle) + r.sweepAngle, rect) - start;
            while (sweep - r.sweepAngle > 180) sweep -= 360;
            while (r.sweepAngle - sweep > 180) sweep += 360;
        } else if (r.sweepAngle < 0) {
            sweep = -360;
        }
        if (r.kind == EllipseRecord::Kind::Pie) {
            path.moveTo(rect.center());
            path.arcTo(rect, -start, -sweep);
            path.closeSubpath();
        } else {
            path.arcMoveTo(rect, -start);
            path.arcTo(rect, -start, -sweep);
        }
    }
    return r.fill ? fill(path, r.brush) : stroke(path, r.pen);
}

bool EmfPlusPlayer::playPoly(const PolyRecord& r) {
    const auto& p = r.points;
    QPainterPath path;
    path.setFillRule(r.winding ? Qt::WindingFill : Qt::OddEvenFill);
    using K = PolyRecord::Kind;
    switch (r.kind) {
        case K::Polygon:
        case K::Lines:
            if (p.empty()) return true;
            path.moveTo(p[0]);
            for (size_t i = 1; i < p.size(); ++i) path.lineTo(p[i]);
            if (r.kind == K::Polygon || r.closed) path.closeSubpath();
            break;
        case K::Beziers:
            if (p.empty()) return true;
            path.moveTo(p[0]);
            for (size_t i = 1; i + 2 < p.size(); i += 3) path.cubicTo(p[i], p[i + 1], p[i + 2]);
            break;
        case K::ClosedCurve:
            if (p.size() < 2) return true;
            addCurve(path, p, r.tension, 0, p.size(), true);
            break;
        case K::Curve: {
            if (p.size() < 2 || r.offset >= p.size() - 1) return true;
            const size_t segments = std::min<size_t>(r.segments, p.size() - 1 - r.offset);
            addCurve(path, p, r.tension, r.offset, segments, false);
            break;
        }
    }
    return r.fill ? fill(path, r.brush) : stroke(path, r.pen);
}

bool EmfPlusPlayer::playPathDraw(const PathDrawRecord& r) {
    if (r.region) {
        const auto* region = std::get_if<Region>(&m_objects[r.path % kObjectTableSize].data);
        if (!region) return false;
        m_simplified += region->simplified;
        if (!region->outside) return fill(region->path, r.brush);
        QPainterPath all;  // the whole picture without the region's path
        all.addRect(m_target);
        const QTransform toWorld = worldToPainter().inverted();
        return fill(region->path.isEmpty() ? toWorld.map(all)
                                           : toWorld.map(all).subtracted(region->path),
                    r.brush);
    }
    const Path* path = pathOf(r.path);
    if (!path) return false;
    const QPainterPath figure = pathOutline(*path);
    return r.fill ? fill(figure, r.brush) : stroke(figure, r.pen);
}

}  // namespace plume::metafile
