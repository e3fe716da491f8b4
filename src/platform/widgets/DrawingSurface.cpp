#include "platform/widgets/DrawingSurface.h"

#include "platform/base/Twips.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace plume {

DrawingSurface::DrawingSurface(QWidget* parent) : QWidget(parent) {
    // The window colour of the system palette: the ground of a window's client area.
    m_background = palette().color(QPalette::Base);
    setVisible(false);
}

void DrawingSurface::setBackgroundColor(const QColor& color) {
    m_background = color;
    m_bitmap = QImage();
}

Status DrawingSurface::ensureBitmap() {
    // A hidden widget gets no resize events, so the bitmap follows size() whenever it is used.
    if (!m_bitmap.isNull() && m_bitmap.size() == size()) return Status::success();
    m_bitmap = QImage();
    if (Status allowed = checkRasterSize(size()); !allowed) return allowed;
    m_bitmap = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    if (m_bitmap.isNull())
        return Status::failure(
            QStringLiteral("画像のメモリを確保できません (%1 x %2)").arg(width()).arg(height()));
    m_bitmap.fill(m_background);
    return Status::success();
}

const QImage& DrawingSurface::bitmap() {
    ensureBitmap();
    return m_bitmap;
}

Status DrawingSurface::paintPicture(const Picture& picture, double leftTwips, double topTwips,
                                    double widthTwips, double heightTwips) {
    if (Status ready = ensureBitmap(); !ready) return ready;
    const double perPixel = twipsPerPixel();
    const auto pixels = [perPixel](double twips) {
        // Whole pixels, as the surface draws on its pixel grid; absurd values are clamped.
        const double v = std::isfinite(twips) ? twips / perPixel : 0.0;
        return static_cast<double>(std::lround(std::clamp(v, -1e7, 1e7)));
    };
    const QRectF target(pixels(leftTwips), pixels(topTwips), pixels(widthTwips),
                        pixels(heightTwips));
    QPainter painter(&m_bitmap);
    plume::paintPicture(painter, picture, target.normalized());
    return Status::success();
}

Expected<PicturePtr> DrawingSurface::image() {
    if (Status ready = ensureBitmap(); !ready) return Expected<PicturePtr>::failure(ready.error());
    return Expected<PicturePtr>::success(Picture::fromImage(m_bitmap));
}

void DrawingSurface::clear() {
    if (ensureBitmap()) m_bitmap.fill(m_background);
}

}  // namespace plume
