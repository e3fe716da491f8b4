#include "platform/base/Twips.h"

#include <QGuiApplication>
#include <QScreen>

namespace plume {

double twipsPerPixel() {
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

}  // namespace plume
