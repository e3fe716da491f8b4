#pragma once

#include "platform/widgets/PictureView.h"

namespace plume {

// An image area of the `Image1` kind: shows its picture stretched to its own width and
// height. Without a picture it shows nothing (its parent's background shows through).
class ImageArea : public PictureView {
    Q_OBJECT
  public:
    explicit ImageArea(QWidget* parent = nullptr);
};

}  // namespace plume
