#pragma once

// The inner side of Document: every parsed metafile can replay its records into a GdiSink
// (the GdiPlayer for render(), the EMF writer for conversion, a recorder in tests).

#include "platform/metafile/format/GdiSink.h"
#include "platform/metafile/format/Document.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

namespace plume::metafile {

// Controls a playback. It stops, keeping what was drawn, before the first record that finds
// `workBudget` spent: each record played costs kWorkPerRecord plus its size in bytes, so the
// same records are drawn on any machine and under any load. `shouldStop` (a clock, the
// backstop for records that cost far more than their size says) is asked before every
// kRecordsBetweenStopChecks-th record.
struct PlaybackControl {
    std::function<bool()> shouldStop;
    qint64 workBudget = -1;  // none
};
inline constexpr size_t kRecordsBetweenStopChecks = 64;
inline constexpr qint64 kWorkPerRecord = 256;

// What decoding one record came to: sink calls made; handed to the sink's unknownRecord (a
// record with no drawing meaning here, or unknown); or dropped because its fields do not fit
// the record or make no sense, without any sink call.
enum class RecordOutcome { Played, Unknown, Damaged };

struct PlaybackStats {
    qsizetype recordsPlayed = 0;
    qsizetype recordsSkipped = 0;  // unknown or damaged records
    qsizetype recordsUnknown = 0;  // of those skipped, the ones handed to unknownRecord
    bool cutOff = false;
};

// The one playback loop of both formats: decodes records 0..count-1 in order through
// `decodeOne(index)` and counts what came of each, until the end or until the control stops
// it; `sizeOf(index)` is the record's size in bytes.
template <typename DecodeOne, typename SizeOf>
PlaybackStats playRecords(size_t count, const PlaybackControl& control, DecodeOne&& decodeOne,
                          SizeOf&& sizeOf) {
    PlaybackStats stats;
    qint64 spent = 0;
    for (size_t i = 0; i < count; ++i) {
        if ((control.workBudget >= 0 && spent >= control.workBudget) ||
            (control.shouldStop && (i + 1) % kRecordsBetweenStopChecks == 0 &&
             control.shouldStop())) {
            stats.cutOff = true;
            break;
        }
        spent += kWorkPerRecord + qint64(sizeOf(i));
        switch (decodeOne(i)) {
            case RecordOutcome::Played:
                ++stats.recordsPlayed;
                break;
            case RecordOutcome::Unknown:
                ++stats.recordsUnknown;
                ++stats.recordsSkipped;
                break;
            case RecordOutcome::Damaged:
                ++stats.recordsSkipped;
                break;
        }
    }
    return stats;
}

struct EmfFile;
class EmfPlusRecordList;

class PlayableDocument : public Document {
  public:
    // The EMF behind the document, for the EMF+ player: the document's own, or the EMF a WMF
    // carries and draws instead; null for any other WMF.
    virtual const EmfFile* emfFile() const { return nullptr; }
    // Playback counts of emfFile()'s records as counts of the document's own records.
    virtual PlaybackStats countedAsOwnRecords(const PlaybackStats& emf) const { return emf; }
    // Calls sink.begin() with the picture's information, the records' calls, then sink.end().
    virtual PlaybackStats play(GdiSink& sink, const PlaybackControl& control) const = 0;
    // Whether play() plays EMF records (an EMF, or the EMF a WMF carries and draws instead).
    virtual bool playsEmfRecords() const { return format() == Format::Emf; }

    // The EMF+ records emfFile() is drawn from, null when it is drawn from its GDI records:
    // `decide` decodes the records and decides, once per document (the first render, whichever
    // thread makes it); later renders, on any thread, draw from the same list.
    using EmfPlusDecision = std::function<std::shared_ptr<const EmfPlusRecordList>()>;
    const EmfPlusRecordList* emfPlusRecords(const EmfPlusDecision& decide) const {
        std::call_once(m_emfPlusDecided, [&] { m_emfPlus = decide(); });
        return m_emfPlus.get();
    }

  private:
    mutable std::once_flag m_emfPlusDecided;
    mutable std::shared_ptr<const EmfPlusRecordList> m_emfPlus;
};

}  // namespace plume::metafile
