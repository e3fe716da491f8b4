#include "platform/metafile/format/EmfWriter.h"

#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/Dib.h"
#include "platform/metafile/format/FontText.h"
#include "platform/metafile/format/MetafileFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace plume::metafile {
namespace {

constexpr uint32_t kHeaderSize = 108;  // with both header extensions

bool fits16(std::span<const Point> points) {
    return std::all_of(points.begin(), points.end(), [](const Point& p) {
        return p.x >= std::numeric_limits<int16_t>::min() &&
               p.x <= std::numeric_limits<int16_t>::max() &&
               p.y >= std::numeric_limits<int16_t>::min() &&
               p.y <= std::numeric_limits<int16_t>::max();
    });
}

Rect boundsOf(std::span<const Point> points) {
    if (points.empty()) return Rect{0, 0, -1, -1};
    Rect r{points[0].x, points[0].y, points[0].x, points[0].y};
    for (const Point& p : points) {
        r.left = std::min(r.left, p.x);
        r.top = std::min(r.top, p.y);
        r.right = std::max(r.right, p.x);
        r.bottom = std::max(r.bottom, p.y);
    }
    return r;
}

int32_t clampToInt32(double v) {
    if (!(v > -2147483648.0)) return std::numeric_limits<int32_t>::min();
    if (!(v < 2147483647.0)) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::lround(v));
}

// A DIB as the EMF records want it: the BITMAPINFO and the bits apart. A packed DIB is split
// after its header, masks and colour table.
struct SplitDib {
    std::span<const uint8_t> info;
    std::span<const uint8_t> bits;
};

std::optional<SplitDib> splitDib(const DibRef& dib) {
    if (dib.empty()) return std::nullopt;
    if (!dib.bits.empty()) return SplitDib{dib.info, dib.bits};
    const auto header = parseDibHeader(dib.info, dibColorUsage(dib.colorUsage));
    if (!header || static_cast<size_t>(header->infoSize) > dib.info.size()) return std::nullopt;
    const size_t split = static_cast<size_t>(header->infoSize);
    return SplitDib{dib.info.first(split), dib.info.subspan(split)};
}

}  // namespace

EmfWriter::EmfWriter() = default;

void EmfWriter::put32(uint32_t v) {
    const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
    m_out.append(b, 4);
}

void EmfWriter::put16(uint16_t v) {
    const char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
    m_out.append(b, 2);
}

void EmfWriter::putRect(const Rect& r) {
    putI32(r.left);
    putI32(r.top);
    putI32(r.right);
    putI32(r.bottom);
}

void EmfWriter::putPoint(Point p) {
    putI32(p.x);
    putI32(p.y);
}

