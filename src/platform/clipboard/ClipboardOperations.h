#pragma once

// The clipboard operations of Clipboard.h (1 to 4) as one platform realises them. A platform
// may have more than one (Windows: the Win32 clipboard, and Qt's in-process clipboard of the
// tests' offscreen platform); the platform's own file chooses in one place.

#include "platform/base/Expected.h"
#include "platform/picture/Picture.h"

namespace plume {

struct ClipboardOperations {
    bool (*hasFormat)(int format);
    Expected<PicturePtr> (*getPicture)(int format);
    Status (*clear)();
    Status (*setPicture)(const PicturePtr& picture);
};

// Through Qt's clipboard: the system clipboard's on X11, the in-process one on the offscreen
// platform (qt/ClipboardQt.cpp).
const ClipboardOperations& qtClipboardOperations();
// The operations of the platform Plume runs on (each platform's own file).
const ClipboardOperations& platformClipboardOperations();

// Operations 1 to 4 of Clipboard.h go to `operations` instead of the platform's while it is
// set (tests: a clipboard that another program holds open); nullptr gives them back.
void setClipboardOperationsForTesting(const ClipboardOperations* operations);

}  // namespace plume
