// GdiPlayer: text (ExtTextOut).

#include "platform/metafile/format/FontText.h"
#include "platform/metafile/format/GlyphIndexText.h"
#include "platform/metafile/render/GdiPlayer.h"
#include "platform/metafile/render/Render.h"
#include "platform/metafile/render/TextLayout.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace plume::metafile {

namespace {

// The text's horizontal anchor. Under a right-to-left layout it is mirrored and the text
// still reads as written: left and right alignment trade places.
uint32_t horizontalAnchor(uint32_t align, uint32_t layoutFlags) {
    const uint32_t h = align & textAlign::HorizontalMask;
    if (!(layoutFlags & layout::RightToLeft) || h == textAlign::Center) return h;
    return h == textAlign::Right ? textAlign::Left : textAlign::Right;
}

// The colour glyphs are drawn in: the text colour, or what a BLACK or WHITE mix makes of it.
QColor textInk(const QColor& textColor, uint32_t mix) {
    if (mix == rop2::Black) return Qt::black;
    if (mix == rop2::White) return Qt::white;
    return textColor;
}

// A font stretched far beyond its height (a huge lfWidth, or a picture stretched much wider
// than high) is drawn as outlines: the painter's glyph cache would otherwise allocate its
// texture for glyphs of that width, gigabytes for a damaged file. So are glyphs the frame
// makes very large or flattens (glyphsNeedOutlines).
bool drawnAsOutlines(const QFont& font, const QTransform& frame) {
    const double pixels =
        font.pixelSize() > 0 ? font.pixelSize() : std::max(font.pointSizeF(), 0.0) * 96 / 72;
    return font.stretch() > 400 || glyphsNeedOutlines(frame, pixels);
}

bool sameFont(const LogFont& a, const LogFont& b) {
    return a.height == b.height && a.width == b.width && a.weight == b.weight &&
           a.italic == b.italic && a.underline == b.underline && a.strikeOut == b.strikeOut &&
           a.charSet == b.charSet && a.pitchAndFamily == b.pitchAndFamily &&
           a.faceName == b.faceName;
}

}  // namespace

// The DC's font in output pixels (fonts are costly to set up, so the last one is kept).
const GdiPlayer::FontCache& GdiPlayer::textFont(double scaleX, double scaleY) {
    const LogFont& lf = m_dc.font.font;
    const double pixelHeight = std::min(std::abs(double(lf.height)) * scaleY, 20000.0);
    const double aspect = scaleX / scaleY;
    if (!m_fontCache || !sameFont(m_fontCache->logFont, lf) ||
        std::abs(m_fontCache->pixelHeight - pixelHeight) > 1e-6 ||
        std::abs(m_fontCache->aspect - aspect) > 1e-6 * aspect) {
        LogFont scaled = lf;
        if (isVerticalFace(scaled.faceName)) scaled.faceName.remove(0, 1);
        QFont font = fontForLogFont(scaled, pixelHeight);
        if (lf.width != 0 && lf.height != 0 && std::abs(scaleX - scaleY) > 1e-6 * scaleY) {
            // Anisotropic scaling stretches the glyphs as GDI does.
            font.setStretch(
                std::clamp(int(std::lround(font.stretch() * scaleX / scaleY)), 1, 4000));
        }
        m_fontCache = FontCache{lf, pixelHeight, font, QFontMetricsF(font), aspect, {}, {}};
        if (isVerticalFace(lf.faceName)) {
            m_fontCache->raw = QRawFont::fromFont(font);
            m_fontCache->verticalGlyphs = verticalSubstitutions(m_fontCache->raw.fontTable("GSUB"));
        }
    }
    return *m_fontCache;
}

// Advances along the baseline in logical units of text space into m_advances: the Dx array
// when the run has one for every character, else the font's own advances and the spaces'
// share of SetTextJustification's extra; the character extra goes on every one. Returns
// their sum.
double GdiPlayer::textAdvances(const TextRun& run, const QString& text,
                               const QFontMetricsF& metrics, double unitsPerPixel) {
    const qsizetype n = text.size();
    const size_t stride = run.options & textOut::Pdy ? 2 : 1;
    const bool haveDx = run.dx.size() >= size_t(n) * stride;
    m_advances.resize(size_t(n));
    double width = 0;
    // GDI hands out the justification's extra in whole units, the remainder one by one to
    // the first spaces.
    const int32_t breaks = m_dc.breakCount;
    const int64_t perBreak = breaks ? m_dc.breakExtra / breaks : 0;
    int64_t remainder = breaks ? m_dc.breakExtra - perBreak * breaks : 0;
    // In a vertical face a character standing upright advances by the em.
    const bool vertical = isVerticalFace(m_dc.font.font.faceName);
    for (qsizetype i = 0; i < n; ++i) {
        double a;
        if (haveDx) {
            a = run.dx[size_t(i) * stride] + double(m_dc.charExtra);
        } else {
            const QChar ch = text[i];
            if (ch.isHighSurrogate() && i + 1 < n) {
                a = metrics.horizontalAdvance(text.mid(i, 2));
            } else if (ch.isLowSurrogate()) {
                a = 0;
            } else if (vertical && standsUprightInVerticalLine(ch.unicode())) {
                a = m_fontCache ? m_fontCache->font.pixelSize() : metrics.height();
            } else {
                a = metrics.horizontalAdvance(ch);
            }
            a = a * unitsPerPixel + m_dc.charExtra;
            if (breaks && text[i] == QLatin1Char(' ')) {
                a += double(perBreak);
                if (remainder != 0) {
                    a += remainder > 0 ? 1 : -1;
                    remainder += remainder > 0 ? -1 : 1;
                }
            }
        }
        if (!std::isfinite(a)) a = 0;
        m_advances[size_t(i)] = std::clamp(a, -1e9, 1e9);
        width += m_advances[size_t(i)];
    }
    return width;
}

