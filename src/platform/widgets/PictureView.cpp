#include "platform/widgets/PictureView.h"

#include <QPainter>

namespace plume {

PictureView::PictureView(QWidget* parent, QColor emptyFill)
    : QWidget(parent), m_emptyFill(emptyFill) {
    if (m_emptyFill.isValid()) setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureView::setPicture(PicturePtr picture) {
    m_picture = std::move(picture);
    m_shown = QImage();
    update();
}

const QImage& PictureView::shownImage() {
    if (m_shown.size() != size()) {
        Expected<QImage> rendered = render(m_picture.get(), size());
        m_shown = rendered ? std::move(rendered.value()) : QImage();
    }
    return m_shown;
}

void PictureView::paintEvent(QPaintEvent*) {
    const QImage& shown = shownImage();
    if (shown.isNull() && !m_emptyFill.isValid()) return;
    QPainter painter(this);
    if (shown.isNull())
        painter.fillRect(rect(), m_emptyFill);
    else
        painter.drawImage(0, 0, shown);
}

}  // namespace plume
