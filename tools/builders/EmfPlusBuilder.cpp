#include "builders/EmfPlusBuilder.h"

#include <cstring>

namespace plume::test {

namespace {

void f32(QByteArray& out, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    appendU32(out, bits);
}
void rectF(QByteArray& out, const QRectF& r) {
    f32(out, float(r.x()));
    f32(out, float(r.y()));
    f32(out, float(r.width()));
    f32(out, float(r.height()));
}
void pointsF(QByteArray& out, const std::vector<QPointF>& points) {
    for (const QPointF& p : points) {
        f32(out, float(p.x()));
        f32(out, float(p.y()));
    }
}
// A relative coordinate: 7 bits when it fits, else 15 bits, high byte first.
void relative(QByteArray& out, int v) {
    if (v >= -64 && v <= 63) {
        out.append(char(v & 0x7F));
    } else {
        const int u = v & 0x7FFF;
        out.append(char(0x80 | (u >> 8)));
        out.append(char(u & 0xFF));
    }
}
constexpr uint32_t kVersion = 0xDBC01002;

}  // namespace

EmfPlusBuilder& EmfPlusBuilder::record(uint16_t type, uint16_t flags, const QByteArray& data) {
    QByteArray body = data;
    while (body.size() % 4) body.append('\0');
    appendU16(m_records, type);
    appendU16(m_records, flags);
    appendU32(m_records, uint32_t(body.size() + 12));
    appendU32(m_records, uint32_t(data.size()));
    m_records.append(body);
    return *this;
}

EmfPlusBuilder& EmfPlusBuilder::header(bool dual, uint32_t dpi) {
    QByteArray d;
    appendU32(d, kVersion);
    appendU32(d, 1);  // video display
    appendU32(d, dpi);
    appendU32(d, dpi);
    return record(0x4001, dual ? 1 : 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::endOfFile() { return record(0x4002, 0, {}); }
EmfPlusBuilder& EmfPlusBuilder::getDc() { return record(0x4004, 0, {}); }

EmfPlusBuilder& EmfPlusBuilder::object(uint8_t id, uint8_t type, const QByteArray& body,
                                       int part) {
    const uint16_t flags = uint16_t((type << 8) | id);
    if (part <= 0) return record(0x4008, flags, body);
    for (qsizetype at = 0; at < body.size(); at += part) {
        QByteArray d;
        appendU32(d, uint32_t(body.size()));
        d.append(body.mid(at, part));
        record(0x4008, flags | 0x8000, d);
    }
    return *this;
}

PlusRegion regionRect(const QRectF& rect) {
    PlusRegion node;
    appendU32(node.bytes, 0x10000000);
    rectF(node.bytes, rect);
    return node;
}
PlusRegion regionPath(const QByteArray& pathBody) {
    PlusRegion node;
    appendU32(node.bytes, 0x10000001);
    appendU32(node.bytes, uint32_t(pathBody.size()));
    node.bytes += pathBody;
    return node;
}
PlusRegion regionEmpty() {
    PlusRegion node;
    appendU32(node.bytes, 0x10000002);
    return node;
}
PlusRegion regionInfinite() {
    PlusRegion node;
    appendU32(node.bytes, 0x10000003);
    return node;
}
PlusRegion regionCombined(uint32_t mode, const PlusRegion& left, const PlusRegion& right) {
    PlusRegion node;
    appendU32(node.bytes, mode);
    node.bytes += left.bytes + right.bytes;
    node.children = 2 + left.children + right.children;
    return node;
}

EmfPlusBuilder& EmfPlusBuilder::region(uint8_t id, const PlusRegion& node) {
    QByteArray body;
    appendU32(body, 0xDBC01002);  // version
    appendU32(body, node.children);
    return object(id, 4, body + node.bytes);
}

QByteArray EmfPlusBuilder::brushBody(uint32_t argb) {
    QByteArray b;
    appendU32(b, kVersion);
    appendU32(b, 0);
    appendU32(b, argb);
    return b;
}
EmfPlusBuilder& EmfPlusBuilder::textureBrush(uint8_t id, const QImage& image, uint32_t wrapMode) {
    QByteArray b;
    appendU32(b, kVersion);
    appendU32(b, 2);  // texture
    appendU32(b, 0);  // no transform
    appendU32(b, wrapMode);
    b.append(bitmapBody(image));
    return object(id, 1, b);
}
EmfPlusBuilder& EmfPlusBuilder::bitmap(uint8_t id, const QImage& image) {
    return object(id, 5, bitmapBody(image));
}
QByteArray EmfPlusBuilder::bitmapBody(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QByteArray b;
    appendU32(b, kVersion);
    appendU32(b, 1);  // bitmap
    appendU32(b, uint32_t(argb.width()));
    appendU32(b, uint32_t(argb.height()));
    appendU32(b, uint32_t(argb.width() * 4));
    appendU32(b, 0x0026200A);  // 32 bits ARGB
    appendU32(b, 0);           // pixels, not compressed
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) appendU32(b, argb.pixel(x, y));
    return b;
}
EmfPlusBuilder& EmfPlusBuilder::metafileImage(uint8_t id, const QByteArray& emf) {
    QByteArray b;
    appendU32(b, kVersion);
    appendU32(b, 2);  // metafile
    appendU32(b, 3);  // EMF
    appendU32(b, uint32_t(emf.size()));
    b.append(emf);
    return object(id, 5, b);
}
EmfPlusBuilder& EmfPlusBuilder::font(uint8_t id, float emSize, uint32_t unit,
                                     const QString& family, int32_t style) {
    QByteArray b;
    appendU32(b, kVersion);
    f32(b, emSize);
    appendU32(b, unit);
    appendU32(b, uint32_t(style));
    appendU32(b, 0);
    appendU32(b, uint32_t(family.size()));
    for (QChar c : family) appendU16(b, c.unicode());
    return object(id, 6, b);
}
EmfPlusBuilder& EmfPlusBuilder::stringFormat(uint8_t id, uint32_t flags, uint32_t alignment,
                                             uint32_t lineAlignment, int32_t hotkeyPrefix,
                                             uint32_t trimming, const std::vector<float>& tabs) {
    QByteArray b;
    appendU32(b, kVersion);
    appendU32(b, flags);
    appendU32(b, 0);  // language
    appendU32(b, alignment);
    appendU32(b, lineAlignment);
    b.append(QByteArray(8, '\0'));  // digit substitution and its language
    f32(b, 0);  // first tab offset
    appendU32(b, uint32_t(hotkeyPrefix));
    b.append(QByteArray(12, '\0'));  // margins, tracking
    appendU32(b, trimming);
    appendU32(b, uint32_t(tabs.size()));
    appendU32(b, 0);  // no character ranges
    for (float t : tabs) f32(b, t);
    return object(id, 7, b);
}
EmfPlusBuilder& EmfPlusBuilder::solidBrush(uint8_t id, uint32_t argb) {
    return object(id, 1, brushBody(argb));
}
EmfPlusBuilder& EmfPlusBuilder::hatchBrush(uint8_t id, uint32_t style, uint32_t fore,
                                           uint32_t back) {
    QByteArray b;
    appendU32(b, kVersion);
    appendU32(b, 1);
    appendU32(b, style);
    appendU32(b, fore);
    appendU32(b, back);
    return object(id, 1, b);
}
EmfPlusBuilder& EmfPlusBuilder::linearBrush(uint8_t id, const QRectF& rect, uint32_t start,
                                            uint32_t end) {
    QByteArray b;
    appendU32(b, kVersion);
    appendU32(b, 4);
    appendU32(b, 0);  // no optional data
    appendU32(b, 4);  // clamp
    rectF(b, rect);
    appendU32(b, start);
    appendU32(b, end);
    appendU32(b, start);
    appendU32(b, end);
    return object(id, 1, b);
}
EmfPlusBuilder& EmfPlusBuilder::pen(uint8_t id, float width, uint32_t argb,
                                    const PlusPenStyle& s) {
    QByteArray fields;
    uint32_t flags = 0;
    if (s.startCap) flags |= 0x02, appendU32(fields, uint32_t(s.startCap));
    if (s.endCap) flags |= 0x04, appendU32(fields, uint32_t(s.endCap));
    if (s.join) flags |= 0x08, appendU32(fields, s.join);
    if (s.miterLimit != 10) flags |= 0x10, f32(fields, s.miterLimit);
    if (s.dashStyle) flags |= 0x20, appendU32(fields, uint32_t(s.dashStyle));
    if (s.dashCap) flags |= 0x40, appendU32(fields, uint32_t(s.dashCap));
    const auto floats = [&](uint32_t flag, const std::vector<float>& values) {
        if (values.empty()) return;
        flags |= flag;
        appendU32(fields, uint32_t(values.size()));
        for (float v : values) f32(fields, v);
    };
    floats(0x100, s.dashes);
    if (s.alignment) flags |= 0x200, appendU32(fields, uint32_t(s.alignment));
    floats(0x400, s.compound);
    if (s.arrowEndCap) {
        QByteArray cap;
        appendU32(cap, kVersion);
        appendU32(cap, 1);  // adjustable arrow
        f32(cap, s.arrowEndCap->first);
        f32(cap, s.arrowEndCap->second);
        f32(cap, 0);      // middle inset
        appendU32(cap, 1);  // filled
        for (int i = 0; i < 3; ++i) appendU32(cap, 0);  // caps and join
        f32(cap, 10);     // miter limit
        f32(cap, 1);      // width scale
        for (int i = 0; i < 4; ++i) f32(cap, 0);  // hot spots
        flags |= 0x1000;
        appendU32(fields, uint32_t(cap.size()));
        fields.append(cap);
    }
    QByteArray b;
    appendU32(b, kVersion);
    appendU32(b, 0);
    appendU32(b, flags);
    appendU32(b, s.unit);
    f32(b, width);
    b.append(fields);
    b.append(brushBody(argb));
    return object(id, 2, b);
}

EmfPlusBuilder& EmfPlusBuilder::pathGradientBrush(uint8_t id, const std::vector<QPointF>& boundary,
                                                  QPointF center, uint32_t centre,
                                                  uint32_t surround) {
    QByteArray b;
    appendU32(b, kVersion);
    appendU32(b, 3);
    appendU32(b, 0);  // boundary points, no optional data
    appendU32(b, 4);  // clamp
    appendU32(b, centre);
    pointsF(b, {center});
    appendU32(b, 1);
    appendU32(b, surround);
    appendU32(b, uint32_t(boundary.size()));
    pointsF(b, boundary);
    return object(id, 1, b);
}

QByteArray EmfPlusBuilder::pathBody(const std::vector<QPointF>& points,
                                    const std::vector<uint8_t>& types, bool compressed,
                                    bool rle) {
    QByteArray b;
    appendU32(b, kVersion);
    appendU32(b, uint32_t(points.size()));
    appendU32(b, (compressed ? 0x4000u : 0) | (rle ? 0x1000u : 0));
    for (const QPointF& p : points) {
        if (compressed) {
            appendU16(b, uint16_t(int16_t(p.x())));
            appendU16(b, uint16_t(int16_t(p.y())));
        } else {
            f32(b, float(p.x()));
            f32(b, float(p.y()));
        }
    }
    if (rle) {
        for (size_t i = 0; i < types.size();) {
            size_t run = 1;
            while (i + run < types.size() && types[i + run] == types[i] && run < 63) ++run;
            b.append(char(0x40 | ((types[i] & 0x07) == 3 ? 0x80 : 0) | int(run)));
            b.append(char(types[i]));
            i += run;
        }
    } else {
        for (uint8_t t : types) b.append(char(t));
    }
    return b;
}
EmfPlusBuilder& EmfPlusBuilder::path(uint8_t id, const std::vector<QPointF>& points,
                                     const std::vector<uint8_t>& types, bool compressed,
                                     bool rle) {
    return object(id, 3, pathBody(points, types, compressed, rle));
}

EmfPlusBuilder& EmfPlusBuilder::drawDriverString(uint8_t font, PlusBrush brush, uint32_t options,
                                                 const QString& glyphs,
                                                 const std::vector<QPointF>& positions) {
    QByteArray d;
    appendU32(d, brush.value);
    appendU32(d, options);
    appendU32(d, 0);  // no matrix
    appendU32(d, uint32_t(glyphs.size()));
    for (QChar c : glyphs) appendU16(d, c.unicode());
    pointsF(d, positions);
    return record(0x4036, uint16_t((brush.isColor ? 0x8000 : 0) | font), d);
}

EmfPlusBuilder& EmfPlusBuilder::clear(uint32_t argb) {
    QByteArray d;
    appendU32(d, argb);
    return record(0x4009, 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::fillRects(PlusBrush brush, const std::vector<QRectF>& rects,
                                          bool compressed) {
    QByteArray d;
    appendU32(d, brush.value);
    appendU32(d, uint32_t(rects.size()));
    for (const QRectF& r : rects) {
        if (compressed) {
            for (qreal v : {r.x(), r.y(), r.width(), r.height()}) appendU16(d, uint16_t(int16_t(v)));
        } else {
            rectF(d, r);
        }
    }
    return record(0x400A, uint16_t((brush.isColor ? 0x8000 : 0) | (compressed ? 0x4000 : 0)), d);
}
EmfPlusBuilder& EmfPlusBuilder::drawRects(uint8_t pen, const std::vector<QRectF>& rects) {
    QByteArray d;
    appendU32(d, uint32_t(rects.size()));
    for (const QRectF& r : rects) rectF(d, r);
    return record(0x400B, pen, d);
}
EmfPlusBuilder& EmfPlusBuilder::fillEllipse(PlusBrush brush, const QRectF& rect) {
    QByteArray d;
    appendU32(d, brush.value);
    rectF(d, rect);
    return record(0x400E, brush.isColor ? 0x8000 : 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::drawEllipse(uint8_t pen, const QRectF& rect) {
    QByteArray d;
    rectF(d, rect);
    return record(0x400F, pen, d);
}
EmfPlusBuilder& EmfPlusBuilder::fillPie(PlusBrush brush, float start, float sweep,
                                        const QRectF& rect) {
    QByteArray d;
    appendU32(d, brush.value);
    f32(d, start);
    f32(d, sweep);
    rectF(d, rect);
    return record(0x4010, brush.isColor ? 0x8000 : 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::drawPie(uint8_t pen, float start, float sweep,
                                        const QRectF& rect) {
    QByteArray d;
    f32(d, start);
    f32(d, sweep);
    rectF(d, rect);
    return record(0x4011, pen, d);
}
EmfPlusBuilder& EmfPlusBuilder::drawArc(uint8_t pen, float start, float sweep,
                                        const QRectF& rect) {
    QByteArray d;
    f32(d, start);
    f32(d, sweep);
    rectF(d, rect);
    return record(0x4012, pen, d);
}
EmfPlusBuilder& EmfPlusBuilder::fillPolygon(PlusBrush brush, const std::vector<QPointF>& points,
                                            bool isRelative) {
    QByteArray d;
    appendU32(d, brush.value);
    appendU32(d, uint32_t(points.size()));
    if (isRelative) {
        QPointF last;
        for (const QPointF& p : points) {
            relative(d, int(p.x() - last.x()));
            relative(d, int(p.y() - last.y()));
            last = p;
        }
    } else {
        pointsF(d, points);
    }
    return record(0x400C, uint16_t((brush.isColor ? 0x8000 : 0) | (isRelative ? 0x0800 : 0)), d);
}
EmfPlusBuilder& EmfPlusBuilder::drawLines(uint8_t pen, const std::vector<QPointF>& points,
                                          bool closed) {
    QByteArray d;
    appendU32(d, uint32_t(points.size()));
    pointsF(d, points);
    return record(0x400D, uint16_t(pen | (closed ? 0x2000 : 0)), d);
}
EmfPlusBuilder& EmfPlusBuilder::drawBeziers(uint8_t pen, const std::vector<QPointF>& points) {
    QByteArray d;
    appendU32(d, uint32_t(points.size()));
    pointsF(d, points);
    return record(0x4019, pen, d);
}
EmfPlusBuilder& EmfPlusBuilder::fillClosedCurve(PlusBrush brush, float tension,
                                                const std::vector<QPointF>& points) {
    QByteArray d;
    appendU32(d, brush.value);
    f32(d, tension);
    appendU32(d, uint32_t(points.size()));
    pointsF(d, points);
    return record(0x4016, brush.isColor ? 0x8000 : 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::drawCurve(uint8_t pen, float tension, uint32_t offset,
                                          uint32_t segments, const std::vector<QPointF>& points) {
    QByteArray d;
    f32(d, tension);
    appendU32(d, offset);
    appendU32(d, segments);
    appendU32(d, uint32_t(points.size()));
    pointsF(d, points);
    return record(0x4018, pen, d);
}
EmfPlusBuilder& EmfPlusBuilder::fillPath(PlusBrush brush, uint8_t path) {
    QByteArray d;
    appendU32(d, brush.value);
    return record(0x4014, uint16_t((brush.isColor ? 0x8000 : 0) | path), d);
}
EmfPlusBuilder& EmfPlusBuilder::drawString(uint8_t font, PlusBrush brush, uint32_t format,
                                           const QRectF& layout, const QString& text) {
    QByteArray d;
    appendU32(d, brush.value);
    appendU32(d, format);
    appendU32(d, uint32_t(text.size()));
    rectF(d, layout);
    for (QChar c : text) appendU16(d, c.unicode());
    return record(0x401C, uint16_t((brush.isColor ? 0x8000 : 0) | font), d);
}
EmfPlusBuilder& EmfPlusBuilder::drawPath(uint8_t pen, uint8_t path) {
    QByteArray d;
    appendU32(d, pen);
    return record(0x4015, path, d);
}

EmfPlusBuilder& EmfPlusBuilder::fillRegion(PlusBrush brush, uint8_t region) {
    QByteArray d;
    appendU32(d, brush.value);
    return record(0x4013, uint16_t((brush.isColor ? 0x8000 : 0) | region), d);
}

EmfPlusBuilder& EmfPlusBuilder::drawImage(uint8_t image, const QRectF& src, const QRectF& dest,
                                          uint32_t attributes, uint32_t srcUnit) {
    QByteArray d;
    appendU32(d, attributes);
    appendU32(d, srcUnit);
    rectF(d, src);
    rectF(d, dest);
    return record(0x401A, image, d);
}
EmfPlusBuilder& EmfPlusBuilder::drawImagePoints(uint8_t image, const QRectF& src,
                                                const std::vector<QPointF>& corners,
                                                bool effect) {
    QByteArray d;
    appendU32(d, 0);
    appendU32(d, 2);
    rectF(d, src);
    appendU32(d, uint32_t(corners.size()));
    pointsF(d, corners);
    return record(0x401B, uint16_t(image | (effect ? 0x2000 : 0)), d);
}

EmfPlusBuilder& EmfPlusBuilder::imageAttributes(uint8_t id, uint32_t wrapMode,
                                                uint32_t clampColor) {
    QByteArray body;
    for (uint32_t v : {0xDBC01002u, 0u, wrapMode, clampColor, 0u, 0u}) appendU32(body, v);
    return object(id, 8, body);
}

EmfPlusBuilder& EmfPlusBuilder::imageEffect(const char* guidHex, const QByteArray& parameters) {
    QByteArray d = QByteArray::fromHex(guidHex);
    appendU32(d, uint32_t(parameters.size()));
    d.append(parameters);
    return record(0x4038, 0, d);
}

EmfPlusBuilder& EmfPlusBuilder::save(uint32_t index) {
    QByteArray d;
    appendU32(d, index);
    return record(0x4025, 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::restore(uint32_t index) {
    QByteArray d;
    appendU32(d, index);
    return record(0x4026, 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::beginContainer(const QRectF& dest, const QRectF& src,
                                               uint32_t index) {
    QByteArray d;
    rectF(d, dest);
    rectF(d, src);
    appendU32(d, index);
    return record(0x4027, 2 << 8, d);  // source in pixels
}
EmfPlusBuilder& EmfPlusBuilder::endContainer(uint32_t index) {
    QByteArray d;
    appendU32(d, index);
    return record(0x4029, 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::translate(float dx, float dy, bool append) {
    QByteArray d;
    f32(d, dx);
    f32(d, dy);
    return record(0x402D, append ? 0x2000 : 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::scale(float sx, float sy, bool append) {
    QByteArray d;
    f32(d, sx);
    f32(d, sy);
    return record(0x402E, append ? 0x2000 : 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::rotate(float degrees, bool append) {
    QByteArray d;
    f32(d, degrees);
    return record(0x402F, append ? 0x2000 : 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::resetTransform() { return record(0x402B, 0, {}); }
EmfPlusBuilder& EmfPlusBuilder::pageTransform(uint8_t unit, float scale) {
    QByteArray d;
    f32(d, scale);
    return record(0x4030, unit, d);
}
EmfPlusBuilder& EmfPlusBuilder::clipRect(const QRectF& rect, uint8_t combine) {
    QByteArray d;
    rectF(d, rect);
    return record(0x4032, uint16_t(combine << 8), d);
}
EmfPlusBuilder& EmfPlusBuilder::clipPath(uint8_t path, uint8_t combine) {
    return record(0x4033, uint16_t((combine << 8) | path), {});
}
EmfPlusBuilder& EmfPlusBuilder::clipRegion(uint8_t region, uint8_t combine) {
    return record(0x4034, uint16_t((combine << 8) | region), {});
}
EmfPlusBuilder& EmfPlusBuilder::resetClip() { return record(0x4031, 0, {}); }
EmfPlusBuilder& EmfPlusBuilder::offsetClip(float dx, float dy) {
    QByteArray d;
    f32(d, dx);
    f32(d, dy);
    return record(0x4035, 0, d);
}
EmfPlusBuilder& EmfPlusBuilder::antialias(bool on) {
    return record(0x401E, on ? 0x0009 : 0, {});
}

QByteArray EmfPlusBuilder::take() {
    QByteArray d;
    appendU32(d, 0x2B464D45);  // "EMF+"
    d.append(m_records);
    m_records.clear();
    return d;
}

EmfPlusBuilder& EmfPlusBuilder::flushTo(EmfBuilder& emf) {
    const QByteArray data = take();
    QByteArray payload;
    appendU32(payload, uint32_t(data.size()));
    payload.append(data);
    emf.record(70, payload);  // EMR_COMMENT
    return *this;
}

QByteArray emfPlusSampler() {
    EmfBuilder emf(120, 90);
    EmfPlusBuilder plus;
    plus.header(true).antialias(true).pageTransform(2, 1);
    plus.solidBrush(0, 0x80FF0000).hatchBrush(1, 5, 0xFF000000, 0xFFFFFFFF);
    plus.linearBrush(2, QRectF(0, 0, 60, 10), 0xFF00FF00, 0xFF0000FF);
    plus.pen(3, 2, 0xFF000000, {.startCap = 2, .endCap = 2, .join = 1, .dashStyle = 5,
                                .dashes = {2, 1}});
    plus.path(4, {{5, 5}, {40, 5}, {50, 20}, {60, 30}, {70, 40}}, {0, 1, 3, 3, 0x83}, true,
              true);
    plus.fillRects(plusObject(0), {QRectF(5, 5, 30, 20)}, true).drawRects(3, {{40, 5, 20, 20}});
    plus.fillEllipse(plusObject(1), {5, 30, 30, 20}).drawEllipse(3, {40, 30, 20, 20});
    plus.fillPie(plusObject(2), 30, 200, {70, 5, 40, 40}).drawPie(3, -10, 90, {70, 5, 40, 40});
    plus.drawArc(3, 0, 270, {70, 50, 30, 30});
    plus.fillPolygon(plusColor(0xFF00FFFF), {{5, 60}, {30, 85}, {5, 85}}, true);
    plus.drawLines(3, {{40, 60}, {60, 85}, {40, 85}}, true);
    plus.drawBeziers(3, {{60, 60}, {70, 50}, {80, 90}, {90, 60}});
    plus.fillClosedCurve(plusColor(0xFF808080), 0.5f, {{90, 60}, {110, 65}, {100, 85}});
    plus.drawCurve(3, 0.7f, 0, 2, {{5, 5}, {60, 45}, {115, 5}});
    plus.save(1).rotate(10).scale(1.1f, 0.9f, true).translate(3, 4).fillPath(plusObject(2), 4);
    plus.restore(1).beginContainer({0, 0, 60, 45}, {0, 0, 120, 90}, 2);
    plus.clipRect({10, 10, 50, 50}, 1).clipPath(4, 3).drawPath(3, 4).offsetClip(5, 5);
    plus.resetClip().endContainer(2).clear(0x20FFFFFF);
    QImage cells(2, 2, QImage::Format_ARGB32);
    cells.fill(0x8000FF00);
    plus.bitmap(5, cells).drawImage(5, {0, 0, 2, 2}, {80, 50, 30, 30});
    plus.font(6, 12, 2, QStringLiteral("Arial"), 1).stringFormat(7, 0, 1, 1);
    plus.drawString(6, plusObject(2), 7, {10, 40, 100, 30}, QStringLiteral("EMF+ text"));
    plus.drawImagePoints(5, {0, 0, 1, 1}, {{0, 0}, {20, 5}, {5, 20}});
    QByteArray brightness;  // brightness 40, contrast -20
    appendU32(brightness, 40);
    appendU32(brightness, uint32_t(-20));
    plus.imageEffect("e1dba1d3c48e174c9f4cea97ad1c343d", brightness);
    plus.drawImagePoints(5, {0, 0, 1, 1}, {{20, 0}, {40, 5}, {25, 20}}, true);
    plus.drawDriverString(6, plusColor(0xFF000000), 5, QStringLiteral("EMF+"),
                          {{10, 80}, {0, 0}, {0, 0}, {0, 0}});
    plus.pathGradientBrush(8, {{60, 40}, {110, 40}, {85, 80}}, {85, 55}, 0xFF0000FF, 0xFFFFFFFF);
    plus.fillRects(plusObject(8), {{60, 40, 50, 40}});
    plus.pen(9, 2, 0xFF000000,
             {.endCap = 0xFF, .dashes = {}, .arrowEndCap = std::pair(3.0f, 3.0f)});
    plus.drawLines(9, {{10, 10}, {60, 30}}, false);
    plus.pen(10, 4, 0xFF000000, {.startCap = 3, .endCap = 0x14, .join = 2, .dashes = {},
                                 .miterLimit = 4, .compound = {0, 0.3f, 0.6f, 1}});
    plus.drawBeziers(10, {{10, 70}, {30, 50}, {50, 90}, {70, 70}});
    plus.pen(11, 3, 0xFF0000FF, {.dashes = {}, .alignment = 1}).drawEllipse(11, {80, 10, 30, 20});
    plus.stringFormat(12, 0x7003, 2, 1, 1, 4, {20, 10});  // vertical, right to left, trimmed
    plus.drawString(6, plusColor(0xFF000000), 12, {5, 5, 40, 60}, QStringLiteral("&Tab\tstops"));
    plus.flushTo(emf);
    emf.createBrush(1, 0, 0x0000FF).selectObject(1).rectangle(5, 5, 115, 85);
    plus.endOfFile().flushTo(emf);
    return emf.build();
}

}  // namespace plume::test
