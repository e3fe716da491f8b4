// The clipboard on Windows is the Win32 clipboard; the offscreen platform of the tests has Qt's
// in-process clipboard instead, shared with no other program.
#include "platform/clipboard/ClipboardOperations.h"
#include "platform/clipboard/ClipboardReader.h"
#include "platform/clipboard/windows/WindowsClipboard.h"

#include <QGuiApplication>

namespace plume {
namespace {

bool inProcess() {
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

}  // namespace

const ClipboardOperations& platformClipboardOperations() {
    return inProcess() ? qtClipboardOperations() : winclip::operations();
}

std::unique_ptr<ClipboardReader> makeClipboardReader() {
    return inProcess() ? makeInProcessClipboardReader() : winclip::makeReader();
}

}  // namespace plume
