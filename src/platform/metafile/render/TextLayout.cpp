#include "platform/metafile/render/TextLayout.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace plume::metafile {

namespace {

QTransform linearPart(const QTransform& t) {
    return QTransform(t.m11(), t.m12(), t.m21(), t.m22(), 0, 0);
}

double length(QPointF v) {
    return std::hypot(v.x(), v.y());
}

double sign(double v) {
    return v < 0 ? -1.0 : 1.0;
}

// Big-endian reads at offsets into an OpenType table, nothing past its end.
class FontTable {
  public:
    explicit FontTable(const QByteArray& bytes) : m_bytes(bytes) {}
    std::optional<uint32_t> u16(size_t at) const { return read(at, 2); }
    std::optional<uint32_t> u32(size_t at) const { return read(at, 4); }

  private:
    std::optional<uint32_t> read(size_t at, size_t n) const {
        if (at > size_t(m_bytes.size()) || n > size_t(m_bytes.size()) - at) return std::nullopt;
        uint32_t v = 0;
        for (size_t i = 0; i < n; ++i) v = v << 8 | uint8_t(m_bytes[qsizetype(at + i)]);
        return v;
    }
    const QByteArray& m_bytes;
};

// A damaged table could name billions of glyphs in overlapping ranges: the entries read are
// counted, and a real font needs a few thousand.
constexpr int kMaxEntries = 1 << 20;

// The glyphs of the coverage table at `at` with their coverage indices, to `visit`.
template <typename Visit>
void forCoverage(const FontTable& t, size_t at, int& budget, Visit visit) {
    const auto format = t.u16(at), count = t.u16(at + 2);
    if (!format || !count) return;
    for (uint32_t i = 0; i < *count && budget > 0; ++i) {
        if (*format == 1) {
            const auto glyph = t.u16(at + 4 + 2 * size_t(i));
            if (!glyph) return;
            --budget;
            visit(*glyph, i);
        } else if (*format == 2) {
            const size_t range = at + 4 + 6 * size_t(i);
            const auto first = t.u16(range), last = t.u16(range + 2), index = t.u16(range + 4);
            if (!first || !last || !index) return;
            for (uint32_t g = *first; g <= *last && budget > 0; ++g, --budget)
                visit(g, *index + (g - *first));
        } else {
            return;
        }
    }
}

// The single substitution subtable at `at` into `map` (earlier lookups keep their entries).
void addSingleSubstitutions(const FontTable& t, size_t at, int& budget,
                            QHash<quint32, quint32>& map) {
    const auto format = t.u16(at), coverage = t.u16(at + 2), third = t.u16(at + 4);
    if (!format || !coverage || !third || (*format != 1 && *format != 2)) return;
    forCoverage(t, at + *coverage, budget, [&](uint32_t glyph, uint32_t index) {
        std::optional<uint32_t> to;
        if (*format == 1)
            to = (glyph + *third) & 0xFFFF;  // a delta, modulo 65536
        else if (index < *third)
            to = t.u16(at + 6 + 2 * size_t(index));
        if (to && !map.contains(glyph)) map.insert(glyph, *to);
    });
}

// The lookup indices of the features tagged `tag`.
std::vector<uint32_t> featureLookups(const FontTable& t, size_t featureList, uint32_t tag) {
    std::vector<uint32_t> lookups;
    const auto count = t.u16(featureList);
    for (uint32_t i = 0; count && i < *count; ++i) {
        const size_t record = featureList + 2 + 6 * size_t(i);
        const auto recordTag = t.u32(record), offset = t.u16(record + 4);
        if (!recordTag || !offset) break;
        if (*recordTag != tag) continue;
        const size_t feature = featureList + *offset;
        const auto n = t.u16(feature + 2);
        for (uint32_t k = 0; n && k < *n; ++k)
            if (const auto index = t.u16(feature + 4 + 2 * size_t(k))) lookups.push_back(*index);
    }
    return lookups;
}

}  // namespace

