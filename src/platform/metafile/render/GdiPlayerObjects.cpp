// GdiPlayer: the object table (pens, brushes, fonts, regions, palettes), the stock objects,
// and the DC's pen and brush made into painter objects.

#include "platform/metafile/render/GdiPlayer.h"

#include "platform/metafile/render/GdiPlayerInternal.h"
#include "platform/metafile/render/Render.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace plume::metafile {

using player::kCoordLimit;
using player::stockBrushColor;
using player::stockFont;

namespace {

// GDI's 8x8 hatch patterns, one byte per row, most significant bit leftmost.
constexpr uint8_t kHatchRows[6][8] = {
    {0x00, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0x00},  // HS_HORIZONTAL
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // HS_VERTICAL
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // HS_FDIAGONAL
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // HS_BDIAGONAL
    {0x08, 0x08, 0x08, 0xff, 0x08, 0x08, 0x08, 0x08},  // HS_CROSS
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // HS_DIAGCROSS
};

}  // namespace

// The stock fonts as a reference screen defines them (cell heights in pixels).
LogFont player::stockFont(uint32_t index) {
    LogFont f;
    switch (index) {
        case stockObject::AnsiVarFont:
            f.height = 12;
            f.faceName = QStringLiteral("MS Sans Serif");
            break;
        case stockObject::DefaultGuiFont:
            f.height = -11;
            f.faceName = QStringLiteral("MS Shell Dlg");
            break;
        case stockObject::OemFixedFont:
        case stockObject::AnsiFixedFont:
        case stockObject::SystemFixedFont:
            f.height = index == stockObject::SystemFixedFont ? 15 : 12;
            f.pitchAndFamily = 0x31;  // FIXED_PITCH | FF_MODERN
            f.faceName = QStringLiteral("Courier New");
            break;
        default:  // SYSTEM_FONT, DEVICE_DEFAULT_FONT and a DC's first font
            f.height = 16;
            f.weight = 700;
            f.faceName = QStringLiteral("System");
            break;
    }
    return f;
}

// --- Objects ---

namespace {
bool validSlot(uint32_t index) {
    return index < uint32_t(kMaxObjectSlots);
}
}  // namespace

void GdiPlayer::createPen(uint32_t index, const LogPen& pen) {
    if (!validSlot(index)) return;
    PenObject p;
    p.style = pen.style & (penStyle::StyleMask);
    p.width = std::abs(double(pen.width));
    p.color = pen.color.toQColor();
    if (pen.color.flags() == 0x01) p.paletteIndex = uint16_t(pen.color.value);
    if (m_objects.size() <= index) m_objects.resize(index + 1);
    m_objects[index] = std::move(p);
}

void GdiPlayer::createExtPen(uint32_t index, const ExtLogPen& pen) {
    if (!validSlot(index)) return;
    PenObject p;
    p.style = pen.style;
    p.width = pen.width > 1e6 ? 1e6 : double(pen.width);
    p.color = pen.color.toQColor();
    if (pen.color.flags() == 0x01) p.paletteIndex = uint16_t(pen.color.value);
    p.extended = true;
    if (pen.brushStyle == brushStyle::Null)
        p.style = (p.style & ~penStyle::StyleMask) | penStyle::Null;
    for (size_t i = 0; i < pen.styleEntries.size() && i < 16; ++i)
        p.userDashes.push_back(double(std::min<uint32_t>(pen.styleEntries[i], 1'000'000)));
    if (m_objects.size() <= index) m_objects.resize(index + 1);
    m_objects[index] = std::move(p);
}

void GdiPlayer::createBrush(uint32_t index, const LogBrush& brush) {
    if (!validSlot(index)) return;
    BrushObject b;
    b.style = brush.style;
    b.color = brush.color.toQColor();
    if (brush.color.flags() == 0x01) b.paletteIndex = uint16_t(brush.color.value);
    b.hatch = brush.hatch;
    if (b.style != brushStyle::Solid && b.style != brushStyle::Null &&
        b.style != brushStyle::Hatched)
        b.style = brushStyle::Solid;  // a LOGBRUSH pattern without its bitmap: solid
    if (b.style == brushStyle::Hatched && b.hatch > hatchStyle::DiagCross)
        b.style = brushStyle::Solid;
    if (m_objects.size() <= index) m_objects.resize(index + 1);
    m_objects[index] = std::move(b);
}

