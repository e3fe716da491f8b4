#include "platform/metafile/render/Render.h"

#include "platform/metafile/format/PlayableDocument.h"
#include "platform/metafile/render/EmfPlusRender.h"
#include "platform/metafile/render/GdiPlayer.h"

#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>
#include <ctime>

namespace plume::metafile {

namespace {

// The processor time this thread has used, in milliseconds: unlike the wall clock it does not
// grow while other programs or threads have the processor. Negative where it cannot be read.
qint64 threadCpuMs() {
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return -1;
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// The stop for a render of `limitMs`: the thread's processor time past the limit, or the wall
// clock past four times it (a thread starved of the processor still ends). A thread runs on one
// processor at a time, so its time grows no faster than the wall clock: the processor time is
// read again only once the wall clock says the limit may have been reached. Reading it is a
// system call, and a slow one on some systems (Wine asks its server and reads /proc), while the
// wall clock is cheap.
class RenderClock {
  public:
    explicit RenderClock(qint64 limitMs)
        : m_limit(limitMs), m_cpuStart(threadCpuMs()), m_cpuDueMs(limitMs) {
        m_wall.start();
    }
    bool expired() {
        const qint64 wall = m_wall.elapsed();
        if (wall >= 4 * m_limit) return true;
        if (m_cpuStart < 0 || wall < m_cpuDueMs) return false;
        const qint64 cpu = threadCpuMs();
        if (cpu < 0) return false;
        const qint64 used = cpu - m_cpuStart;
        if (used >= m_limit) return true;
        m_cpuDueMs = wall + (m_limit - used);
        return false;
    }

  private:
    qint64 m_limit;
    qint64 m_cpuStart;
    qint64 m_cpuDueMs;  // the wall clock's reading before which the limit cannot be reached
    QElapsedTimer m_wall;
};

}  // namespace

RenderStats render(const Document& document, QPainter& painter, const QRectF& target,
                   const RenderOptions& options) {
    RenderStats stats;
    const auto* playable = dynamic_cast<const PlayableDocument*>(&document);
    if (!playable || !painter.isActive()) return stats;
    const qint64 limit = std::max(0, options.timeLimitMs);
    RenderClock clock(limit);
    PlaybackControl control;
    control.workBudget = limit * kWorkPerMs;
    control.shouldStop = [&clock, &options] {
        return clock.expired() || (options.shouldStop && options.shouldStop());
    };
    GdiPlayer player(painter, target);
    player.setFrameMappedUnderWorld(playable->playsEmfRecords());
    const EmfFile* emf = options.drawEmfPlus ? playable->emfFile() : nullptr;
    const EmfPlusRecordList* plus =
        emf ? playable->emfPlusRecords([emf] { return emfPlusRecordsToDraw(*emf); }) : nullptr;
    const PlaybackStats played =
        plus ? playable->countedAsOwnRecords(playEmfPlus(
                   *emf, *plus, player, painter, painter.transform().mapRect(target), control))
             : playable->play(player, control);
    // The player counts the records handed to it as unknown and the calls it cannot draw;
    // the latter were counted as played.
    const qsizetype refused = player.unsupportedCount() - played.recordsUnknown;
    stats.recordsPlayed = played.recordsPlayed - refused;
    stats.recordsSkipped = played.recordsSkipped + refused;
    stats.recordsSimplified = player.simplifiedCount();
    // A picture whose reading stopped at the record limit is cut too.
    stats.cutOff = played.cutOff || (document.recordCount() >= kMaxRecords &&
                                     !document.truncationNote().isEmpty());
    return stats;
}

}  // namespace plume::metafile
