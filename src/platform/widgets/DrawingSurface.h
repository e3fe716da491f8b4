#pragma once

#include "platform/picture/Picture.h"

#include <QColor>
#include <QImage>
#include <QWidget>

namespace plume {

// A drawing surface of the `Picture1` kind: never shown, it keeps a persistent bitmap of its
// current pixel size holding everything painted on it. A change of size recreates the bitmap
// blank. A size beyond the raster limits leaves it without a bitmap, and painting on it or
// taking its image is then refused with a message.
class DrawingSurface : public QWidget {
    Q_OBJECT
  public:
    explicit DrawingSurface(QWidget* parent = nullptr);

    // The colour the bitmap starts with and is cleared to; the system's window colour unless
    // set otherwise.
    QColor backgroundColor() const { return m_background; }
    void setBackgroundColor(const QColor& color);

    // Draws the whole picture stretched into the rectangle (twips from the surface's top-left
    // corner) and keeps it in the bitmap.
    Status paintPicture(const Picture& picture, double leftTwips, double topTwips,
                        double widthTwips, double heightTwips);

    // A raster picture of the bitmap as it is now (later painting does not change it).
    Expected<PicturePtr> image();

    // Erases the bitmap to the background colour.
    void clear();

    // The bitmap itself, at the surface's current size (null when the size is refused).
    const QImage& bitmap();

  private:
    Status ensureBitmap();

    QColor m_background;
    QImage m_bitmap;
};

}  // namespace plume
