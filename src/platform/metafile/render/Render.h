#pragma once

// Drawing a parsed metafile onto a QPainter with the GDI player.

#include "platform/metafile/format/Document.h"

#include <functional>

class QPainter;

namespace plume::metafile {

// The work that a millisecond of the time limit buys: records played cost kWorkPerRecord
// and their size in bytes (see PlaybackControl), about what this machine draws in a
// millisecond of typical records.
inline constexpr qint64 kWorkPerMs = 40'000;

struct RenderOptions {
    // Stop drawing (keeping what was drawn) once records worth this many milliseconds of work
    // have been drawn (limit x kWorkPerMs, so that the same records are drawn on any machine
    // and under any load), or when the thread has spent this much processor time drawing
    // (records that cost far more than their size says), or four times it on the clock.
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
