#include "platform/metafile/format/EmfDecoder.h"

#include "platform/metafile/format/FontText.h"
#include "platform/metafile/format/RecordTable.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plume::metafile {

bool EmfDecoder::readRegion(BoundedReader& in, uint32_t size, RegionData& out) {
    // RegionData, MS-EMF 2.2.24: RegionDataHeader (size 32, type 1, count, rgnSize, bounds)
    // followed by `count` rectangles, all inside the `size` bytes the record gives it.
    if (size < 32 || size > in.remaining()) return false;
    BoundedReader region(in.bytes(size));
    const uint32_t headerSize = region.u32();
    region.u32();  // iType, always RDH_RECTANGLES
    const uint32_t count = region.u32();
    region.u32();  // nRgnSize
    out.bounds = region.rectL();
    if (!region.ok() || headerSize < 32 || !region.seek(headerSize)) return false;
    if (uint64_t(count) * 16 > region.remaining()) return false;
    m_rects.resize(count);
    for (auto& r : m_rects) r = region.rectL();
    out.rects = m_rects;
    return region.ok();
}

std::optional<DibRef> EmfDecoder::dibAt(const BoundedReader& in, uint32_t usage, uint32_t offBmi,
                                        uint32_t cbBmi, uint32_t offBits, uint32_t cbBits) const {
    DibRef dib;
    dib.colorUsage = usage;
    if (cbBmi == 0) return dib;  // no bitmap: the operation uses no source
    dib.info = in.blockAt(offBmi, cbBmi);
    dib.bits = in.blockAt(offBits, cbBits);
    if (dib.info.empty() || (cbBits != 0 && dib.bits.empty())) return std::nullopt;
    return dib;
}

bool EmfDecoder::playText(BoundedReader& in, std::span<const uint8_t> record, bool wide,
                          GraphicsMode mode, float exScale, float eyScale) {
    // EmrText, MS-EMF 2.2.5: reference point, character count, string offset, options, an
    // optional rectangle (absent with ETO_NO_RECT), Dx offset. Offsets count from the start
    // of the record.
    TextRun run;
    run.graphicsMode = mode;
    run.exScale = exScale;
    run.eyScale = eyScale;
    run.reference = in.pointL();
    const uint32_t chars = in.u32();
    const uint32_t offString = in.u32();
    run.options = in.u32();
    if (!(run.options & textOut::NoRect)) run.rect = in.rectL();
    const uint32_t offDx = in.u32();
    if (!in.ok()) return false;

    const BoundedReader whole(record);
    const uint64_t charBytes = uint64_t(chars) * (wide ? 2 : 1);
    const auto text = whole.blockAt(offString, charBytes);
    if (chars != 0 && text.empty()) return false;
    if (wide) {
        run.text.resize(qsizetype(chars));
        BoundedReader units(text);
        for (uint32_t i = 0; i < chars; ++i) run.text[qsizetype(i)] = QChar(char16_t(units.u16()));
        // Symbol and Wingdings text comes as the fonts' own codes (U+F020..U+F0FF, or plain
        // bytes for Symbol); fonts here have no such codes, so they become the characters
        // they stand for. One code unit stays one code unit, so Dx stays in step.
        if (!(run.options & textOut::GlyphIndex))
            run.text = symbolFontToUnicode(run.text, m_dc.font().face);
    }
    // Dx: one advance per character (two per character with ETO_PDY).
    m_dx.clear();
    m_dxRaw.clear();
    const uint32_t perChar = (run.options & textOut::Pdy) ? 2 : 1;
    if (offDx != 0 && chars != 0) {
        const auto dxBytes = whole.blockAt(offDx, uint64_t(chars) * 4 * perChar);
        if (!dxBytes.empty()) {
            BoundedReader dx(dxBytes);
            m_dxRaw.resize(size_t(chars) * perChar);
            for (auto& v : m_dxRaw) v = dx.i32();
        }
    }
    if (wide) {
        m_dx.assign(m_dxRaw.begin(), m_dxRaw.end());
    } else if (run.options & textOut::GlyphIndex) {
        // 8-bit glyph indices: one per byte, left for the sink to draw in the selected face.
        run.text = QString(qsizetype(text.size()), QChar());
        for (size_t i = 0; i < text.size(); ++i) run.text[qsizetype(i)] = QChar(char16_t(text[i]));
        m_dx.assign(m_dxRaw.begin(), m_dxRaw.end());
    } else {
        // 8-bit text in the code page of the selected font's character set; the per-byte
        // advances of a double-byte character add up to that character's one advance.
        AnsiTextRun decoded =
            decodeAnsiTextRun(text, m_dxRaw, m_dc.font().charSet, m_dc.font().face, int(perChar));
        run.text = std::move(decoded.text);
        m_dx = std::move(decoded.dx);
    }
    run.dx = m_dx;
    m_sink.extTextOut(run);
    return true;
}

