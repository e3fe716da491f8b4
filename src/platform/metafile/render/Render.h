#pragma once

// Drawing a parsed metafile onto a QPainter with the GDI player.

#include "platform/metafile/format/Document.h"

#include <functional>

class QPainter;

namespace plume::metafile {

struct RenderOptions {
    // Stop drawing (keeping what was drawn) when this many milliseconds have passed.
    int timeLimitMs = 1000;
    // Draw an EMF's EMF+ records where it has them (false: its GDI records only, what readers
    // without EMF+ show).
    bool drawEmfPlus = true;
    // Asked with the time limit, on the drawing's thread: true stops the drawing as the limit
    // does (a picture nobody waits for any more, such as a preview the user has moved on from).
    std::function<bool()> shouldStop;
};

struct RenderStats {
    qsizetype recordsPlayed = 0;
    qsizetype recordsSkipped = 0;  // unknown or unsupported records, counted
    bool cutOff = false;           // the time limit ended the drawing early
};

// Draws the document so that its picture frame (EMF rclFrame, placeable WMF bounds, raw WMF
// window) fills `target`, in the painter's current coordinates, as GDI's PlayEnhMetaFile does.
RenderStats render(const Document& document, QPainter& painter, const QRectF& target,
                   const RenderOptions& options = {});

}  // namespace plume::metafile
