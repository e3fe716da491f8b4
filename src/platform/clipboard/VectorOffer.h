#pragma once

// The offer Plume makes for a vector picture (see offerForPicture in Clipboard.h).

#include "platform/metafile/Metafile.h"

#include <QByteArray>
#include <QMimeData>
#include <QSize>
#include <memory>

namespace plume {

// How long a question about the offer waits, at most, for renditions still being drawn: short
// enough that the window goes on answering its user, long enough that a program asking right
// after a copy of an ordinary drawing finds them.
inline constexpr int kRenditionWaitMs = 40;

// The EMF under every EMF target, at once, and the SVG and raster renditions, which are drawn
// on a worker thread from the moment the offer is made. Another program's request is answered
// on the window's thread (on X11 Qt serves the clipboard there), so it never waits for a
// drawing: the offer names a rendition only once it is drawn, and a question that comes sooner
// waits kRenditionWaitMs at most. Replacing or dropping the offer stops its drawings.
std::unique_ptr<QMimeData> makeVectorOffer(metafile::DocumentPtr document, QByteArray emf,
                                           QSize own);

// Whether the offer's renditions are drawn (or were given up), asked without waiting; any
// other offer counts as drawn.
bool vectorOfferDrawn(const QMimeData& offer);

}  // namespace plume
