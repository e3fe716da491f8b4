#pragma once

// The window system's own account of a top-level window's frame, one implementation per
// platform: X11 asks the window manager (WindowFramePosix.cpp); Windows leaves the frame to
// Qt's windows platform, which has it from Windows itself (WindowFrameWindows.cpp).

#include <QByteArray>
#include <QMargins>
#include <optional>

class QWidget;

namespace plume {

// The frame's thickness in device pixels as the window system tells it: zero without a
// window manager, nothing when the window system has not said (the platform's own idea of
// the frame serves then). `ask` requests it when the window has not been framed yet, waiting
// a short while for the answer.
std::optional<QMargins> nativeFrameMargins(QWidget& window, bool ask);

// What names the window system's announcement of a frame (on X11 the _NET_FRAME_EXTENTS
// atom), or 0 when the platform makes none that a placement must watch for.
quint32 frameAnnouncementAtom();

// Whether a native event announces the frame of `window`.
bool announcesFrame(const QByteArray& eventType, void* message, quint32 atom,
                    const QWidget& window);

}  // namespace plume
