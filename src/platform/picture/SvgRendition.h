#pragma once

// The SVG rendition of a vector picture that Plume offers on the clipboard. Drawing programs
// such as Inkscape take it in preference to the EMF, so it has to look like the picture.
// Qt's SVG generator writes only solid and gradient fills and ignores clipping and raster
// operations; a picture drawn through it alone loses hatched and pattern fills, draws clipped
// shapes whole and leaves out raster operations. Here every drawing operation is looked at:
// what SVG can say goes as vector data (shapes cut to the clip by path intersection when
// needed), and what it cannot (pattern fills, raster operations, images or text that a clip
// cuts through) goes as the few pixels it covers, taken from a raster copy of the drawing.

#include "platform/metafile/Metafile.h"

#include <QByteArray>
#include <QSize>
#include <functional>

namespace plume {

// The raster copy is drawn at up to this many times the picture's own size, so that the
// pixels standing in for pattern fills stay sharp when the picture is enlarged, but never
// beyond this many pixels.
inline constexpr double kSvgPatchScale = 2.0;
inline constexpr qint64 kMaxSvgPatchPixels = 8'000'000;

// Beyond this many patches, or patches covering four times the picture, further operations
// that SVG cannot say go as vector data as well as it goes, so that a picture full of pattern
// fills does not become thousands of images.
inline constexpr int kMaxSvgPatches = 2000;
inline constexpr double kMaxSvgPatchAreaInPictures = 4.0;

// The document drawn into an SVG of `size` pixels at `dpi`, drawing for at most
// `timeLimitMs` (twice that when the raster copy is needed) or until `shouldStop` says so;
// without `drawEmfPlus`, an EMF's GDI records only, as readers without EMF+ show it.
// `cutOff` tells that a limit stopped the drawing, so the SVG lacks what came after. Empty
// for an empty size. The SVG is well-formed XML whatever the picture's text holds.
struct SvgRendition {
    QByteArray svg;
    bool cutOff = false;
};
SvgRendition svgRenditionOf(const metafile::Document& document, QSize size, double dpi,
                            int timeLimitMs, bool drawEmfPlus = true,
                            const std::function<bool()>& shouldStop = {});

}  // namespace plume