void EmfWriter::putBytes(std::span<const uint8_t> data) {
    m_out.append(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
}

void EmfWriter::padTo4() {
    while ((m_out.size() - m_recordStart) % 4) m_out.append('\0');
}

void EmfWriter::start(EmfRecordType type) {
    m_recordStart = m_out.size();
    put32(uint32_t(type));
    put32(0);  // size, set by finish()
}

void EmfWriter::finish() {
    padTo4();
    const uint32_t size = static_cast<uint32_t>(m_out.size() - m_recordStart);
    for (int i = 0; i < 4; ++i) m_out[m_recordStart + 4 + i] = static_cast<char>(size >> (8 * i));
    ++m_records;
}

void EmfWriter::simple(EmfRecordType type) {
    start(type);
    finish();
}

void EmfWriter::oneValue(EmfRecordType type, uint32_t value) {
    start(type);
    put32(value);
    finish();
}

void EmfWriter::pointRecord(EmfRecordType type, Point p) {
    start(type);
    putPoint(p);
    finish();
}

void EmfWriter::rectRecord(EmfRecordType type, const Rect& r) {
    start(type);
    putRect(r);
    finish();
}

void EmfWriter::arcRecord(EmfRecordType type, const Rect& box, Point start, Point end) {
    this->start(type);
    putRect(box);
    putPoint(start);
    putPoint(end);
    finish();
}

uint32_t EmfWriter::objectIndex(uint32_t sinkIndex) {
    // Stock objects keep their index; EMF reserves table slot 0 for the metafile itself.
    if (sinkIndex & stockObject::Flag) return sinkIndex;
    const uint32_t index = sinkIndex + 1;
    m_maxHandle = std::max(m_maxHandle, index);
    return index;
}

// --- Picture ---

void EmfWriter::begin(const PictureInfo& info) {
    m_out.clear();
    m_records = 0;
    m_maxHandle = 0;
    m_ended = false;
    // EmfRecordType::Header (MS-EMF 2.3.4.2) with both extensions; sizes and counts are set by
    // end().
    start(EmfRecordType::Header);
    putRect(info.bounds);
    putRect(info.frame);
    put32(kEmfSignature);
    put32(0x00010000);  // version
    put32(0);           // bytes
    put32(0);           // records
    put16(0);           // handles
    put16(0);           // reserved
    put32(0);           // description: none
    put32(0);
    put32(0);  // palette entries
    putI32(info.devicePixels.cx > 0 ? info.devicePixels.cx : 1);
    putI32(info.devicePixels.cy > 0 ? info.devicePixels.cy : 1);
    putI32(info.deviceMillimeters.cx > 0 ? info.deviceMillimeters.cx : 1);
    putI32(info.deviceMillimeters.cy > 0 ? info.deviceMillimeters.cy : 1);
    put32(0);  // pixel format: none
    put32(0);
    put32(0);  // not OpenGL
    putI32(info.deviceMicrometers.cx > 0 ? info.deviceMicrometers.cx
                                         : std::max(1, info.deviceMillimeters.cx) * 1000);
    putI32(info.deviceMicrometers.cy > 0 ? info.deviceMicrometers.cy
                                         : std::max(1, info.deviceMillimeters.cy) * 1000);
    finish();
    Q_ASSERT(m_out.size() == kHeaderSize);
}

void EmfWriter::end() {
    if (m_ended || m_out.isEmpty()) return;
    // EmfRecordType::Eof (MS-EMF 2.3.4.1): no palette; SizeLast repeats the record's size.
    start(EmfRecordType::Eof);
    put32(0);
    put32(16);
    put32(20);
    finish();
    m_ended = true;
    auto set32 = [this](qsizetype at, uint32_t v) {
        for (int i = 0; i < 4; ++i) m_out[at + i] = static_cast<char>(v >> (8 * i));
    };
    set32(48, static_cast<uint32_t>(m_out.size()));
    set32(52, m_records);
    const uint16_t handles = static_cast<uint16_t>(std::min<uint32_t>(m_maxHandle + 1, 0xFFFF));
    m_out[56] = static_cast<char>(handles & 0xFF);
    m_out[57] = static_cast<char>(handles >> 8);
}

// --- Device context ---

void EmfWriter::saveDc() {
    // The origins and the selected font are followed as deep as players keep saved states.
    if (m_saved.size() < size_t(kMaxSavedDcDepth)) m_saved.push_back(m_map);
    m_dc.saveDc();
    simple(EmfRecordType::SaveDc);
}

void EmfWriter::restoreDc(int32_t savedDc) {
    const qsizetype depth = static_cast<qsizetype>(m_saved.size());
    const qsizetype target = savedDc < 0 ? depth + savedDc : qsizetype{savedDc} - 1;
    if (target >= 0 && target < depth) {
        m_map = m_saved[static_cast<size_t>(target)];
        m_saved.resize(static_cast<size_t>(target));
    }
    m_dc.restoreDc(savedDc);
    oneValue(EmfRecordType::RestoreDc, static_cast<uint32_t>(savedDc));
}

void EmfWriter::setMapMode(MapMode mode) {
    m_map.mode = mode;
    oneValue(EmfRecordType::SetMapMode, static_cast<uint32_t>(mode));
}

void EmfWriter::setWindowOrg(Point origin) {
    m_map.windowOrg = origin;
    pointRecord(EmfRecordType::SetWindowOrgEx, origin);
}

void EmfWriter::setWindowExt(Size extent) {
    m_map.windowExt = extent;
    pointRecord(EmfRecordType::SetWindowExtEx, Point{extent.cx, extent.cy});
}

void EmfWriter::setViewportOrg(Point origin) {
    m_map.viewportOrg = origin;
    pointRecord(EmfRecordType::SetViewportOrgEx, origin);
}

void EmfWriter::setViewportExt(Size extent) {
    m_map.viewportExt = extent;
    pointRecord(EmfRecordType::SetViewportExtEx, Point{extent.cx, extent.cy});
}

void EmfWriter::offsetWindowOrg(int32_t dx, int32_t dy) {
    // EMF has no offset record: GDI records the resulting origin.
    setWindowOrg(Point{clampToInt32(double(m_map.windowOrg.x) + dx),
                       clampToInt32(double(m_map.windowOrg.y) + dy)});
}

void EmfWriter::offsetViewportOrg(int32_t dx, int32_t dy) {
    setViewportOrg(Point{clampToInt32(double(m_map.viewportOrg.x) + dx),
                         clampToInt32(double(m_map.viewportOrg.y) + dy)});
}

void EmfWriter::scaleWindowExt(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) {
    if (xDenom != 0 && yDenom != 0) {
        m_map.windowExt.cx = clampToInt32(double(m_map.windowExt.cx) * xNum / xDenom);
        m_map.windowExt.cy = clampToInt32(double(m_map.windowExt.cy) * yNum / yDenom);
    }
    start(EmfRecordType::ScaleWindowExtEx);
    putI32(xNum);
    putI32(xDenom);
    putI32(yNum);
    putI32(yDenom);
    finish();
}

void EmfWriter::scaleViewportExt(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) {
    if (xDenom != 0 && yDenom != 0) {
        m_map.viewportExt.cx = clampToInt32(double(m_map.viewportExt.cx) * xNum / xDenom);
        m_map.viewportExt.cy = clampToInt32(double(m_map.viewportExt.cy) * yNum / yDenom);
    }
    start(EmfRecordType::ScaleViewportExtEx);
    putI32(xNum);
    putI32(xDenom);
    putI32(yNum);
    putI32(yDenom);
    finish();
}

void EmfWriter::setWorldTransform(const XForm& x) {
    start(EmfRecordType::SetWorldTransform);
    for (float f : {x.m11, x.m12, x.m21, x.m22, x.dx, x.dy}) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        put32(bits);
    }
    finish();
}

