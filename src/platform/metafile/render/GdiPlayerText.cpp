// GdiPlayer: text (ExtTextOut).

#include "platform/metafile/format/FontText.h"
#include "platform/metafile/format/GlyphIndexText.h"
#include "platform/metafile/render/GdiPlayer.h"
#include "platform/metafile/render/Render.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace plume::metafile {

namespace {

bool sameFont(const LogFont& a, const LogFont& b) {
    return a.height == b.height && a.width == b.width && a.weight == b.weight &&
           a.italic == b.italic && a.underline == b.underline && a.strikeOut == b.strikeOut &&
           a.charSet == b.charSet && a.pitchAndFamily == b.pitchAndFamily &&
           a.faceName == b.faceName;
}

double length(QPointF v) {
    return std::hypot(v.x(), v.y());
}

}  // namespace

// The DC's font in output pixels (fonts are costly to set up, so the last one is kept).
const GdiPlayer::FontCache& GdiPlayer::textFont(double scaleX, double scaleY) {
    const LogFont& lf = m_dc.font.font;
    const double pixelHeight = std::min(std::abs(double(lf.height)) * scaleY, 20000.0);
    if (!m_fontCache || !sameFont(m_fontCache->logFont, lf) ||
        std::abs(m_fontCache->pixelHeight - pixelHeight) > 1e-6) {
        LogFont scaled = lf;
        QFont font = fontForLogFont(scaled, pixelHeight);
        if (lf.width != 0 && lf.height != 0 && std::abs(scaleX - scaleY) > 1e-6 * scaleY) {
            // Anisotropic scaling stretches the glyphs as GDI does.
            font.setStretch(
                std::clamp(int(std::lround(font.stretch() * scaleX / scaleY)), 1, 4000));
        }
        m_fontCache = FontCache{lf, pixelHeight, font, QFontMetricsF(font)};
    }
    return *m_fontCache;
}

// Advances along the baseline in output pixels into m_advances: the Dx array when the run
// has one for every character, else the font's own advances plus the character extra. Returns
// their sum.
double GdiPlayer::textAdvances(const TextRun& run, const QString& text,
                               const QFontMetricsF& metrics, double scaleX) {
    const qsizetype n = text.size();
    const size_t stride = run.options & textOut::Pdy ? 2 : 1;
    const bool haveDx = run.dx.size() >= size_t(n) * stride;
    m_advances.resize(size_t(n));
    double width = 0;
    for (qsizetype i = 0; i < n; ++i) {
        double a;
        if (haveDx) {
            a = run.dx[size_t(i) * stride] * scaleX;
        } else {
            const QChar ch = text[i];
            if (ch.isHighSurrogate() && i + 1 < n) {
                a = metrics.horizontalAdvance(text.mid(i, 2));
            } else if (ch.isLowSurrogate()) {
                a = 0;
            } else {
                a = metrics.horizontalAdvance(ch);
            }
            a += m_dc.charExtra * scaleX;
        }
        if (!std::isfinite(a)) a = 0;
        m_advances[size_t(i)] = std::clamp(a, -1e6, 1e6);
        width += m_advances[size_t(i)];
    }
    return width;
}

