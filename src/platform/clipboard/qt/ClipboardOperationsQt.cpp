// Platforms whose system clipboard is Qt's: the operations are Qt's own.
#include "platform/clipboard/ClipboardOperations.h"

namespace plume {

const ClipboardOperations& platformClipboardOperations() {
    return qtClipboardOperations();
}

}  // namespace plume
