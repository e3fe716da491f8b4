#pragma once

#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <functional>

class QMimeData;
class QWidget;

namespace plume {

// Lets the user drag something out of a widget that has no drag of its own: a press of the
// left button and a move of the system's drag distance start a drag of what `offer` builds
// (nothing when it gives null). A drag only ever copies.
class DragSource : public QObject {
    Q_OBJECT
  public:
    using Offer = std::function<QMimeData*()>;
    using Pixmap = std::function<QPixmap()>;
    // Watches `widget` (and is owned by it); `pixmap` is what the pointer carries.
    DragSource(QWidget* widget, Offer offer, Pixmap pixmap = {});

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* m_widget;
    Offer m_offer;
    Pixmap m_pixmap;
    QPoint m_pressedAt;
    bool m_pressed = false;
};

}  // namespace plume