void GdiPlayer::extTextOut(const TextRun& run) {
    if (m_dc.rop2 == rop2::Nop && !m_inPath) return;  // a path records whatever the ROP2
    if (run.options & textOut::GlyphIndex) {
        // Glyph indices of the selected face: drawn as the characters they stand for.
        TextRun characters = run;
        characters.text = glyphIndicesToText(run.text, m_dc.font.font);
        characters.options &= ~textOut::GlyphIndex;
        // The glyphs are in the order they are drawn: right-to-left letters (shaped Hebrew)
        // must not be turned around again. Drawn one by one (with advances) they are not;
        // drawn as one string, a left-to-right override keeps them as they are.
        const size_t perChar = run.options & textOut::Pdy ? 2 : 1;
        if (run.dx.size() < size_t(run.text.size()) * perChar && m_dc.charExtra == 0)
            characters.text = QChar(0x202D) + characters.text + QChar(0x202C);
        extTextOut(characters);
        return;
    }
    const QTransform full = m_toDevice * m_deviceToPainter;  // logical -> output pixels
    const QPointF origin = full.map(QPointF(0, 0));
    const QPointF xAxis = full.map(QPointF(1, 0)) - origin;
    const QPointF yAxis = full.map(QPointF(0, 1)) - origin;
    const double scaleX = length(xAxis), scaleY = length(yAxis);
    if (!(scaleX > 0 && scaleY > 0) || !std::isfinite(scaleX) || !std::isfinite(scaleY)) return;

    applyClip();
    applyRop2();
    m_painter.save();
    if ((run.options & textOut::Opaque) && !m_inPath) {
        // ETO_OPAQUE fills the rectangle with the background colour, whatever the bk mode.
        QPainterPath box;
        box.addRect(logicalRect(run.rect));
        m_painter.fillPath(m_toDevice.map(box), m_dc.bkColor);
    }
    if (run.options & textOut::Clipped) {
        QPainterPath box;
        box.addRect(logicalRect(run.rect));
        m_painter.setClipPath(m_toDevice.map(box), Qt::IntersectClip);
    }
    if (run.text.isEmpty()) {
        m_painter.restore();
        return;
    }

    const FontCache& cached = textFont(scaleX, scaleY);
    const QFont& font = cached.font;
    const QFontMetricsF& metrics = cached.metrics;
    const LogFont& lf = m_dc.font.font;

    // GDI draws at most 8192 characters a call; a longer run from a damaged file would only
    // cost time, so the rest is left out.
    constexpr qsizetype kMaxCharacters = 8192;
    const qsizetype n = std::min(run.text.size(), kMaxCharacters);
    QString text = run.text.left(n);
    // Symbol text drawn with the stand-in that keeps the Symbol glyphs at their byte codes:
    // as outlines, so that a vector output shows the glyphs, not the bytes.
    const bool symbolCodes = drawsSymbolCodes(font);
    if (symbolCodes) text = unicodeToSymbolCodes(text);
    const bool pdy = run.options & textOut::Pdy;
    const bool haveDx = run.dx.size() >= size_t(n) * (pdy ? 2 : 1);
    const double width = textAdvances(run, text, metrics, scaleX);

    // The text's own frame: origin at the reference point, x along the baseline, in output
    // pixels. Escapement turns it counter-clockwise; a rotating world transform turns it too.
    const bool updateCp = m_dc.textAlign & textAlign::UpdateCp;
    const QPointF reference = updateCp ? m_dc.position : QPointF(run.reference.x, run.reference.y);
    const QPointF start = full.map(reference);
    double angle = std::atan2(xAxis.y(), xAxis.x()) * 180 / std::numbers::pi;
    if (full.determinant() < 0 && xAxis.x() < 0) angle += 180;  // mirrored in x: stay readable
    angle -= lf.escapement / 10.0;
    QTransform frame;
    frame.translate(start.x(), start.y());
    frame.rotate(angle);

    const uint32_t h = m_dc.textAlign & textAlign::HorizontalMask;
    const double x0 = h == textAlign::Right ? -width : h == textAlign::Center ? -width / 2 : 0;
    const uint32_t v = m_dc.textAlign & textAlign::VerticalMask;
    const double baseline = v == textAlign::Baseline ? 0
                            : v == textAlign::Bottom ? -metrics.descent()
                                                     : metrics.ascent();

    m_painter.setTransform(frame);
    if (m_dc.bkMode == BkMode::Opaque && !(run.options & textOut::Opaque) && !m_inPath) {
        m_painter.fillRect(QRectF(std::min(x0, x0 + width), baseline - metrics.ascent(),
                                  std::abs(width), metrics.ascent() + metrics.descent()),
                           m_dc.bkColor);
    }
    m_painter.setFont(font);
    QColor color = m_dc.textColor;
    if (m_dc.rop2 == rop2::Black) color = Qt::black;
    if (m_dc.rop2 == rop2::White) color = Qt::white;
    m_painter.setPen(color);
    // A font stretched far beyond its height (a huge lfWidth, or a picture stretched much
    // wider than high) is drawn as outlines: the painter's glyph cache would otherwise
    // allocate its texture for glyphs of that width, gigabytes for a damaged file.
    const bool asOutlines = font.stretch() > 400 || symbolCodes;
    // In a path bracket the glyphs' outlines join the path instead (text frame coordinates).
    QPainterPath glyphOutlines;
    const auto drawText = [&](QPointF at, const QString& part) {
        if (m_inPath) {
            glyphOutlines.addText(at, font, part);
            return;
        }
        if (!asOutlines) {
            m_painter.drawText(at, part);
            return;
        }
        QPainterPath outlines;
        outlines.addText(at, font, part);
        m_painter.fillPath(outlines, color);
    };
    if (!haveDx && m_dc.charExtra == 0 && !pdy) {
        drawText(QPointF(x0, baseline), text);
    } else {
        double x = x0, y = baseline;
        for (qsizetype i = 0; i < n; ++i) {
            const QChar ch = text[i];
            if (ch.isLowSurrogate()) continue;
            const qsizetype len = ch.isHighSurrogate() && i + 1 < n ? 2 : 1;
            drawText(QPointF(x, y), text.mid(i, len));
            for (qsizetype k = 0; k < len; ++k) {
                x += m_advances[size_t(i + k)];
                if (pdy && haveDx) y -= run.dx[size_t(i + k) * 2 + 1] * scaleY;
            }
        }
    }
    m_painter.restore();
    m_appliedRop2 = m_rasterOps ? m_dc.rop2 : rop2::CopyPen;
    if (m_inPath) addTextToPath(glyphOutlines, frame);

    if (updateCp) {
        // The current position moves past the text (to its left end for right alignment).
        const double endX = h == textAlign::Right ? -width : h == textAlign::Center ? 0 : width;
        const QPointF endOut = frame.map(QPointF(endX, 0));
        bool invertible = false;
        const QTransform back = full.inverted(&invertible);
        if (invertible) m_dc.position = back.map(endOut);
    }
}

// Glyph outlines drawn in the text's frame (output pixels) become figures of the open path,
// which holds device units. Each glyph's contours are closed figures of their own.
void GdiPlayer::addTextToPath(const QPainterPath& outlines, const QTransform& frame) {
    if (outlines.isEmpty()) return;
    bool invertible = false;
    const QTransform toDevice = frame * m_deviceToPainter.inverted(&invertible);
    if (!invertible) return;
    m_path.addPath(toDevice.map(outlines));
    m_pathOpen = false;
}

}  // namespace plume::metafile