// Glyph indices of the selected face, as the characters they stand for.
TextRun GdiPlayer::glyphIndicesAsCharacters(const TextRun& run) const {
    TextRun characters = run;
    characters.text = glyphIndicesToText(run.text, m_dc.font.font);
    characters.options &= ~textOut::GlyphIndex;
    // The glyphs are in the order they are drawn: right-to-left letters (shaped Hebrew) must
    // not be turned around again. Drawn one by one (with advances) they are not; drawn as one
    // string, a left-to-right override keeps them as they are.
    const size_t perChar = run.options & textOut::Pdy ? 2 : 1;
    if (run.dx.size() < size_t(run.text.size()) * perChar && m_dc.charExtra == 0)
        characters.text = QChar(0x202D) + characters.text + QChar(0x202C);
    return characters;
}

// ETO_OPAQUE fills the text's rectangle with the background colour, whatever the bk mode;
// ETO_CLIPPED clips the text to it.
void GdiPlayer::applyTextRectangle(const TextRun& run) {
    if ((run.options & textOut::Opaque) && !m_inPath) {
        QPainterPath box;
        box.addRect(logicalRect(run.rect));
        m_painter.fillPath(m_toDevice.map(box), m_dc.bkColor);
    }
    if (run.options & textOut::Clipped) {
        QPainterPath box;
        box.addRect(logicalRect(run.rect));
        m_painter.setClipPath(m_toDevice.map(box), Qt::IntersectClip);
    }
}

// The opaque background of a line of text: the box from `from` to `to` along the baseline,
// `up` and `down` from it (text frame coordinates).
void GdiPlayer::fillTextBackground(QPointF from, QPointF to, QPointF up, QPointF down) {
    if (std::abs(to.y() - from.y()) < 1e-9 && std::abs(up.x()) < 1e-9) {
        m_painter.fillRect(QRectF(std::min(from.x(), to.x()), from.y() + up.y(),
                                  std::abs(to.x() - from.x()), down.y() - up.y()),
                           m_dc.bkColor);
        return;
    }
    QPainterPath box;
    box.addPolygon(QPolygonF({from + up, to + up, to + down, from + down}));
    m_painter.fillPath(box, m_dc.bkColor);
}

