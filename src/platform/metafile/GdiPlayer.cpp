#include "platform/metafile/GdiPlayer.h"

#include "platform/metafile/Metafile.h"

#include <QLinearGradient>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPathStroker>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace plume::metafile {

namespace {

// Device coordinates beyond this are clamped: far outside any picture, and small enough that
// QPainter's fixed-point rasteriser never overflows.
constexpr double kCoordLimit = 1e7;

double finiteOr(double v, double fallback) {
    return std::isfinite(v) ? v : fallback;
}

double clamp(double v) {
    return std::clamp(finiteOr(v, 0.0), -kCoordLimit, kCoordLimit);
}

QPointF clampPoint(QPointF p) {
    return {clamp(p.x()), clamp(p.y())};
}

// A transform is usable when all its parts are finite and it does not collapse the plane.
bool usable(const QTransform& t) {
    const double v[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    for (double x : v)
        if (!std::isfinite(x) || std::abs(x) > 1e12) return false;
    return std::abs(t.determinant()) > 1e-18;
}

QRegion everything() {
    constexpr int far = 1 << 24;
    return QRegion(-far, -far, 2 * far, 2 * far);
}

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

// GDI's 8x8 hatch patterns, one byte per row, most significant bit leftmost.
constexpr uint8_t kHatchRows[6][8] = {
    {0x00, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0x00},  // HS_HORIZONTAL
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // HS_VERTICAL
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // HS_FDIAGONAL
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // HS_BDIAGONAL
    {0x08, 0x08, 0x08, 0xff, 0x08, 0x08, 0x08, 0x08},  // HS_CROSS
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // HS_DIAGCROSS
};

QPainter::CompositionMode rop2Mode(uint32_t rop) {
    switch (rop) {
        case rop2::XorPen:
            return QPainter::RasterOp_SourceXorDestination;
        case rop2::Not:
            return QPainter::RasterOp_NotDestination;
        case rop2::MaskPen:
            return QPainter::RasterOp_SourceAndDestination;
        case rop2::MergePen:
            return QPainter::RasterOp_SourceOrDestination;
        case rop2::NotCopyPen:
            return QPainter::RasterOp_NotSource;
        case rop2::NotXorPen:
            return QPainter::RasterOp_NotSourceXorDestination;
        case rop2::MaskPenNot:
            return QPainter::RasterOp_SourceAndNotDestination;
        case rop2::MaskNotPen:
            return QPainter::RasterOp_NotSourceAndDestination;
        case rop2::MergeNotPen:
            return QPainter::RasterOp_NotSourceOrDestination;
        case rop2::MergePenNot:
            return QPainter::RasterOp_SourceOrNotDestination;
        case rop2::NotMaskPen:
            return QPainter::RasterOp_NotSourceOrNotDestination;
        case rop2::NotMergePen:
            return QPainter::RasterOp_NotSourceAndNotDestination;
        default:
            return QPainter::CompositionMode_SourceOver;
    }
}

// The stock fonts as a reference screen defines them (cell heights in pixels).
LogFont stockFont(uint32_t index) {
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

}  // namespace

GdiPlayer::GdiPlayer(QPainter& painter, const QRectF& target)
    : m_painter(painter), m_target(target) {}

GdiPlayer::~GdiPlayer() = default;

// --- Frame and transforms ---

void GdiPlayer::begin(const PictureInfo& info) {
    m_info = info;
    m_painter.save();
    m_painterBase = m_painter.transform();
    {
        const QPointF origin = m_painterBase.map(QPointF(0, 0));
        m_patternAnchor = QPointF(std::round(origin.x()), std::round(origin.y()));
    }
    if (m_painter.hasClipping()) m_outerClip = m_painter.clipPath();
    m_rasterOps =
        m_painter.paintEngine() && m_painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    // Runs of pixels are computed in the painter's device pixels, which a high-density device
    // (a device pixel ratio above 1) subdivides: there the painter draws whole outlines.
    m_rasterTarget = m_painter.paintEngine() &&
                     m_painter.paintEngine()->type() == QPaintEngine::Raster &&
                     m_painter.device() && m_painter.device()->devicePixelRatio() == 1;
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, false);

    // The reference device's resolution: pixels per millimetre (micrometres when the header
    // carries them, which are exact where millimetres are rounded).
    const auto perMm = [](int32_t pixels, int32_t mm, int32_t um) {
        if (pixels > 0 && um > 0) return double(pixels) * 1000.0 / um;
        if (pixels > 0 && mm > 0) return double(pixels) / mm;
        return 96 / 25.4;
    };
    m_unitsPerMmX =
        perMm(info.devicePixels.cx, info.deviceMillimeters.cx, info.deviceMicrometers.cx);
    m_unitsPerMmY =
        perMm(info.devicePixels.cy, info.deviceMillimeters.cy, info.deviceMicrometers.cy);

    // PlayEnhMetaFile maps the frame (0.01 mm) onto the target rectangle.
    QRectF frame(info.frame.left * m_unitsPerMmX / 100.0, info.frame.top * m_unitsPerMmY / 100.0,
                 double(int64_t(info.frame.right) - info.frame.left) * m_unitsPerMmX / 100.0,
                 double(int64_t(info.frame.bottom) - info.frame.top) * m_unitsPerMmY / 100.0);
    if (!(frame.width() > 0 && frame.height() > 0))
        frame = QRectF(info.bounds.left, info.bounds.top,
                       double(int64_t(info.bounds.right) - info.bounds.left) + 1,
                       double(int64_t(info.bounds.bottom) - info.bounds.top) + 1);
    if (!(frame.width() > 0 && frame.height() > 0) || !m_target.isValid())
        frame = QRectF(0, 0, std::max(1.0, m_target.width()), std::max(1.0, m_target.height()));
    double sx = m_target.width() / frame.width();
    double sy = m_target.height() / frame.height();
    // A scale that misses 1 by less than half a pixel over the whole target (a frame rounded
    // to 0.01 mm) is taken as 1, which keeps the painter on its fast untransformed paths.
    if (std::abs(sx - 1) * m_target.width() < 0.5) sx = 1;
    if (std::abs(sy - 1) * m_target.height() < 0.5) sy = 1;
    QTransform frameMap = QTransform::fromTranslate(-frame.left(), -frame.top()) *
                          QTransform::fromScale(sx, sy) *
                          QTransform::fromTranslate(m_target.left(), m_target.top());
    if (!usable(frameMap)) frameMap = QTransform::fromTranslate(m_target.left(), m_target.top());
    m_deviceToPainter = frameMap * m_painterBase;
    // One pixel of the output in device units, for GDI's "one pixel" rules.
    const double deviceScale = std::sqrt(std::abs(m_deviceToPainter.determinant()));
    m_pixelInDevice = deviceScale > 1e-12 ? 1.0 / deviceScale : 1.0;
    m_painter.setTransform(m_deviceToPainter);
    m_clipDirty = true;
    m_dc.font.font = stockFont(stockObject::SystemFont);
    updateTransform();
}

void GdiPlayer::end() {
    m_painter.restore();
}

void GdiPlayer::updateTransform() {
    const DcState& dc = m_dc;
    double sx = 1, sy = 1;
    switch (dc.mapMode) {
        case MapMode::Text:
            break;
        case MapMode::LoMetric:
            sx = m_unitsPerMmX / 10, sy = -m_unitsPerMmY / 10;
            break;
        case MapMode::HiMetric:
            sx = m_unitsPerMmX / 100, sy = -m_unitsPerMmY / 100;
            break;
        case MapMode::LoEnglish:
            sx = m_unitsPerMmX * 0.254, sy = -m_unitsPerMmY * 0.254;
            break;
        case MapMode::HiEnglish:
            sx = m_unitsPerMmX * 0.0254, sy = -m_unitsPerMmY * 0.0254;
            break;
        case MapMode::Twips:
            sx = m_unitsPerMmX * 25.4 / 1440, sy = -m_unitsPerMmY * 25.4 / 1440;
            break;
        case MapMode::Isotropic:
        case MapMode::Anisotropic:
            sx = double(dc.viewportExt.cx) / dc.windowExt.cx;
            sy = double(dc.viewportExt.cy) / dc.windowExt.cy;
            if (dc.mapMode == MapMode::Isotropic) {
                // MM_ISOTROPIC keeps one unit equal on both axes, the smaller scale winning.
                const double m = std::min(std::abs(sx), std::abs(sy));
                sx = std::copysign(m, sx);
                sy = std::copysign(m, sy);
            }
            break;
    }
    const QTransform page = QTransform::fromTranslate(-dc.windowOrg.x, -dc.windowOrg.y) *
                            QTransform::fromScale(sx, sy) *
                            QTransform::fromTranslate(dc.viewportOrg.x, dc.viewportOrg.y);
    m_pageScale = QPointF(sx, sy);
    const QTransform full = dc.world * page;
    // A transform that overflows or collapses everything draws nothing sensible; keep the last
    // usable one rather than feeding NaN or infinity to the painter.
    if (usable(full)) m_toDevice = full;
    penOrBrushChanged();  // a pen's width follows the transform
}

double GdiPlayer::deviceScale() const {
    return std::sqrt(std::abs(m_toDevice.determinant()));
}

QRectF GdiPlayer::logicalRect(const Rect& r) const {
    return QRectF(QPointF(std::min(r.left, r.right), std::min(r.top, r.bottom)),
                  QPointF(std::max(r.left, r.right), std::max(r.top, r.bottom)));
}

double GdiPlayer::clampCoord(double v) const {
    return clamp(v);
}

// --- DC state ---

void GdiPlayer::saveDc() {
    if (m_saved.size() >= size_t(kMaxSaveDepth)) return;
    m_saved.push_back(m_dc);
}

void GdiPlayer::restoreDc(int32_t savedDc) {
    // Negative: relative to the top; positive: the absolute level SaveDC returned.
    const int64_t depth = int64_t(m_saved.size());
    const int64_t level = savedDc < 0 ? depth + savedDc + 1 : savedDc;
    if (savedDc == 0 || level < 1 || level > depth) return;
    m_dc = std::move(m_saved[size_t(level - 1)]);
    m_saved.resize(size_t(level - 1));
    m_clipDirty = true;
    updateTransform();
}

void GdiPlayer::setMapMode(MapMode mode) {
    if (mode == m_dc.mapMode) return;
    m_dc.mapMode = mode;
    if (mode == MapMode::Isotropic) {
        // GDI starts MM_ISOTROPIC with MM_LOMETRIC's extents; MM_ANISOTROPIC keeps the ones
        // in force.
        m_dc.windowExt = {1000, 1000};
        m_dc.viewportExt = {int32_t(std::lround(m_unitsPerMmX * 100)),
                            -int32_t(std::lround(m_unitsPerMmY * 100))};
    } else if (mode != MapMode::Anisotropic) {
        m_dc.windowExt = {1, 1};
        m_dc.viewportExt = {1, 1};
    }
    updateTransform();
}

void GdiPlayer::setWindowOrg(Point origin) {
    m_dc.windowOrg = origin;
    updateTransform();
}

void GdiPlayer::setWindowExt(Size extent) {
    // SetWindowExtEx has effect only in the two scalable modes and fails for a zero extent.
    if (m_dc.mapMode != MapMode::Isotropic && m_dc.mapMode != MapMode::Anisotropic) return;
    if (extent.cx == 0 || extent.cy == 0) return;
    m_dc.windowExt = extent;
    updateTransform();
}

void GdiPlayer::setViewportOrg(Point origin) {
    m_dc.viewportOrg = origin;
    updateTransform();
}

void GdiPlayer::setViewportExt(Size extent) {
    if (m_dc.mapMode != MapMode::Isotropic && m_dc.mapMode != MapMode::Anisotropic) return;
    if (extent.cx == 0 || extent.cy == 0) return;
    m_dc.viewportExt = extent;
    updateTransform();
}

void GdiPlayer::offsetWindowOrg(int32_t dx, int32_t dy) {
    m_dc.windowOrg.x =
        int32_t(std::clamp<int64_t>(int64_t(m_dc.windowOrg.x) + dx, INT32_MIN, INT32_MAX));
    m_dc.windowOrg.y =
        int32_t(std::clamp<int64_t>(int64_t(m_dc.windowOrg.y) + dy, INT32_MIN, INT32_MAX));
    updateTransform();
}

void GdiPlayer::offsetViewportOrg(int32_t dx, int32_t dy) {
    m_dc.viewportOrg.x =
        int32_t(std::clamp<int64_t>(int64_t(m_dc.viewportOrg.x) + dx, INT32_MIN, INT32_MAX));
    m_dc.viewportOrg.y =
        int32_t(std::clamp<int64_t>(int64_t(m_dc.viewportOrg.y) + dy, INT32_MIN, INT32_MAX));
    updateTransform();
}

namespace {
std::optional<Size> scaled(Size ext, int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) {
    if (xDenom == 0 || yDenom == 0) return std::nullopt;
    const int64_t cx = int64_t(ext.cx) * xNum / xDenom;
    const int64_t cy = int64_t(ext.cy) * yNum / yDenom;
    if (cx == 0 || cy == 0 || cx > INT32_MAX || cx < INT32_MIN || cy > INT32_MAX || cy < INT32_MIN)
        return std::nullopt;
    return Size{int32_t(cx), int32_t(cy)};
}
}  // namespace

void GdiPlayer::scaleWindowExt(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) {
    if (m_dc.mapMode != MapMode::Isotropic && m_dc.mapMode != MapMode::Anisotropic) return;
    if (auto s = scaled(m_dc.windowExt, xNum, xDenom, yNum, yDenom)) {
        m_dc.windowExt = *s;
        updateTransform();
    }
}

void GdiPlayer::scaleViewportExt(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) {
    if (m_dc.mapMode != MapMode::Isotropic && m_dc.mapMode != MapMode::Anisotropic) return;
    if (auto s = scaled(m_dc.viewportExt, xNum, xDenom, yNum, yDenom)) {
        m_dc.viewportExt = *s;
        updateTransform();
    }
}

namespace {
QTransform toQTransform(const XForm& x) {
    return QTransform(x.m11, x.m12, x.m21, x.m22, x.dx, x.dy);
}
}  // namespace

void GdiPlayer::setWorldTransform(const XForm& xform) {
    const QTransform t = toQTransform(xform);
    if (!usable(t)) return;
    m_dc.world = t;
    updateTransform();
}

void GdiPlayer::modifyWorldTransform(const XForm& xform, TransformMode mode) {
    const QTransform t = toQTransform(xform);
    QTransform next;
    switch (mode) {
        case TransformMode::Identity:
            break;
        case TransformMode::LeftMultiply:
            next = t * m_dc.world;
            break;
        case TransformMode::RightMultiply:
            next = m_dc.world * t;
            break;
        case TransformMode::Set:
            next = t;
            break;
    }
    if (!usable(next)) return;
    m_dc.world = next;
    updateTransform();
}

void GdiPlayer::setBkMode(BkMode mode) {
    m_dc.bkMode = mode;
    penOrBrushChanged();
}
void GdiPlayer::setBkColor(ColorRef color) {
    m_dc.bkColor = color.toQColor();
    penOrBrushChanged();
}
void GdiPlayer::setTextColor(ColorRef color) {
    m_dc.textColor = color.toQColor();
    penOrBrushChanged();
}
void GdiPlayer::setTextAlign(uint32_t flags) {
    m_dc.textAlign = flags;
}
void GdiPlayer::setTextCharacterExtra(int32_t extra) {
    m_dc.charExtra = extra;
}
void GdiPlayer::setPolyFillMode(PolyFillMode mode) {
    m_dc.fillMode = mode;
}
void GdiPlayer::setRop2(uint32_t rop) {
    if (rop >= rop2::Black && rop <= rop2::White) m_dc.rop2 = rop;
    penOrBrushChanged();  // R2_BLACK and R2_WHITE colour both
}
void GdiPlayer::setStretchBltMode(uint32_t mode) {
    m_dc.stretchMode = mode;
}
void GdiPlayer::setMiterLimit(float limit) {
    if (std::isfinite(limit) && limit >= 1) m_dc.miterLimit = std::min<double>(limit, 1000);
    penOrBrushChanged();
}
void GdiPlayer::setArcDirection(ArcDirection direction) {
    m_dc.arcDirection = direction;
}
void GdiPlayer::setBrushOrg(Point origin) {
    m_dc.brushOrg = origin;
}

void GdiPlayer::moveTo(Point point) {
    m_dc.position = QPointF(point.x, point.y);
    m_pathOpen = false;
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
    if (m_objects.size() <= index) m_objects.resize(index + 1);
    m_objects[index] = std::move(p);
}

void GdiPlayer::createExtPen(uint32_t index, const ExtLogPen& pen) {
    if (!validSlot(index)) return;
    PenObject p;
    p.style = pen.style;
    p.width = pen.width > 1e6 ? 1e6 : double(pen.width);
    p.color = pen.color.toQColor();
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
    m_objects[index] = PaletteObject{{entries.begin(), entries.end()}};
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
                    false};
                break;
            case stockObject::NullBrush:
                m_dc.brush = BrushObject{brushStyle::Null, Qt::white, 0, {}, false};
                break;
            case stockObject::WhitePen:
                m_dc.pen = PenObject{penStyle::Solid, 0, Qt::white, false, {}};
                break;
            case stockObject::BlackPen:
            case stockObject::DcPen:
                m_dc.pen = PenObject{penStyle::Solid, 0, Qt::black, false, {}};
                break;
            case stockObject::NullPen:
                m_dc.pen = PenObject{penStyle::Null, 0, Qt::black, false, {}};
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
    if (auto* pen = std::get_if<PenObject>(o))
        m_dc.pen = *pen;
    else if (auto* brush = std::get_if<BrushObject>(o))
        m_dc.brush = *brush;
    else if (auto* font = std::get_if<FontObject>(o))
        m_dc.font = *font;
    else if (auto* region = std::get_if<RegionObject>(o))
        combineClip(toRegion(m_toDevice.map(region->path)), RegionMode::Copy);
}

