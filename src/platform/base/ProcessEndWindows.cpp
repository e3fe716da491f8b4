#include "platform/base/ProcessEnd.h"

#include <windows.h>

#include <cstdio>

namespace plume {

int endProcess(int code) {
    // What the C runtime still holds for the standard streams goes out first: TerminateProcess
    // ends the process without the runtime's exit.
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    return code;
}

}  // namespace plume