bool EmfDecoder::playBlit(EmfRecordType type, BoundedReader& in) {
    BlitOp op;
    in.skip(16);  // rclBounds
    if (type == EmfRecordType::StretchDiBits || type == EmfRecordType::SetDiBitsToDevice) {
        // EMR_STRETCHDIBITS (MS-EMF 2.3.1.7) and EMR_SETDIBITSTODEVICE (2.3.1.5).
        op.destX = in.i32();
        op.destY = in.i32();
        op.srcX = in.i32();
        op.srcY = in.i32();
        op.srcWidth = in.i32();
        op.srcHeight = in.i32();
        const uint32_t offBmi = in.u32(), cbBmi = in.u32(), offBits = in.u32(), cbBits = in.u32();
        const uint32_t usage = in.u32();
        if (type == EmfRecordType::StretchDiBits) {
            op.rop = in.u32();
            op.destWidth = in.i32();
            op.destHeight = in.i32();
        } else {
            op.dibitsToDevice = true;
            op.startScan = in.u32();
            op.scanCount = in.u32();
            op.destWidth = op.srcWidth;
            op.destHeight = op.srcHeight;
        }
        if (!in.ok()) return false;
        const auto dib = dibAt(in, usage, offBmi, cbBmi, offBits, cbBits);
        if (!dib) return false;
        op.source = *dib;
        m_sink.blit(op);
        return true;
    }
    // EMR_BITBLT (2.3.1.2), EMR_STRETCHBLT (2.3.1.6), EMR_MASKBLT (2.3.1.3), EMR_ALPHABLEND
    // (2.3.1.1), EMR_TRANSPARENTBLT (2.3.1.8) share this opening.
    op.destX = in.i32();
    op.destY = in.i32();
    op.destWidth = in.i32();
    op.destHeight = in.i32();
    const uint32_t rop = in.u32();
    op.rop = rop;
    op.srcX = in.i32();
    op.srcY = in.i32();
    op.sourceTransform = in.xform();
    op.sourceBkColor = in.color();
    const uint32_t usage = in.u32();
    const uint32_t offBmi = in.u32(), cbBmi = in.u32(), offBits = in.u32(), cbBits = in.u32();
    op.srcWidth = op.destWidth;
    op.srcHeight = op.destHeight;
    if (!in.ok()) return false;
    const auto dib = dibAt(in, usage, offBmi, cbBmi, offBits, cbBits);
    if (!dib) return false;
    op.source = *dib;
    switch (type) {
        case EmfRecordType::BitBlt:
            m_sink.blit(op);
            return true;
        case EmfRecordType::StretchBlt:
        case EmfRecordType::AlphaBlend:
        case EmfRecordType::TransparentBlt:
            op.srcWidth = in.i32();
            op.srcHeight = in.i32();
            if (!in.ok()) return false;
            if (type == EmfRecordType::StretchBlt) {
                m_sink.blit(op);
            } else if (type == EmfRecordType::AlphaBlend) {
                op.rop = rop3::SrcCopy;
                m_sink.alphaBlend(op, rop);
            } else {
                op.rop = rop3::SrcCopy;
                m_sink.transparentBlt(op, ColorRef{rop});
            }
            return true;
        case EmfRecordType::MaskBlt: {
            const Point maskOrigin = in.pointL();
            const uint32_t maskUsage = in.u32();
            const uint32_t offMask = in.u32(), cbMask = in.u32(), offMaskBits = in.u32(),
                           cbMaskBits = in.u32();
            if (!in.ok()) return false;
            const auto mask = dibAt(in, maskUsage, offMask, cbMask, offMaskBits, cbMaskBits);
            if (!mask) return false;
            m_sink.maskBlt(op, *mask, maskOrigin);
            return true;
        }
        default:
            return false;
    }
}

bool EmfDecoder::playPlgBlt(BoundedReader& in) {
    // EMR_PLGBLT (MS-EMF 2.3.1.4): bounds, three destination points, the source rectangle, its
    // transform and background colour, the source DIB, then the mask's origin and DIB.
    BlitOp op;
    in.skip(16);  // rclBounds
    std::array<Point, 3> corners;
    for (Point& p : corners) p = in.pointL();
    op.srcX = in.i32();
    op.srcY = in.i32();
    op.srcWidth = in.i32();
    op.srcHeight = in.i32();
    op.sourceTransform = in.xform();
    op.sourceBkColor = in.color();
    const uint32_t usage = in.u32();
    const uint32_t offBmi = in.u32(), cbBmi = in.u32(), offBits = in.u32(), cbBits = in.u32();
    const Point maskOrigin = in.pointL();
    const uint32_t maskUsage = in.u32();
    const uint32_t offMask = in.u32(), cbMask = in.u32(), offMaskBits = in.u32(),
                   cbMaskBits = in.u32();
    if (!in.ok()) return false;
    const auto dib = dibAt(in, usage, offBmi, cbBmi, offBits, cbBits);
    const auto mask = dibAt(in, maskUsage, offMask, cbMask, offMaskBits, cbMaskBits);
    if (!dib || !mask) return false;
    op.source = *dib;
    m_sink.plgBlt(op, corners, *mask, maskOrigin);
    return true;
}