void GdiPlayer::deleteObject(uint32_t index) {
    // The DC keeps its own copy of a selected object, so deleting it changes no drawing.
    if (index < m_objects.size()) m_objects[index] = std::monostate{};
}

// --- Painter state ---

void GdiPlayer::setClip(std::optional<QRegion> clip) {
    m_dc.clip = std::move(clip);
    m_clipDirty = true;
}

void GdiPlayer::applyClip() {
    if (!m_clipDirty) return;
    m_clipDirty = false;
    std::optional<QRegion> effective = m_dc.clip;
    if (m_dc.metaClip)
        effective = effective ? effective->intersected(*m_dc.metaClip) : *m_dc.metaClip;
    if (m_outerClip) {
        m_painter.setTransform(m_painterBase);
        m_painter.setClipPath(*m_outerClip, Qt::ReplaceClip);
        if (effective) {
            m_painter.setTransform(QTransform());
            m_painter.setClipRegion(*effective, Qt::IntersectClip);
        }
    } else if (effective) {
        m_painter.setTransform(QTransform());
        m_painter.setClipRegion(*effective, Qt::ReplaceClip);
    } else {
        m_painter.setClipping(false);
    }
    m_painter.setTransform(m_deviceToPainter);
}

void GdiPlayer::applyRop2() {
    const uint32_t rop = m_rasterOps ? m_dc.rop2 : rop2::CopyPen;
    if (rop == m_appliedRop2) return;
    m_appliedRop2 = rop;
    m_painter.setCompositionMode(rop2Mode(rop));
}