QHash<quint32, quint32> verticalSubstitutions(const QByteArray& gsub) {
    QHash<quint32, quint32> map;
    const FontTable t(gsub);
    const auto featureList = t.u16(6), lookupList = t.u16(8);
    if (!featureList || !lookupList) return map;
    std::vector<uint32_t> lookups = featureLookups(t, *featureList, 0x76727432);  // 'vrt2'
    if (lookups.empty()) lookups = featureLookups(t, *featureList, 0x76657274);   // 'vert'
    const auto lookupCount = t.u16(*lookupList);
    int budget = kMaxEntries;
    for (const uint32_t index : lookups) {
        if (!lookupCount || index >= *lookupCount || budget <= 0) break;
        const auto offset = t.u16(*lookupList + 2 + 2 * size_t(index));
        if (!offset) break;
        const size_t lookup = *lookupList + *offset;
        const auto type = t.u16(lookup), subtables = t.u16(lookup + 4);
        if (!type || !subtables || (*type != 1 && *type != 7)) continue;
        for (uint32_t k = 0; k < *subtables; ++k) {
            const auto at = t.u16(lookup + 6 + 2 * size_t(k));
            if (!at) break;
            size_t subtable = lookup + *at;
            if (*type == 7) {  // an extension: the real subtable at a 32-bit offset
                const auto extType = t.u16(subtable + 2), extOffset = t.u32(subtable + 4);
                if (!extType || !extOffset || *extType != 1) continue;
                subtable += *extOffset;
            }
            addSingleSubstitutions(t, subtable, budget, map);
        }
    }
    return map;
}

bool isVerticalFace(const QString& face) {
    return face.startsWith(QLatin1Char('@'));
}

bool standsUprightInVerticalLine(char32_t c) {
    // Full-width and wide characters (East Asian Width W and F) and the symbols of the CJK
    // code pages that are full-width there: arrows, geometric shapes, signs.
    const auto in = [c](char32_t first, char32_t last) { return c >= first && c <= last; };
    // Lines and waves drawn across the line stand along a vertical one: they lie.
    if (c == 0x30FC || c == 0xFF5E || c == 0x301C || c == 0xFF0D || c == 0xFF70) return false;
    return in(0x1100, 0x115F) || in(0x2190, 0x21FF) || in(0x2200, 0x22FF) || in(0x2460, 0x24FF) ||
           in(0x25A0, 0x27BF) || in(0x2E80, 0x303E) || in(0x3041, 0x33FF) || in(0x3400, 0x4DBF) ||
           in(0x4E00, 0x9FFF) || in(0xA000, 0xA4CF) || in(0xAC00, 0xD7A3) || in(0xF900, 0xFAFF) ||
           in(0xFE10, 0xFE19) || in(0xFE30, 0xFE4F) || in(0xFF01, 0xFF60) || in(0xFFE0, 0xFFE6) ||
           in(0x20000, 0x3FFFD) || c == 0x203B || c == 0x00A7 || c == 0x00B6 || c == 0x00D7 ||
           c == 0x00F7;
}

char32_t verticalForm(char32_t c) {
    switch (c) {
        case 0x3001:
            return 0xFE11;  // 、
        case 0x3002:
            return 0xFE12;  // 。
        case 0xFF0C:
            return 0xFE10;  // ，
        case 0xFF1A:
            return 0xFE13;  // ：
        case 0xFF1B:
            return 0xFE14;  // ；
        case 0xFF01:
            return 0xFE15;  // ！
        case 0xFF1F:
            return 0xFE16;  // ？
        case 0x2026:
            return 0xFE19;  // …
        case 0x2025:
            return 0xFE30;  // ‥
        case 0x2014:
            return 0xFE31;  // —
        case 0x2015:
            return 0xFE31;  // ―
        case 0x2013:
            return 0xFE32;  // –
        case 0xFF3F:
            return 0xFE33;  // ＿
        case 0xFF08:
            return 0xFE35;  // （
        case 0xFF09:
            return 0xFE36;  // ）
        case 0xFF5B:
            return 0xFE37;  // ｛
        case 0xFF5D:
            return 0xFE38;  // ｝
        case 0x3014:
            return 0xFE39;  // 〔
        case 0x3015:
            return 0xFE3A;  // 〕
        case 0x3010:
            return 0xFE3B;  // 【
        case 0x3011:
            return 0xFE3C;  // 】
        case 0x300A:
            return 0xFE3D;  // 《
        case 0x300B:
            return 0xFE3E;  // 》
        case 0x3008:
            return 0xFE3F;  // 〈
        case 0x3009:
            return 0xFE40;  // 〉
        case 0x300C:
            return 0xFE41;  // 「
        case 0x300D:
            return 0xFE42;  // 」
        case 0x300E:
            return 0xFE43;  // 『
        case 0x300F:
            return 0xFE44;  // 』
        case 0xFF3B:
            return 0xFE47;  // ［
        case 0xFF3D:
            return 0xFE48;  // ］
        default:
            return c;
    }
}

QTransform uprightInCell(QPointF origin, double advance, double width, double ascent,
                         double descent) {
    const QPointF cell(origin.x() + advance / 2, origin.y() + (descent - ascent) / 2);
    const QPointF own(width / 2, (descent - ascent) / 2);
    return QTransform::fromTranslate(-own.x(), -own.y()) * QTransform().rotate(-90) *
           QTransform::fromTranslate(cell.x(), cell.y());
}