RecordOutcome EmfDecoder::unknown(EmfRecordType type, std::span<const uint8_t> record) {
    m_sink.unknownRecord(uint32_t(type), record);
    return RecordOutcome::Unknown;
}

// Mapping: map mode, window and viewport, world transform, layout (MS-EMF 2.3.11, 2.3.12).
RecordOutcome EmfDecoder::playMapping(EmfRecordType type, BoundedReader& in,
                                      std::span<const uint8_t> record) {
    switch (type) {
        case EmfRecordType::SetWindowExtEx:
        case EmfRecordType::SetViewportExtEx: {
            const Size s = in.sizeL();
            if (!in.ok()) return RecordOutcome::Damaged;
            if (type == EmfRecordType::SetWindowExtEx)
                m_sink.setWindowExt(s);
            else
                m_sink.setViewportExt(s);
            return RecordOutcome::Played;
        }
        case EmfRecordType::SetWindowOrgEx:
        case EmfRecordType::SetViewportOrgEx: {
            const Point p = in.pointL();
            if (!in.ok()) return RecordOutcome::Damaged;
            if (type == EmfRecordType::SetWindowOrgEx)
                m_sink.setWindowOrg(p);
            else
                m_sink.setViewportOrg(p);
            return RecordOutcome::Played;
        }
        case EmfRecordType::ScaleViewportExtEx:
        case EmfRecordType::ScaleWindowExtEx: {
            const int32_t xNum = in.i32(), xDenom = in.i32(), yNum = in.i32(), yDenom = in.i32();
            if (!in.ok()) return RecordOutcome::Damaged;
            if (type == EmfRecordType::ScaleViewportExtEx)
                m_sink.scaleViewportExt(xNum, xDenom, yNum, yDenom);
            else
                m_sink.scaleWindowExt(xNum, xDenom, yNum, yDenom);
            return RecordOutcome::Played;
        }
        case EmfRecordType::SetMapMode: {
            const uint32_t v = in.u32();
            if (!in.ok() || v < 1 || v > 8) return RecordOutcome::Damaged;
            m_sink.setMapMode(MapMode(v));
            return RecordOutcome::Played;
        }
        case EmfRecordType::SetWorldTransform: {
            const XForm x = in.xform();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.setWorldTransform(x);
            return RecordOutcome::Played;
        }
        case EmfRecordType::ModifyWorldTransform: {
            const XForm x = in.xform();
            const uint32_t mode = in.u32();
            if (!in.ok() || mode < 1 || mode > 4) return RecordOutcome::Damaged;
            m_sink.modifyWorldTransform(x, TransformMode(mode));
            return RecordOutcome::Played;
        }
        case EmfRecordType::SetLayout: {
            const uint32_t v = in.u32();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.setLayout(v);
            return RecordOutcome::Played;
        }
        default:
            return unknown(type, record);
    }
}

// State: colours, modes, the current position, SaveDC and RestoreDC (MS-EMF 2.3.11).
RecordOutcome EmfDecoder::playState(EmfRecordType type, BoundedReader& in,
                                    std::span<const uint8_t> record) {
    switch (type) {
        case EmfRecordType::SetBrushOrgEx:
        case EmfRecordType::MoveToEx: {
            const Point p = in.pointL();
            if (!in.ok()) return RecordOutcome::Damaged;
            if (type == EmfRecordType::SetBrushOrgEx)
                m_sink.setBrushOrg(p);
            else
                m_sink.moveTo(p);
            return RecordOutcome::Played;
        }
        case EmfRecordType::SaveDc:
            m_dc.saveDc();
            m_sink.saveDc();
            return RecordOutcome::Played;
        case EmfRecordType::SetBkMode:
        case EmfRecordType::SetPolyFillMode:
        case EmfRecordType::SetRop2:
        case EmfRecordType::SetStretchBltMode:
        case EmfRecordType::SetTextAlign:
        case EmfRecordType::SetTextColor:
        case EmfRecordType::SetBkColor:
        case EmfRecordType::SetArcDirection:
        case EmfRecordType::RestoreDc:
        case EmfRecordType::SetMiterLimit:
            break;  // one 32-bit value, below
        default:
            return unknown(type, record);
    }
    const uint32_t v = in.u32();
    if (!in.ok()) return RecordOutcome::Damaged;
    switch (type) {
        case EmfRecordType::SetBkMode:
            m_sink.setBkMode(v == 2 ? BkMode::Opaque : BkMode::Transparent);
            break;
        case EmfRecordType::SetPolyFillMode:
            m_sink.setPolyFillMode(v == 2 ? PolyFillMode::Winding : PolyFillMode::Alternate);
            break;
        case EmfRecordType::SetRop2:
            m_sink.setRop2(v);
            break;
        case EmfRecordType::SetStretchBltMode:
            m_sink.setStretchBltMode(v);
            break;
        case EmfRecordType::SetTextAlign:
            m_sink.setTextAlign(v);
            break;
        case EmfRecordType::SetTextColor:
            m_sink.setTextColor(ColorRef{v});
            break;
        case EmfRecordType::SetBkColor:
            m_sink.setBkColor(ColorRef{v});
            break;
        case EmfRecordType::SetArcDirection:
            m_sink.setArcDirection(v == 2 ? ArcDirection::Clockwise
                                          : ArcDirection::CounterClockwise);
            break;
        case EmfRecordType::RestoreDc:
            m_dc.restoreDc(int32_t(v));
            m_sink.restoreDc(int32_t(v));
            break;
        default: {
            // EMR_SETMITERLIMIT: the format document calls it an integer, but GDI writes a
            // float; take the float when it reads as a sane limit.
            float f;
            std::memcpy(&f, &v, sizeof f);
            m_sink.setMiterLimit(std::isfinite(f) && f >= 1.0f && f < 1e6f ? f : float(v));
        }
    }
    return RecordOutcome::Played;
}

