// EmfPlusPlayer: strings (DrawString) in a font object, laid out by a string format.

#include "platform/metafile/render/EmfPlusPlayer.h"

#include "platform/metafile/format/FontText.h"

#include <QPainter>
#include <cmath>

namespace plume::metafile {

using namespace emfplus;

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
    // Unlike a pen's, a font's size in pixels is scaled by the transforms too (a corpus
    // file's text comes out at its GDI size only so).
    double em = font->emSize;
    if (font->unit != Unit::World)
        em *= unitPixels(font->unit, true) / unitPixels(m_state.pageUnit, true);
    const QTransform toPainter = worldToPainter();
    const double outputScale = std::sqrt(std::abs(toPainter.determinant()));
    const double pixels = em * outputScale;
    if (!(pixels >= 0.5 && pixels < 10'000) || r.text.isEmpty()) return true;

    LogFont logFont;
    logFont.height = -int(std::lround(pixels));
    logFont.weight = (font->style & 1) ? 700 : 400;
    logFont.italic = (font->style & 2) ? 1 : 0;
    logFont.underline = (font->style & 4) ? 1 : 0;
    logFont.strikeOut = (font->style & 8) ? 1 : 0;
    logFont.faceName = font->family;
    const double k = outputScale;  // world units -> the font's pixels
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

}  // namespace plume::metafile