void EmfWriter::modifyWorldTransform(const XForm& x, TransformMode mode) {
    start(EmfRecordType::ModifyWorldTransform);
    for (float f : {x.m11, x.m12, x.m21, x.m22, x.dx, x.dy}) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        put32(bits);
    }
    put32(static_cast<uint32_t>(mode));
    finish();
}

void EmfWriter::setBkMode(BkMode mode) {
    oneValue(EmfRecordType::SetBkMode, static_cast<uint32_t>(mode));
}
void EmfWriter::setBkColor(ColorRef color) {
    oneValue(EmfRecordType::SetBkColor, color.value);
}
void EmfWriter::setTextColor(ColorRef color) {
    oneValue(EmfRecordType::SetTextColor, color.value);
}
void EmfWriter::setTextAlign(uint32_t flags) {
    oneValue(EmfRecordType::SetTextAlign, flags);
}
void EmfWriter::setTextJustification(int32_t breakExtra, int32_t breakCount) {
    start(EmfRecordType::SetTextJustification);
    put32(static_cast<uint32_t>(breakExtra));
    put32(static_cast<uint32_t>(breakCount));
    finish();
}
void EmfWriter::setTextCharacterExtra(int32_t extra) {
    // EMF has no record for it: GDI records the text's advances with the extra in them, and so
    // does extTextOut().
    m_map.charExtra = extra;
}
void EmfWriter::setPolyFillMode(PolyFillMode mode) {
    oneValue(EmfRecordType::SetPolyFillMode, static_cast<uint32_t>(mode));
}
void EmfWriter::setRop2(uint32_t rop2) {
    oneValue(EmfRecordType::SetRop2, rop2);
}
void EmfWriter::setStretchBltMode(uint32_t mode) {
    oneValue(EmfRecordType::SetStretchBltMode, mode);
}
void EmfWriter::setMiterLimit(float limit) {
    oneValue(EmfRecordType::SetMiterLimit, static_cast<uint32_t>(std::clamp(limit, 0.0f, 1e6f)));
}
void EmfWriter::setArcDirection(ArcDirection direction) {
    oneValue(EmfRecordType::SetArcDirection, static_cast<uint32_t>(direction));
}
void EmfWriter::setBrushOrg(Point origin) {
    pointRecord(EmfRecordType::SetBrushOrgEx, origin);
}
void EmfWriter::moveTo(Point point) {
    pointRecord(EmfRecordType::MoveToEx, point);
}
void EmfWriter::setLayout(uint32_t flags) {
    oneValue(EmfRecordType::SetLayout, flags);
}

// --- Objects ---

void EmfWriter::createPen(uint32_t index, const LogPen& pen) {
    // EmfRecordType::CreatePen (MS-EMF 2.3.7.7): LogPen with the width as a PointL.
    start(EmfRecordType::CreatePen);
    put32(objectIndex(index));
    put32(pen.style);
    putI32(pen.width);
    putI32(0);
    put32(pen.color.value);
    finish();
}

void EmfWriter::createBrush(uint32_t index, const LogBrush& brush) {
    start(EmfRecordType::CreateBrushIndirect);
    put32(objectIndex(index));
    put32(brush.style);
    put32(brush.color.value);
    put32(brush.hatch);
    finish();
}

