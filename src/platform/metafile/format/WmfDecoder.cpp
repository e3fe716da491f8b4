#include "platform/metafile/format/WmfDecoder.h"

#include "platform/metafile/format/Dib.h"
#include "platform/metafile/format/FontText.h"
#include "platform/metafile/format/MetafileFormat.h"
#include "platform/metafile/format/RecordTable.h"

#include <algorithm>

namespace plume::metafile {
namespace {

// ExtTextOut options carried by META_EXTTEXTOUT (MS-WMF 2.1.2.2).
constexpr uint16_t kEtoOpaque = 0x0002;
constexpr uint16_t kEtoClipped = 0x0004;

// The outcome of a record whose fields were all read from `p`: the sink call when they fit.
template <typename Call>
RecordOutcome ifRead(const BoundedReader& p, Call&& call) {
    if (!p.ok()) return RecordOutcome::Damaged;
    call();
    return RecordOutcome::Played;
}

}  // namespace

QString WmfDecoder::decodeFace(std::span<const uint8_t> bytes, uint8_t charSet) const {
    const auto nul = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    const auto name = bytes.first(static_cast<size_t>(nul - bytes.begin()));
    if (std::all_of(name.begin(), name.end(), [](uint8_t b) { return b < 0x80; }))
        return QString::fromLatin1(reinterpret_cast<const char*>(name.data()),
                                   static_cast<qsizetype>(name.size()));
    // Face names are stored in the system code page of the writer. A font's own non-Western
    // charset is the best guess; for Western fonts, Japanese systems (CP932) come first,
    // CP1252 otherwise.
    if (charSet != charset::kAnsi && charSet != charset::kDefault && charSet != charset::kSymbol)
        return decodeAnsiText(name, charSet);
    const QString japanese = decodeAnsiText(name, charset::kShiftJis);
    if (!japanese.contains(QChar(0xFFFD))) return japanese;
    return decodeAnsiText(name, charset::kAnsi);
}

RecordOutcome WmfDecoder::text(uint16_t function, BoundedReader& p) {
    TextRun run;
    std::span<const uint8_t> bytes;
    if (function == META_TEXTOUT) {
        // META_TEXTOUT (MS-WMF 2.3.3.20): length, string padded to even, y, x.
        const uint16_t length = p.u16();
        bytes = p.bytes(length);
        p.skip(length & 1);
        run.reference = p.pointYX16();
        m_dx.clear();
    } else {
        // META_EXTTEXTOUT (MS-WMF 2.3.3.5): y, x, length, options, optional rectangle,
        // string padded to even, optional 16-bit advances, one per byte.
        run.reference = p.pointYX16();
        const uint16_t length = p.u16();
        const uint16_t options = p.u16();
        run.options = options;
        if (options & (kEtoOpaque | kEtoClipped)) run.rect = p.rectS();
        bytes = p.bytes(length);
        if (length & 1) p.skip(std::min<size_t>(1, p.remaining()));
        m_dx.clear();
        if (p.ok() && p.remaining() >= size_t{length} * 2) {
            m_dx.reserve(length);
            for (uint16_t i = 0; i < length; ++i) m_dx.push_back(p.i16());
        }
    }
    if (!p.ok()) return RecordOutcome::Damaged;
    if (run.options & textOut::GlyphIndex) {
        // Glyph indices, one a byte: left for the sink to draw in the selected face.
        run.text = QString(qsizetype(bytes.size()), QChar());
        for (size_t i = 0; i < bytes.size(); ++i)
            run.text[qsizetype(i)] = QChar(char16_t(bytes[i]));
        if (m_dx.size() != bytes.size()) m_dx.clear();
        run.dx = m_dx;
        m_sink.extTextOut(run);
        return RecordOutcome::Played;
    }
    AnsiTextRun decoded = decodeAnsiTextRun(bytes, m_dx, m_dc.font().charSet, m_dc.font().face);
    run.text = std::move(decoded.text);
    m_dx = std::move(decoded.dx);
    run.dx = m_dx;
    m_sink.extTextOut(run);
    return RecordOutcome::Played;
}

RecordOutcome WmfDecoder::region(BoundedReader& p) {
    // Region object (MS-WMF 2.2.1.5): nextInChain, ObjectType, ObjectCount, RegionSize,
    // ScanCount, MaxScan, bounding rectangle, then ScanCount scans of
    // {Count, Top, Bottom, Count/2 (Left, Right) pairs, Count2}.
    p.skip(2 + 2 + 4 + 2);
    const uint16_t scanCount = p.u16();
    p.skip(2);
    RegionData region;
    region.bounds = p.rectS();
    if (!p.ok()) return RecordOutcome::Damaged;
    m_rects.clear();
    for (uint16_t s = 0; s < scanCount && p.ok(); ++s) {
        const uint16_t count = p.u16();
        const int16_t top = p.i16();
        const int16_t bottom = p.i16();
        if (!p.ok() || size_t{count} * 2 + 2 > p.remaining()) break;  // keep the whole scans
        for (uint16_t i = 0; i + 1 < count; i += 2) {
            const int16_t left = p.i16();
            const int16_t right = p.i16();
            m_rects.push_back(Rect{left, top, right, bottom});
        }
        if (count & 1) p.skip(2);
        p.skip(2);  // Count2
    }
    region.rects = m_rects;
    if (const auto slot = newObject()) m_sink.createRegion(*slot, region);
    return RecordOutcome::Played;
}

RecordOutcome WmfDecoder::blit(uint16_t function, std::span<const uint8_t> params) {
    BoundedReader p(params);
    BlitOp op;
    // The forms without a bitmap (MS-WMF 2.3.1.1-2.3.1.4) are exactly (function >> 8) words
    // of parameters long and carry a reserved word before the destination.
    const bool noBitmap = params.size() == size_t{static_cast<uint16_t>(function >> 8)} * 2;
    std::vector<uint8_t> converted;
    switch (function) {
        case META_BITBLT:
        case META_DIBBITBLT: {
            op.rop = p.u32();
            op.srcY = p.i16();
            op.srcX = p.i16();
            if (noBitmap) p.skip(2);
            op.destHeight = op.srcHeight = p.i16();
            op.destWidth = op.srcWidth = p.i16();
            op.destY = p.i16();
            op.destX = p.i16();
            break;
        }
        case META_STRETCHBLT:
        case META_DIBSTRETCHBLT: {
            op.rop = p.u32();
            op.srcHeight = p.i16();
            op.srcWidth = p.i16();
            op.srcY = p.i16();
            op.srcX = p.i16();
            if (noBitmap) p.skip(2);
            op.destHeight = p.i16();
            op.destWidth = p.i16();
            op.destY = p.i16();
            op.destX = p.i16();
            break;
        }
        case META_STRETCHDIB: {
            // META_STRETCHDIB (MS-WMF 2.3.1.6).
            op.rop = p.u32();
            op.source.colorUsage = p.u16();
            op.srcHeight = p.i16();
            op.srcWidth = p.i16();
            op.srcY = p.i16();
            op.srcX = p.i16();
            op.destHeight = p.i16();
            op.destWidth = p.i16();
            op.destY = p.i16();
            op.destX = p.i16();
            break;
        }
        case META_SETDIBTODEV: {
            // META_SETDIBTODEV (MS-WMF 2.3.1.5).
            op.source.colorUsage = p.u16();
            op.scanCount = p.u16();
            op.startScan = p.u16();
            op.srcY = p.i16();
            op.srcX = p.i16();
            op.destHeight = op.srcHeight = p.i16();
            op.destWidth = op.srcWidth = p.i16();
            op.destY = p.i16();
            op.destX = p.i16();
            op.dibitsToDevice = true;
            break;
        }
        default:
            return RecordOutcome::Damaged;
    }
    if (!p.ok()) return RecordOutcome::Damaged;
    const bool deviceBitmap = function == META_BITBLT || function == META_STRETCHBLT;
    const std::span<const uint8_t> target = p.rest();
    if (!noBitmap || function == META_STRETCHDIB || function == META_SETDIBTODEV) {
        if (deviceBitmap) {
            // The old records carry a device-dependent Bitmap16; hand it on as a DIB.
            auto dib = bitmap16ToPackedDib(target);
            if (!dib) {
                m_sink.unknownRecord(function, params);
                return RecordOutcome::Unknown;
            }
            converted = std::move(*dib);
            op.source.info = converted;
        } else {
            op.source.info = target;
            if (function != META_SETDIBTODEV) {  // whose origin the sink turns itself
                // GDI plays META_STRETCHDIB, META_DIBBITBLT and META_DIBSTRETCHBLT with
                // StretchDIBits, which counts the source rectangle from the lower-left corner of
                // a bottom-up DIB; the sink takes it from the top-left, as for the other records.
                // (An icon's AND mask of twice the icon's height is drawn from its lower half.)
                const auto header = parseDibHeader(target, dibColorUsage(op.source.colorUsage));
                if (header && !header->topDown)
                    op.srcY = static_cast<int32_t>(
                        std::clamp<int64_t>(int64_t{header->height} - op.srcY - op.srcHeight,
                                            INT32_MIN / 2, INT32_MAX / 2));
            }
        }
    }
    if (op.source.empty() && rop3::usesSource(op.rop)) {
        // A raster operation that needs a source, with none given: nothing GDI could draw.
        m_sink.unknownRecord(function, params);
        return RecordOutcome::Unknown;
    }
    m_sink.blit(op);
    return RecordOutcome::Played;
}

// Mapping: map mode, window and viewport, layout (MS-WMF 2.3.5).
RecordOutcome WmfDecoder::playMapping(uint16_t function, std::span<const uint8_t> params,
                                      BoundedReader& p) {
    switch (function) {
        case META_SETMAPMODE: {
            const uint16_t mode = p.u16();
            return ifRead(p, [&] {
                if (mode >= 1 && mode <= 8) m_sink.setMapMode(static_cast<MapMode>(mode));
            });
        }
        case META_SETWINDOWORG: {
            const Point pt = p.pointYX16();
            return ifRead(p, [&] { m_sink.setWindowOrg(pt); });
        }
        case META_SETWINDOWEXT: {
            const Point pt = p.pointYX16();
            return ifRead(p, [&] { m_sink.setWindowExt(Size{pt.x, pt.y}); });
        }
        case META_SETVIEWPORTORG: {
            const Point pt = p.pointYX16();
            return ifRead(p, [&] { m_sink.setViewportOrg(pt); });
        }
        case META_SETVIEWPORTEXT: {
            const Point pt = p.pointYX16();
            return ifRead(p, [&] { m_sink.setViewportExt(Size{pt.x, pt.y}); });
        }
        case META_OFFSETWINDOWORG: {
            const Point d = p.pointYX16();
            return ifRead(p, [&] { m_sink.offsetWindowOrg(d.x, d.y); });
        }
        case META_OFFSETVIEWPORTORG: {
            const Point d = p.pointYX16();
            return ifRead(p, [&] { m_sink.offsetViewportOrg(d.x, d.y); });
        }
        case META_SCALEWINDOWEXT:
        case META_SCALEVIEWPORTEXT: {
            // yDenom, yNum, xDenom, xNum (MS-WMF 2.3.5.12, 2.3.5.13).
            const int16_t yDenom = p.i16(), yNum = p.i16(), xDenom = p.i16(), xNum = p.i16();
            return ifRead(p, [&] {
                if (function == META_SCALEWINDOWEXT)
                    m_sink.scaleWindowExt(xNum, xDenom, yNum, yDenom);
                else
                    m_sink.scaleViewportExt(xNum, xDenom, yNum, yDenom);
            });
        }
        case META_SETLAYOUT: {
            // Layout (16 bits; some writers add a reserved word).
            const uint16_t flags = p.u16();
            return ifRead(p, [&] { m_sink.setLayout(flags); });
        }
        default:
            return unknown(function, params);
    }
}

// State: colours, modes, the current position, SaveDC and RestoreDC (MS-WMF 2.3.5).
RecordOutcome WmfDecoder::playState(uint16_t function, std::span<const uint8_t> params,
                                    BoundedReader& p) {
    switch (function) {
        case META_SAVEDC:
            m_dc.saveDc();
            m_sink.saveDc();
            return RecordOutcome::Played;
        case META_RESTOREDC: {
            const int16_t level = p.i16();
            return ifRead(p, [&] {
                m_dc.restoreDc(level);
                m_sink.restoreDc(level);
            });
        }
        case META_SETBKCOLOR: {
            const ColorRef c{p.u32()};
            return ifRead(p, [&] { m_sink.setBkColor(c); });
        }
        case META_SETTEXTCOLOR: {
            const ColorRef c{p.u32()};
            return ifRead(p, [&] { m_sink.setTextColor(c); });
        }
        case META_SETBKMODE: {
            const uint16_t mode = p.u16();
            return ifRead(p, [&] {
                if (mode == 1 || mode == 2) m_sink.setBkMode(static_cast<BkMode>(mode));
            });
        }
        case META_SETPOLYFILLMODE: {
            const uint16_t mode = p.u16();
            return ifRead(p, [&] {
                if (mode == 1 || mode == 2) m_sink.setPolyFillMode(static_cast<PolyFillMode>(mode));
            });
        }
        case META_SETROP2: {
            const uint16_t rop = p.u16();
            return ifRead(p, [&] { m_sink.setRop2(rop); });
        }
        case META_SETSTRETCHBLTMODE: {
            const uint16_t mode = p.u16();
            return ifRead(p, [&] { m_sink.setStretchBltMode(mode); });
        }
        case META_SETTEXTALIGN: {
            const uint16_t align = p.u16();
            return ifRead(p, [&] { m_sink.setTextAlign(align); });
        }
        case META_MOVETO: {
            const Point pt = p.pointYX16();
            return ifRead(p, [&] { m_sink.moveTo(pt); });
        }
        default:
            return unknown(function, params);
    }
}

// Objects: pens, brushes, fonts and regions, created, selected and deleted (MS-WMF 2.3.4).
RecordOutcome WmfDecoder::playObjects(uint16_t function, std::span<const uint8_t> params,
                                      BoundedReader& p) {
    switch (function) {
        case META_CREATEPENINDIRECT: {
            // PenStyle, Width (a PointS whose x is the width), ColorRef.
            LogPen pen;
            pen.style = p.u16();
            pen.width = p.i16();
            p.skip(2);
            pen.color = ColorRef{p.u32()};
            return ifRead(p, [&] {
                if (const auto slot = newObject()) m_sink.createPen(*slot, pen);
            });
        }
        case META_CREATEBRUSHINDIRECT: {
            LogBrush brush;
            brush.style = p.u16();
            brush.color = ColorRef{p.u32()};
            brush.hatch = p.u16();
            return ifRead(p, [&] {
                if (const auto slot = newObject()) m_sink.createBrush(*slot, brush);
            });
        }
        case META_CREATEFONTINDIRECT:
            return createFont(p);
        case META_DIBCREATEPATTERNBRUSH:
        case META_CREATEPATTERNBRUSH:
            return patternBrush(function, p);
        case META_CREATEREGION:
            return region(p);
        case META_SELECTOBJECT:
        case META_DELETEOBJECT: {
            const uint16_t index = p.u16();
            if (!p.ok()) return RecordOutcome::Damaged;
            if (!m_objects.inUse(index)) return unknown(function, params);  // never created
            if (function == META_DELETEOBJECT) {
                m_objects.release(index);
                m_dc.deleteObject(index);
                m_sink.deleteObject(index);
            } else {
                m_dc.selectObject(index);
                m_sink.selectObject(index);
            }
            return RecordOutcome::Played;
        }
        default:
            return unknown(function, params);
    }
}

RecordOutcome WmfDecoder::createFont(BoundedReader& p) {
    // META_CREATEFONTINDIRECT: a Font object (MS-WMF 2.2.1.2): five 16-bit fields, eight
    // bytes, then a face name of up to 32 bytes that writers often shorten.
    LogFont font;
    font.height = p.i16();
    font.width = p.i16();
    font.escapement = p.i16();
    font.orientation = p.i16();
    font.weight = p.i16();
    font.italic = p.u8();
    font.underline = p.u8();
    font.strikeOut = p.u8();
    font.charSet = p.u8();
    font.outPrecision = p.u8();
    font.clipPrecision = p.u8();
    font.quality = p.u8();
    font.pitchAndFamily = p.u8();
    const auto face = p.bytes(std::min<size_t>(32, p.remaining()));
    return ifRead(p, [&] {
        font.faceName = decodeFace(face, font.charSet);
        if (const auto slot = newObject()) {
            m_dc.createFont(*slot, FontKey{font.charSet, font.faceName});
            m_sink.createFont(*slot, font);
        }
    });
}

RecordOutcome WmfDecoder::patternBrush(uint16_t function, BoundedReader& p) {
    if (function == META_DIBCREATEPATTERNBRUSH) {
        // Style, ColorUsage, then a packed DIB, or a Bitmap16 for BS_PATTERN.
        const uint16_t style = p.u16();
        const uint16_t usage = p.u16();
        const auto target = p.rest();
        if (!p.ok()) return RecordOutcome::Damaged;
        const auto slot = newObject();
        if (!slot) return RecordOutcome::Played;
        if (style == brushStyle::Pattern && !parseDibHeader(target, DibColorUsage::Rgb)) {
            // BS_PATTERN carries a DIB whose colours are RGB values (MS-WMF 2.3.4.8), as
            // recorders write it; a Bitmap16 in its place is read as one.
            const auto dib = bitmap16ToPackedDib(target);
            const std::vector<uint8_t> none;
            m_sink.createDibPatternBrush(*slot, DibRef{dib ? *dib : none, {}, kDibRgbColors},
                                         dib && dib->size() > 40 && (*dib)[14] == 1);
        } else {
            const uint32_t colors = style == brushStyle::Pattern ? kDibRgbColors : usage;
            m_sink.createDibPatternBrush(*slot, DibRef{target, {}, colors}, false);
        }
        return RecordOutcome::Played;
    }
    // META_CREATEPATTERNBRUSH, obsolete (MS-WMF 2.3.4.4): a Bitmap16 header of 14 bytes (with
    // an unused bits pointer), 18 reserved bytes, then the pattern bits.
    const auto header = p.bytes(10);
    p.skip(4 + 18);
    const auto bits = p.rest();
    if (!p.ok()) return RecordOutcome::Damaged;
    std::vector<uint8_t> bitmap(header.begin(), header.end());
    bitmap.insert(bitmap.end(), bits.begin(), bits.end());
    const auto dib = bitmap16ToPackedDib(bitmap);
    const std::vector<uint8_t> none;
    if (const auto slot = newObject())
        m_sink.createDibPatternBrush(*slot, DibRef{dib ? *dib : none, {}, kDibRgbColors},
                                     dib && dib->size() > 40 && (*dib)[14] == 1);
    return RecordOutcome::Played;
}

// Palettes (MS-WMF 2.3.4.3, 2.3.5.x): a new palette object, the selected palette, and changes
// to it.
RecordOutcome WmfDecoder::playPalettes(uint16_t function, std::span<const uint8_t> params,
                                       BoundedReader& p) {
    switch (function) {
        case META_CREATEPALETTE: {
            // Palette object (MS-WMF 2.2.1.3): Start, NumberOfEntries, entries.
            p.skip(2);
            const uint16_t count = p.u16();
            std::vector<PaletteEntry> entries;
            if (p.ok() && size_t{count} * 4 <= p.remaining()) {
                entries.resize(count);
                for (auto& e : entries) {
                    e.red = p.u8();
                    e.green = p.u8();
                    e.blue = p.u8();
                    e.flags = p.u8();
                }
            } else {
                p.skip(size_t{count} * 4);
            }
            return ifRead(p, [&] {
                if (const auto slot = newObject()) m_sink.createPalette(*slot, entries);
            });
        }
        case META_SETPALENTRIES:
        case META_ANIMATEPALETTE: {
            // A Palette object (MS-WMF 2.2.1.3) of the entries to change in the palette
            // selected in the DC.
            const uint16_t start = p.u16();
            const uint16_t count = p.u16();
            if (!p.ok() || size_t{count} * 4 > p.remaining()) return RecordOutcome::Damaged;
            std::vector<PaletteEntry> entries(count);
            for (auto& e : entries) {
                e.red = p.u8();
                e.green = p.u8();
                e.blue = p.u8();
                e.flags = p.u8();
            }
            if (function == META_SETPALENTRIES)
                m_sink.setPaletteEntries(kSelectedPalette, start, entries);
            else
                m_sink.animatePalette(kSelectedPalette, start, entries);
            return RecordOutcome::Played;
        }
        case META_RESIZEPALETTE: {
            const uint16_t count = p.u16();
            return ifRead(p, [&] { m_sink.resizePalette(kSelectedPalette, count); });
        }
        case META_SELECTPALETTE: {
            const uint16_t index = p.u16();
            if (!p.ok()) return RecordOutcome::Damaged;
            if (!m_objects.inUse(index)) return unknown(function, params);  // never created
            m_sink.selectPalette(index);
            return RecordOutcome::Played;
        }
        case META_REALIZEPALETTE:
            m_sink.realizePalette();
            return RecordOutcome::Played;
        default:
            return unknown(function, params);
    }
}

// Clipping (MS-WMF 2.3.5, 2.3.4.9).
RecordOutcome WmfDecoder::playClipping(uint16_t function, std::span<const uint8_t> params,
                                       BoundedReader& p) {
    switch (function) {
        case META_EXCLUDECLIPRECT: {
            const Rect r = p.rectBRTL16();
            return ifRead(p, [&] { m_sink.excludeClipRect(r); });
        }
        case META_INTERSECTCLIPRECT: {
            const Rect r = p.rectBRTL16();
            return ifRead(p, [&] { m_sink.intersectClipRect(r); });
        }
        case META_OFFSETCLIPRGN: {
            const Point d = p.pointYX16();
            return ifRead(p, [&] { m_sink.offsetClipRgn(d.x, d.y); });
        }
        case META_SELECTCLIPREGION: {
            const uint16_t index = p.u16();
            if (!p.ok()) return RecordOutcome::Damaged;
            if (index == 0) {
                // Region 0 is no region: SelectClipRgn(NULL) as recorders write it, which
                // makes the whole picture the clip again, whatever object slot 0 holds.
                m_sink.selectClipRegion(nullptr, RegionMode::Copy);
                return RecordOutcome::Played;
            }
            if (!m_objects.inUse(index)) return unknown(function, params);  // never created
            // It names a region object; selecting it is what GDI does.
            m_dc.selectObject(index);
            m_sink.selectObject(index);
            return RecordOutcome::Played;
        }
        default:
            return unknown(function, params);
    }
}

// Poly records: figures given as lists of points (MS-WMF 2.3.3.15, 2.3.3.14, 2.3.3.16).
RecordOutcome WmfDecoder::playPoly(uint16_t function, std::span<const uint8_t> params,
                                   BoundedReader& p) {
    switch (function) {
        case META_POLYLINE:
        case META_POLYGON: {
            const uint16_t count = p.u16();
            const auto points = readPoints(p, count);
            return ifRead(p, [&] {
                if (function == META_POLYLINE)
                    m_sink.polyline(points);
                else
                    m_sink.polygon(points);
            });
        }
        case META_POLYPOLYGON: {
            // PolyPolygon object (MS-WMF 2.2.2.17): count, points per polygon, all points.
            const uint16_t polygons = p.u16();
            m_counts.clear();
            size_t total = 0;
            if (size_t{polygons} * 2 > p.remaining()) p.skip(size_t{polygons} * 2);
            for (uint16_t i = 0; i < polygons && p.ok(); ++i) {
                m_counts.push_back(p.u16());
                total += m_counts.back();
            }
            const auto points = readPoints(p, total);
            return ifRead(p, [&] { m_sink.polyPolygon(points, m_counts); });
        }
        default:
            return unknown(function, params);
    }
}

// Figures: lines, shapes, pixels and flood fills (MS-WMF 2.3.3).
RecordOutcome WmfDecoder::playFigures(uint16_t function, std::span<const uint8_t> params,
                                      BoundedReader& p) {
    switch (function) {
        case META_LINETO: {
            const Point pt = p.pointYX16();
            return ifRead(p, [&] { m_sink.lineTo(pt); });
        }
        case META_RECTANGLE: {
            const Rect r = p.rectBRTL16();
            return ifRead(p, [&] { m_sink.rectangle(r); });
        }
        case META_ELLIPSE: {
            const Rect r = p.rectBRTL16();
            return ifRead(p, [&] { m_sink.ellipse(r); });
        }
        case META_ROUNDRECT: {
            const int16_t height = p.i16();
            const int16_t width = p.i16();
            const Rect r = p.rectBRTL16();
            return ifRead(p, [&] { m_sink.roundRect(r, Size{width, height}); });
        }
        case META_ARC:
        case META_CHORD:
        case META_PIE: {
            const Point end = p.pointYX16();
            const Point start = p.pointYX16();
            const Rect box = p.rectBRTL16();
            return ifRead(p, [&] {
                if (function == META_ARC)
                    m_sink.arc(box, start, end);
                else if (function == META_CHORD)
                    m_sink.chord(box, start, end);
                else
                    m_sink.pie(box, start, end);
            });
        }
        case META_FLOODFILL:
        case META_EXTFLOODFILL: {
            const uint32_t mode = function == META_EXTFLOODFILL ? p.u16() : floodFill::Border;
            const ColorRef c{p.u32()};
            const Point pt = p.pointYX16();
            return ifRead(p, [&] {
                m_sink.extFloodFill(
                    pt, c, mode == floodFill::Surface ? floodFill::Surface : floodFill::Border);
            });
        }
        case META_SETPIXEL: {
            const ColorRef c{p.u32()};
            const Point pt = p.pointYX16();
            return ifRead(p, [&] { m_sink.setPixel(pt, c); });
        }
        default:
            return unknown(function, params);
    }
}

// Regions filled, framed, inverted or painted, named by their object (MS-WMF 2.3.3).
RecordOutcome WmfDecoder::playRegions(uint16_t function, std::span<const uint8_t> params,
                                      BoundedReader& p) {
    switch (function) {
        case META_FILLREGION: {
            const uint16_t regionIndex = p.u16();
            const uint16_t brush = p.u16();
            return ifRead(p, [&] { m_sink.fillRegionObject(regionIndex, brush); });
        }
        case META_FRAMEREGION: {
            const uint16_t regionIndex = p.u16();
            const uint16_t brush = p.u16();
            const int16_t height = p.i16();
            const int16_t width = p.i16();
            return ifRead(p, [&] {
                m_sink.frameRegionObject(regionIndex, brush, Size{width, height});
            });
        }
        case META_INVERTREGION:
        case META_PAINTREGION: {
            const uint16_t regionIndex = p.u16();
            return ifRead(p, [&] {
                if (function == META_INVERTREGION)
                    m_sink.invertRegionObject(regionIndex);
                else
                    m_sink.paintRegionObject(regionIndex);
            });
        }
        default:
            return unknown(function, params);
    }
}

// Text output, justification and character extra (MS-WMF 2.3.3, 2.3.5).
RecordOutcome WmfDecoder::playTextRecords(uint16_t function, std::span<const uint8_t> params,
                                          BoundedReader& p) {
    switch (function) {
        case META_TEXTOUT:
        case META_EXTTEXTOUT:
            return text(function, p);
        case META_SETTEXTJUSTIFICATION: {
            // META_SETTEXTJUSTIFICATION (MS-WMF 2.3.5.26): BreakCount, BreakExtra.
            const int16_t count = p.i16(), extra = p.i16();
            return ifRead(p, [&] { m_sink.setTextJustification(extra, count); });
        }
        case META_SETTEXTCHAREXTRA: {
            const int16_t extra = p.i16();
            return ifRead(p, [&] { m_sink.setTextCharacterExtra(extra); });
        }
        default:
            return unknown(function, params);
    }
}

// Bitmaps and raster operations (MS-WMF 2.3.1, 2.3.3.12).
RecordOutcome WmfDecoder::playBitmaps(uint16_t function, std::span<const uint8_t> params,
                                      BoundedReader& p) {
    switch (function) {
        case META_PATBLT: {
            // META_PATBLT (MS-WMF 2.3.3.12): rop, height, width, y, x.
            BlitOp op;
            op.rop = p.u32();
            op.destHeight = p.i16();
            op.destWidth = p.i16();
            op.destY = p.i16();
            op.destX = p.i16();
            return ifRead(p, [&] { m_sink.blit(op); });
        }
        case META_BITBLT:
        case META_STRETCHBLT:
        case META_DIBBITBLT:
        case META_DIBSTRETCHBLT:
        case META_STRETCHDIB:
        case META_SETDIBTODEV:
            return blit(function, params);
        default:
            return unknown(function, params);
    }
}

// Escapes (MS-WMF 2.3.6): MFCOMMENT is a comment; the others are printer drivers' own.
RecordOutcome WmfDecoder::playComments(uint16_t function, std::span<const uint8_t> params,
                                       BoundedReader& p) {
    if (function != META_ESCAPE) return unknown(function, params);
    const uint16_t escape = p.u16();
    const uint16_t count = p.u16();
    const auto data = p.bytes(std::min<size_t>(count, p.remaining()));
    if (!p.ok()) return RecordOutcome::Damaged;
    if (escape != kWmfMfComment) return unknown(function, params);
    m_sink.comment(data);
    return RecordOutcome::Played;
}

RecordOutcome WmfDecoder::play(uint16_t function, std::span<const uint8_t> params) {
    BoundedReader p(params);
    // The record table says which family plays each function.
    switch (wmfRecordFamily(function)) {
        case RecordFamily::Control:
            return RecordOutcome::Played;  // META_EOF: the reader stops before it
        case RecordFamily::Mapping:
            return playMapping(function, params, p);
        case RecordFamily::State:
            return playState(function, params, p);
        case RecordFamily::Objects:
            return playObjects(function, params, p);
        case RecordFamily::Palettes:
            return playPalettes(function, params, p);
        case RecordFamily::Clipping:
            return playClipping(function, params, p);
        case RecordFamily::Poly:
            return playPoly(function, params, p);
        case RecordFamily::Figures:
            return playFigures(function, params, p);
        case RecordFamily::Regions:
            return playRegions(function, params, p);
        case RecordFamily::Text:
            return playTextRecords(function, params, p);
        case RecordFamily::Bitmaps:
            return playBitmaps(function, params, p);
        case RecordFamily::Comments:
            return playComments(function, params, p);
        case RecordFamily::Paths:  // WMF has no paths
        case RecordFamily::None:
            break;
    }
    // Records with no drawing meaning here (mapper flags) and unknown ones are counted, not
    // drawn.
    return unknown(function, params);
}

}  // namespace plume::metafile