void GdiPlayer::createFont(uint32_t index, const LogFont& font) {
    if (!validSlot(index)) return;
    if (m_objects.size() <= index) m_objects.resize(index + 1);
    m_objects[index] = FontObject{font};
}

void GdiPlayer::createPalette(uint32_t index, std::span<const PaletteEntry> entries) {
    if (!validSlot(index)) return;
    if (m_objects.size() <= index) m_objects.resize(index + 1);
    m_objects[index] =
        PaletteObject{std::make_shared<std::vector<PaletteEntry>>(entries.begin(), entries.end())};
}

void GdiPlayer::createRegion(uint32_t index, const RegionData& region) {
    if (!validSlot(index)) return;
    if (m_objects.size() <= index) m_objects.resize(index + 1);
    m_objects[index] = RegionObject{regionPath(region)};
}

const GdiPlayer::Object* GdiPlayer::object(uint32_t index) const {
    if (index >= m_objects.size()) return nullptr;
    const Object& o = m_objects[index];
    return std::holds_alternative<std::monostate>(o) ? nullptr : &o;
}

void GdiPlayer::selectObject(uint32_t index) {
    penOrBrushChanged();
    if (index & stockObject::Flag) {
        switch (index) {
            case stockObject::WhiteBrush:
            case stockObject::LtGrayBrush:
            case stockObject::GrayBrush:
            case stockObject::DkGrayBrush:
            case stockObject::BlackBrush:
            case stockObject::DcBrush:
                m_dc.brush = BrushObject{
                    brushStyle::Solid,
                    index == stockObject::DcBrush ? QColor(Qt::white) : stockBrushColor(index),
                    0,
                    {},
                    false,
                    {},
                    {}};
                break;
            case stockObject::NullBrush:
                m_dc.brush = BrushObject{brushStyle::Null, Qt::white, 0, {}, false, {}, {}};
                break;
            case stockObject::WhitePen:
                m_dc.pen = PenObject{penStyle::Solid, 0, Qt::white, false, {}, {}};
                break;
            case stockObject::BlackPen:
            case stockObject::DcPen:
                m_dc.pen = PenObject{penStyle::Solid, 0, Qt::black, false, {}, {}};
                break;
            case stockObject::NullPen:
                m_dc.pen = PenObject{penStyle::Null, 0, Qt::black, false, {}, {}};
                break;
            case stockObject::OemFixedFont:
            case stockObject::AnsiFixedFont:
            case stockObject::AnsiVarFont:
            case stockObject::SystemFont:
            case stockObject::DeviceDefaultFont:
            case stockObject::SystemFixedFont:
            case stockObject::DefaultGuiFont:
                m_dc.font = FontObject{stockFont(index)};
                break;
            default:
                break;
        }
        return;
    }
    // Selecting a slot that was never created (or was deleted) is ignored, as GDI fails it.
    const Object* o = object(index);
    if (!o) return;
    if (auto* pen = std::get_if<PenObject>(o)) {
        m_dc.pen = *pen;
        if (pen->paletteIndex)
            m_dc.pen.color = resolveColor(ColorRef{0x01000000u | *pen->paletteIndex});
    } else if (auto* brush = std::get_if<BrushObject>(o)) {
        m_dc.brush = brush->paletteIndex || brush->palettePattern ? resolvedBrush(*brush) : *brush;
    } else if (auto* font = std::get_if<FontObject>(o))
        m_dc.font = *font;
    else if (auto* region = std::get_if<RegionObject>(o))
        combineClip(toRegion(m_toDevice.map(region->path)), RegionMode::Copy);
}

void GdiPlayer::deleteObject(uint32_t index) {
    // The DC keeps its own copy of a selected object, so deleting it changes no drawing.
    if (index < m_objects.size()) m_objects[index] = std::monostate{};
}

