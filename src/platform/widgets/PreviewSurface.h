#pragma once

#include "platform/picture/Picture.h"

#include <QImage>
#include <QWidget>

namespace plume {

// A picture surface of the `pcImg` kind: shows its picture at the picture's own size,
// unscaled, from its top-left corner on white, cut off at its edges. The rendering is kept
// until the picture or the surface's size changes, so repainting never replays the metafile.
class PreviewSurface : public QWidget {
    Q_OBJECT
  public:
    explicit PreviewSurface(QWidget* parent = nullptr);

    // Shows `picture` (null shows plain white); picture() gives back the same object.
    void setPicture(PicturePtr picture);
    const PicturePtr& picture() const { return m_picture; }

    // What the surface shows at its current size (rendered when needed).
    const QImage& shownImage();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    PicturePtr m_picture;
    QImage m_shown;
};

}  // namespace plume