void GdiPlayer::restoreCompositionMode() {
    m_painter.setCompositionMode(rop2Mode(m_appliedRop2));
}

const QPen& GdiPlayer::currentPen() {
    if (!m_currentPen) m_currentPen = devicePen(m_dc.pen);
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
            // Round ends and joins of a pen under 3.5 pixels cover the same pixels as square
            // ones to within a pixel, and are much slower to stroke.
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
                tile.setColor(0, m_dc.textColor.rgba());
                tile.setColor(1, m_dc.bkColor.rgba());
            }
            QBrush b(tile);
            b.setTransform(patternToPainter());
            return b;
        }
        default:
            return QBrush(color);
    }
}

// --- Drawing ---

void GdiPlayer::strokeWithBackground(const QPainterPath& path) {
    const QPen& pen = currentPen();
    if (pen.style() == Qt::NoPen) return;
    if (pen.style() != Qt::SolidLine && m_dc.bkMode == BkMode::Opaque) {
        // An opaque background fills the gaps of a styled line with the background colour.
        QPen gaps = pen;
        gaps.setStyle(Qt::SolidLine);
        gaps.setColor(m_dc.bkColor);
        m_painter.strokePath(path, gaps);
    }
    m_painter.strokePath(path, pen);
}

void GdiPlayer::drawDevicePath(const QPainterPath& path, bool fill, bool stroke) {
    if (m_dc.rop2 == rop2::Nop) return;
    applyClip();
    applyRop2();
    if (fill && brushVisible()) {
        QPainterPath filled = path;
        filled.setFillRule(m_dc.fillMode == PolyFillMode::Winding ? Qt::WindingFill
                                                                  : Qt::OddEvenFill);
        m_painter.fillPath(filled, currentBrush());
    }
    if (stroke && penVisible()) strokeWithBackground(path);
}

void GdiPlayer::drawDevicePolyline(const QPolygonF& line) {
    if (line.size() < 2) return;
    QPainterPath path;
    path.addPolygon(line);
    drawDevicePath(path, false, true);
}

void GdiPlayer::addToPath(const QPainterPath& devicePath, bool connectToCurrent) {
    if (connectToCurrent && m_pathOpen && !m_path.isEmpty())
        m_path.connectPath(devicePath);
    else
        m_path.addPath(devicePath);
    m_pathOpen = true;
}

void GdiPlayer::figure(const QPainterPath& devicePath, bool closed) {
    if (m_inPath) {
        m_path.addPath(devicePath);
        m_pathOpen = false;
        return;
    }
    drawDevicePath(devicePath, closed, true);
}

void GdiPlayer::lineTo(Point point) {
    const QPointF from = clampPoint(toDevice(m_dc.position));
    const QPointF to = clampPoint(toDevice(QPointF(point.x, point.y)));
    m_dc.position = QPointF(point.x, point.y);
    if (m_inPath) {
        if (!m_pathOpen) m_path.moveTo(from);
        m_path.lineTo(to);
        m_pathOpen = true;
        return;
    }
    if (prepareSimple(false)) {
        m_polygon.resize(2);
        m_polygon[0] = from;
        m_polygon[1] = to;
        if (!drawSegments(false)) m_painter.drawLine(from, to);
        return;
    }
    QPainterPath path(from);
    path.lineTo(to);
    drawDevicePath(path, false, true);
}

void GdiPlayer::polyline(std::span<const Point> points) {
    if (points.empty()) return;
    if (!m_inPath && points.size() >= 2 && prepareSimple(false)) {
        m_polygon.resize(qsizetype(points.size()));
        for (size_t i = 0; i < points.size(); ++i)
            m_polygon[qsizetype(i)] = clampPoint(toDevice(points[i]));
        if (!drawSegments(false)) m_painter.drawPolyline(m_polygon);
        return;
    }
    QPainterPath path(clampPoint(toDevice(points[0])));
    for (size_t i = 1; i < points.size(); ++i) path.lineTo(clampPoint(toDevice(points[i])));
    if (m_inPath) {
        m_path.addPath(path);
        m_pathOpen = true;
        return;
    }
    if (points.size() >= 2) drawDevicePath(path, false, true);
}

void GdiPlayer::polylineTo(std::span<const Point> points) {
    if (points.empty()) return;
    QPainterPath path(clampPoint(toDevice(m_dc.position)));
    for (const Point& p : points) path.lineTo(clampPoint(toDevice(p)));
    m_dc.position = QPointF(points.back().x, points.back().y);
    if (m_inPath) {
        addToPath(path, true);
        return;
    }
    drawDevicePath(path, false, true);
}

