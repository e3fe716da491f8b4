// The clipboard on Windows is the Win32 clipboard; the offscreen platform of the tests has Qt's
// in-process clipboard instead, shared with no other program.
#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardReader.h"
#include "platform/clipboard/qt/ClipboardQt.h"
#include "platform/clipboard/windows/WindowsClipboard.h"

#include <QGuiApplication>

namespace plume {
namespace {

bool inProcess() {
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

}  // namespace

bool clipboardHasFormat(int format) {
    return inProcess() ? qtclip::hasFormat(format) : winclip::hasFormat(format);
}

Expected<PicturePtr> clipboardGetPicture(int format) {
    return inProcess() ? qtclip::getPicture(format) : winclip::getPicture(format);
}

Status clipboardClear() {
    return inProcess() ? qtclip::clear() : winclip::clear();
}

Status clipboardSetPicture(const PicturePtr& picture) {
    return inProcess() ? qtclip::setPicture(picture) : winclip::setPicture(picture);
}

std::unique_ptr<ClipboardReader> makeClipboardReader() {
    return inProcess() ? makeInProcessClipboardReader() : winclip::makeReader();
}

}  // namespace plume