void GdiPlayer::extTextOut(const TextRun& run) {
    if (m_dc.rop2 == rop2::Nop && !m_inPath) return;  // a path records whatever the ROP2
    if (run.options & textOut::GlyphIndex) {
        extTextOut(glyphIndicesAsCharacters(run));
        return;
    }
    const LogFont& lf = m_dc.font.font;
    const TextFrames frames = textFrames(m_toDevice, m_deviceToPainter, lf, run.graphicsMode);
    if (!frames.valid) return;
    const QTransform full = m_toDevice * m_deviceToPainter;  // logical -> output pixels

    applyClip();
    applyRop2();
    m_painter.save();
    applyTextRectangle(run);
    if (run.text.isEmpty()) {
        m_painter.restore();
        return;
    }

    const FontCache& cached = textFont(frames.fontScaleX, frames.fontScaleY);
    const QFont& font = cached.font;
    const QFontMetricsF& metrics = cached.metrics;

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
    const double width = textAdvances(run, text, metrics, frames.unitsPerFontPixel);

    // Glyphs are drawn in font space with its origin at the reference point; positions along
    // the text are worked out in text space and carried over.
    const bool updateCp = m_dc.textAlign & textAlign::UpdateCp;
    const QPointF reference = updateCp ? m_dc.position : QPointF(run.reference.x, run.reference.y);
    const QPointF start = full.map(reference);
    const QTransform frame = frames.glyph * QTransform::fromTranslate(start.x(), start.y());

    const uint32_t h = horizontalAnchor(m_dc.textAlign, m_dc.layoutFlags);
    const double x0 = h == textAlign::Right ? -width : h == textAlign::Center ? -width / 2 : 0;
    const uint32_t v = m_dc.textAlign & textAlign::VerticalMask;
    const double baseline = v == textAlign::Baseline ? 0
                            : v == textAlign::Bottom ? -metrics.descent()
                                                     : metrics.ascent();
    const QPointF shift = frames.alignmentToGlyph.map(QPointF(0, baseline));
    const auto glyphAt = [&](double u, double w) {
        return frames.baselineToGlyph.map(QPointF(u, w)) + shift;
    };

    m_painter.setTransform(frame);
    if (m_dc.bkMode == BkMode::Opaque && !(run.options & textOut::Opaque) && !m_inPath) {
        fillTextBackground(glyphAt(x0, 0), glyphAt(x0 + width, 0),
                           frames.alignmentToGlyph.map(QPointF(0, -metrics.ascent())),
                           frames.alignmentToGlyph.map(QPointF(0, metrics.descent())));
    }
    m_painter.setFont(font);
    const QColor color = textInk(m_dc.textColor, m_dc.rop2);
    m_painter.setPen(color);
    const bool asOutlines = symbolCodes || drawnAsOutlines(font, frame);
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
    const bool vertical = isVerticalFace(lf.faceName);
    if (frames.natural && !haveDx && m_dc.charExtra == 0 && m_dc.breakCount == 0 && !pdy &&
        !vertical) {
        drawText(glyphAt(x0, 0), text);
    } else {
        double x = x0, y = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const QChar ch = text[i];
            if (ch.isLowSurrogate()) continue;
            const qsizetype len = ch.isHighSurrogate() && i + 1 < n ? 2 : 1;
            const char32_t c = len == 2 ? QChar::surrogateToUcs4(ch, text[i + 1]) : ch.unicode();
            if (vertical && standsUprightInVerticalLine(c)) {
                const double advance =
                    std::hypot(frames.baselineToGlyph.m11(), frames.baselineToGlyph.m12()) *
                    m_advances[size_t(i)];
                drawUpright(c, glyphAt(x, y), advance, frame, asOutlines, glyphOutlines);
            } else {
                drawText(glyphAt(x, y), text.mid(i, len));
            }
            for (qsizetype k = 0; k < len; ++k) {
                x += m_advances[size_t(i + k)];
                if (pdy && haveDx) y -= run.dx[size_t(i + k) * 2 + 1];
            }
        }
    }
    m_painter.restore();
    m_appliedRop2 = m_rasterOps ? m_dc.rop2 : rop2::CopyPen;
    if (m_inPath) addTextToPath(glyphOutlines, frame);

    if (updateCp) {
        // The current position moves past the text (to its left end for right alignment).
        const double endX = h == textAlign::Right ? -width : h == textAlign::Center ? 0 : width;
        const QPointF endOut = start + frames.baseline.map(QPointF(endX, 0));
        bool invertible = false;
        const QTransform back = full.inverted(&invertible);
        if (invertible) m_dc.position = back.map(endOut);
    }
}

// A character standing upright in its cell of a vertical line (the cell from `at` on the
// baseline, `advance` long): the face's own vertical glyph where it has one, as GDI draws
// it, else the character's vertical presentation form from whichever font has it. In a path
// bracket its outline joins `outlines` (text frame coordinates) instead.
void GdiPlayer::drawUpright(char32_t c, QPointF at, double advance, const QTransform& frame,
                            bool asOutlines, QPainterPath& outlines) {
    const FontCache& cached = *m_fontCache;
    const QFontMetricsF& metrics = cached.metrics;
    const QList<quint32> own = cached.raw.glyphIndexesForString(QString::fromUcs4(&c, 1));
    const auto substitute = own.size() == 1 && own[0] != 0 ? cached.verticalGlyphs.constFind(own[0])
                                                           : cached.verticalGlyphs.constEnd();
    if (substitute != cached.verticalGlyphs.constEnd()) {
        const quint32 glyph = *substitute;
        const QList<QPointF> advances = cached.raw.advancesForGlyphIndexes({glyph});
        const double width = advances.isEmpty() ? advance : advances[0].x();
        const QTransform upright =
            uprightInCell(at, advance, width, metrics.ascent(), metrics.descent());
        if (m_inPath || asOutlines) {
            const QPainterPath shape = upright.map(cached.raw.pathForGlyph(glyph));
            if (m_inPath)
                outlines.addPath(shape);
            else
                m_painter.fillPath(shape, m_painter.pen().color());
            return;
        }
        QGlyphRun run;
        run.setRawFont(cached.raw);
        run.setGlyphIndexes({glyph});
        run.setPositions({QPointF(0, 0)});
        m_painter.setTransform(upright * frame);
        m_painter.drawGlyphRun(QPointF(0, 0), run);
        m_painter.setTransform(frame);
        return;
    }
    const char32_t shown = verticalForm(c);
    const QString glyph = QString::fromUcs4(&shown, 1);
    const QTransform upright = uprightInCell(at, advance, metrics.horizontalAdvance(glyph),
                                             metrics.ascent(), metrics.descent());
    QPainterPath cell;
    if (m_inPath || asOutlines) cell.addText(QPointF(0, 0), cached.font, glyph);
    if (m_inPath) {
        outlines.addPath(upright.map(cell));
        return;
    }
    m_painter.setTransform(upright * frame);
    if (asOutlines)
        m_painter.fillPath(cell, m_painter.pen().color());
    else
        m_painter.drawText(QPointF(0, 0), glyph);
    m_painter.setTransform(frame);
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