void GdiPlayer::polygon(std::span<const Point> points) {
    if (points.size() < 2) return;
    m_polygon.resize(qsizetype(points.size()));
    for (size_t i = 0; i < points.size(); ++i)
        m_polygon[qsizetype(i)] = clampPoint(toDevice(points[i]));
    if (prepareSimple(true)) {
        const Qt::FillRule rule =
            m_dc.fillMode == PolyFillMode::Winding ? Qt::WindingFill : Qt::OddEvenFill;
        if (segmentPen()) {
            if (brushVisible()) {
                m_painter.setPen(Qt::NoPen);
                m_painter.drawPolygon(m_polygon, rule);
                m_painter.setPen(currentPen());
            }
            drawSegments(true);
            return;
        }
        m_painter.drawPolygon(m_polygon, rule);
        return;
    }
    QPainterPath path;
    path.addPolygon(m_polygon);
    path.closeSubpath();
    figure(path, true);
}

void GdiPlayer::polyPolyline(std::span<const Point> points, std::span<const uint32_t> counts) {
    size_t at = 0;
    for (uint32_t count : counts) {
        if (count > points.size() - at) break;
        polyline(points.subspan(at, count));
        at += count;
    }
}

void GdiPlayer::polyPolygon(std::span<const Point> points, std::span<const uint32_t> counts) {
    // One path for all polygons, so that the fill mode decides about their overlaps.
    QPainterPath path;
    size_t at = 0;
    for (uint32_t count : counts) {
        if (count > points.size() - at) break;
        if (count >= 2) {
            path.moveTo(clampPoint(toDevice(points[at])));
            for (size_t i = 1; i < count; ++i) path.lineTo(clampPoint(toDevice(points[at + i])));
            path.closeSubpath();
        }
        at += count;
    }
    figure(path, true);
}

