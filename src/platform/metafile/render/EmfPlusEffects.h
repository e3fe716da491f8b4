#pragma once

// The image effects of EMF+ (a serializable object before DrawImagePoints) applied to a
// bitmap before it is drawn. The format document names each effect and the range of its
// parameters, not its formula; the formulas are Plume's (EmfPlusEffects.cpp says which).

#include "platform/metafile/format/EmfPlusRecords.h"

#include <QImage>

namespace plume::metafile {

// The image with the effect applied, in ARGB32 (straight alpha), the same size.
QImage applyImageEffect(const QImage& image, const emfplus::ImageEffectRecord& effect);

}  // namespace plume::metafile
