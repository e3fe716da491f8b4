#pragma once

#include "platform/widgets/PictureView.h"

namespace plume {

// A picture surface of the `pcImg` kind: shows its picture at the picture's own size,
// unscaled, from its top-left corner on white, cut off at its edges; without a picture,
// plain white.
class PreviewSurface : public PictureView {
    Q_OBJECT
  public:
    explicit PreviewSurface(QWidget* parent = nullptr);
};

}  // namespace plume
