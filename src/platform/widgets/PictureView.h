#pragma once

#include "platform/base/Expected.h"
#include "platform/picture/Picture.h"

#include <QColor>
#include <QImage>
#include <QWidget>

namespace plume {

// A widget that shows one picture. What it shows at its current size is rendered once and
// kept until the picture or the size changes, so repainting never replays the metafile. How
// the picture is fitted is the kind's own: see ImageArea and PreviewSurface.
class PictureView : public QWidget {
    Q_OBJECT
  public:
    // Shows `picture` (null shows none); picture() gives back the same object.
    void setPicture(PicturePtr picture);
    const PicturePtr& picture() const { return m_picture; }

    // What the view shows at its current size (rendered when needed); null when it shows
    // nothing (no picture where the kind shows nothing then, or a size beyond the limits).
    const QImage& shownImage();

  protected:
    // `emptyFill` is painted where nothing is shown; an invalid colour paints nothing there,
    // so that the parent's background shows through.
    PictureView(QWidget* parent, QColor emptyFill);

    // The rendering for `size`; a failure shows nothing rather than allocating beyond limits.
    virtual Expected<QImage> render(const Picture* picture, QSize size) const = 0;

    void paintEvent(QPaintEvent* event) override;

  private:
    PicturePtr m_picture;
    QImage m_shown;
    QColor m_emptyFill;
};

}  // namespace plume