void EmfWriter::createDibPatternBrush(uint32_t index, const DibRef& pattern, bool monochrome) {
    // EmfRecordType::CreateDibPatternBrushPt / EmfRecordType::CreateMonoBrush
    // (MS-EMF 2.3.7.4, 2.3.7.5): usage, then offsets and sizes of the BITMAPINFO and the bits that
    // follow the fixed part.
    const auto dib = splitDib(pattern);
    if (!dib) {
        // The slot is still taken, as it was in the source: a solid black brush keeps later
        // indices and selections in step.
        createBrush(index, LogBrush{brushStyle::Solid, ColorRef{0}, 0});
        return;
    }
    start(monochrome ? EmfRecordType::CreateMonoBrush : EmfRecordType::CreateDibPatternBrushPt);
    put32(objectIndex(index));
    put32(pattern.colorUsage);
    constexpr uint32_t kFixed = 32;
    const uint32_t infoSize = static_cast<uint32_t>(dib->info.size());
    put32(kFixed);
    put32(infoSize);
    put32(kFixed + ((infoSize + 3) & ~3u));
    put32(static_cast<uint32_t>(dib->bits.size()));
    putBytes(dib->info);
    padTo4();
    putBytes(dib->bits);
    finish();
}

void EmfWriter::createFont(uint32_t index, const LogFont& font) {
    // EmfRecordType::ExtCreateFontIndirectW (MS-EMF 2.3.7.8) with a plain LogFont (2.2.13).
    m_dc.createFont(index, FontKey{font.charSet, font.faceName});
    start(EmfRecordType::ExtCreateFontIndirectW);
    put32(objectIndex(index));
    putI32(font.height);
    putI32(font.width);
    putI32(font.escapement);
    putI32(font.orientation);
    putI32(font.weight);
    for (uint8_t b : {font.italic, font.underline, font.strikeOut, font.charSet, font.outPrecision,
                      font.clipPrecision, font.quality, font.pitchAndFamily})
        m_out.append(static_cast<char>(b));
    const QString face = font.faceName.left(31);
    for (int i = 0; i < 32; ++i) put16(i < face.size() ? face.at(i).unicode() : 0);
    finish();
}

void EmfWriter::createPalette(uint32_t index, std::span<const PaletteEntry> entries) {
    // EmfRecordType::CreatePalette (MS-EMF 2.3.7.6): LogPalette, version 0x0300.
    const size_t count = std::min<size_t>(entries.size(), 0xFFFF);
    start(EmfRecordType::CreatePalette);
    put32(objectIndex(index));
    put16(0x0300);
    put16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const PaletteEntry& e = entries[i];
        for (uint8_t b : {e.red, e.green, e.blue, e.flags}) m_out.append(static_cast<char>(b));
    }
    finish();
    m_palettes[index].assign(entries.begin(), entries.end());
}

void EmfWriter::createRegion(uint32_t index, const RegionData& region) {
    objectIndex(index);  // keeps the handle count honest
    m_regions[index].assign(region.rects.begin(), region.rects.end());
    m_regionBounds[index] = region.bounds;
}

void EmfWriter::selectObject(uint32_t index) {
    if (const auto it = m_regions.constFind(index); it != m_regions.constEnd()) {
        // Selecting a region makes it the clip (SelectClipRgn); EMF says so in device units.
        RegionData region{m_regionBounds.value(index), *it};
        std::vector<Rect> storage;
        const RegionData device = regionToDevice(region, storage);
        selectClipRegion(&device, RegionMode::Copy);
        return;
    }
    m_dc.selectObject(index);
    oneValue(EmfRecordType::SelectObject, objectIndex(index));
}

void EmfWriter::deleteObject(uint32_t index) {
    m_dc.deleteObject(index);
    m_palettes.remove(index);
    if (m_regions.remove(index)) {
        m_regionBounds.remove(index);
        return;
    }
    oneValue(EmfRecordType::DeleteObject, objectIndex(index));
}

void EmfWriter::selectPalette(uint32_t index) {
    m_map.palette = index;
    oneValue(EmfRecordType::SelectPalette, objectIndex(index));
}

void EmfWriter::writePaletteEntries(uint32_t index, uint32_t first,
                                    std::span<const PaletteEntry> entries) {
    start(EmfRecordType::SetPaletteEntries);
    put32(objectIndex(index));
    put32(first);
    const size_t count = std::min<size_t>(entries.size(), 0xFFFF);
    put32(static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const PaletteEntry& e = entries[i];
        for (uint8_t b : {e.red, e.green, e.blue, e.flags}) m_out.append(static_cast<char>(b));
    }
    finish();
}

// The WMF records change the selected palette; EMF names it. The stock palette cannot change.
// The writer keeps each palette's entries as the players change them.
void EmfWriter::setPaletteEntries(uint32_t index, uint32_t first,
                                  std::span<const PaletteEntry> entries) {
    if (index == kSelectedPalette) index = m_map.palette;
    if (index & stockObject::Flag) return;
    if (const auto it = m_palettes.find(index); it != m_palettes.end() && first < it->size())
        std::copy_n(entries.begin(), std::min(entries.size(), it->size() - first),
                    it->begin() + first);
    writePaletteEntries(index, first, entries);
}

