#pragma once

#include "platform/picture/Picture.h"

#include <QImage>
#include <QWidget>

namespace plume {

// An image area of the `Image1` kind: shows its picture stretched to its own width and
// height. Without a picture it shows nothing (its parent's background shows through).
class ImageArea : public QWidget {
    Q_OBJECT
  public:
    explicit ImageArea(QWidget* parent = nullptr);

    void setPicture(PicturePtr picture);
    const PicturePtr& picture() const { return m_picture; }

    // What the area shows at its current size (rendered when needed); null without a picture.
    const QImage& shownImage();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    PicturePtr m_picture;
    QImage m_shown;
};

}  // namespace plume
