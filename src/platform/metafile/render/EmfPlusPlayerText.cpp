// EmfPlusPlayer: strings (DrawString) in a font object, laid out by a string format.

#include "platform/metafile/render/EmfPlusPlayer.h"

#include "platform/metafile/format/FontText.h"

#include "platform/metafile/format/GlyphIndexText.h"
#include "platform/metafile/render/TextLayout.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

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

namespace {

// String format flags (MS-EMFPLUS 2.1.2.8).
constexpr uint32_t kRightToLeft = 0x0001, kVertical = 0x0002, kTrailingSpaces = 0x0800,
                   kNoWrap = 0x1000, kLineLimit = 0x2000, kNoClip = 0x4000;

// The text without its hotkey prefixes (an '&' before a character; "&&" is one '&'), and the
// index of the first prefixed character, underlined when the prefixes are shown (-1: none).
std::pair<QString, int> withoutPrefixes(const QString& text, int32_t mode) {
    if (mode != 1 && mode != 2) return {text, -1};
    QString out;
    out.reserve(text.size());
    int underline = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != u'&' && underline < 0 && mode == 1) underline = int(out.size());
        }
        out += text[i];
    }
    return {out, underline};
}

// The tab stops in pixels from the line's start: each from the one before it, the first from
// the first offset; the last distance repeats up to `length`.
QList<qreal> tabPositions(const StringFormat& format, double k, double length) {
    QList<qreal> out;
    const auto& stops = format.tabStops;
    double at = format.firstTabOffset * k;
    // At most 256 stops, and as many steps as the format has and 256 repeats of the last: a
    // damaged format's step too small to move a float would otherwise repeat for ever.
    for (size_t i = 0; !stops.empty() && out.size() < 256 && i < stops.size() + 256; ++i) {
        const double step = stops[std::min(i, stops.size() - 1)] * k;
        if (i >= stops.size() && !(step > 1e-3)) break;
        at += step;
        if (at > length) break;
        if (out.isEmpty() || at > out.back()) out.append(at);
    }
    return out;
}

// What a line `width` pixels long shows of `text`, which does not fit, cut as the trimming
// mode says: at a character, at a word, either with an ellipsis, or an ellipsis in the middle.
QString trimmed(const QString& text, uint32_t mode, const QFontMetricsF& metrics, double width) {
    const QString ellipsis(QChar(0x2026));
    if (mode == 3) return metrics.elidedText(text, Qt::ElideRight, width);
    if (mode == 5) return metrics.elidedText(text, Qt::ElideMiddle, width);
    const double room = mode == 4 ? width - metrics.horizontalAdvance(ellipsis) : width;
    qsizetype low = 0, high = text.size();  // the longest start that fits
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid)) <= room)
            low = mid;
        else
            high = mid - 1;
    }
    if ((mode == 2 || mode == 4) && low < text.size() && !text[low].isSpace()) {
        const qsizetype space = text.lastIndexOf(u' ', low - 1);
        if (space > 0) low = space;
    }
    QString out = text.left(low);
    while (!out.isEmpty() && out.back().isSpace()) out.chop(1);
    return mode == 4 ? out + ellipsis : out;
}

// A laid-out line's glyphs as one outline, the line drawn at `at`: what QTextLine::draw
// would fill, for glyphs the painter's glyph cache cannot take (glyphsNeedOutlines); a
// hotkey prefix's underline is not drawn so.
QPainterPath lineOutlines(const QTextLine& line, QPointF at) {
    QPainterPath path;
    for (const QGlyphRun& run : line.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < std::min(glyphs.size(), positions.size()); ++i)
            path.addPath(font.pathForGlyph(glyphs[i]).translated(positions[i] + at));
    }
    return path;
}

}  // namespace

