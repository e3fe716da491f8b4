#include "platform/widgets/WindowFrameNative.h"

namespace plume {

// Qt's windows platform measures the frame from Windows itself (the window's styles through
// AdjustWindowRectEx), before the window is shown as after, and announces no frame later.
std::optional<QMargins> nativeFrameMargins(QWidget&, bool) {
    return std::nullopt;
}

quint32 frameAnnouncementAtom() {
    return 0;
}

bool announcesFrame(const QByteArray&, void*, quint32, const QWidget&) {
    return false;
}

}  // namespace plume
