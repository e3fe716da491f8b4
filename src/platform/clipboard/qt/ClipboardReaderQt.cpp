// Platforms whose clipboard Qt reads in process: the reader is Qt's own.
#include "platform/clipboard/ClipboardReader.h"

namespace plume {

std::unique_ptr<ClipboardReader> makeClipboardReader() {
    return makeInProcessClipboardReader();
}

}  // namespace plume
