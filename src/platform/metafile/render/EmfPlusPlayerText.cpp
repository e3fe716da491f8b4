// EmfPlusPlayer: strings (DrawString) in a font object, laid out by a string format.

#include "platform/metafile/render/EmfPlusPlayer.h"

#include "platform/metafile/format/FontText.h"

#include "platform/metafile/format/GlyphIndexText.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace plume::metafile {

using namespace emfplus;

// Unlike a pen's, a font's size in pixels is scaled by the transforms too (a corpus file's
// text comes out at its GDI size only so). `outputScale`: world units to output pixels.
double EmfPlusPlayer::fontPixels(const Font& font, double outputScale) const {
    double em = font.emSize;
    if (font.unit != Unit::World)
        em *= unitPixels(font.unit, true) / unitPixels(m_state.pageUnit, true);
    return em * outputScale;
}

LogFont EmfPlusPlayer::logFontOf(const Font& font, double pixels) {
    LogFont logFont;
    logFont.height = -int(std::lround(pixels));
    logFont.weight = (font.style & 1) ? 700 : 400;
    logFont.italic = (font.style & 2) ? 1 : 0;
    logFont.underline = (font.style & 4) ? 1 : 0;
    logFont.strikeOut = (font.style & 8) ? 1 : 0;
    logFont.faceName = font.family;
    return logFont;
}

// The font's em size goes to world units through its unit; the text is drawn with a
// font of about its size in output pixels under a painter scaled back, since Qt sizes fonts
// in whole pixels. An empty layout rectangle places the text at its corner, unwrapped,
// aligned around that point as the format says.
bool EmfPlusPlayer::playString(const StringRecord& r) {
    const auto* font = std::get_if<Font>(&m_objects[r.font % kObjectTableSize].data);
    auto brush = brushOf(r.brush);
    if (!font || !brush) return false;
    StringFormat format;
    if (r.format < m_objects.size())
        if (const auto* given = std::get_if<StringFormat>(&m_objects[r.format].data))
            format = *given;
    const QTransform toPainter = worldToPainter();
    const double k = std::sqrt(std::abs(toPainter.determinant()));  // world -> font pixels
    const double pixels = fontPixels(*font, k);
    if (!(pixels >= 0.5 && pixels < 10'000) || r.text.isEmpty()) return true;
    const LogFont logFont = logFontOf(*font, pixels);
    constexpr double kUnbounded = 1e6;
    QRectF box(r.layout.x() * k, r.layout.y() * k, r.layout.width() * k, r.layout.height() * k);
    const auto place = [&](double start, double length, uint32_t align) {
        if (length > 0) return std::pair(start, length);
        const double from = align == 1   ? start - kUnbounded / 2
                            : align == 2 ? start - kUnbounded
                                         : start;
        return std::pair(from, kUnbounded);
    };
    const auto [x, w] = place(box.x(), box.width(), format.alignment);
    const auto [y, h] = place(box.y(), box.height(), format.lineAlignment);
    int flags = format.alignment == 1   ? Qt::AlignHCenter
                : format.alignment == 2 ? Qt::AlignRight
                                        : Qt::AlignLeft;
    flags |= format.lineAlignment == 1   ? Qt::AlignVCenter
             : format.lineAlignment == 2 ? Qt::AlignBottom
                                         : Qt::AlignTop;
    if (r.layout.width() > 0 && !(format.flags & 0x1000)) flags |= Qt::TextWordWrap;

    applyPainterState();
    m_painter.setTransform(QTransform::fromScale(1 / k, 1 / k) * toPainter);
    m_painter.setFont(fontForLogFont(logFont, pixels));
    m_painter.setPen(QPen(*brush, 0));
    m_painter.drawText(QRectF(x, y, w, h), flags, r.text);
    return true;
}

// Driver strings: each glyph at its own baseline origin. Glyph indices are the writer's
// font's; they become characters as for GDI's glyph-index text (GlyphIndexText.h). With
// RealizedAdvance the glyphs after the first follow the font's advances, down the line when
// vertical. The record's matrix applies before the world transform, positions included.
bool EmfPlusPlayer::playDriverString(const DriverStringRecord& r) {
    const auto* font = std::get_if<Font>(&m_objects[r.font % kObjectTableSize].data);
    auto brush = brushOf(r.brush);
    if (!font || !brush) return false;
    const QTransform toPainter = r.matrix.value_or(QTransform()) * worldToPainter();
    const double k = std::sqrt(std::abs(toPainter.determinant()));
    const double pixels = fontPixels(*font, k);
    const size_t count = std::min(r.glyphs.size(), r.positions.size());
    if (!(pixels >= 0.5 && pixels < 10'000) || count == 0) return true;
    const LogFont logFont = logFontOf(*font, pixels);

    QString codes(qsizetype(count), Qt::Uninitialized);
    for (size_t i = 0; i < count; ++i) codes[qsizetype(i)] = QChar(r.glyphs[i]);
    const QString text = (r.options & DriverStringRecord::CmapLookup)
                             ? codes
                             : glyphIndicesToText(codes, logFont);
    const QFont qfont = fontForLogFont(logFont, pixels);
    const QFontMetricsF metrics(qfont);
    applyPainterState();
    m_painter.setTransform(QTransform::fromScale(1 / k, 1 / k) * toPainter);
    m_painter.setFont(qfont);
    m_painter.setPen(QPen(*brush, 0));
    const bool vertical = r.options & DriverStringRecord::Vertical;
    QPointF at = r.positions[0] * k;
    for (size_t i = 0; i < count; ++i) {
        if (!(r.options & DriverStringRecord::RealizedAdvance)) at = r.positions[i] * k;
        const QString glyph(text[qsizetype(i)]);
        m_painter.drawText(at, glyph);
        at += vertical ? QPointF(0, metrics.height()) : QPointF(metrics.horizontalAdvance(glyph), 0);
    }
    return true;
}

}  // namespace plume::metafile
