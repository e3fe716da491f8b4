#include "platform/metafile/render/Render.h"

#include "platform/metafile/format/PlayableDocument.h"
#include "platform/metafile/render/EmfPlusRender.h"
#include "platform/metafile/render/GdiPlayer.h"

#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>

namespace plume::metafile {

RenderStats render(const Document& document, QPainter& painter, const QRectF& target,
                   const RenderOptions& options) {
    RenderStats stats;
    const auto* playable = dynamic_cast<const PlayableDocument*>(&document);
    if (!playable || !painter.isActive()) return stats;
    QElapsedTimer timer;
    timer.start();
    PlaybackControl control;
    const qint64 limit = std::max(0, options.timeLimitMs);
    control.shouldStop = [&timer, limit] { return timer.elapsed() >= limit; };
    GdiPlayer player(painter, target);
    player.setFrameMappedUnderWorld(playable->playsEmfRecords());
    const EmfFile* emf = options.drawEmfPlus ? playable->emfFile() : nullptr;
    const PlaybackStats played =
        emf && playable->drawnFromEmfPlus([emf] { return drawnFromEmfPlus(*emf); })
            ? playable->countedAsOwnRecords(playEmfPlus(
                  *emf, player, painter, painter.transform().mapRect(target), control))
            : playable->play(player, control);
    // The player counts the records handed to it as unknown and the calls it cannot draw;
    // the latter were counted as played.
    const qsizetype refused = player.unsupportedCount() - played.recordsUnknown;
    stats.recordsPlayed = played.recordsPlayed - refused;
    stats.recordsSkipped = played.recordsSkipped + refused;
    stats.recordsSimplified = player.simplifiedCount();
    stats.cutOff = played.cutOff;
    return stats;
}

}  // namespace plume::metafile