// Objects: pens, brushes and fonts, created, selected and deleted (MS-EMF 2.3.7, 2.3.8).
RecordOutcome EmfDecoder::playObjects(EmfRecordType type, BoundedReader& in,
                                      std::span<const uint8_t> record) {
    switch (type) {
        case EmfRecordType::CreatePen: {
            const uint32_t index = in.u32();
            LogPen pen;
            pen.style = in.u32();
            pen.width = in.pointL().x;
            pen.color = in.color();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.createPen(index, pen);
            return RecordOutcome::Played;
        }
        case EmfRecordType::CreateBrushIndirect: {
            const uint32_t index = in.u32();
            LogBrush brush;
            brush.style = in.u32();
            brush.color = in.color();
            brush.hatch = in.u32();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.createBrush(index, brush);
            return RecordOutcome::Played;
        }
        case EmfRecordType::CreateMonoBrush:
        case EmfRecordType::CreateDibPatternBrushPt: {
            const uint32_t index = in.u32();
            const uint32_t usage = in.u32();
            const uint32_t offBmi = in.u32(), cbBmi = in.u32(), offBits = in.u32(),
                           cbBits = in.u32();
            if (!in.ok() || cbBmi == 0) return RecordOutcome::Damaged;
            const auto dib = dibAt(in, usage, offBmi, cbBmi, offBits, cbBits);
            if (!dib) return RecordOutcome::Damaged;
            m_sink.createDibPatternBrush(index, *dib, type == EmfRecordType::CreateMonoBrush);
            return RecordOutcome::Played;
        }
        case EmfRecordType::ExtCreatePen:
            return playExtCreatePen(in) ? RecordOutcome::Played : RecordOutcome::Damaged;
        case EmfRecordType::ExtCreateFontIndirectW:
            return playCreateFont(in) ? RecordOutcome::Played : RecordOutcome::Damaged;
        case EmfRecordType::SelectObject:
        case EmfRecordType::DeleteObject: {
            const uint32_t index = in.u32();
            if (!in.ok()) return RecordOutcome::Damaged;
            if (type == EmfRecordType::SelectObject) {
                m_dc.selectObject(index);
                m_sink.selectObject(index);
            } else {
                m_dc.deleteObject(index);
                m_sink.deleteObject(index);
            }
            return RecordOutcome::Played;
        }
        default:
            return unknown(type, record);
    }
}

bool EmfDecoder::playExtCreatePen(BoundedReader& in) {
    // EMR_EXTCREATEPEN (MS-EMF 2.3.7.9): index, optional DIB, LogPenEx with style entries.
    const uint32_t index = in.u32();
    const uint32_t offBmi = in.u32(), cbBmi = in.u32(), offBits = in.u32(), cbBits = in.u32();
    ExtLogPen pen;
    pen.style = in.u32();
    pen.width = in.u32();
    pen.brushStyle = in.u32();
    pen.color = in.color();
    pen.hatch = in.u32();
    const uint32_t entries = in.u32();
    if (!in.ok()) return false;
    if (uint64_t(entries) * 4 > in.remaining()) return false;
    m_styles.resize(entries);
    for (auto& s : m_styles) s = in.u32();
    pen.styleEntries = m_styles;
    if (cbBmi != 0) {
        const auto dib = dibAt(in, kDibRgbColors, offBmi, cbBmi, offBits, cbBits);
        if (dib) pen.pattern = *dib;
    }
    m_sink.createExtPen(index, pen);
    return true;
}

bool EmfDecoder::playCreateFont(BoundedReader& in) {
    // EMR_EXTCREATEFONTINDIRECTW (MS-EMF 2.3.7.8): LOGFONTW (2.2.13), the first 92 bytes of the
    // record's font description.
    const uint32_t index = in.u32();
    LogFont font;
    font.height = in.i32();
    font.width = in.i32();
    font.escapement = in.i32();
    font.orientation = in.i32();
    font.weight = in.i32();
    font.italic = in.u8();
    font.underline = in.u8();
    font.strikeOut = in.u8();
    font.charSet = in.u8();
    font.outPrecision = in.u8();
    font.clipPrecision = in.u8();
    font.quality = in.u8();
    font.pitchAndFamily = in.u8();
    const auto face = in.bytes(64);
    if (!in.ok()) return false;
    for (BoundedReader name(face); name.remaining() >= 2;) {
        const char16_t ch = char16_t(name.u16());
        if (ch == 0) break;
        font.faceName.append(QChar(ch));
    }
    if (index < uint32_t(kMaxObjectSlots)) m_dc.createFont(index, {font.charSet, font.faceName});
    m_sink.createFont(index, font);
    return true;
}