// --- The DC's pen and brush ---

const QPen& GdiPlayer::currentPen() {
    if (m_currentPen) return *m_currentPen;
    m_currentPen = devicePen(m_dc.pen);
    const PenObject& p = m_dc.pen;
    bool roundable = true;
    if (p.extended) {
        const uint32_t cap = p.style & penStyle::EndCapMask;
        const uint32_t join = p.style & penStyle::JoinMask;
        roundable = cap != penStyle::EndCapSquare && cap != penStyle::EndCapFlat &&
                    join != penStyle::JoinBevel && join != penStyle::JoinMiter;
    }
    m_runs.choosePen(*m_currentPen, roundable, m_dc.rop2 != rop2::Nop && overpaintSafe(),
                     axisAligned());
    return *m_currentPen;
}

const QBrush& GdiPlayer::currentBrush() {
    if (!m_currentBrush) m_currentBrush = deviceBrush(m_dc.brush);
    return *m_currentBrush;
}

bool GdiPlayer::penVisible() const {
    return (m_dc.pen.style & penStyle::StyleMask) != penStyle::Null;
}

bool GdiPlayer::brushVisible() const {
    return m_dc.brush.style != brushStyle::Null;
}

QPen GdiPlayer::devicePen(const PenObject& pen) const {
    const uint32_t dash = pen.style & penStyle::StyleMask;
    if (dash == penStyle::Null) return QPen(Qt::NoPen);
    QColor color = pen.color;
    if (m_dc.rop2 == rop2::Black) color = Qt::black;
    if (m_dc.rop2 == rop2::White) color = Qt::white;
    QPen qp(color);
    const bool cosmeticType =
        pen.extended && (pen.style & penStyle::TypeMask) == penStyle::Cosmetic;
    const double widthDevice = pen.width * deviceScale();
    // GDI rounds a pen's width to whole pixels: one that comes to one pixel or less (and every
    // cosmetic pen) draws one pixel wide, ends excluded.
    // GDI measures a pen's width along the x axis of the transform.
    const QPointF xUnit = full().map(QPointF(1, 0)) - full().map(QPointF(0, 0));
    const double widthOut = pen.width * std::hypot(xUnit.x(), xUnit.y());
    const bool thin = cosmeticType || !(widthOut >= 1.5);
    if (thin) {
        qp.setWidthF(0);
        qp.setCosmetic(true);
        qp.setCapStyle(Qt::FlatCap);
        qp.setJoinStyle(Qt::MiterJoin);
    } else {
        qp.setWidthF(std::min(widthDevice, kCoordLimit));
        if (pen.extended) {
            const uint32_t cap = pen.style & penStyle::EndCapMask;
            qp.setCapStyle(cap == penStyle::EndCapSquare ? Qt::SquareCap
                           : cap == penStyle::EndCapFlat ? Qt::FlatCap
                                                         : Qt::RoundCap);
            const uint32_t join = pen.style & penStyle::JoinMask;
            qp.setJoinStyle(join == penStyle::JoinBevel   ? Qt::BevelJoin
                            : join == penStyle::JoinMiter ? Qt::MiterJoin
                                                          : Qt::RoundJoin);
        } else {
            qp.setCapStyle(Qt::RoundCap);
            qp.setJoinStyle(Qt::RoundJoin);
        }
        qp.setMiterLimit(m_dc.miterLimit);
        if (widthOut < 3.5 && qp.capStyle() == Qt::RoundCap && qp.joinStyle() == Qt::RoundJoin) {
            // GDI's round ends and joins of a 1- or 2-pixel pen are the square ones; at 3
            // pixels it leaves out their corner pixels, which a disc about the pixel centre
            // fills as a square end does. Square ends are much faster to stroke.
            qp.setCapStyle(Qt::SquareCap);
            qp.setJoinStyle(Qt::MiterJoin);
            qp.setMiterLimit(1.5);
        }
    }
    if (dash == penStyle::Solid || dash == penStyle::InsideFrame) return qp;
    // A plain pen wider than one pixel draws solid whatever its dash style (CreatePen).
    if (!pen.extended && !thin) return qp;
    QList<qreal> pattern;
    if (thin) {
        // Cosmetic dash lengths in pixels.
        switch (dash) {
            case penStyle::Dash:
                pattern = {18, 6};
                break;
            case penStyle::Dot:
                pattern = {3, 3};
                break;
            case penStyle::DashDot:
                pattern = {9, 6, 3, 6};
                break;
            case penStyle::DashDotDot:
                pattern = {9, 3, 3, 3, 3, 3};
                break;
            case penStyle::Alternate:
                pattern = {1, 1};
                break;
            default:
                break;
        }
    } else {
        // Geometric dash lengths in multiples of the width.
        switch (dash) {
            case penStyle::Dash:
                pattern = {3, 1};
                break;
            case penStyle::Dot:
                pattern = {1, 1};
                break;
            case penStyle::DashDot:
                pattern = {3, 1, 1, 1};
                break;
            case penStyle::DashDotDot:
                pattern = {3, 1, 1, 1, 1, 1};
                break;
            default:
                break;
        }
    }
    if (dash == penStyle::UserStyle && !pen.userDashes.empty()) {
        // Style entries are in logical units for geometric pens, pixels for cosmetic ones; Qt
        // measures in pen widths.
        const double unit = thin ? 1.0 : std::max(pen.width, 1e-9);
        for (double d : pen.userDashes) pattern.append(std::max(d / unit, 0.01));
        if (pattern.size() % 2) pattern.append(pattern);
    }
    if (!pattern.isEmpty()) qp.setDashPattern(pattern);
    return qp;
}