void GdiPlayer::polyBezier(std::span<const Point> points) {
    if (points.size() < 4) return;
    QPainterPath path(clampPoint(toDevice(points[0])));
    for (size_t i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(clampPoint(toDevice(points[i])), clampPoint(toDevice(points[i + 1])),
                     clampPoint(toDevice(points[i + 2])));
    if (m_inPath) {
        m_path.addPath(path);
        m_pathOpen = true;
        return;
    }
    drawDevicePath(path, false, true);
}

void GdiPlayer::polyBezierTo(std::span<const Point> points) {
    if (points.size() < 3) return;
    QPainterPath path(clampPoint(toDevice(m_dc.position)));
    size_t i = 0;
    for (; i + 2 < points.size(); i += 3)
        path.cubicTo(clampPoint(toDevice(points[i])), clampPoint(toDevice(points[i + 1])),
                     clampPoint(toDevice(points[i + 2])));
    m_dc.position = QPointF(points[i - 1].x, points[i - 1].y);
    if (m_inPath) {
        addToPath(path, true);
        return;
    }
    drawDevicePath(path, false, true);
}

void GdiPlayer::polyDraw(std::span<const Point> points, std::span<const uint8_t> types) {
    // PolyDraw: move, line and Bézier points, each possibly closing its figure.
    QPainterPath path(clampPoint(toDevice(m_dc.position)));
    QPointF figureStart = m_dc.position;
    const size_t n = std::min(points.size(), types.size());
    for (size_t i = 0; i < n; ++i) {
        const uint8_t t = types[i] & ~pointType::CloseFigure;
        const QPointF p(points[i].x, points[i].y);
        if (t == pointType::MoveTo) {
            path.moveTo(clampPoint(toDevice(p)));
            figureStart = p;
        } else if (t == pointType::LineTo) {
            path.lineTo(clampPoint(toDevice(p)));
        } else if (t == pointType::BezierTo && i + 2 < n) {
            path.cubicTo(clampPoint(toDevice(p)), clampPoint(toDevice(points[i + 1])),
                         clampPoint(toDevice(points[i + 2])));
            i += 2;
        } else {
            break;  // a malformed point type ends the figure list, as GDI fails the call
        }
        m_dc.position = QPointF(points[i].x, points[i].y);
        if (types[i] & pointType::CloseFigure) {
            path.closeSubpath();
            m_dc.position = figureStart;
        }
    }
    if (m_inPath) {
        addToPath(path, true);
        return;
    }
    drawDevicePath(path, false, true);
}

// EMF playback draws rectangles and ellipses with their right and bottom edges, as GDI does
// when it plays a metafile (its playback runs in the advanced graphics mode).

// Rectangles and lines with a solid pen, outside a path, go to the painter's own drawRect and
// drawLine, which skip building paths; the painter's pen and brush
// are set only when they differ from the last ones.
bool GdiPlayer::prepareSimple(bool fill) {
    if (m_inPath || m_dc.rop2 == rop2::Nop) return false;
    const QPen& pen = currentPen();
    if (pen.style() != Qt::SolidLine && pen.style() != Qt::NoPen) return false;
    applyClip();
    applyRop2();
    static const QBrush noBrush(Qt::NoBrush);
    const QBrush& brush = fill && brushVisible() ? currentBrush() : noBrush;
    if (!m_painterPen || *m_painterPen != pen) {
        m_painter.setPen(pen);
        m_painterPen = pen;
    }
    if (!m_painterBrush || *m_painterBrush != brush) {
        m_painter.setBrush(brush);
        m_painterBrush = brush;
    }
    return true;
}

namespace {

// The painter fills the pixels whose centres lie inside a shape; along one axis that is the
// pixels from this edge on, up to the far edge's.
int fillEdge(double v) {
    return int(std::clamp(std::floor(v + 0.5), -kCoordLimit, kCoordLimit));
}

// The pixels of row y whose centres lie inside the ellipse inscribed in `box`: [x0, x1).
bool ellipseRow(const QRectF& box, int y, int& x0, int& x1) {
    const double a = box.width() / 2, b = box.height() / 2;
    if (!(a > 0 && b > 0)) return false;
    const double t = (y + 0.5 - box.center().y()) / b;
    if (!(std::abs(t) < 1)) return false;
    const double dx = a * std::sqrt(1 - t * t);
    x0 = fillEdge(box.center().x() - dx);
    x1 = fillEdge(box.center().x() + dx);
    return x1 > x0;
}

}  // namespace

void GdiPlayer::fillOutputSpans(const std::vector<QRect>& spans, const QBrush& brush) {
    if (spans.empty()) return;
    m_painter.setTransform(QTransform());
    if (!m_painterPen || m_painterPen->style() != Qt::NoPen) {
        m_painter.setPen(Qt::NoPen);
        m_painterPen = QPen(Qt::NoPen);
    }
    // A pattern brush's transform is made for the painter's transform; with none, the brush
    // takes both, so that its pattern stays anchored where the other figures have it.
    QBrush output = brush;
    if (output.transform().type() != QTransform::TxNone)
        output.setTransform(output.transform() * m_deviceToPainter);
    m_painter.setBrush(output);
    m_painterBrush = output;
    m_painter.drawRects(spans.data(), int(spans.size()));
    m_painter.setTransform(m_deviceToPainter);
}

bool GdiPlayer::segmentPen() {
    const PenObject& p = m_dc.pen;
    if (p.extended) {
        const uint32_t cap = p.style & penStyle::EndCapMask;
        const uint32_t join = p.style & penStyle::JoinMask;
        if (cap == penStyle::EndCapSquare || cap == penStyle::EndCapFlat ||
            join == penStyle::JoinBevel || join == penStyle::JoinMiter)
            return false;
    }
    const QPen& pen = currentPen();
    const bool square = pen.capStyle() == Qt::SquareCap && pen.joinStyle() == Qt::MiterJoin;
    // Round ends and joins are drawn as discs of pixel runs, a run per row of every vertex's
    // disc: for pens up to 64 pixels wide that is no more than the stroker's own outline.
    const bool round = pen.capStyle() == Qt::RoundCap && pen.joinStyle() == Qt::RoundJoin &&
                       pen.widthF() * std::abs(m_deviceToPainter.m22()) <= 64;
    if (pen.style() != Qt::SolidLine || pen.isCosmetic() || !(square || round) ||
        !overpaintSafe() || !axisAligned())
        return false;
    // The painter draws straight wide segments quickly only under a transform that scales both
    // axes alike; a picture frame rounded to 0.01 mm on a reference device with unequal
    // millimetre counts scales them by slightly different amounts, which drawSegments handles
    // by drawing in output pixels. A plainly unequal stretch keeps the stroker.
    const double sx = std::abs(m_deviceToPainter.m11()), sy = std::abs(m_deviceToPainter.m22());
    return std::abs(sx - sy) <= 0.01 * std::max(sx, sy);
}

// Polylines of wide solid pens, drawn segment by segment: the painter draws a straight segment
// with flat or square ends without building an outline and scan-converting it.
// A pen of up to 3.5 pixels stands for GDI's round ends and joins with square ones (see
// devicePen); each square end covers the join as well as the stroker's miter does.
// A wider pen keeps its round ends and joins exactly: the stroke is the union of the segments
// with flat ends and a disc of the pen's width at every vertex, drawn as runs of pixels.
bool GdiPlayer::drawSegments(bool closed) {
    const qsizetype n = m_polygon.size();
    if (n < 2 || !segmentPen()) return false;
    const QPen& devicePen = currentPen();
    const bool round = devicePen.capStyle() == Qt::RoundCap;
    m_lines.resize(size_t(closed ? n : n - 1));
    // Under a slightly unequal scale the segments are mapped here and drawn in output pixels,
    // with the pen's width scaled by the mean of the axes.
    const double sx = std::abs(m_deviceToPainter.m11()), sy = std::abs(m_deviceToPainter.m22());
    const bool mapHere = std::abs(sx - sy) > 1e-12 * std::max(sx, sy);
    const auto at = [&](qsizetype i) {
        return mapHere ? m_deviceToPainter.map(m_polygon[i]) : m_polygon[i];
    };
    for (qsizetype i = 0; i + 1 < n; ++i) m_lines[size_t(i)] = QLineF(at(i), at(i + 1));
    if (closed) m_lines[size_t(n - 1)] = QLineF(at(n - 1), at(0));
    if (mapHere || round) {
        QPen pen = devicePen;
        if (mapHere) pen.setWidthF(pen.widthF() * std::sqrt(sx * sy));
        if (round) pen.setCapStyle(Qt::FlatCap);
        if (mapHere) m_painter.setTransform(QTransform());
        m_painter.setPen(pen);
        m_painter.drawLines(m_lines.data(), int(m_lines.size()));
        if (mapHere) m_painter.setTransform(m_deviceToPainter);
        m_painter.setPen(devicePen);
    } else {
        m_painter.drawLines(m_lines.data(), int(m_lines.size()));
    }
    if (!round) return true;
    const double rx = devicePen.widthF() / 2 * sx, ry = devicePen.widthF() / 2 * sy;
    const QPaintDevice* target = m_painter.device();
    const int rows = target ? target->height() : 0;
    m_penSpans.clear();
    for (qsizetype i = 0; i < n; ++i) {
        const QPointF c = m_deviceToPainter.map(m_polygon[i]);
        const QRectF disc(c.x() - rx, c.y() - ry, 2 * rx, 2 * ry);
        const int yTo = std::min(fillEdge(disc.bottom()), rows);
        for (int y = std::max(fillEdge(disc.top()), 0); y < yTo; ++y) {
            int x0, x1;
            if (ellipseRow(disc, y, x0, x1)) m_penSpans.emplace_back(x0, y, x1 - x0, 1);
        }
        if (m_penSpans.size() >= 8192) {  // a long polyline: draw as it goes
            fillOutputSpans(m_penSpans, QBrush(devicePen.color()));
            m_penSpans.clear();
        }
    }
    fillOutputSpans(m_penSpans, QBrush(devicePen.color()));
    return true;
}

bool GdiPlayer::overpaintSafe() const {
    if (!m_rasterTarget) return false;
    if (!m_rasterOps) return true;
    const uint32_t rop = m_dc.rop2;
    return rop == rop2::CopyPen || rop == rop2::Black || rop == rop2::White ||
           rop == rop2::NotCopyPen;
}

bool GdiPlayer::drawSimpleRect(const QRectF& logical) {
    if (m_toDevice.isRotating()) return false;
    const QRectF device = m_toDevice.mapRect(logical);
    if (!(std::abs(device.left()) < kCoordLimit && std::abs(device.right()) < kCoordLimit &&
          std::abs(device.top()) < kCoordLimit && std::abs(device.bottom()) < kCoordLimit))
        return false;
    if (drawBandedRect(device)) return true;
    if (!prepareSimple(true)) return false;
    m_painter.drawRect(device);
    return true;
}

// Stroking a wide pen costs the painter an outline and a scan conversion per rectangle. With
// square corners (a miter join on a right angle) the stroke is exactly the frame between the
// rectangle grown and shrunk by half the width, which axis-aligned fills draw far faster. The
// painter fills, for rectangles as for the stroke's outline, the pixels whose centres lie in
// the shape, so both cover the same pixels.
bool GdiPlayer::drawBandedRect(const QRectF& device) {
    if (m_inPath || m_dc.rop2 == rop2::Nop || !axisAligned() || !overpaintSafe()) return false;
    const QPen& pen = currentPen();
    if (pen.style() != Qt::SolidLine || pen.isCosmetic() || !(pen.widthF() > 0) ||
        (pen.joinStyle() != Qt::MiterJoin && pen.joinStyle() != Qt::RoundJoin))
        return false;
    applyClip();
    applyRop2();
    const double half = pen.widthF() / 2;
    const QRectF inner = device.adjusted(half, half, -half, -half);
    if (brushVisible() && inner.width() > 0 && inner.height() > 0)
        m_painter.fillRect(inner, currentBrush());
    const QColor color = pen.color();
    if (pen.joinStyle() == Qt::RoundJoin) {
        drawRoundFrameSpans(device.adjusted(-half, -half, half, half), inner, half, color);
        return true;
    }
    const double l = device.left() - half, t = device.top() - half;
    const double r = device.right() + half, b = device.bottom() + half;
    m_painter.fillRect(QRectF(QPointF(l, t), QPointF(r, device.top() + half)), color);
    m_painter.fillRect(QRectF(QPointF(l, device.bottom() - half), QPointF(r, b)), color);
    m_painter.fillRect(QRectF(QPointF(l, t), QPointF(device.left() + half, b)), color);
    m_painter.fillRect(QRectF(QPointF(device.right() - half, t), QPointF(r, b)), color);
    return true;
}

// The frame a wide pen with round joins strokes around a rectangle: the rectangle grown by
// half the width with its corners rounded to that radius, less the rectangle shrunk by it, as
// runs of output pixels.
void GdiPlayer::drawRoundFrameSpans(const QRectF& outerDevice, const QRectF& innerDevice,
                                    double radius, const QColor& color) {
    const QRectF outer = m_deviceToPainter.mapRect(outerDevice);
    const bool hole = innerDevice.width() > 0 && innerDevice.height() > 0;
    const QRectF inner = m_deviceToPainter.mapRect(innerDevice);
    const double rx = radius * std::abs(m_deviceToPainter.m11());
    const double ry = radius * std::abs(m_deviceToPainter.m22());
    const QPaintDevice* target = m_painter.device();
    const int yFrom = std::max(fillEdge(outer.top()), 0);
    const int yTo = std::min(fillEdge(outer.bottom()), target ? target->height() : 0);
    const int holeTop = fillEdge(inner.top()), holeBottom = fillEdge(inner.bottom());
    const int holeLeft = fillEdge(inner.left()), holeRight = fillEdge(inner.right());
    m_penSpans.clear();
    for (int y = yFrom; y < yTo; ++y) {
        const double yc = y + 0.5;
        const double dy = std::max(outer.top() + ry - yc, yc - (outer.bottom() - ry));
        double inset = 0;
        if (dy > 0 && ry > 0) {
            if (dy > ry) continue;  // a row on the straight edge itself keeps the edge
            const double t = dy / ry;
            inset = rx * (1 - std::sqrt(1 - t * t));
        }
        const int x0 = fillEdge(outer.left() + inset), x1 = fillEdge(outer.right() - inset);
        if (x1 <= x0) continue;
        if (hole && y >= holeTop && y < holeBottom && holeLeft < holeRight) {
            if (holeLeft > x0) m_penSpans.emplace_back(x0, y, std::min(holeLeft, x1) - x0, 1);
            if (x1 > holeRight)
                m_penSpans.emplace_back(std::max(holeRight, x0), y, x1 - std::max(holeRight, x0),
                                        1);
        } else {
            m_penSpans.emplace_back(x0, y, x1 - x0, 1);
        }
    }
    fillOutputSpans(m_penSpans, QBrush(color));
}

void GdiPlayer::rectangle(const Rect& rect) {
    QRectF r = logicalRect(rect);
    if ((m_dc.pen.style & penStyle::StyleMask) == penStyle::InsideFrame) {
        const double half = m_dc.pen.width / 2;
        if (r.width() > 2 * half && r.height() > 2 * half) r.adjust(half, half, -half, -half);
    }
    if (drawSimpleRect(r)) return;
    QPainterPath path;
    path.addRect(r);
    path = m_toDevice.map(path);
    figure(path, true);
}

void GdiPlayer::roundRect(const Rect& rect, Size corner) {
    const QRectF r = logicalRect(rect);
    QPainterPath path;
    path.addRoundedRect(r, std::min(std::abs(double(corner.cx)) / 2.0, r.width() / 2),
                        std::min(std::abs(double(corner.cy)) / 2.0, r.height() / 2));
    figure(m_toDevice.map(path), true);
}

void GdiPlayer::ellipse(const Rect& rect) {
    QRectF r = logicalRect(rect);
    if ((m_dc.pen.style & penStyle::StyleMask) == penStyle::InsideFrame) {
        const double half = m_dc.pen.width / 2;
        if (r.width() > 2 * half && r.height() > 2 * half) r.adjust(half, half, -half, -half);
    }
    QPainterPath path;
    if (!m_toDevice.isRotating()) {
        // An ellipse scaled along its axes is the ellipse of the scaled box.
        const QRectF device = m_toDevice.mapRect(r);
        if (drawRingEllipse(device)) return;
        path.addEllipse(device);
        if (prepareSimple(true)) {
            m_painter.drawPath(path);
            return;
        }
        figure(path, true);
        return;
    }
    path.addEllipse(r);
    figure(m_toDevice.map(path), true);
}

// The ring between two ellipses (device units) in the pen's colour and the inner ellipse in a
// solid brush, as runs of output pixels: a row's runs come straight from the ellipse equation,
// and the painter fills a list of rectangles without scan-converting any outline.
void GdiPlayer::drawEllipseSpans(const QRectF& outerDevice, const QRectF& innerDevice,
                                 const QColor& penColor, const QBrush* brush) {
    const QRectF outer = m_deviceToPainter.mapRect(outerDevice);
    const QRectF inner = m_deviceToPainter.mapRect(innerDevice);
    const QPaintDevice* target = m_painter.device();
    const int rows = target ? target->height() : 0;
    const int yFrom = std::max(fillEdge(outer.top()), 0);
    const int yTo = std::min(fillEdge(outer.bottom()), rows);
    m_penSpans.clear();
    m_brushSpans.clear();
    for (int y = yFrom; y < yTo; ++y) {
        int ox0, ox1, ix0, ix1;
        if (!ellipseRow(outer, y, ox0, ox1)) continue;
        if (ellipseRow(inner, y, ix0, ix1) && ix0 >= ox0 && ix1 <= ox1) {
            if (brush) m_brushSpans.emplace_back(ix0, y, ix1 - ix0, 1);
            if (ix0 > ox0) m_penSpans.emplace_back(ox0, y, ix0 - ox0, 1);
            if (ox1 > ix1) m_penSpans.emplace_back(ix1, y, ox1 - ix1, 1);
        } else {
            m_penSpans.emplace_back(ox0, y, ox1 - ox0, 1);
        }
    }
    if (brush) fillOutputSpans(m_brushSpans, *brush);
    fillOutputSpans(m_penSpans, QBrush(penColor));
}

// A wide pen's stroke along an ellipse is the ring between the ellipse grown and shrunk by half
// the width (to well under a pixel for the widths pictures use). Filling the ring spares the
// painter the offset curves of the stroker, the most costly part of a busy picture.
bool GdiPlayer::drawRingEllipse(const QRectF& device) {
    if (m_inPath || m_dc.rop2 == rop2::Nop || !axisAligned() || !overpaintSafe()) return false;
    const QPen& pen = currentPen();
    if (pen.style() != Qt::SolidLine || pen.isCosmetic() || !(pen.widthF() > 0)) return false;
    const double half = pen.widthF() / 2;
    const QRectF inner = device.adjusted(half, half, -half, -half);
    if (!(inner.width() > 0 && inner.height() > 0)) return false;  // the pen covers it all
    applyClip();
    applyRop2();
    drawEllipseSpans(device.adjusted(-half, -half, half, half), inner, pen.color(),
                     brushVisible() ? &currentBrush() : nullptr);
    return true;
}

// An arc of the ellipse in `box` from the radial line through `start` to the one through
// `end`, in the DC's arc direction as seen on the output; kind 0 arc, 1 chord, 2 pie,
// 3 arc joined to the current position (ArcTo).
QPainterPath GdiPlayer::arcPath(const Rect& box, Point start, Point end, int kind) const {
    const QRectF r = logicalRect(box);
    const QPointF c = r.center();
    const double rx = std::max(r.width() / 2, 1e-9), ry = std::max(r.height() / 2, 1e-9);
    // Qt measures ellipse angles parametrically; GDI by the radial line through the point.
    const auto angleOf = [&](Point p) {
        return std::atan2(-(p.y - c.y()) / ry, (p.x - c.x()) / rx) * 180 / std::numbers::pi;
    };
    const double a0 = angleOf(start);
    double sweep = angleOf(end) - a0;
    // Counter-clockwise on the output; a transform that mirrors turns the logical direction.
    bool counterClockwise = m_dc.arcDirection == ArcDirection::CounterClockwise;
    if (m_toDevice.determinant() < 0) counterClockwise = !counterClockwise;
    if (counterClockwise) {
        while (sweep <= 0) sweep += 360;
    } else {
        while (sweep >= 0) sweep -= 360;
    }
    if (!std::isfinite(sweep)) sweep = 0;
    QPainterPath path;
    if (kind == 2) {
        path.moveTo(c);
        path.arcTo(r, a0, sweep);
        path.closeSubpath();
    } else if (kind == 3) {
        path.moveTo(m_dc.position);
        path.arcTo(r, a0, sweep);
    } else {
        path.arcMoveTo(r, a0);
        path.arcTo(r, a0, sweep);
        if (kind == 1) path.closeSubpath();
    }
    return m_toDevice.map(path);
}

void GdiPlayer::arc(const Rect& box, Point start, Point end) {
    const QPainterPath path = arcPath(box, start, end, 0);
    if (m_inPath) {
        addToPath(path, false);
        return;
    }
    drawDevicePath(path, false, true);
}

void GdiPlayer::arcTo(const Rect& box, Point start, Point end) {
    const QPainterPath path = arcPath(box, start, end, 3);
    const QPointF last = path.elementCount() ? path.currentPosition() : QPointF();
    m_dc.position = m_toDevice.inverted().map(last);
    if (m_inPath) {
        addToPath(path, true);
        return;
    }
    drawDevicePath(path, false, true);
}

void GdiPlayer::chord(const Rect& box, Point start, Point end) {
    figure(arcPath(box, start, end, 1), true);
}

void GdiPlayer::pie(const Rect& box, Point start, Point end) {
    figure(arcPath(box, start, end, 2), true);
}

void GdiPlayer::angleArc(Point center, uint32_t radius, float startAngle, float sweepAngle) {
    const double r = std::min<double>(radius, kCoordLimit);
    const QRectF box(center.x - r, center.y - r, 2 * r, 2 * r);
    QPainterPath path(m_dc.position);
    path.arcTo(box, startAngle, std::clamp<double>(sweepAngle, -3600, 3600));
    m_dc.position = path.currentPosition();
    const QPainterPath device = m_toDevice.map(path);
    if (m_inPath) {
        addToPath(device, true);
        return;
    }
    drawDevicePath(device, false, true);
}

void GdiPlayer::setPixel(Point point, ColorRef color) {
    applyClip();
    applyRop2();
    const QPointF p = clampPoint(toDevice(point));
    QPainterPath path;
    path.addRect(QRectF(QPointF(std::floor(p.x()), std::floor(p.y())),
                        QSizeF(std::max(1.0, m_pixelInDevice), std::max(1.0, m_pixelInDevice))));
    m_painter.fillPath(path, color.toQColor());
}

// --- Regions ---

QPainterPath GdiPlayer::regionPath(const RegionData& region) const {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const Rect& r : region.rects) path.addRect(logicalRect(r));
    return path;
}