bool EmfDecoder::readPaletteEntries(BoundedReader& in, uint32_t count) {
    // PALETTEENTRY (MS-EMF 2.2.18): red, green, blue, flags.
    if (uint64_t(count) * 4 > in.remaining()) return false;
    m_palette.resize(count);
    for (auto& e : m_palette) {
        e.red = in.u8();
        e.green = in.u8();
        e.blue = in.u8();
        e.flags = in.u8();
    }
    return true;
}

// Palettes: palette objects and the selected palette (MS-EMF 2.3.7.6, 2.3.8, 2.3.11.8).
RecordOutcome EmfDecoder::playPalettes(EmfRecordType type, BoundedReader& in,
                                       std::span<const uint8_t> record) {
    switch (type) {
        case EmfRecordType::CreatePalette: {
            // LogPalette (2.2.17): version, count, entries.
            const uint32_t index = in.u32();
            in.u16();
            const uint16_t count = in.u16();
            if (!in.ok() || !readPaletteEntries(in, count)) return RecordOutcome::Damaged;
            m_sink.createPalette(index, m_palette);
            return RecordOutcome::Played;
        }
        case EmfRecordType::SetPaletteEntries: {
            // EMR_SETPALETTEENTRIES: ihPal, iStart, cEntries, PALETTEENTRY[].
            const uint32_t index = in.u32(), start = in.u32(), count = in.u32();
            if (!in.ok() || !readPaletteEntries(in, count)) return RecordOutcome::Damaged;
            m_sink.setPaletteEntries(index, start, m_palette);
            return RecordOutcome::Played;
        }
        case EmfRecordType::ResizePalette: {
            // EMR_RESIZEPALETTE: ihPal, NumberOfEntries.
            const uint32_t index = in.u32(), count = in.u32();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.resizePalette(index, count);
            return RecordOutcome::Played;
        }
        case EmfRecordType::SelectPalette: {
            const uint32_t index = in.u32();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.selectPalette(index);
            return RecordOutcome::Played;
        }
        case EmfRecordType::RealizePalette:
            m_sink.realizePalette();
            return RecordOutcome::Played;
        default:
            return unknown(type, record);
    }
}

// Clipping: the clip and meta regions (MS-EMF 2.3.2).
RecordOutcome EmfDecoder::playClipping(EmfRecordType type, BoundedReader& in,
                                       std::span<const uint8_t> record) {
    switch (type) {
        case EmfRecordType::ExcludeClipRect:
        case EmfRecordType::IntersectClipRect: {
            const Rect r = in.rectL();
            if (!in.ok()) return RecordOutcome::Damaged;
            if (type == EmfRecordType::ExcludeClipRect)
                m_sink.excludeClipRect(r);
            else
                m_sink.intersectClipRect(r);
            return RecordOutcome::Played;
        }
        case EmfRecordType::OffsetClipRgn: {
            const Point p = in.pointL();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.offsetClipRgn(p.x, p.y);
            return RecordOutcome::Played;
        }
        case EmfRecordType::SelectClipPath: {
            const uint32_t mode = in.u32();
            if (!in.ok() || mode < 1 || mode > 5) return RecordOutcome::Damaged;
            m_sink.selectClipPath(RegionMode(mode));
            return RecordOutcome::Played;
        }
        case EmfRecordType::SetMetaRgn:
            m_sink.setMetaRgn();
            return RecordOutcome::Played;
        case EmfRecordType::ExtSelectClipRgn: {
            // EMR_EXTSELECTCLIPRGN (2.3.2.2): no region data with RGN_COPY resets the clip.
            const uint32_t cbRgn = in.u32();
            const uint32_t mode = in.u32();
            if (!in.ok() || mode < 1 || mode > 5) return RecordOutcome::Damaged;
            if (cbRgn == 0) {
                if (mode != uint32_t(RegionMode::Copy)) return RecordOutcome::Damaged;
                m_sink.selectClipRegion(nullptr, RegionMode::Copy);
                return RecordOutcome::Played;
            }
            RegionData region;
            if (!readRegion(in, cbRgn, region)) return RecordOutcome::Damaged;
            m_sink.selectClipRegion(&region, RegionMode(mode));
            return RecordOutcome::Played;
        }
        default:
            return unknown(type, record);
    }
}