void EmfWriter::resizePalette(uint32_t index, uint32_t count) {
    if (index == kSelectedPalette) index = m_map.palette;
    if (index & stockObject::Flag) return;
    // New entries are black; a palette keeps at least one entry.
    if (const auto it = m_palettes.find(index); it != m_palettes.end() && count != 0 &&
                                                count <= 0xFFFF)
        it->resize(count);
    start(EmfRecordType::ResizePalette);
    put32(objectIndex(index));
    put32(count);
    finish();
}

void EmfWriter::animatePalette(uint32_t index, uint32_t first,
                               std::span<const PaletteEntry> entries) {
    // AnimatePalette changes only the entries the palette flags PC_RESERVED; EMF has no record
    // for it, so the entries it changes are written as they become.
    if (index == kSelectedPalette) index = m_map.palette;
    const auto it = m_palettes.find(index);
    if (it == m_palettes.end() || first >= it->size()) return;
    std::vector<PaletteEntry>& palette = *it;
    const size_t count = std::min(entries.size(), palette.size() - first);
    bool changed = false;
    for (size_t i = 0; i < count; ++i) {
        PaletteEntry& e = palette[first + i];
        if (!(e.flags & kPcReserved)) continue;
        e = entries[i];
        changed = true;
    }
    if (changed) writePaletteEntries(index, first, std::span(palette).subspan(first, count));
}

void EmfWriter::realizePalette() {
    simple(EmfRecordType::RealizePalette);
}

// --- Paths ---

void EmfWriter::beginPath() {
    simple(EmfRecordType::BeginPath);
}
void EmfWriter::endPath() {
    simple(EmfRecordType::EndPath);
}
void EmfWriter::closeFigure() {
    simple(EmfRecordType::CloseFigure);
}
void EmfWriter::abortPath() {
    simple(EmfRecordType::AbortPath);
}
void EmfWriter::fillPath() {
    rectRecord(EmfRecordType::FillPath, Rect{0, 0, -1, -1});
}
void EmfWriter::strokePath() {
    rectRecord(EmfRecordType::StrokePath, Rect{0, 0, -1, -1});
}
void EmfWriter::strokeAndFillPath() {
    rectRecord(EmfRecordType::StrokeAndFillPath, Rect{0, 0, -1, -1});
}
void EmfWriter::flattenPath() {
    simple(EmfRecordType::FlattenPath);
}
void EmfWriter::widenPath() {
    simple(EmfRecordType::WidenPath);
}

// --- Clipping ---

void EmfWriter::intersectClipRect(const Rect& rect) {
    rectRecord(EmfRecordType::IntersectClipRect, rect);
}
void EmfWriter::excludeClipRect(const Rect& rect) {
    rectRecord(EmfRecordType::ExcludeClipRect, rect);
}
void EmfWriter::offsetClipRgn(int32_t dx, int32_t dy) {
    pointRecord(EmfRecordType::OffsetClipRgn, Point{dx, dy});
}

void EmfWriter::putRegionData(const RegionData& region) {
    // RegionData (MS-EMF 2.2.24): a 32-byte header (RDH_RECTANGLES) and the rectangles.
    put32(32);
    put32(1);
    put32(static_cast<uint32_t>(region.rects.size()));
    put32(static_cast<uint32_t>(region.rects.size() * 16));
    putRect(region.bounds);
    for (const Rect& r : region.rects) putRect(r);
}

void EmfWriter::selectClipRegion(const RegionData* region, RegionMode mode) {
    // EmfRecordType::ExtSelectClipRgn (MS-EMF 2.3.2.2): no region data resets the clip with
    // RGN_COPY.
    start(EmfRecordType::ExtSelectClipRgn);
    put32(region ? static_cast<uint32_t>(32 + region->rects.size() * 16) : 0);
    put32(static_cast<uint32_t>(mode));
    if (region) putRegionData(*region);
    finish();
}

void EmfWriter::selectClipPath(RegionMode mode) {
    oneValue(EmfRecordType::SelectClipPath, static_cast<uint32_t>(mode));
}

