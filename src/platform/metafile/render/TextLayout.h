#pragma once

// Where ExtTextOut puts a string's glyphs: the escapement and orientation of the font under the
// DC's mapping, in GDI's two graphics modes.
//
// Text space has x along the escapement and y pointing down from the baseline, in logical
// units; GDI turns it counter-clockwise by lfEscapement as if logical y pointed down, then maps
// it to the device like any coordinate. In GM_COMPATIBLE the result is kept unmirrored (a y
// axis that points up, as in MM_LOMETRIC, reverses the turn: escapement 2700 then reads bottom
// to top) and the glyphs stand upright along it; in GM_ADVANCED the glyphs follow the whole
// transform and turn by lfOrientation of their own.

#include "platform/metafile/format/GdiTypes.h"
#include "platform/metafile/format/LogFont.h"

#include <QByteArray>
#include <QHash>
#include <QPointF>
#include <QString>
#include <QTransform>

namespace plume::metafile {

struct TextFrames {
    // Text space (logical units) to output pixels, linear.
    QTransform baseline;
    // Font space (pixels of the font as made, x along the glyphs' baseline, y down) to output
    // pixels, linear; the glyphs are drawn under it.
    QTransform glyph;
    // The font's pixel height per logical unit of lfHeight, and the scales the font is made
    // with (horizontal and vertical; they differ when GM_COMPATIBLE stretches lfWidth with an
    // anisotropic mapping).
    double fontScaleX = 1, fontScaleY = 1;
    // Logical units of text space per font pixel of a glyph's own advance.
    double unitsPerFontPixel = 1;
    // Text space into font space, linear.
    QTransform baselineToGlyph;
    // The offsets of TA_TOP and TA_BOTTOM (font pixels down from the baseline) into font
    // space: GDI moves the text across the escapement, upright in device space.
    QTransform alignmentToGlyph;
    // The glyphs' own advances run along text space's x axis at unitsPerFontPixel: a string
    // without extra spacing may be drawn in one piece.
    bool natural = true;
    bool valid = false;
};

// The frames of text drawn with `font` in `mode` under the logical-to-device transform and
// the device-to-output transform.
TextFrames textFrames(const QTransform& toDevice, const QTransform& deviceToOutput,
                      const LogFont& font, GraphicsMode mode);

// Vertical writing: a face whose name starts with "@" ("@ＭＳ ゴシック") lays its line out as
// any other, but full-width characters stand turned a quarter counter-clockwise in their
// cells, so that a line at escapement 2700 reads top to bottom with them upright while
// Latin letters and half-width characters lie along it; punctuation takes its vertical form.
bool isVerticalFace(const QString& face);
bool standsUprightInVerticalLine(char32_t c);
// The vertical presentation form of a punctuation mark (、。「」（）… and the like), or `c`.
char32_t verticalForm(char32_t c);
// The glyphs a font puts in place of others in vertical lines, read from its OpenType GSUB
// table `gsub` (the single substitutions of its 'vrt2' feature, else of its 'vert'), as GDI
// takes them for an "@" face: horizontal glyph index to vertical one. Japanese faces give
// their vertical punctuation this way, often without the presentation forms' code points.
// Empty for a table without them or a damaged one.
QHash<quint32, quint32> verticalSubstitutions(const QByteArray& gsub);
// Font space for a glyph standing upright in the cell that starts at `origin` (a point on
// the baseline) and runs `advance` along the line, the font's ascent above and descent below:
// the glyph's own cell, `width` wide, turned a quarter counter-clockwise about the centres.
QTransform uprightInCell(QPointF origin, double advance, double width, double ascent,
                         double descent);

// Whether glyphs of `pixels` pixels drawn through `transform` must be drawn as outlines
// rather than through the painter's glyph cache: the cache fails on a glyph it would make
// very large (a damaged file's font of thousands of pixels), and Qt's glyph loading crashes
// on one flattened to a few hundredths of a pixel, by a frame squeezed on one axis or by two
// axes of fair length lying nearly parallel.
bool glyphsNeedOutlines(const QTransform& transform, double pixels);

// Text space's x and y axes turned by an angle in tenths of a degree, counter-clockwise as
// seen with y pointing down.
QTransform turnedTextSpace(double tenthsOfDegree);

}  // namespace plume::metafile