void GdiPlayer::fillDeviceRegion(const QPainterPath& path, const BrushObject& brush) {
    if (m_dc.rop2 == rop2::Nop || brush.style == brushStyle::Null) return;
    applyClip();
    applyRop2();
    QPainterPath filled = path;
    filled.setFillRule(Qt::WindingFill);
    m_painter.fillPath(filled, deviceBrush(brush));
}

namespace {
std::optional<GdiPlayer::BrushObject> brushFor(uint32_t index, const GdiPlayer::Object* o) {
    if (index & stockObject::Flag) {
        if (index == stockObject::NullBrush)
            return GdiPlayer::BrushObject{brushStyle::Null, Qt::white, 0, {}, false};
        if (index <= stockObject::BlackBrush)
            return GdiPlayer::BrushObject{brushStyle::Solid, stockBrushColor(index), 0, {}, false};
        return std::nullopt;
    }
    if (o)
        if (auto* b = std::get_if<GdiPlayer::BrushObject>(o)) return *b;
    return std::nullopt;
}
}  // namespace

void GdiPlayer::fillRegion(const RegionData& region, uint32_t brushIndex) {
    if (auto b = brushFor(brushIndex, object(brushIndex)))
        fillDeviceRegion(m_toDevice.map(regionPath(region)), *b);
}

