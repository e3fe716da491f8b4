#include "platform/metafile/render/EmfPlusPlayer.h"

#include "platform/metafile/format/EmfPlusReader.h"
#include "platform/metafile/format/PathBoolean.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <type_traits>

namespace plume::metafile {

using namespace emfplus;

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// A clip as large as any picture, for the combine modes that need "everything".
QPainterPath everything() {
    QPainterPath path;
    path.addRect(QRectF(-1e7, -1e7, 2e7, 2e7));
    return path;
}

}  // namespace

// One boolean of two clips: exact for small ones, in the painter device's pixels past the
// bound, counted as simplified.
QPainterPath EmfPlusPlayer::combinePaths(const QPainterPath& a, const QPainterPath& b,
                                         PathOp op) {
    const QPaintDevice* device = m_painter.device();
    const QRect bounds = device ? QRect(0, 0, device->width(), device->height())
                                : m_target.toAlignedRect();
    bool simplified = false;
    QPainterPath out = combinePathsBounded(a, b, op, bounds, &simplified);
    m_simplified += simplified;
    return out;
}

std::optional<QPainterPath> EmfPlusPlayer::intersect(const std::optional<QPainterPath>& a,
                                                     const std::optional<QPainterPath>& b) {
    if (!a) return b;
    if (!b) return a;
    return combinePaths(*a, *b, PathOp::Intersect);
}

EmfPlusPlayer::EmfPlusPlayer(QPainter& painter, const QTransform& deviceToPainter,
                             const QRectF& target)
    : m_painter(painter), m_deviceToPainter(deviceToPainter), m_target(target) {
    // The caller's clip, before the GDI records after a GetDC set clips of their own.
    if (m_painter.hasClipping()) m_callerClip = m_painter.transform().map(m_painter.clipPath());
}

EmfPlusPlayer::~EmfPlusPlayer() { release(); }

// Page units in the reference device's pixels, at the dpi the EMF+ header gives. GDI+ takes
// the display unit of a picture as its pixels, and the world unit is no page unit.
double EmfPlusPlayer::unitPixels(Unit unit, bool vertical) const {
    const double dpi = vertical ? m_dpiY : m_dpiX;
    switch (unit) {
        case Unit::Point:
            return dpi / 72.0;
        case Unit::Inch:
            return dpi;
        case Unit::Document:
            return dpi / 300.0;
        case Unit::Millimeter:
            return dpi / 25.4;
        default:
            return 1;
    }
}

QTransform EmfPlusPlayer::pageTransform() const {
    return QTransform::fromScale(unitPixels(m_state.pageUnit, false) * m_state.pageScale,
                                 unitPixels(m_state.pageUnit, true) * m_state.pageScale);
}

void EmfPlusPlayer::take() {
    if (m_taken) return;
    m_painter.save();
    m_taken = true;
    m_painterDirty = true;
}

void EmfPlusPlayer::release() {
    if (!m_taken) return;
    m_painter.restore();
    m_taken = false;
}

// Clip, antialiasing and compositing onto the painter, when they changed.
void EmfPlusPlayer::applyPainterState() {
    take();
    if (!m_painterDirty) return;
    m_painterDirty = false;
    m_painter.setTransform(QTransform());
    const auto clip = intersect(intersect(m_state.clip, m_state.outer), m_callerClip);
    if (clip) m_painter.setClipPath(*clip);
    else m_painter.setClipping(false);
    m_painter.setRenderHint(QPainter::Antialiasing, m_state.antialias);
    m_painter.setCompositionMode(m_state.sourceCopy ? QPainter::CompositionMode_Source
                                                    : QPainter::CompositionMode_SourceOver);
}

// Combine modes (MS-EMFPLUS 2.1.1.4): replace, intersect, union, xor, exclude, complement.
void EmfPlusPlayer::combineClip(const QPainterPath& path, uint8_t mode) {
    const std::optional<QPainterPath>& now = m_state.clip;
    switch (mode) {
        case 0:
            m_state.clip = path;
            break;
        case 1:
            m_state.clip = now ? combinePaths(*now, path, PathOp::Intersect) : path;
            break;
        case 2:
            if (now) m_state.clip = combinePaths(*now, path, PathOp::Unite);
            break;
        case 3:
            m_state.clip = combinePaths(now ? *now : everything(), path, PathOp::Xor);
            break;
        case 4:
            m_state.clip = combinePaths(now ? *now : everything(), path, PathOp::Subtract);
            break;
        case 5:
            m_state.clip = now ? combinePaths(path, *now, PathOp::Subtract) : QPainterPath();
            break;
        default:
            return;
    }
    m_painterDirty = true;
}

