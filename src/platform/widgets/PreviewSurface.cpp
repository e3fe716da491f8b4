#include "platform/widgets/PreviewSurface.h"

#include <QPainter>

namespace plume {

PreviewSurface::PreviewSurface(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewSurface::setPicture(PicturePtr picture) {
    m_picture = std::move(picture);
    m_shown = QImage();
    update();
}

const QImage& PreviewSurface::shownImage() {
    if (m_shown.size() != size()) {
        // A surface beyond the raster limits shows nothing rather than allocating for it.
        Expected<QImage> rendered = renderAtOwnSize(m_picture.get(), size());
        m_shown = rendered ? std::move(rendered.value()) : QImage();
    }
    return m_shown;
}

void PreviewSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QImage& shown = shownImage();
    if (shown.isNull())
        painter.fillRect(rect(), Qt::white);
    else
        painter.drawImage(0, 0, shown);
}

}  // namespace plume