// Paths: the path bracket and what is done with the path (MS-EMF 2.3.10, 2.3.5).
RecordOutcome EmfDecoder::playPaths(EmfRecordType type, std::span<const uint8_t> record) {
    switch (type) {
        case EmfRecordType::BeginPath:
            m_sink.beginPath();
            break;
        case EmfRecordType::EndPath:
            m_sink.endPath();
            break;
        case EmfRecordType::CloseFigure:
            m_sink.closeFigure();
            break;
        case EmfRecordType::AbortPath:
            m_sink.abortPath();
            break;
        case EmfRecordType::FlattenPath:
            m_sink.flattenPath();
            break;
        case EmfRecordType::WidenPath:
            m_sink.widenPath();
            break;
        case EmfRecordType::FillPath:
            m_sink.fillPath();
            break;
        case EmfRecordType::StrokePath:
            m_sink.strokePath();
            break;
        case EmfRecordType::StrokeAndFillPath:
            m_sink.strokeAndFillPath();
            break;
        default:
            return unknown(type, record);
    }
    return RecordOutcome::Played;
}

// Poly records: bounds, then the points, 32-bit or (the 16-bit forms) 16-bit (MS-EMF 2.3.5).
RecordOutcome EmfDecoder::playPoly(EmfRecordType type, BoundedReader& in,
                                   std::span<const uint8_t> record) {
    const EmfRecordType form = withLongPoints(type);
    const bool shortPoints = form != type;
    switch (form) {
        case EmfRecordType::PolyBezier:
        case EmfRecordType::Polygon:
        case EmfRecordType::Polyline:
        case EmfRecordType::PolyBezierTo:
        case EmfRecordType::PolylineTo: {
            // EMR_POLYLINE etc. (2.3.5.x): bounds, count, points.
            in.skip(16);
            const uint32_t count = in.u32();
            if (!in.ok() || !(shortPoints ? readPointsS(in, count) : readPointsL(in, count)))
                return RecordOutcome::Damaged;
            const std::span<const Point> pts = m_points;
            if (form == EmfRecordType::PolyBezier)
                m_sink.polyBezier(pts);
            else if (form == EmfRecordType::Polygon)
                m_sink.polygon(pts);
            else if (form == EmfRecordType::Polyline)
                m_sink.polyline(pts);
            else if (form == EmfRecordType::PolyBezierTo)
                m_sink.polyBezierTo(pts);
            else
                m_sink.polylineTo(pts);
            return RecordOutcome::Played;
        }
        case EmfRecordType::PolyPolyline:
        case EmfRecordType::PolyPolygon:
            if (!readPolyPoly(in, shortPoints)) return RecordOutcome::Damaged;
            if (form == EmfRecordType::PolyPolyline)
                m_sink.polyPolyline(m_points, m_counts);
            else
                m_sink.polyPolygon(m_points, m_counts);
            return RecordOutcome::Played;
        case EmfRecordType::PolyDraw: {
            // EMR_POLYDRAW (2.3.5.26): bounds, count, points, then one type byte per point.
            in.skip(16);
            const uint32_t count = in.u32();
            if (!in.ok() || !(shortPoints ? readPointsS(in, count) : readPointsL(in, count)))
                return RecordOutcome::Damaged;
            const auto types = in.bytes(count);
            if (!in.ok()) return RecordOutcome::Damaged;
            m_types.assign(types.begin(), types.end());
            m_sink.polyDraw(m_points, m_types);
            return RecordOutcome::Played;
        }
        default:
            return unknown(type, record);
    }
}

// Figures: lines, shapes, pixels, flood fills and gradients (MS-EMF 2.3.5).
RecordOutcome EmfDecoder::playFigures(EmfRecordType type, BoundedReader& in,
                                      std::span<const uint8_t> record) {
    switch (type) {
        case EmfRecordType::LineTo: {
            const Point p = in.pointL();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.lineTo(p);
            return RecordOutcome::Played;
        }
        case EmfRecordType::Rectangle:
        case EmfRecordType::Ellipse: {
            const Rect r = in.rectL();
            if (!in.ok()) return RecordOutcome::Damaged;
            if (type == EmfRecordType::Ellipse)
                m_sink.ellipse(r);
            else
                m_sink.rectangle(r);
            return RecordOutcome::Played;
        }
        case EmfRecordType::RoundRect: {
            const Rect r = in.rectL();
            const Size corner = in.sizeL();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.roundRect(r, corner);
            return RecordOutcome::Played;
        }
        case EmfRecordType::Arc:
        case EmfRecordType::ArcTo:
        case EmfRecordType::Chord:
        case EmfRecordType::Pie: {
            const Rect box = in.rectL();
            const Point start = in.pointL();
            const Point end = in.pointL();
            if (!in.ok()) return RecordOutcome::Damaged;
            if (type == EmfRecordType::Arc)
                m_sink.arc(box, start, end);
            else if (type == EmfRecordType::ArcTo)
                m_sink.arcTo(box, start, end);
            else if (type == EmfRecordType::Chord)
                m_sink.chord(box, start, end);
            else
                m_sink.pie(box, start, end);
            return RecordOutcome::Played;
        }
        case EmfRecordType::AngleArc: {
            const Point center = in.pointL();
            const uint32_t radius = in.u32();
            const float start = in.f32(), sweep = in.f32();
            if (!in.ok() || !std::isfinite(start) || !std::isfinite(sweep))
                return RecordOutcome::Damaged;
            m_sink.angleArc(center, radius, start, sweep);
            return RecordOutcome::Played;
        }
        case EmfRecordType::SetPixelV: {
            const Point p = in.pointL();
            const ColorRef c = in.color();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.setPixel(p, c);
            return RecordOutcome::Played;
        }
        case EmfRecordType::ExtFloodFill: {
            const Point p = in.pointL();
            const ColorRef c = in.color();
            const uint32_t mode = in.u32();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.extFloodFill(
                p, c, mode == floodFill::Surface ? floodFill::Surface : floodFill::Border);
            return RecordOutcome::Played;
        }
        case EmfRecordType::GradientFill:
            return playGradientFill(in) ? RecordOutcome::Played : RecordOutcome::Damaged;
        default:
            return unknown(type, record);
    }
}

