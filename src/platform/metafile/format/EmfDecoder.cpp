#include "platform/metafile/format/EmfDecoder.h"

#include "platform/metafile/format/FontText.h"

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

// Figures: poly records, shapes, gradients (MS-EMF 2.3.5).
std::optional<RecordOutcome> EmfDecoder::playFigures(
    [[maybe_unused]] EmfRecordType type, [[maybe_unused]] uint32_t rawType,
    [[maybe_unused]] BoundedReader& in, [[maybe_unused]] std::span<const uint8_t> record) {
    switch (type) {
        // --- Poly records: EMR_POLYLINE etc. (MS-EMF 2.3.5.x): bounds, count, POINTL[] ---
        case EmfRecordType::PolyBezier:
        case EmfRecordType::Polygon:
        case EmfRecordType::Polyline:
        case EmfRecordType::PolyBezierTo:
        case EmfRecordType::PolylineTo:
        case EmfRecordType::PolyBezier16:
        case EmfRecordType::Polygon16:
        case EmfRecordType::Polyline16:
        case EmfRecordType::PolyBezierTo16:
        case EmfRecordType::PolylineTo16: {
            in.skip(16);
            const uint32_t count = in.u32();
            const bool shortPoints = rawType >= uint32_t(EmfRecordType::PolyBezier16);
            if (!in.ok() || !(shortPoints ? readPointsS(in, count) : readPointsL(in, count)))
                return RecordOutcome::Damaged;
            const std::span<const Point> pts = m_points;
            switch (shortPoints ? EmfRecordType(rawType - 83) : type) {
                case EmfRecordType::PolyBezier:
                    m_sink.polyBezier(pts);
                    break;
                case EmfRecordType::Polygon:
                    m_sink.polygon(pts);
                    break;
                case EmfRecordType::Polyline:
                    m_sink.polyline(pts);
                    break;
                case EmfRecordType::PolyBezierTo:
                    m_sink.polyBezierTo(pts);
                    break;
                default:
                    m_sink.polylineTo(pts);
                    break;
            }
            return RecordOutcome::Played;
        }
        case EmfRecordType::PolyPolyline:
        case EmfRecordType::PolyPolygon:
        case EmfRecordType::PolyPolyline16:
        case EmfRecordType::PolyPolygon16: {
            const bool shortPoints = rawType >= uint32_t(EmfRecordType::PolyPolyline16);
            if (!readPolyPoly(in, shortPoints)) return RecordOutcome::Damaged;
            if (type == EmfRecordType::PolyPolyline || type == EmfRecordType::PolyPolyline16)
                m_sink.polyPolyline(m_points, m_counts);
            else
                m_sink.polyPolygon(m_points, m_counts);
            return RecordOutcome::Played;
        }
        case EmfRecordType::PolyDraw:
        case EmfRecordType::PolyDraw16: {
            // EMR_POLYDRAW (2.3.5.26): bounds, count, points, then one type byte per point.
            in.skip(16);
            const uint32_t count = in.u32();
            const bool shortPoints = type == EmfRecordType::PolyDraw16;
            if (!in.ok() || !(shortPoints ? readPointsS(in, count) : readPointsL(in, count)))
                return RecordOutcome::Damaged;
            const auto types = in.bytes(count);
            if (!in.ok()) return RecordOutcome::Damaged;
            m_types.assign(types.begin(), types.end());
            m_sink.polyDraw(m_points, m_types);
            return RecordOutcome::Played;
        }

        // --- Figures (MS-EMF 2.3.5) ---
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

        case EmfRecordType::GradientFill: {
            // EMR_GRADIENTFILL (2.3.5.12): vertices, then 2 or 3 indices per shape.
            in.skip(16);
            const uint32_t nVer = in.u32(), nTri = in.u32(), mode = in.u32();
            if (!in.ok() || mode > 2 || uint64_t(nVer) * 16 > in.remaining())
                return RecordOutcome::Damaged;
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
            if (!in.ok() || uint64_t(nTri) * per * 4 > in.remaining())
                return RecordOutcome::Damaged;
            m_counts.resize(size_t(nTri) * per);
            for (auto& idx : m_counts) {
                idx = in.u32();
                if (idx >= nVer) return RecordOutcome::Damaged;
            }
            m_sink.gradientFill(m_vertices, m_counts, mode);
            return RecordOutcome::Played;
        }

        default:
            return std::nullopt;
    }
}

