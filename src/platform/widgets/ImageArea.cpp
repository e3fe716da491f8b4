#include "platform/widgets/ImageArea.h"

namespace plume {

ImageArea::ImageArea(QWidget* parent) : PictureView(parent, QColor()) {}

Expected<QImage> ImageArea::render(const Picture* picture, QSize size) const {
    if (!picture) return Expected<QImage>::failure(QStringLiteral("no picture"));
    // Rendered on a transparent ground, as the area draws only the picture itself.
    return renderPicture(*picture, size, Qt::transparent);
}

}  // namespace plume
