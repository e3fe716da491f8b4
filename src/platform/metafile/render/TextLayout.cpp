#include "platform/metafile/render/TextLayout.h"

#include <cmath>
#include <numbers>

namespace plume::metafile {

namespace {

QTransform linearPart(const QTransform& t) {
    return QTransform(t.m11(), t.m12(), t.m21(), t.m22(), 0, 0);
}

double length(QPointF v) {
    return std::hypot(v.x(), v.y());
}

double sign(double v) {
    return v < 0 ? -1.0 : 1.0;
}

}  // namespace

QTransform turnedTextSpace(double tenthsOfDegree) {
    const double radians = tenthsOfDegree * std::numbers::pi / 1800;
    double c = std::cos(radians), s = std::sin(radians);
    // Quarter turns exactly, so that upright and vertical text stays on whole pixels.
    if (std::abs(c) < 1e-12) c = 0;
    if (std::abs(s) < 1e-12) s = 0;
    // Qt maps (x, y) to (m11 x + m21 y, m12 x + m22 y): x turns to (c, -s), y to (s, c).
    return QTransform(c, -s, s, c, 0, 0);
}

TextFrames textFrames(const QTransform& toDevice, const QTransform& deviceToOutput,
                      const LogFont& font, GraphicsMode mode) {
    TextFrames f;
    const QTransform world = linearPart(toDevice);
    const QTransform full = linearPart(toDevice * deviceToOutput);
    const double scaleX = length(full.map(QPointF(1, 0)));
    const double scaleY = length(full.map(QPointF(0, 1)));
    if (!(scaleX > 0 && scaleY > 0) || !std::isfinite(scaleX) || !std::isfinite(scaleY))
        return f;

    QTransform alignment = turnedTextSpace(font.escapement);
    if (mode == GraphicsMode::Advanced) {
        // Everything follows the transform; the glyphs turn by their own orientation.
        f.baseline = turnedTextSpace(font.escapement) * full;
        const QTransform glyphLogical = turnedTextSpace(font.orientation) * full;
        const double s = length(glyphLogical.map(QPointF(0, 1)));
        if (!(s > 0) || !std::isfinite(s)) return f;
        f.glyph = QTransform::fromScale(1 / s, 1 / s) * glyphLogical;
        f.fontScaleX = f.fontScaleY = s;
        f.unitsPerFontPixel = 1 / s;
    } else if (!full.isRotating()) {
        // GM_COMPATIBLE: a mirroring mapping turns the escapement the other way, the offsets
        // along the text are laid out unmirrored, and the glyphs stand upright.
        const bool mirrored = world.m11() * world.m22() < 0;
        const double escapement = mirrored ? -font.escapement : font.escapement;
        const QTransform unmirror = QTransform::fromScale(sign(world.m11()), sign(world.m22()));
        const QTransform output = linearPart(deviceToOutput);
        f.baseline = turnedTextSpace(escapement) * world * unmirror * output;
        f.glyph = alignment = turnedTextSpace(escapement);
        f.fontScaleX = std::abs(full.m11());
        f.fontScaleY = std::abs(full.m22());
        f.unitsPerFontPixel = 1 / f.fontScaleX;
    } else {
        // GM_COMPATIBLE under a turning transform (a writer that records text in this mode
        // after setting one): the text turns with the x axis and stays readable.
        const QPointF xAxis = full.map(QPointF(1, 0));
        double angle = std::atan2(xAxis.y(), xAxis.x()) * 180 / std::numbers::pi;
        if (full.determinant() < 0 && xAxis.x() < 0) angle += 180;
        f.glyph = turnedTextSpace(font.escapement) * QTransform().rotate(angle);
        f.baseline = QTransform::fromScale(scaleX, scaleY) * f.glyph;
        alignment = f.glyph;
        f.fontScaleX = scaleX;
        f.fontScaleY = scaleY;
        f.unitsPerFontPixel = 1 / scaleX;
    }
    bool invertible = false;
    const QTransform glyphInverse = f.glyph.inverted(&invertible);
    if (!invertible) return f;
    f.baselineToGlyph = f.baseline * glyphInverse;
    f.alignmentToGlyph = alignment * glyphInverse;
    const QPointF unit = f.baselineToGlyph.map(QPointF(f.unitsPerFontPixel, 0));
    f.natural = std::abs(unit.x() - 1) < 1e-6 && std::abs(unit.y()) < 1e-6;
    f.valid = true;
    return f;
}

}  // namespace plume::metafile
