#include "platform/base/ProcessEnd.h"

namespace plume {

int endProcess(int code) {
    return code;
}

}  // namespace plume
