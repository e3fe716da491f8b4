#pragma once

// Drawing an EMF from its EMF+ records (render() chooses when): the EMF+ player draws them,
// and the GDI player the GDI records that follow an EMF+ GetDC.

#include "platform/metafile/format/EmfPlusRecordList.h"
#include "platform/metafile/format/EmfReader.h"

#include <memory>

class QPainter;
class QRectF;

namespace plume::metafile {

class GdiPlayer;

// The EMF+ records the picture is drawn from, decoded (kept up to `maxKeptBytes`); null when it
// is drawn from its GDI records. Decodes as far as the decision needs, and all of the records
// only when the picture is drawn from them.
std::shared_ptr<const EmfPlusRecordList> emfPlusRecordsToDraw(
    const EmfFile& file, size_t maxKeptBytes = kMaxKeptEmfPlusBytes);

// Plays the picture's records: EMF+ records drawn, GDI records drawn only after a GetDC
// (until the next EMF+ record) or after EMF+'s end of file; the other GDI records, the fallback for
// readers without EMF+, are read and passed over (counted as played). An EMF+ comment with a record
// that is not drawn counts as skipped.
PlaybackStats playEmfPlus(const EmfFile& file, const EmfPlusRecordList& plusRecords, GdiPlayer& gdi,
                          QPainter& painter, const QRectF& targetPixels,
                          const PlaybackControl& control);

}  // namespace plume::metafile
