#include "platform/widgets/DragSource.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QWidget>

namespace plume {

DragSource::DragSource(QWidget* widget, Offer offer, Pixmap pixmap)
    : QObject(widget), m_widget(widget), m_offer(std::move(offer)), m_pixmap(std::move(pixmap)) {
    widget->installEventFilter(this);
}

bool DragSource::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_widget) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            m_pressed = mouse->button() == Qt::LeftButton;
            m_pressedAt = mouse->position().toPoint();
            break;
        }
        case QEvent::MouseButtonRelease:
            m_pressed = false;
            break;
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (!m_pressed || !(mouse->buttons() & Qt::LeftButton)) break;
            if ((mouse->position().toPoint() - m_pressedAt).manhattanLength() <
                QApplication::startDragDistance())
                break;
            m_pressed = false;
            QMimeData* data = m_offer ? m_offer() : nullptr;
            if (!data) break;
            auto* drag = new QDrag(m_widget);
            drag->setMimeData(data);
            if (m_pixmap) {
                const QPixmap carried = m_pixmap();
                if (!carried.isNull()) drag->setPixmap(carried);
            }
            drag->exec(Qt::CopyAction, Qt::CopyAction);
            return true;
        }
        default:
            break;
    }
    return false;
}

}  // namespace plume
