#pragma once

// Drawing an EMF from its EMF+ records (render() chooses when): the EMF+ player draws them,
// and the GDI player the GDI records that follow an EMF+ GetDC.

#include "platform/metafile/format/EmfReader.h"

class QPainter;
class QRectF;

namespace plume::metafile {

class GdiPlayer;

// Whether the picture is drawn from its EMF+ records rather than its GDI records.
bool drawnFromEmfPlus(const EmfFile& file);

// Plays the picture's records: EMF+ records drawn, GDI records drawn only after a GetDC
// (until the next EMF+ record) or after EMF+'s end of file; the other GDI records, the fallback for readers without
// EMF+, are read and passed over (counted as played). An EMF+ comment with a record that is
// not drawn counts as skipped.
PlaybackStats playEmfPlus(const EmfFile& file, GdiPlayer& gdi, QPainter& painter,
                          const QRectF& targetPixels, const PlaybackControl& control);

}  // namespace plume::metafile
