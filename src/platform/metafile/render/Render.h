#pragma once

// Drawing a parsed metafile onto a QPainter with the GDI player.

#include "platform/metafile/format/Document.h"

class QPainter;

namespace plume::metafile {

struct RenderOptions {
    // Stop drawing (keeping what was drawn) when this many milliseconds have passed.
    int timeLimitMs = 1000;
    // Draw an EMF's EMF+ records where it has them (false: its GDI records only, what readers
    // without EMF+ show).
    bool drawEmfPlus = true;
};

struct RenderStats {
    qsizetype recordsPlayed = 0;
    qsizetype recordsSkipped = 0;  // unknown or unsupported records, counted
    // Figures drawn simplified because one record would have cost too much work (a stroke of
    // too many dashes drawn solid, for one); the rest of the picture is whole.
    qsizetype recordsSimplified = 0;
    bool cutOff = false;  // a limit ended the drawing early: its last records are missing
};

// Draws the document so that its picture frame (EMF rclFrame, placeable WMF bounds, raw WMF
// window) fills `target`, in the painter's current coordinates, as GDI's PlayEnhMetaFile does.
RenderStats render(const Document& document, QPainter& painter, const QRectF& target,
                   const RenderOptions& options = {});

}  // namespace plume::metafile