// State: mapping, colours, modes, selection, SaveDC (MS-EMF 2.3.11).
std::optional<RecordOutcome> EmfDecoder::playState(
    [[maybe_unused]] EmfRecordType type, [[maybe_unused]] uint32_t rawType,
    [[maybe_unused]] BoundedReader& in, [[maybe_unused]] std::span<const uint8_t> record) {
    switch (type) {
        // --- State (MS-EMF 2.3.11) ---
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
        case EmfRecordType::SetViewportOrgEx:
        case EmfRecordType::SetBrushOrgEx:
        case EmfRecordType::MoveToEx:
        case EmfRecordType::LineTo:
        case EmfRecordType::OffsetClipRgn: {
            const Point p = in.pointL();
            if (!in.ok()) return RecordOutcome::Damaged;
            switch (type) {
                case EmfRecordType::SetWindowOrgEx:
                    m_sink.setWindowOrg(p);
                    break;
                case EmfRecordType::SetViewportOrgEx:
                    m_sink.setViewportOrg(p);
                    break;
                case EmfRecordType::SetBrushOrgEx:
                    m_sink.setBrushOrg(p);
                    break;
                case EmfRecordType::MoveToEx:
                    m_sink.moveTo(p);
                    break;
                case EmfRecordType::LineTo:
                    m_sink.lineTo(p);
                    break;
                default:
                    m_sink.offsetClipRgn(p.x, p.y);
                    break;
            }
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
            m_sink.extFloodFill(p, c, mode == floodFill::Surface ? floodFill::Surface
                                                                   : floodFill::Border);
            return RecordOutcome::Played;
        }
        case EmfRecordType::SetLayout: {
            const uint32_t v = in.u32();
            if (!in.ok()) return RecordOutcome::Damaged;
            m_sink.setLayout(v);
            return RecordOutcome::Played;
        }
        case EmfRecordType::SetMapMode:
        case EmfRecordType::SetBkMode:
        case EmfRecordType::SetPolyFillMode:
        case EmfRecordType::SetRop2:
        case EmfRecordType::SetStretchBltMode:
        case EmfRecordType::SetTextAlign:
        case EmfRecordType::SetTextColor:
        case EmfRecordType::SetBkColor:
        case EmfRecordType::SetArcDirection:
        case EmfRecordType::SelectObject:
        case EmfRecordType::DeleteObject:
        case EmfRecordType::SelectPalette:
        case EmfRecordType::SelectClipPath:
        case EmfRecordType::RestoreDc:
        case EmfRecordType::SetMiterLimit: {
            const uint32_t v = in.u32();
            if (!in.ok()) return RecordOutcome::Damaged;
            switch (type) {
                case EmfRecordType::SetMapMode:
                    if (v < 1 || v > 8) return RecordOutcome::Damaged;
                    m_sink.setMapMode(MapMode(v));
                    break;
                case EmfRecordType::SetBkMode:
                    m_sink.setBkMode(v == 2 ? BkMode::Opaque : BkMode::Transparent);
                    break;
                case EmfRecordType::SetPolyFillMode:
                    m_sink.setPolyFillMode(v == 2 ? PolyFillMode::Winding
                                                  : PolyFillMode::Alternate);
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
                case EmfRecordType::SelectObject:
                    m_dc.selectObject(v);
                    m_sink.selectObject(v);
                    break;
                case EmfRecordType::DeleteObject:
                    m_dc.deleteObject(v);
                    m_sink.deleteObject(v);
                    break;
                case EmfRecordType::SelectPalette:
                    m_sink.selectPalette(v);
                    break;
                case EmfRecordType::SelectClipPath:
                    if (v < 1 || v > 5) return RecordOutcome::Damaged;
                    m_sink.selectClipPath(RegionMode(v));
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
        default:
            return std::nullopt;
    }
}

// Clip rectangles, simple figures, scaling, paths and world transforms.
std::optional<RecordOutcome> EmfDecoder::playPathsAndTransforms(
    [[maybe_unused]] EmfRecordType type, [[maybe_unused]] uint32_t rawType,
    [[maybe_unused]] BoundedReader& in, [[maybe_unused]] std::span<const uint8_t> record) {
    switch (type) {
        case EmfRecordType::ExcludeClipRect:
        case EmfRecordType::IntersectClipRect:
        case EmfRecordType::Ellipse:
        case EmfRecordType::Rectangle: {
            const Rect r = in.rectL();
            if (!in.ok()) return RecordOutcome::Damaged;
            if (type == EmfRecordType::ExcludeClipRect)
                m_sink.excludeClipRect(r);
            else if (type == EmfRecordType::IntersectClipRect)
                m_sink.intersectClipRect(r);
            else if (type == EmfRecordType::Ellipse)
                m_sink.ellipse(r);
            else
                m_sink.rectangle(r);
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
        case EmfRecordType::SaveDc:
            m_dc.saveDc();
            m_sink.saveDc();
            return RecordOutcome::Played;
        case EmfRecordType::SetMetaRgn:
            m_sink.setMetaRgn();
            return RecordOutcome::Played;
        case EmfRecordType::RealizePalette:
            m_sink.realizePalette();
            return RecordOutcome::Played;
        case EmfRecordType::BeginPath:
            m_sink.beginPath();
            return RecordOutcome::Played;
        case EmfRecordType::EndPath:
            m_sink.endPath();
            return RecordOutcome::Played;
        case EmfRecordType::CloseFigure:
            m_sink.closeFigure();
            return RecordOutcome::Played;
        case EmfRecordType::AbortPath:
            m_sink.abortPath();
            return RecordOutcome::Played;
        case EmfRecordType::FlattenPath:
            m_sink.flattenPath();
            return RecordOutcome::Played;
        case EmfRecordType::WidenPath:
            m_sink.widenPath();
            return RecordOutcome::Played;
        case EmfRecordType::FillPath:
            m_sink.fillPath();
            return RecordOutcome::Played;
        case EmfRecordType::StrokePath:
            m_sink.strokePath();
            return RecordOutcome::Played;
        case EmfRecordType::StrokeAndFillPath:
            m_sink.strokeAndFillPath();
            return RecordOutcome::Played;
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

        default:
            return std::nullopt;
    }
}

// Objects (MS-EMF 2.3.7).
std::optional<RecordOutcome> EmfDecoder::playObjects(
    [[maybe_unused]] EmfRecordType type, [[maybe_unused]] uint32_t rawType,
    [[maybe_unused]] BoundedReader& in, [[maybe_unused]] std::span<const uint8_t> record) {
    switch (type) {
        // --- Objects (MS-EMF 2.3.7) ---
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
        case EmfRecordType::ExtCreatePen: {
            // EMR_EXTCREATEPEN (2.3.7.9): index, optional DIB, LogPenEx with style entries.
            const uint32_t index = in.u32();
            const uint32_t offBmi = in.u32(), cbBmi = in.u32(), offBits = in.u32(),
                           cbBits = in.u32();
            ExtLogPen pen;
            pen.style = in.u32();
            pen.width = in.u32();
            pen.brushStyle = in.u32();
            pen.color = in.color();
            pen.hatch = in.u32();
            const uint32_t entries = in.u32();
            if (!in.ok()) return RecordOutcome::Damaged;
            if (uint64_t(entries) * 4 > in.remaining()) return RecordOutcome::Damaged;
            m_styles.resize(entries);
            for (auto& s : m_styles) s = in.u32();
            pen.styleEntries = m_styles;
            if (cbBmi != 0) {
                const auto dib = dibAt(in, kDibRgbColors, offBmi, cbBmi, offBits, cbBits);
                if (dib) pen.pattern = *dib;
            }
            m_sink.createExtPen(index, pen);
            return RecordOutcome::Played;
        }
        case EmfRecordType::ExtCreateFontIndirectW: {
            // LOGFONTW (2.2.13), the first 92 bytes of the record's font description.
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
            if (!in.ok()) return RecordOutcome::Damaged;
            for (BoundedReader name(face); name.remaining() >= 2;) {
                const char16_t ch = char16_t(name.u16());
                if (ch == 0) break;
                font.faceName.append(QChar(ch));
            }
            if (index < uint32_t(kMaxObjectSlots))
                m_dc.createFont(index, {font.charSet, font.faceName});
            m_sink.createFont(index, font);
            return RecordOutcome::Played;
        }
        case EmfRecordType::CreatePalette: {
            // LogPalette (2.2.17): version, count, entries.
            const uint32_t index = in.u32();
            in.u16();
            const uint16_t count = in.u16();
            if (!in.ok() || uint64_t(count) * 4 > in.remaining()) return RecordOutcome::Damaged;
            m_palette.resize(count);
            for (auto& e : m_palette) {
                e.red = in.u8();
                e.green = in.u8();
                e.blue = in.u8();
                e.flags = in.u8();
            }
            m_sink.createPalette(index, m_palette);
            return RecordOutcome::Played;
        }
        case EmfRecordType::SetPaletteEntries: {
            // EMR_SETPALETTEENTRIES: ihPal, iStart, cEntries, PALETTEENTRY[].
            const uint32_t index = in.u32(), start = in.u32(), count = in.u32();
            if (!in.ok() || uint64_t(count) * 4 > in.remaining()) return RecordOutcome::Damaged;
            m_palette.resize(count);
            for (auto& e : m_palette) {
                e.red = in.u8();
                e.green = in.u8();
                e.blue = in.u8();
                e.flags = in.u8();
            }
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

        default:
            return std::nullopt;
    }
}

// Regions and clipping (MS-EMF 2.3.2).
std::optional<RecordOutcome> EmfDecoder::playClipping(
    [[maybe_unused]] EmfRecordType type, [[maybe_unused]] uint32_t rawType,
    [[maybe_unused]] BoundedReader& in, [[maybe_unused]] std::span<const uint8_t> record) {
    switch (type) {
        // --- Regions and clipping (2.3.2, 2.3.5.x) ---
        case EmfRecordType::FillRgn:
        case EmfRecordType::FrameRgn:
        case EmfRecordType::InvertRgn:
        case EmfRecordType::PaintRgn: {
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
            return std::nullopt;
    }
}

// Text (MS-EMF 2.3.5.8, 2.3.5.9, 2.3.5.32, 2.3.5.37).
std::optional<RecordOutcome> EmfDecoder::playTextRecords(
    [[maybe_unused]] EmfRecordType type, [[maybe_unused]] uint32_t rawType,
    [[maybe_unused]] BoundedReader& in, [[maybe_unused]] std::span<const uint8_t> record) {
    switch (type) {
        // --- Text (2.3.5.8, 2.3.5.9, 2.3.5.32) ---
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
            return std::nullopt;
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
std::optional<RecordOutcome> EmfDecoder::playBitmaps(
    [[maybe_unused]] EmfRecordType type, [[maybe_unused]] uint32_t rawType,
    [[maybe_unused]] BoundedReader& in, [[maybe_unused]] std::span<const uint8_t> record) {
    switch (type) {
        // --- Bitmaps (2.3.1) ---
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
            return std::nullopt;
    }
}

// Comments (MS-EMF 2.3.3).
std::optional<RecordOutcome> EmfDecoder::playComments(
    [[maybe_unused]] EmfRecordType type, [[maybe_unused]] uint32_t rawType,
    [[maybe_unused]] BoundedReader& in, [[maybe_unused]] std::span<const uint8_t> record) {
    switch (type) {
        case EmfRecordType::Comment: {
            const uint32_t cb = in.u32();
            const auto data = in.bytes(cb);
            if (!in.ok()) return RecordOutcome::Damaged;
            if (data.size() >= 4 && BoundedReader(data).u32() == kEmfPlusId) {
                // EMF+ records (MS-EMFPLUS) are not drawn: the GDI records of a dual file are.
                m_sink.unknownRecord(rawType, record);
                return RecordOutcome::Unknown;
            }
            m_sink.comment(data);
            return RecordOutcome::Played;
        }
        default:
            return std::nullopt;
    }
}

RecordOutcome EmfDecoder::play(uint32_t rawType, std::span<const uint8_t> record) {
    BoundedReader in(record);
    in.skip(kEmfRecordHeaderSize);
    const auto type = EmfRecordType(rawType);
    // One decoder per record family. The family that takes a record type is found by asking
    // each in turn the first time the type comes, and remembered.
    static constexpr std::array kFamilies = {
        &EmfDecoder::playFigures,  &EmfDecoder::playState,
        &EmfDecoder::playObjects,  &EmfDecoder::playPathsAndTransforms,
        &EmfDecoder::playClipping, &EmfDecoder::playTextRecords,
        &EmfDecoder::playBitmaps,  &EmfDecoder::playComments};
    uint8_t none = 0;
    uint8_t& family = rawType < m_familyOf.size() ? m_familyOf[rawType] : none;
    if (family == 0)
        for (size_t i = 0; i < kFamilies.size(); ++i)
            if (const auto outcome = (this->*kFamilies[i])(type, rawType, in, record)) {
                family = uint8_t(i + 1);
                return *outcome;
            }
    if (family != 0 && family <= kFamilies.size())
        return *(this->*kFamilies[family - 1])(type, rawType, in, record);
    family = uint8_t(kFamilies.size() + 1);  // no family takes it
    if (type == EmfRecordType::Header || type == EmfRecordType::Eof) return RecordOutcome::Played;
    m_sink.unknownRecord(rawType, record);
    return RecordOutcome::Unknown;
}

}  // namespace plume::metafile
