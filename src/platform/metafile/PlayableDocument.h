#pragma once

// The inner side of Document: every parsed metafile can replay its records into a GdiSink
// (the GdiPlayer for render(), the EMF writer for conversion, a recorder in tests).

#include "platform/metafile/GdiSink.h"
#include "platform/metafile/Metafile.h"

#include <functional>

namespace plume::metafile {

// Controls a playback: `shouldStop` is asked every few records (the time limit).
struct PlaybackControl {
    std::function<bool()> shouldStop;
};

struct PlaybackStats {
    qsizetype recordsPlayed = 0;
    qsizetype recordsSkipped = 0;  // records whose fields did not fit, or that were unknown
    bool cutOff = false;
};

class PlayableDocument : public Document {
  public:
    // Calls sink.begin() with the picture's information, the records' calls, then sink.end().
    virtual PlaybackStats play(GdiSink& sink, const PlaybackControl& control) const = 0;
};

}  // namespace plume::metafile
