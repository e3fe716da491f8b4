// Platforms whose system clipboard is Qt's: the operations are Qt's own.
#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/qt/ClipboardQt.h"

namespace plume {

bool clipboardHasFormat(int format) {
    return qtclip::hasFormat(format);
}

Expected<PicturePtr> clipboardGetPicture(int format) {
    return qtclip::getPicture(format);
}

Status clipboardClear() {
    return qtclip::clear();
}

Status clipboardSetPicture(const PicturePtr& picture) {
    return qtclip::setPicture(picture);
}

}  // namespace plume