bool EmfDecoder::playGradientFill(BoundedReader& in) {
    // EMR_GRADIENTFILL (MS-EMF 2.3.5.12): bounds, counts, mode, the vertices, then 2 or 3
    // indices per shape.
    in.skip(16);
    const uint32_t nVer = in.u32(), nTri = in.u32(), mode = in.u32();
    if (!in.ok() || mode > 2 || uint64_t(nVer) * 16 > in.remaining()) return false;
    m_vertices.resize(nVer);
    for (auto& v : m_vertices) {
        v.x = in.i32();
        v.y = in.i32();
        v.red = in.u16();
        v.green = in.u16();
        v.blue = in.u16();
        v.alpha = in.u16();
    }
    const uint32_t per = mode == 2 ? 3 : 2;
    if (!in.ok() || uint64_t(nTri) * per * 4 > in.remaining()) return false;
    m_counts.resize(size_t(nTri) * per);
    for (auto& idx : m_counts) {
        idx = in.u32();
        if (idx >= nVer) return false;
    }
    m_sink.gradientFill(m_vertices, m_counts, mode);
    return true;
}

// Regions filled, framed, inverted or painted: bounds, the region's size, a brush (and a
// stroke size), the region (MS-EMF 2.3.5.10, 2.3.5.11, 2.3.5.13, 2.3.5.14).
RecordOutcome EmfDecoder::playRegions(EmfRecordType type, BoundedReader& in,
                                      std::span<const uint8_t> record) {
    if (type != EmfRecordType::FillRgn && type != EmfRecordType::FrameRgn &&
        type != EmfRecordType::InvertRgn && type != EmfRecordType::PaintRgn)
        return unknown(type, record);
    in.skip(16);
    const uint32_t cbRgn = in.u32();
    uint32_t brush = 0;
    Size stroke;
    if (type == EmfRecordType::FillRgn || type == EmfRecordType::FrameRgn) brush = in.u32();
    if (type == EmfRecordType::FrameRgn) stroke = in.sizeL();
    RegionData region;
    if (!in.ok() || !readRegion(in, cbRgn, region)) return RecordOutcome::Damaged;
    if (type == EmfRecordType::FillRgn)
        m_sink.fillRegion(region, brush);
    else if (type == EmfRecordType::FrameRgn)
        m_sink.frameRegion(region, brush, stroke);
    else if (type == EmfRecordType::InvertRgn)
        m_sink.invertRegion(region);
    else
        m_sink.paintRegion(region);
    return RecordOutcome::Played;
}

// Text (MS-EMF 2.3.5.8, 2.3.5.9, 2.3.5.32, 2.3.5.37, 2.3.11.27).
RecordOutcome EmfDecoder::playTextRecords(EmfRecordType type, BoundedReader& in,
                                          std::span<const uint8_t> record) {
    switch (type) {
        case EmfRecordType::ExtTextOutA:
        case EmfRecordType::ExtTextOutW: {
            in.skip(16);
            const uint32_t mode = in.u32();
            const float ex = in.f32(), ey = in.f32();
            if (!in.ok()) return RecordOutcome::Damaged;
            return playText(in, record, type == EmfRecordType::ExtTextOutW,
                            mode == 2 ? GraphicsMode::Advanced : GraphicsMode::Compatible, ex, ey)
                       ? RecordOutcome::Played
                       : RecordOutcome::Damaged;
        }
        case EmfRecordType::PolyTextOutA:
        case EmfRecordType::PolyTextOutW: {
            in.skip(16);
            const uint32_t mode = in.u32();
            const float ex = in.f32(), ey = in.f32();
            const uint32_t strings = in.u32();
            if (!in.ok() || uint64_t(strings) * 36 > in.remaining()) return RecordOutcome::Damaged;
            for (uint32_t i = 0; i < strings && in.ok(); ++i)
                if (!playText(in, record, type == EmfRecordType::PolyTextOutW,
                              mode == 2 ? GraphicsMode::Advanced : GraphicsMode::Compatible, ex,
                              ey))
                    return RecordOutcome::Damaged;
            return in.ok() ? RecordOutcome::Played : RecordOutcome::Damaged;
        }
        case EmfRecordType::SmallTextOut:
            return playSmallText(in) ? RecordOutcome::Played : RecordOutcome::Damaged;
        case EmfRecordType::SetTextJustification: {
            // EMR_SETTEXTJUSTIFICATION (2.3.11.27): nBreakExtra, nBreakCount.
            const int32_t extra = in.i32(), count = in.i32();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.setTextJustification(extra, count);
            return RecordOutcome::Played;
        }
        default:
            return unknown(type, record);
    }
}