RegionData EmfWriter::regionToDevice(const RegionData& region, std::vector<Rect>& storage) const {
    // Logical to device through the window and viewport (the writer sees no world transform
    // in WMF, the only source of region objects).
    const Mapping& m = m_map;
    const bool scaled = m.mode == MapMode::Anisotropic || m.mode == MapMode::Isotropic;
    const double sx = scaled && m.windowExt.cx != 0 ? double(m.viewportExt.cx) / m.windowExt.cx : 1;
    const double sy = scaled && m.windowExt.cy != 0 ? double(m.viewportExt.cy) / m.windowExt.cy : 1;
    auto x = [&](int32_t v) {
        return clampToInt32((double(v) - m.windowOrg.x) * sx + m.viewportOrg.x);
    };
    auto y = [&](int32_t v) {
        return clampToInt32((double(v) - m.windowOrg.y) * sy + m.viewportOrg.y);
    };
    auto map = [&](const Rect& r) {
        Rect d{x(r.left), y(r.top), x(r.right), y(r.bottom)};
        if (d.left > d.right) std::swap(d.left, d.right);
        if (d.top > d.bottom) std::swap(d.top, d.bottom);
        return d;
    };
    storage.clear();
    for (const Rect& r : region.rects) storage.push_back(map(r));
    return RegionData{map(region.bounds), storage};
}

// --- Drawing ---

void EmfWriter::lineTo(Point point) {
    pointRecord(EmfRecordType::LineTo, point);
}

void EmfWriter::polyRecord(EmfRecordType type16, EmfRecordType type32,
                           std::span<const Point> points) {
    // EmfRecordType::Polyline16 and friends (MS-EMF 2.3.5.16...): bounds, count, points; the 32-bit
    // forms when a coordinate does not fit 16 bits.
    const bool small = fits16(points);
    start(small ? type16 : type32);
    putRect(boundsOf(points));
    put32(static_cast<uint32_t>(points.size()));
    for (const Point& p : points) {
        if (small) {
            put16(static_cast<uint16_t>(p.x));
            put16(static_cast<uint16_t>(p.y));
        } else {
            putPoint(p);
        }
    }
    finish();
}

void EmfWriter::polyPolyRecord(EmfRecordType type16, EmfRecordType type32,
                               std::span<const Point> points, std::span<const uint32_t> counts) {
    const bool small = fits16(points);
    start(small ? type16 : type32);
    putRect(boundsOf(points));
    put32(static_cast<uint32_t>(counts.size()));
    put32(static_cast<uint32_t>(points.size()));
    for (uint32_t c : counts) put32(c);
    for (const Point& p : points) {
        if (small) {
            put16(static_cast<uint16_t>(p.x));
            put16(static_cast<uint16_t>(p.y));
        } else {
            putPoint(p);
        }
    }
    finish();
}

void EmfWriter::polyline(std::span<const Point> p) {
    polyRecord(EmfRecordType::Polyline16, EmfRecordType::Polyline, p);
}
void EmfWriter::polylineTo(std::span<const Point> p) {
    polyRecord(EmfRecordType::PolylineTo16, EmfRecordType::PolylineTo, p);
}
void EmfWriter::polygon(std::span<const Point> p) {
    polyRecord(EmfRecordType::Polygon16, EmfRecordType::Polygon, p);
}
void EmfWriter::polyBezier(std::span<const Point> p) {
    polyRecord(EmfRecordType::PolyBezier16, EmfRecordType::PolyBezier, p);
}
void EmfWriter::polyBezierTo(std::span<const Point> p) {
    polyRecord(EmfRecordType::PolyBezierTo16, EmfRecordType::PolyBezierTo, p);
}
void EmfWriter::polyPolyline(std::span<const Point> p, std::span<const uint32_t> c) {
    polyPolyRecord(EmfRecordType::PolyPolyline16, EmfRecordType::PolyPolyline, p, c);
}
void EmfWriter::polyPolygon(std::span<const Point> p, std::span<const uint32_t> c) {
    polyPolyRecord(EmfRecordType::PolyPolygon16, EmfRecordType::PolyPolygon, p, c);
}

void EmfWriter::rectangle(const Rect& rect) {
    rectRecord(EmfRecordType::Rectangle, rect);
}
void EmfWriter::ellipse(const Rect& rect) {
    rectRecord(EmfRecordType::Ellipse, rect);
}

void EmfWriter::roundRect(const Rect& rect, Size corner) {
    start(EmfRecordType::RoundRect);
    putRect(rect);
    putI32(corner.cx);
    putI32(corner.cy);
    finish();
}

void EmfWriter::arc(const Rect& box, Point start, Point end) {
    arcRecord(EmfRecordType::Arc, box, start, end);
}
void EmfWriter::arcTo(const Rect& box, Point start, Point end) {
    arcRecord(EmfRecordType::ArcTo, box, start, end);
}
void EmfWriter::chord(const Rect& box, Point start, Point end) {
    arcRecord(EmfRecordType::Chord, box, start, end);
}
void EmfWriter::pie(const Rect& box, Point start, Point end) {
    arcRecord(EmfRecordType::Pie, box, start, end);
}

void EmfWriter::setPixel(Point point, ColorRef color) {
    start(EmfRecordType::SetPixelV);
    putPoint(point);
    put32(color.value);
    finish();
}