void GdiPlayer::frameRegion(const RegionData& region, uint32_t brushIndex, Size stroke) {
    auto b = brushFor(brushIndex, object(brushIndex));
    if (!b) return;
    // The frame is the region less the region shrunk by the stroke on each side.
    const QPainterPath r = regionPath(region);
    const double w = std::clamp<double>(std::abs(double(stroke.cx)), 1, 1e5);
    const double h = std::clamp<double>(std::abs(double(stroke.cy)), 1, 1e5);
    const QPainterPath inner = r.intersected(r.translated(w, 0))
                                   .intersected(r.translated(-w, 0))
                                   .intersected(r.translated(0, h))
                                   .intersected(r.translated(0, -h));
    fillDeviceRegion(m_toDevice.map(r.subtracted(inner)), *b);
}

void GdiPlayer::invertRegion(const RegionData& region) {
    if (!m_rasterOps) return;
    applyClip();
    m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    m_painter.fillPath(m_toDevice.map(regionPath(region)), Qt::black);
    restoreCompositionMode();
}

void GdiPlayer::paintRegion(const RegionData& region) {
    fillDeviceRegion(m_toDevice.map(regionPath(region)), m_dc.brush);
}

namespace {
const QPainterPath* regionOf(const GdiPlayer::Object* o) {
    if (!o) return nullptr;
    auto* r = std::get_if<GdiPlayer::RegionObject>(o);
    return r ? &r->path : nullptr;
}
}  // namespace

void GdiPlayer::fillRegionObject(uint32_t regionIndex, uint32_t brushIndex) {
    const QPainterPath* r = regionOf(object(regionIndex));
    auto b = brushFor(brushIndex, object(brushIndex));
    if (r && b) fillDeviceRegion(m_toDevice.map(*r), *b);
}

void GdiPlayer::frameRegionObject(uint32_t regionIndex, uint32_t brushIndex, Size stroke) {
    const QPainterPath* r = regionOf(object(regionIndex));
    if (!r) return;
    std::vector<Rect> rects;
    // Reuse the by-value path: turn the stored path back into its rectangles' bounds.
    const QRectF b = r->boundingRect();
    rects.push_back(
        Rect{int32_t(b.left()), int32_t(b.top()), int32_t(b.right()), int32_t(b.bottom())});
    frameRegion(RegionData{rects.front(), rects}, brushIndex, stroke);
}

void GdiPlayer::invertRegionObject(uint32_t regionIndex) {
    const QPainterPath* r = regionOf(object(regionIndex));
    if (!r || !m_rasterOps) return;
    applyClip();
    m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    m_painter.fillPath(m_toDevice.map(*r), Qt::black);
    restoreCompositionMode();
}

void GdiPlayer::paintRegionObject(uint32_t regionIndex) {
    if (const QPainterPath* r = regionOf(object(regionIndex)))
        fillDeviceRegion(m_toDevice.map(*r), m_dc.brush);
}

void GdiPlayer::shadeTriangle(const QTransform& full, std::array<const TriVertex*, 3> corners,
                              const QRect& deviceRect) {
    QPointF p[3];
    for (int k = 0; k < 3; ++k) {
        p[k] = full.map(QPointF(corners[k]->x, corners[k]->y));
        p[k] = QPointF(clamp(p[k].x()), clamp(p[k].y()));
    }
    const double area = (p[1].x() - p[0].x()) * (p[2].y() - p[0].y()) -
                        (p[2].x() - p[0].x()) * (p[1].y() - p[0].y());
    if (std::abs(area) < 1e-9) return;
    const QRect box = QPolygonF({p[0], p[1], p[2]}).boundingRect().toAlignedRect() & deviceRect;
    if (box.isEmpty()) return;
    QImage shaded(box.size(), QImage::Format_ARGB32_Premultiplied);
    if (shaded.isNull()) return;
    shaded.fill(Qt::transparent);
    for (int y = 0; y < box.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shaded.scanLine(y));
        const double cy = box.top() + y + 0.5;
        for (int x = 0; x < box.width(); ++x) {
            const double cx = box.left() + x + 0.5;
            // Barycentric weights of the pixel centre; all three non-negative inside.
            const double w0 =
                ((p[1].x() - cx) * (p[2].y() - cy) - (p[2].x() - cx) * (p[1].y() - cy)) / area;
            const double w1 =
                ((p[2].x() - cx) * (p[0].y() - cy) - (p[0].x() - cx) * (p[2].y() - cy)) / area;
            const double w2 = 1 - w0 - w1;
            if (w0 < -1e-9 || w1 < -1e-9 || w2 < -1e-9) continue;
            const auto channel = [&](uint16_t TriVertex::*c) {
                const double v =
                    w0 * (corners[0]->*c) + w1 * (corners[1]->*c) + w2 * (corners[2]->*c);
                return std::clamp(int(v) >> 8, 0, 255);
            };
            line[x] = qRgb(channel(&TriVertex::red), channel(&TriVertex::green),
                           channel(&TriVertex::blue));
        }
    }
    m_painter.setTransform(QTransform());
    m_painter.drawImage(box.topLeft(), shaded);
}