QTransform turnedTextSpace(double tenthsOfDegree) {
    const double radians = tenthsOfDegree * std::numbers::pi / 1800;
    double c = std::cos(radians), s = std::sin(radians);
    // Quarter turns exactly, so that upright and vertical text stays on whole pixels.
    if (std::abs(c) < 1e-12) c = 0;
    if (std::abs(s) < 1e-12) s = 0;
    // Qt maps (x, y) to (m11 x + m21 y, m12 x + m22 y): x turns to (c, -s), y to (s, c).
    return QTransform(c, -s, s, c, 0, 0);
}

TextFrames textFrames(const QTransform& toDevice, const QTransform& deviceToOutput,
                      const LogFont& font, GraphicsMode mode) {
    TextFrames f;
    const QTransform world = linearPart(toDevice);
    const QTransform full = linearPart(toDevice * deviceToOutput);
    const double scaleX = length(full.map(QPointF(1, 0)));
    const double scaleY = length(full.map(QPointF(0, 1)));
    if (!(scaleX > 0 && scaleY > 0) || !std::isfinite(scaleX) || !std::isfinite(scaleY)) return f;

    QTransform alignment = turnedTextSpace(font.escapement);
    if (mode == GraphicsMode::Advanced) {
        // Everything follows the transform; the glyphs turn by their own orientation.
        f.baseline = turnedTextSpace(font.escapement) * full;
        const QTransform glyphLogical = turnedTextSpace(font.orientation) * full;
        const double s = length(glyphLogical.map(QPointF(0, 1)));
        if (!(s > 0) || !std::isfinite(s)) return f;
        f.glyph = QTransform::fromScale(1 / s, 1 / s) * glyphLogical;
        f.fontScaleX = f.fontScaleY = s;
        f.unitsPerFontPixel = 1 / s;
    } else if (!full.isRotating()) {
        // GM_COMPATIBLE: a mirroring mapping turns the escapement the other way, the offsets
        // along the text are laid out unmirrored, and the glyphs stand upright.
        const bool mirrored = world.m11() * world.m22() < 0;
        const double escapement = mirrored ? -font.escapement : font.escapement;
        const QTransform unmirror = QTransform::fromScale(sign(world.m11()), sign(world.m22()));
        const QTransform output = linearPart(deviceToOutput);
        f.baseline = turnedTextSpace(escapement) * world * unmirror * output;
        f.glyph = alignment = turnedTextSpace(escapement);
        f.fontScaleX = std::abs(full.m11());
        f.fontScaleY = std::abs(full.m22());
        f.unitsPerFontPixel = 1 / f.fontScaleX;
    } else {
        // GM_COMPATIBLE under a turning transform (a writer that records text in this mode
        // after setting one): the text turns with the x axis and stays readable.
        const QPointF xAxis = full.map(QPointF(1, 0));
        double angle = std::atan2(xAxis.y(), xAxis.x()) * 180 / std::numbers::pi;
        if (full.determinant() < 0 && xAxis.x() < 0) angle += 180;
        f.glyph = turnedTextSpace(font.escapement) * QTransform().rotate(angle);
        f.baseline = QTransform::fromScale(scaleX, scaleY) * f.glyph;
        alignment = f.glyph;
        f.fontScaleX = scaleX;
        f.fontScaleY = scaleY;
        f.unitsPerFontPixel = 1 / scaleX;
    }
    bool invertible = false;
    const QTransform glyphInverse = f.glyph.inverted(&invertible);
    if (!invertible) return f;
    f.baselineToGlyph = f.baseline * glyphInverse;
    f.alignmentToGlyph = alignment * glyphInverse;
    const QPointF unit = f.baselineToGlyph.map(QPointF(f.unitsPerFontPixel, 0));
    f.natural = std::abs(unit.x() - 1) < 1e-6 && std::abs(unit.y()) < 1e-6;
    f.valid = true;
    return f;
}

bool glyphsNeedOutlines(const QTransform& t, double pixels) {
    // How much flatter than wide (or the other way) a glyph may come out of the cache.
    constexpr double kMaxSqueeze = 64;
    // The least and the most the transform stretches in any direction (the singular values of
    // its linear part): (most + least)² = sum + 2·det and (most − least)² = sum − 2·det.
    const double sum =
        t.m11() * t.m11() + t.m12() * t.m12() + t.m21() * t.m21() + t.m22() * t.m22();
    const double det = std::abs(t.m11() * t.m22() - t.m12() * t.m21());
    const double plus = std::sqrt(sum + 2 * det);
    const double minus = std::sqrt(std::max(sum - 2 * det, 0.0));
    const double least = (plus - minus) / 2, most = (plus + minus) / 2;
    return !(most * pixels < 2048) || !(least * kMaxSqueeze >= most);
}

}  // namespace plume::metafile