bool EmfPlusPlayer::playClip(const ClipRecord& r) {
    switch (r.kind) {
        case ClipRecord::Kind::Reset:
            m_state.clip.reset();
            break;
        case ClipRecord::Kind::Rect: {
            QPainterPath path;
            path.addRect(r.rect.normalized());
            combineClip(worldToPainter().map(path), r.combine);
            break;
        }
        case ClipRecord::Kind::Path: {
            const Path* path = pathOf(r.object);
            if (!path) return false;
            combineClip(worldToPainter().map(pathOutline(*path)), r.combine);
            break;
        }
        case ClipRecord::Kind::Region: {
            const auto* region = std::get_if<Region>(&m_objects[r.object % kObjectTableSize].data);
            if (!region) return false;
            m_simplified += region->simplified;
            const QPainterPath inside = worldToPainter().map(region->path);
            combineClip(!region->outside   ? inside
                        : inside.isEmpty() ? everything()
                                           : combinePaths(everything(), inside, PathOp::Subtract),
                        r.combine);
            break;
        }
        case ClipRecord::Kind::Offset:
            if (m_state.clip) {
                const QTransform t = worldToPainter();
                const QPointF d = t.map(QPointF(r.dx, r.dy)) - t.map(QPointF(0, 0));
                m_state.clip->translate(d);
            }
            break;
    }
    m_painterDirty = true;
    return true;
}

// Save and Restore, BeginContainerNoParams and EndContainer: a restore drops the states
// saved after the one it names, as GDI+ does.
void EmfPlusPlayer::playStack(const StackRecord& r) {
    switch (r.kind) {
        case StackRecord::Kind::Save:
            m_stack.push_back({r.index, m_state});
            return;
        case StackRecord::Kind::BeginContainer:
            m_stack.push_back({r.index, m_state});
            m_state.outer = intersect(m_state.clip, m_state.outer);
            m_state.clip.reset();
            return;
        case StackRecord::Kind::Restore:
        case StackRecord::Kind::EndContainer: {
            const auto it = std::find_if(m_stack.rbegin(), m_stack.rend(),
                                         [&](const Saved& s) { return s.index == r.index; });
            if (it == m_stack.rend()) return;
            m_state = it->state;
            m_stack.erase(std::prev(it.base()), m_stack.end());
            m_painterDirty = true;
            return;
        }
    }
}

// A container maps its source rectangle (in its unit) onto the destination rectangle of the
// world it opens in; its clip starts as the clip around it.
void EmfPlusPlayer::beginContainer(const BeginContainerRecord& r) {
    m_stack.push_back({r.index, m_state});
    const double ux = r.unit == Unit::World ? 1 : unitPixels(r.unit, false);
    const double uy = r.unit == Unit::World ? 1 : unitPixels(r.unit, true);
    const QRectF src(r.src.x() * ux, r.src.y() * uy, r.src.width() * ux, r.src.height() * uy);
    if (src.width() != 0 && src.height() != 0) {
        const QTransform map = QTransform::fromTranslate(-src.x(), -src.y()) *
                               QTransform::fromScale(r.dest.width() / src.width(),
                                                     r.dest.height() / src.height()) *
                               QTransform::fromTranslate(r.dest.x(), r.dest.y());
        m_state.world = map * m_state.world;
    }
    m_state.outer = intersect(m_state.clip, m_state.outer);
    m_state.clip.reset();
}

bool EmfPlusPlayer::playSetting(const SettingRecord& r) {
    switch (r.type) {
        case RecordType::SetAntiAliasMode:
            m_state.antialias = r.value & 0x01;
            m_painterDirty = true;
            return true;
        case RecordType::SetCompositingMode:
            m_state.sourceCopy = (r.value & 0xFF) == 1;
            m_painterDirty = true;
            return true;
        // Images are scaled smoothly except in nearest neighbour mode (GDI+'s other modes
        // differ in the smoothing filter only).
        case RecordType::SetInterpolationMode:
            m_state.nearestImages = (r.value & 0xFF) == 5;
            return true;
        case RecordType::SetRenderingOrigin:
            m_state.renderingOrigin = QPointF(r.value, r.value2);
            return true;
        // Text quality and contrast and compositing quality change pixels at the edges only.
        // Pixel offset: Qt's pixel centres lie half a pixel in, as GDI+'s do in the half and
        // high quality modes that writers set; in the others GDI+'s lie half a pixel off.
        default:
            return true;
    }
}