bool EmfDecoder::playSmallText(BoundedReader& in) {
    // EMR_SMALLTEXTOUT (MS-EMF 2.3.5.37): reference point, character count, options, graphics
    // mode, scales, a rectangle only without ETO_NO_RECT, then the characters right after it,
    // with no Dx. ETO_SMALL_CHARS stores each UTF-16 code unit as its low byte (the recorder
    // uses it only when every high byte is zero), so a byte is the code unit itself, not a
    // character of the font's code page.
    TextRun run;
    run.reference = in.pointL();
    const uint32_t chars = in.u32();
    run.options = in.u32();
    run.graphicsMode = in.u32() == 2 ? GraphicsMode::Advanced : GraphicsMode::Compatible;
    run.exScale = in.f32();
    run.eyScale = in.f32();
    if (!(run.options & textOut::NoRect)) run.rect = in.rectL();
    if (!in.ok()) return false;
    const bool small = run.options & textOut::SmallChars;
    const uint64_t charBytes = uint64_t(chars) * (small ? 1 : 2);
    if (charBytes > in.remaining()) return false;
    run.text.resize(qsizetype(chars));
    for (uint32_t i = 0; i < chars; ++i)
        run.text[qsizetype(i)] = QChar(small ? char16_t(in.u8()) : char16_t(in.u16()));
    // The flag is the record's own; the sink knows only ExtTextOut's options.
    run.options &= ~textOut::SmallChars;
    if (!(run.options & textOut::GlyphIndex))
        run.text = symbolFontToUnicode(run.text, m_dc.font().face);
    m_sink.extTextOut(run);
    return true;
}

// Bitmaps (MS-EMF 2.3.1).
RecordOutcome EmfDecoder::playBitmaps(EmfRecordType type, BoundedReader& in,
                                      std::span<const uint8_t> record) {
    switch (type) {
        case EmfRecordType::BitBlt:
        case EmfRecordType::StretchBlt:
        case EmfRecordType::MaskBlt:
        case EmfRecordType::AlphaBlend:
        case EmfRecordType::TransparentBlt:
        case EmfRecordType::StretchDiBits:
        case EmfRecordType::SetDiBitsToDevice:
            return playBlit(type, in) ? RecordOutcome::Played : RecordOutcome::Damaged;
        case EmfRecordType::PlgBlt:
            return playPlgBlt(in) ? RecordOutcome::Played : RecordOutcome::Damaged;
        default:
            return unknown(type, record);
    }
}

// Comments (MS-EMF 2.3.3).
RecordOutcome EmfDecoder::playComments(EmfRecordType type, BoundedReader& in,
                                       std::span<const uint8_t> record) {
    if (type != EmfRecordType::Comment) return unknown(type, record);
    const uint32_t cb = in.u32();
    const auto data = in.bytes(cb);
    if (!in.ok()) return RecordOutcome::Damaged;
    // EMF+ records (MS-EMFPLUS) are not drawn: the GDI records of a dual file are.
    if (data.size() >= 4 && BoundedReader(data).u32() == kEmfPlusId) return unknown(type, record);
    m_sink.comment(data);
    return RecordOutcome::Played;
}

RecordOutcome EmfDecoder::play(uint32_t rawType, std::span<const uint8_t> record) {
    BoundedReader in(record);
    in.skip(kEmfRecordHeaderSize);
    const auto type = EmfRecordType(rawType);
    // The record table says which family plays each type.
    switch (emfRecordFamily(rawType)) {
        case RecordFamily::Control:
            return RecordOutcome::Played;  // EMR_HEADER and EMR_EOF: the reader's own
        case RecordFamily::Mapping:
            return playMapping(type, in, record);
        case RecordFamily::State:
            return playState(type, in, record);
        case RecordFamily::Objects:
            return playObjects(type, in, record);
        case RecordFamily::Palettes:
            return playPalettes(type, in, record);
        case RecordFamily::Clipping:
            return playClipping(type, in, record);
        case RecordFamily::Paths:
            return playPaths(type, record);
        case RecordFamily::Poly:
            return playPoly(type, in, record);
        case RecordFamily::Figures:
            return playFigures(type, in, record);
        case RecordFamily::Regions:
            return playRegions(type, in, record);
        case RecordFamily::Text:
            return playTextRecords(type, in, record);
        case RecordFamily::Bitmaps:
            return playBitmaps(type, in, record);
        case RecordFamily::Comments:
            return playComments(type, in, record);
        case RecordFamily::None:
            break;
    }
    return unknown(type, record);
}

}  // namespace plume::metafile