void GdiPlayer::gradientFill(std::span<const TriVertex> vertices, std::span<const uint32_t> indices,
                             uint32_t mode) {
    applyClip();
    applyRop2();
    const auto colorOf = [](const TriVertex& v) {
        return QColor(v.red >> 8, v.green >> 8, v.blue >> 8);
    };
    if (mode == 2) {
        // GRADIENT_FILL_TRIANGLE: each triangle shaded from its corners' colours (Gouraud),
        // pixel by pixel in output pixels, then laid over the picture through the clip.
        const QPaintDevice* device = m_painter.device();
        if (!device) return;
        const QRect deviceRect(0, 0, device->width(), device->height());
        const QTransform full = m_toDevice * m_deviceToPainter;
        for (size_t i = 0; i + 2 < indices.size(); i += 3)
            shadeTriangle(
                full, {&vertices[indices[i]], &vertices[indices[i + 1]], &vertices[indices[i + 2]]},
                deviceRect);
        m_painter.setTransform(m_deviceToPainter);
        return;
    }
    for (size_t i = 0; i + 1 < indices.size(); i += 2) {
        const TriVertex& a = vertices[indices[i]];
        const TriVertex& b = vertices[indices[i + 1]];
        const QRectF r = logicalRect(Rect{a.x, a.y, b.x, b.y});
        const QPointF from = toDevice(QPointF(a.x, a.y));
        const QPointF to = mode == 0 ? toDevice(QPointF(b.x, a.y)) : toDevice(QPointF(a.x, b.y));
        QLinearGradient gradient(from, to);
        gradient.setColorAt(0, colorOf(a));
        gradient.setColorAt(1, colorOf(b));
        QPainterPath path;
        path.addRect(r);
        m_painter.fillPath(m_toDevice.map(path), gradient);
    }
}

// --- Paths ---

void GdiPlayer::beginPath() {
    m_inPath = true;
    m_pathOpen = false;
    m_path = QPainterPath();
}

void GdiPlayer::endPath() {
    m_inPath = false;
}

void GdiPlayer::closeFigure() {
    if (m_inPath && !m_path.isEmpty()) m_path.closeSubpath();
    m_pathOpen = false;
}

void GdiPlayer::abortPath() {
    m_inPath = false;
    m_path = QPainterPath();
}

void GdiPlayer::fillPath() {
    if (m_inPath) return;  // GDI fails these inside an open bracket
    drawDevicePath(m_path, true, false);
    m_path = QPainterPath();
}

void GdiPlayer::strokePath() {
    if (m_inPath) return;
    drawDevicePath(m_path, false, true);
    m_path = QPainterPath();
}

void GdiPlayer::strokeAndFillPath() {
    if (m_inPath) return;
    drawDevicePath(m_path, true, true);
    m_path = QPainterPath();
}

void GdiPlayer::flattenPath() {
    if (m_inPath) return;
    QPainterPath flat;
    for (const QPolygonF& poly : m_path.toSubpathPolygons()) flat.addPolygon(poly);
    m_path = flat;
}

void GdiPlayer::widenPath() {
    if (m_inPath) return;
    const QPen pen = devicePen(m_dc.pen);
    QPainterPathStroker stroker(pen);
    if (pen.widthF() <= 0) stroker.setWidth(m_pixelInDevice);
    m_path = stroker.createStroke(m_path);
    m_path.setFillRule(Qt::WindingFill);
}

// --- Clipping ---

namespace {
// The union of many rectangles, halving the list each time, so that a region of n rectangles
// costs about n log n rather than n squared (the data need not be sorted or disjoint).
QRegion uniteRects(const QVector<QRect>& rects, qsizetype from, qsizetype to) {
    if (to - from <= 0) return {};
    if (to - from == 1) return QRegion(rects[from]);
    const qsizetype mid = from + (to - from) / 2;
    return uniteRects(rects, from, mid).united(uniteRects(rects, mid, to));
}
}  // namespace

// A figure in device units as the region of output pixels whose centres it covers.
QRegion GdiPlayer::toRegion(const QPainterPath& devicePath) const {
    const QPainterPath path = m_deviceToPainter.map(devicePath);
    QRegion region;
    if (path.elementCount() == 5 && !m_deviceToPainter.isRotating()) {
        // A rectangle: its edges rounded to pixel boundaries.
        const QRectF r = path.boundingRect();
        const auto edge = [](double v) { return int(std::lround(clamp(v))); };
        return QRegion(QRect(QPoint(edge(r.left()), edge(r.top())),
                             QPoint(edge(r.right()) - 1, edge(r.bottom()) - 1)));
    }
    const Qt::FillRule rule = path.fillRule();
    for (const QPolygonF& polygon : path.toFillPolygons()) {
        QPolygon pixels;
        pixels.reserve(polygon.size());
        for (const QPointF& p : polygon)
            pixels << QPoint(int(std::lround(clamp(p.x()))), int(std::lround(clamp(p.y()))));
        const QRegion part(pixels, rule);
        region = rule == Qt::OddEvenFill ? region.xored(part) : region.united(part);
    }
    return region;
}

void GdiPlayer::combineClip(const QRegion& region, RegionMode mode) {
    const std::optional<QRegion>& current = m_dc.clip;
    switch (mode) {
        case RegionMode::Copy:
            setClip(region);
            break;
        case RegionMode::And:
            setClip(current ? current->intersected(region) : region);
            break;
        case RegionMode::Or:
            if (current) setClip(current->united(region));
            break;  // no clip is the whole picture already
        case RegionMode::Xor:
            setClip((current ? *current : everything()).xored(region));
            break;
        case RegionMode::Diff:
            setClip((current ? *current : everything()).subtracted(region));
            break;
    }
}

void GdiPlayer::intersectClipRect(const Rect& rect) {
    QPainterPath path;
    path.addRect(logicalRect(rect));
    combineClip(toRegion(m_toDevice.map(path)), RegionMode::And);
}

void GdiPlayer::excludeClipRect(const Rect& rect) {
    QPainterPath path;
    path.addRect(logicalRect(rect));
    combineClip(toRegion(m_toDevice.map(path)), RegionMode::Diff);
}

void GdiPlayer::offsetClipRgn(int32_t dx, int32_t dy) {
    if (!m_dc.clip) return;
    // OffsetClipRgn moves the region by logical units scaled by the map mode alone: the world
    // transform, and with it an EMF's stretch onto the target, does not apply.
    const QTransform& toOutput = m_frameUnderWorld ? m_painterBase : m_deviceToPainter;
    const QPointF device(dx * m_pageScale.x(), dy * m_pageScale.y());
    const QPointF d = toOutput.map(device) - toOutput.map(QPointF(0, 0));
    setClip(m_dc.clip->translated(int(std::lround(clamp(d.x()))), int(std::lround(clamp(d.y())))));
}

void GdiPlayer::selectClipRegion(const RegionData* region, RegionMode mode) {
    if (!region) {
        if (mode == RegionMode::Copy) setClip(std::nullopt);
        return;
    }
    // Region data is in device units already: each rectangle to output pixels.
    QVector<QRect> rects;
    rects.reserve(qsizetype(region->rects.size()));
    for (const Rect& r : region->rects) {
        const QRectF mapped = m_deviceToPainter.mapRect(logicalRect(r));
        const auto edge = [](double v) { return int(std::lround(clamp(v))); };
        const QRect px(QPoint(edge(mapped.left()), edge(mapped.top())),
                       QPoint(edge(mapped.right()) - 1, edge(mapped.bottom()) - 1));
        if (!px.isEmpty()) rects.append(px);
    }
    combineClip(uniteRects(rects, 0, rects.size()), mode);
}

void GdiPlayer::selectClipPath(RegionMode mode) {
    if (m_inPath) return;
    QPainterPath path = m_path;
    path.setFillRule(m_dc.fillMode == PolyFillMode::Winding ? Qt::WindingFill : Qt::OddEvenFill);
    combineClip(toRegion(path), mode);
    m_path = QPainterPath();
}

void GdiPlayer::setMetaRgn() {
    if (m_dc.clip)
        m_dc.metaClip = m_dc.metaClip ? m_dc.metaClip->intersected(*m_dc.clip) : *m_dc.clip;
    setClip(std::nullopt);
}

void GdiPlayer::unknownRecord(uint32_t, std::span<const uint8_t>) {
    ++m_unsupported;
}

}  // namespace plume::metafile