bool EmfPlusPlayer::play(const Record& record) {
    return std::visit(
        Overloaded{
            [&](const HeaderRecord& h) {
                if (h.dpiX >= 1 && h.dpiX <= 10'000) m_dpiX = h.dpiX;
                if (h.dpiY >= 1 && h.dpiY <= 10'000) m_dpiY = h.dpiY;
                return true;
            },
            [](const EndOfFileRecord&) { return true; },
            [](const GetDcRecord&) { return true; },
            [](const IgnoredRecord&) { return true; },
            [](const UnsupportedRecord&) { return false; },
            [](const PendingObject&) { return true; },
            [&](const ObjectRecord& o) {
                forgetGradientBands(o.id);
                keep(o);
                return true;
            },
            [&](const ClearRecord& r) { return playClear(r.color); },
            [&](const FillRectsRecord& r) { return playRects(r.rects, true, r.brush, 0); },
            [&](const DrawRectsRecord& r) { return playRects(r.rects, false, {}, r.pen); },
            [&](const EllipseRecord& r) { return playEllipse(r); },
            [&](const PolyRecord& r) { return playPoly(r); },
            [&](const PathDrawRecord& r) { return playPathDraw(r); },
            [&](const ImageDrawRecord& r) { return playImage(r); },
            [&](const StringRecord& r) { return playString(r); },
            [&](const DriverStringRecord& r) { return playDriverString(r); },
            [&](const StackRecord& r) {
                playStack(r);
                return true;
            },
            [&](const BeginContainerRecord& r) {
                beginContainer(r);
                return true;
            },
            [&](const TransformRecord& r) {
                switch (r.kind) {
                    case TransformRecord::Kind::Set:
                        m_state.world = r.matrix;
                        break;
                    case TransformRecord::Kind::Reset:
                        m_state.world = QTransform();
                        break;
                    case TransformRecord::Kind::Multiply:
                        m_state.world =
                            r.append ? m_state.world * r.matrix : r.matrix * m_state.world;
                        break;
                }
                return true;
            },
            [&](const PageTransformRecord& r) {
                m_state.pageUnit = r.unit;
                m_state.pageScale = r.scale;
                return true;
            },
            [&](const ClipRecord& r) { return playClip(r); },
            [&](const SettingRecord& r) { return playSetting(r); },
            [&](const ImageEffectRecord& r) {
                keep(r);
                return true;
            },
        },
        record);
}

// --- What the player draws as GDI+ does ---

bool EmfPlusObjects::brushDrawable(const BrushRef& ref) const {
    if (ref.isColor) return true;
    const auto* brush = object<Brush>(ref.value);
    return brush && emfPlusBrushDrawable(*brush);
}

bool EmfPlusObjects::penDrawable(uint32_t id) const {
    const auto* pen = object<Pen>(id);
    return pen && emfPlusPenDrawable(*pen);
}

// A bitmap's source in any unit the format has, a metafile's in any (in pixels it draws that
// part); an effect flag with no effect read before it is refused, the GDI records showing what
// the writer meant.
bool EmfPlusObjects::imageDrawable(const ImageDrawRecord& r) const {
    const auto* image = std::get_if<Image>(&m_objects[r.image % kObjectTableSize].data);
    if (!image || (r.effect && !m_effect)) return false;
    if (image->bitmap.isNull()) return image->metafileReadable;
    return r.srcUnit >= 0 && r.srcUnit <= int32_t(Unit::Millimeter);
}

// Every record kind is named, with no catch-all: a kind added to the records does not build
// until it is named here.
bool EmfPlusObjects::canDraw(const Record& record) const {
    const auto font = [&](uint8_t id) {
        return std::holds_alternative<Font>(m_objects[id % kObjectTableSize].data);
    };
    const auto fillOrStroke = [&](bool fill, const BrushRef& brush, uint8_t pen) {
        return fill ? brushDrawable(brush) : penDrawable(pen);
    };
    return std::visit(
        Overloaded{
            [](const HeaderRecord&) { return true; },
            [](const EndOfFileRecord&) { return true; },
            [](const GetDcRecord&) { return true; },
            [](const IgnoredRecord&) { return true; },
            [](const UnsupportedRecord&) { return false; },
            [](const PendingObject&) { return true; },
            [](const ObjectRecord&) { return true; },
            [](const ClearRecord&) { return true; },
            [&](const FillRectsRecord& r) { return brushDrawable(r.brush); },
            [&](const DrawRectsRecord& r) { return penDrawable(r.pen); },
            [&](const EllipseRecord& r) { return fillOrStroke(r.fill, r.brush, r.pen); },
            [&](const PolyRecord& r) { return fillOrStroke(r.fill, r.brush, r.pen); },
            [&](const PathDrawRecord& r) {
                const bool shape = r.region ? object<Region>(r.path) != nullptr
                                            : object<Path>(r.path) != nullptr;
                return shape && fillOrStroke(r.fill, r.brush, r.pen);
            },
            [&](const ImageDrawRecord& r) { return imageDrawable(r); },
            [&](const StringRecord& r) { return font(r.font) && brushDrawable(r.brush); },
            [&](const DriverStringRecord& r) { return font(r.font) && brushDrawable(r.brush); },
            [](const StackRecord&) { return true; },
            [](const BeginContainerRecord&) { return true; },
            [](const TransformRecord&) { return true; },
            [](const PageTransformRecord&) { return true; },
            [&](const ClipRecord& r) {
                if (r.kind == ClipRecord::Kind::Region) return object<Region>(r.object) != nullptr;
                return r.kind != ClipRecord::Kind::Path || object<Path>(r.object) != nullptr;
            },
            [](const SettingRecord&) { return true; },
            [](const ImageEffectRecord&) { return true; },
        },
        record);
}

}  // namespace plume::metafile