// The text is laid out in "flow" coordinates, in pixels of about the font's output size (Qt
// sizes fonts in whole pixels): along the lines and across them from the layout rectangle's
// corner where the first line starts. Vertical text runs down, each line left of the one
// before, its glyphs turned a quarter clockwise. Lines wrap at the rectangle's length unless
// the format says not to; they are placed as the alignments say, near meaning the right in
// right-to-left text; an empty rectangle places them around its corner, unwrapped. Only the
// lines the rectangle shows are drawn (a partly shown one too, unless whole lines only), and
// when text is left over or a line runs past the end, the last one is trimmed as the format
// says. Unless the format says not to, the text is clipped to the rectangle.
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
    const auto [text, underline] = withoutPrefixes(r.text, format.hotkeyPrefix);
    if (!(pixels >= 0.5 && pixels < 10'000) || text.isEmpty()) return true;
    const QFont qfont = fontForLogFont(logFontOf(*font, pixels), pixels);
    const QFontMetricsF metrics(qfont);

    const QRectF box(r.layout.x() * k, r.layout.y() * k, r.layout.width() * k,
                     r.layout.height() * k);
    const bool vertical = format.flags & kVertical, rtl = format.flags & kRightToLeft;
    const double length = std::max(0.0, vertical ? box.height() : box.width());  // 0: unbounded
    const double depth = std::max(0.0, vertical ? box.width() : box.height());
    const bool wrap = length > 0 && !(format.flags & kNoWrap);
    QTextOption option;
    option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setTextDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    if (format.flags & kTrailingSpaces) option.setFlags(QTextOption::IncludeTrailingSpaces);
    const QList<qreal> tabs = tabPositions(format, k, length > 0 ? length : 1e5);
    if (!tabs.isEmpty()) option.setTabArray(tabs);
    QTextLayout layout(text, qfont);
    layout.setTextOption(option);
    if (underline >= 0) {
        QTextLayout::FormatRange range{underline, 1, {}};
        range.format.setFontUnderline(true);
        layout.setFormats({range});
    }

    layout.beginLayout();
    const double leading = std::max(0.0, metrics.leading());
    std::vector<QTextLine> lines;
    bool leftOver = false;
    for (double v = 0;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(wrap ? length : 1e6);
        const double bottom = v + line.height();
        if (depth > 0 && ((format.flags & kLineLimit) ? bottom > depth + 1e-6 : v >= depth)) {
            leftOver = true;
            break;
        }
        line.setPosition(QPointF(0, v));
        lines.push_back(line);
        v = bottom + leading;
    }
    layout.endLayout();
    if (lines.empty()) return true;

    // The last line, trimmed when the text goes on past it.
    QTextLine last = lines.back();
    std::optional<QTextLayout> trimmedLast;
    if (format.trimming != 0 && length > 0 &&
        (leftOver || last.naturalTextWidth() > length + 0.5)) {
        QString rest = text.mid(last.textStart());
        rest.replace(u'\r', u' ').replace(u'\n', u' ');
        trimmedLast.emplace(trimmed(rest, format.trimming, metrics, length), qfont);
        option.setWrapMode(QTextOption::NoWrap);
        trimmedLast->setTextOption(option);
        trimmedLast->beginLayout();
        QTextLine line = trimmedLast->createLine();
        line.setLineWidth(1e6);
        line.setPosition(last.position());
        trimmedLast->endLayout();
        lines.back() = line;
    }

    const double total = lines.back().position().y() + lines.back().height();
    const uint32_t along =
        rtl && format.alignment != 1 ? 2 - std::min(format.alignment, 2u) : format.alignment;
    const double v0 = format.lineAlignment == 1   ? (depth - total) / 2
                      : format.lineAlignment == 2 ? depth - total
                                                  : 0;
    const QTransform flow = vertical ? QTransform(0, 1, -1, 0, box.right(), box.top())
                                     : QTransform::fromTranslate(box.left(), box.top());
    const bool clip = !(format.flags & kNoClip) && box.width() > 0 && box.height() > 0;
    drawLines(lines, flow, QTransform::fromScale(1 / k, 1 / k) * toPainter, clip ? box : QRectF(),
              *brush, pixels, [&](const QTextLine& line) {
                  const QRectF ink = line.naturalTextRect();
                  const double u = along == 1   ? (length - ink.width()) / 2
                                   : along == 2 ? length - ink.width()
                                                : 0;
                  return QPointF(u - ink.x(), v0);
              });
    return true;
}

// Draws laid-out lines, each at the point `at` gives in flow coordinates; `flow` takes those to
// font pixels and `fontScale` font pixels to the painter. A non-empty `clip` (font pixels)
// clips them.
void EmfPlusPlayer::drawLines(const std::vector<QTextLine>& lines, const QTransform& flow,
                              const QTransform& fontScale, const QRectF& clip, const QBrush& brush,
                              double pixels, const std::function<QPointF(const QTextLine&)>& at) {
    applyPainterState();
    m_painter.setTransform(fontScale);
    if (!clip.isEmpty()) m_painter.setClipRect(clip, Qt::IntersectClip);
    m_painterDirty = true;  // the clip goes back
    m_painter.setTransform(flow * fontScale);
    m_painter.setPen(QPen(brush, 0));
    const bool outlines = glyphsNeedOutlines(flow * fontScale, pixels);
    for (const QTextLine& line : lines) {
        if (outlines)
            m_painter.fillPath(lineOutlines(line, at(line)), brush);
        else
            line.draw(&m_painter, at(line));
    }
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
    const QString text =
        (r.options & DriverStringRecord::CmapLookup) ? codes : glyphIndicesToText(codes, logFont);
    const QFont qfont = fontForLogFont(logFont, pixels);
    const QFontMetricsF metrics(qfont);
    applyPainterState();
    const QTransform fontScale = QTransform::fromScale(1 / k, 1 / k) * toPainter;
    m_painter.setTransform(fontScale);
    m_painter.setFont(qfont);
    m_painter.setPen(QPen(*brush, 0));
    const bool outlines = glyphsNeedOutlines(fontScale, pixels);
    const bool vertical = r.options & DriverStringRecord::Vertical;
    QPointF at = r.positions[0] * k;
    for (size_t i = 0; i < count; ++i) {
        if (!(r.options & DriverStringRecord::RealizedAdvance)) at = r.positions[i] * k;
        const QString glyph(text[qsizetype(i)]);
        if (outlines) {
            QPainterPath path;
            path.addText(at, qfont, glyph);
            m_painter.fillPath(path, *brush);
        } else {
            m_painter.drawText(at, glyph);
        }
        at +=
            vertical ? QPointF(0, metrics.height()) : QPointF(metrics.horizontalAdvance(glyph), 0);
    }
    return true;
}

}  // namespace plume::metafile