void EmfWriter::extFloodFill(Point origin, ColorRef color, uint32_t mode) {
    start(EmfRecordType::ExtFloodFill);
    putPoint(origin);
    put32(color.value);
    put32(mode);
    finish();
}

void EmfWriter::regionRecord(EmfRecordType type, const RegionData& region, const uint32_t* brush,
                             const Size* stroke) {
    // EmfRecordType::FillRgn, EmfRecordType::FrameRgn, EmfRecordType::InvertRgn,
    // EmfRecordType::PaintRgn (MS-EMF 2.3.5.10...): bounds, region size, brush (and stroke size),
    // region data in logical units.
    start(type);
    putRect(region.bounds);
    put32(static_cast<uint32_t>(32 + region.rects.size() * 16));
    if (brush) put32(objectIndex(*brush));
    if (stroke) {
        putI32(stroke->cx);
        putI32(stroke->cy);
    }
    putRegionData(region);
    finish();
}

void EmfWriter::fillRegion(const RegionData& region, uint32_t brushIndex) {
    regionRecord(EmfRecordType::FillRgn, region, &brushIndex, nullptr);
}
void EmfWriter::frameRegion(const RegionData& region, uint32_t brushIndex, Size stroke) {
    regionRecord(EmfRecordType::FrameRgn, region, &brushIndex, &stroke);
}
void EmfWriter::invertRegion(const RegionData& region) {
    regionRecord(EmfRecordType::InvertRgn, region, nullptr, nullptr);
}
void EmfWriter::paintRegion(const RegionData& region) {
    regionRecord(EmfRecordType::PaintRgn, region, nullptr, nullptr);
}

void EmfWriter::fillRegionObject(uint32_t regionIndex, uint32_t brushIndex) {
    const auto it = m_regions.constFind(regionIndex);
    if (it == m_regions.constEnd()) return void(++m_dropped);
    fillRegion(RegionData{m_regionBounds.value(regionIndex), *it}, brushIndex);
}
void EmfWriter::frameRegionObject(uint32_t regionIndex, uint32_t brushIndex, Size stroke) {
    const auto it = m_regions.constFind(regionIndex);
    if (it == m_regions.constEnd()) return void(++m_dropped);
    frameRegion(RegionData{m_regionBounds.value(regionIndex), *it}, brushIndex, stroke);
}
void EmfWriter::invertRegionObject(uint32_t regionIndex) {
    const auto it = m_regions.constFind(regionIndex);
    if (it == m_regions.constEnd()) return void(++m_dropped);
    invertRegion(RegionData{m_regionBounds.value(regionIndex), *it});
}
void EmfWriter::paintRegionObject(uint32_t regionIndex) {
    const auto it = m_regions.constFind(regionIndex);
    if (it == m_regions.constEnd()) return void(++m_dropped);
    paintRegion(RegionData{m_regionBounds.value(regionIndex), *it});
}

// --- Text ---

void EmfWriter::extTextOut(const TextRun& text) {
    // EmfRecordType::ExtTextOutW (MS-EMF 2.3.5.8): bounds, graphics mode, scales, then EmrText
    // (reference, count, string offset, options, rectangle, advances offset); the UTF-16
    // string and the advances follow, each at a 4-byte boundary.
    constexpr uint32_t kFixed = 76;
    const uint32_t chars = static_cast<uint32_t>(text.text.size());
    const uint32_t stringBytes = (chars * 2 + 3) & ~3u;
    const size_t perChar = (text.options & textOut::Pdy) ? 2 : 1;
    const bool withDx = !text.dx.empty() && text.dx.size() >= size_t{chars} * perChar;
    start(EmfRecordType::ExtTextOutW);
    putRect(Rect{0, 0, -1, -1});
    put32(static_cast<uint32_t>(text.graphicsMode));
    uint32_t scale;
    std::memcpy(&scale, &text.exScale, 4);
    put32(scale);
    std::memcpy(&scale, &text.eyScale, 4);
    put32(scale);
    putPoint(text.reference);
    put32(chars);
    put32(kFixed);
    put32(text.options);
    putRect(text.rect);
    put32(withDx ? kFixed + stringBytes : 0);
    // The reader gave Unicode; Symbol and Wingdings text goes back to the fonts' codes, which
    // every player draws with the font's glyphs (GDI reads plain Latin codes in the Symbol
    // face as its Greek letters, so a decoded "×" written as such would come back as "⋅").
    // Glyph indices (ETO_GLYPH_INDEX) are the face's own and go out unchanged.
    const bool glyphs = text.options & textOut::GlyphIndex;
    for (QChar c : glyphs ? text.text : unicodeToSymbolFont(text.text, m_dc.font().face))
        put16(c.unicode());
    padTo4();
    // The character extra goes on every character's advance (not on the vertical ones of
    // ETO_PDY); text without advances cannot carry it.
    if (withDx) {
        for (size_t i = 0; i < size_t{chars} * perChar; ++i)
            putI32(i % perChar == 0 ? clampToInt32(double(text.dx[i]) + m_map.charExtra)
                                    : text.dx[i]);
    } else if (m_map.charExtra != 0 && chars != 0) {
        ++m_dropped;
    }
    finish();
}

