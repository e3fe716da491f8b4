#include "platform/metafile/render/EmfPlusRender.h"

#include "platform/metafile/format/EmfDecoder.h"
#include "platform/metafile/render/EmfPlusPlayer.h"
#include "platform/metafile/render/GdiPlayer.h"

namespace plume::metafile {

namespace {

// An EMF+-only picture (its header's dual flag clear) has no other drawing: it is drawn from
// EMF+ always. A dual picture carries the same drawing twice, and its GDI records draw it
// well today; so it is drawn from EMF+ only when the EMF+ player draws every EMF+ record in
// it as GDI+ does (EmfPlusObjects::canDraw). A picture the player would draw in part keeps its
// GDI rendition, which is never worse than before EMF+ was drawn at all; as the player learns
// more records, more pictures move over. The first EMF+ record must be the EMF+ header, or the
// comments are not taken as EMF+. The list is decoded as far as the answer needs.
bool drawnFromEmfPlus(const EmfFile& file, EmfPlusRecordList& list) {
    // On the heap: 64 slots of any object are large for a stack that nested pictures share.
    const auto table = std::make_unique<EmfPlusObjects>();
    EmfPlusObjects& objects = *table;
    EmfPlusRecordList::Walk walk(list);
    std::optional<bool> dual;  // known once the header is read
    bool covered = true;
    for (size_t i = 1; i < file.records.size(); ++i) {
        if (file.records[i].type != uint32_t(EmfRecordType::Comment)) continue;  // the most, fast
        list.decodeThrough(i);
        bool notEmfPlus = false;
        const auto whole = walk.comment(i, [&](const std::optional<emfplus::Record>& record) {
            if (!dual) {
                const auto* header =
                    record ? std::get_if<emfplus::HeaderRecord>(&*record) : nullptr;
                if (!header) {
                    notEmfPlus = true;
                    return;
                }
                dual = header->dual;
            }
            if (!covered) return;
            covered = record && objects.canDraw(*record);
            if (const auto* object =
                    record ? std::get_if<emfplus::ObjectRecord>(&*record) : nullptr)
                objects.keep(*object);
            else if (const auto* effect =
                         record ? std::get_if<emfplus::ImageEffectRecord>(&*record) : nullptr)
                objects.keep(*effect);
        });
        if (!whole) continue;  // no EMF+ comment
        if (notEmfPlus) return false;
        if (!*whole) covered = false;
        if (dual && !*dual) return true;
        if (dual && !covered) return false;
    }
    return dual.has_value();
}

std::span<const uint8_t> recordBytes(const EmfFile& file, const EmfRecordRef& record) {
    return byteSpan(file.bytes).subspan(record.offset, record.size);
}

}  // namespace

std::shared_ptr<const EmfPlusRecordList> emfPlusRecordsToDraw(const EmfFile& file,
                                                              size_t maxKeptBytes) {
    auto list = std::make_shared<EmfPlusRecordList>(file, maxKeptBytes);
    if (!drawnFromEmfPlus(file, *list)) return nullptr;
    list->decodeThrough(SIZE_MAX);
    return list;
}

PlaybackStats playEmfPlus(const EmfFile& file, const EmfPlusRecordList& plusRecords, GdiPlayer& gdi,
                          QPainter& painter, const QRectF& targetPixels,
                          const PlaybackControl& control) {
    gdi.begin(emfPictureInfo(file));
    EmfPlusPlayer plus(painter, gdi.deviceToPainter(), targetPixels);
    EmfDecoder decoder(gdi);
    EmfPlusRecordList::Walk walk(plusRecords);
    // After GetDC the GDI records are drawn, until the next EMF+ record. So are those after
    // EMF+'s end of file: no EMF+ record stands for them, and readers without EMF+ show them
    // (a writer's mark added to an EMF+-only picture, for one).
    bool gdiOpen = false;
    const std::span<const EmfRecordRef> records =
        std::span(file.records).subspan(std::min<size_t>(1, file.records.size()));
    const auto play = [&](size_t i) {
        bool drawn = true;
        const auto whole = walk.comment(i + 1, [&](const std::optional<emfplus::Record>& record) {
            gdiOpen = false;
            if (!record) {
                drawn = false;
            } else if (std::holds_alternative<emfplus::GetDcRecord>(*record) ||
                       std::holds_alternative<emfplus::EndOfFileRecord>(*record)) {
                plus.release();
                gdiOpen = true;
            } else {
                drawn = plus.play(*record) && drawn;
            }
        });
        if (!whole) {
            if (!gdiOpen) return RecordOutcome::Played;  // the fallback, passed over
            return decoder.play(records[i].type, recordBytes(file, records[i]));
        }
        return *whole && drawn ? RecordOutcome::Played : RecordOutcome::Damaged;
    };
    const PlaybackStats stats =
        playRecords(records.size(), control, play, [&](size_t i) { return records[i].size; });
    plus.release();
    gdi.countSimplified(plus.simplifiedCount());
    gdi.end();
    return stats;
}

}  // namespace plume::metafile