QBrush GdiPlayer::deviceBrush(const BrushObject& brush) const {
    QColor color = brush.color;
    if (m_dc.rop2 == rop2::Black) return QBrush(Qt::black);
    if (m_dc.rop2 == rop2::White) return QBrush(Qt::white);
    switch (brush.style) {
        case brushStyle::Null:
            return QBrush(Qt::NoBrush);
        case brushStyle::Hatched: {
            // 8x8 hatch in output pixels: the hatch lines in the brush colour, the rest in the
            // background colour when the background mode is opaque, else left alone.
            QImage tile(8, 8, QImage::Format_ARGB32_Premultiplied);
            const QRgb fg = color.rgba();
            const QRgb bg = m_dc.bkMode == BkMode::Opaque ? m_dc.bkColor.rgba() : 0;
            for (int y = 0; y < 8; ++y) {
                auto* line = reinterpret_cast<QRgb*>(tile.scanLine(y));
                const uint8_t row = kHatchRows[std::min<uint32_t>(brush.hatch, 5)][y];
                for (int x = 0; x < 8; ++x) line[x] = (row & (0x80 >> x)) ? fg : bg;
            }
            QBrush b(tile);
            b.setTransform(patternToPainter());
            return b;
        }
        case brushStyle::Pattern:
        case brushStyle::DibPattern:
        case brushStyle::DibPatternPt: {
            if (brush.pattern.isNull()) return QBrush(color);
            QImage tile = brush.pattern;
            if (brush.monochrome && tile.format() == QImage::Format_Mono) {
                // Coloured here, and handed on in full colour: the painter takes a 1-bit
                // texture for a stencil of the brush colour.
                tile.setColor(0, m_dc.textColor.rgba());
                tile.setColor(1, m_dc.bkColor.rgba());
                tile = tile.convertToFormat(QImage::Format_RGB32);
            }
            QBrush b(tile);
            b.setTransform(patternToPainter());
            return b;
        }
        default:
            return QBrush(color);
    }
}

namespace player {

QColor stockBrushColor(uint32_t index) {
    switch (index) {
        case stockObject::WhiteBrush:
            return Qt::white;
        case stockObject::LtGrayBrush:
            return QColor(0xc0, 0xc0, 0xc0);
        case stockObject::GrayBrush:
            return QColor(0x80, 0x80, 0x80);
        case stockObject::DkGrayBrush:
            return QColor(0x40, 0x40, 0x40);
        default:
            return Qt::black;
    }
}

}  // namespace player

}  // namespace plume::metafile
