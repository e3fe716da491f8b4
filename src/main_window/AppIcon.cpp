#include "main_window/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace plume {
namespace {

QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    // The sheet.
    painter.setPen(QPen(QColor(0, 0, 128), 1.5));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(4, 6, 20, 23));
    // The quill, its vane and its nib.
    QPainterPath vane;
    vane.moveTo(11, 26);
    vane.cubicTo(13, 14, 20, 6, 29, 2);
    vane.cubicTo(26, 11, 20, 20, 11, 26);
    painter.setPen(QPen(QColor(128, 0, 128), 1.2));
    painter.setBrush(QColor(192, 128, 255));
    painter.drawPath(vane);
    painter.setPen(QPen(QColor(0, 0, 128), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(9, 29), QPointF(20, 14));
    return pixmap;
}

}  // namespace

QIcon appIcon() {
    QIcon icon;
    icon.addPixmap(drawIcon(32));
    icon.addPixmap(drawIcon(16));
    return icon;
}

}  // namespace plume
