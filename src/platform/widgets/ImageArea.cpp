#include "platform/widgets/ImageArea.h"

#include <QPainter>

namespace plume {

ImageArea::ImageArea(QWidget* parent) : QWidget(parent) {}

void ImageArea::setPicture(PicturePtr picture) {
    m_picture = std::move(picture);
    m_shown = QImage();
    update();
}

const QImage& ImageArea::shownImage() {
    if (m_picture && m_shown.size() != size()) {
        // Rendered on a transparent ground, as the area draws only the picture itself.
        Expected<QImage> rendered = renderPicture(*m_picture, size(), Qt::transparent);
        m_shown = rendered ? std::move(rendered.value()) : QImage();
    }
    return m_shown;
}

void ImageArea::paintEvent(QPaintEvent*) {
    const QImage& shown = shownImage();
    if (shown.isNull()) return;
    QPainter painter(this);
    painter.drawImage(0, 0, shown);
}

}  // namespace plume
