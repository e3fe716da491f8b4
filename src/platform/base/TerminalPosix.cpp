#include "platform/base/Terminal.h"

#include <unistd.h>

namespace plume {

bool isTerminal(StdStream stream) {
    return isatty(stream == StdStream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

}  // namespace plume