// --- Bitmaps ---

void EmfWriter::blit(const BlitOp& op) {
    if (op.source.empty()) {
        // A raster operation on the destination and brush alone: EmfRecordType::BitBlt without a
        // bitmap (MS-EMF 2.3.1.2), as GDI records PatBlt.
        start(EmfRecordType::BitBlt);
        putRect(
            Rect{op.destX, op.destY, op.destX + op.destWidth - 1, op.destY + op.destHeight - 1});
        putI32(op.destX);
        putI32(op.destY);
        putI32(op.destWidth);
        putI32(op.destHeight);
        put32(op.rop);
        putI32(0);
        putI32(0);
        for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) {
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            put32(bits);
        }
        put32(0);  // background colour
        put32(0);  // usage
        for (int i = 0; i < 4; ++i) put32(0);
        finish();
        return;
    }
    const auto dib = splitDib(op.source);
    if (!dib) {
        // A bitmap that cannot be read: an operation that needs no source is drawn all the
        // same, as the players draw it, so it goes out without the bitmap.
        if (rop3::usesSource(op.rop)) return void(++m_dropped);
        BlitOp withoutSource = op;
        withoutSource.source = DibRef{};
        return blit(withoutSource);
    }
    const uint32_t infoSize = static_cast<uint32_t>(dib->info.size());
    const uint32_t bitsSize = static_cast<uint32_t>(dib->bits.size());
    const Rect bounds{op.destX, op.destY, op.destX + op.destWidth - 1,
                      op.destY + op.destHeight - 1};
    if (op.dibitsToDevice) {
        // EmfRecordType::SetDiBitsToDevice (MS-EMF 2.3.1.5).
        constexpr uint32_t kFixed = 76;
        start(EmfRecordType::SetDiBitsToDevice);
        putRect(bounds);
        putI32(op.destX);
        putI32(op.destY);
        putI32(op.srcX);
        putI32(op.srcY);
        putI32(op.srcWidth);
        putI32(op.srcHeight);
        put32(kFixed);
        put32(infoSize);
        put32(kFixed + ((infoSize + 3) & ~3u));
        put32(bitsSize);
        put32(op.source.colorUsage);
        put32(op.startScan);
        put32(op.scanCount);
    } else {
        // EmfRecordType::StretchDiBits (MS-EMF 2.3.1.7). Its source rectangle counts from the
        // lower-left corner of a bottom-up DIB. A packed DIB comes from the WMF reader with the
        // source taken from the top-left; split ones come from EMF records as they were.
        int32_t srcY = op.srcY;
        if (op.source.bits.empty()) {
            const auto header = parseDibHeader(dib->info, dibColorUsage(op.source.colorUsage));
            if (header && !header->topDown)
                srcY = static_cast<int32_t>(
                    std::clamp<int64_t>(int64_t{header->height} - op.srcY - op.srcHeight,
                                        INT32_MIN / 2, INT32_MAX / 2));
        }
        constexpr uint32_t kFixed = 80;
        start(EmfRecordType::StretchDiBits);
        putRect(bounds);
        putI32(op.destX);
        putI32(op.destY);
        putI32(op.srcX);
        putI32(srcY);
        putI32(op.srcWidth);
        putI32(op.srcHeight);
        put32(kFixed);
        put32(infoSize);
        put32(kFixed + ((infoSize + 3) & ~3u));
        put32(bitsSize);
        put32(op.source.colorUsage);
        put32(op.rop);
        putI32(op.destWidth);
        putI32(op.destHeight);
    }
    putBytes(dib->info);
    padTo4();
    putBytes(dib->bits);
    finish();
}

// --- Anything else ---

void EmfWriter::comment(std::span<const uint8_t> data) {
    // "WMFC" comments carry an EMF inside a WMF; converted, they would only double the file.
    if (data.size() >= 4 && BoundedReader(data).u32() == kWmfcIdentifier) return void(++m_dropped);
    // EmfRecordType::Comment (MS-EMF 2.3.3.1): the data size, then the data.
    start(EmfRecordType::Comment);
    put32(static_cast<uint32_t>(data.size()));
    putBytes(data);
    finish();
}

void EmfWriter::unknownRecord(uint32_t, std::span<const uint8_t>) {
    ++m_dropped;
}

}  // namespace plume::metafile
