#include "platform/desktop/ProgramPaths.h"

namespace plume {

QString executableSuffix() {
    return {};
}

bool namesHeedLetterCase() {
    return true;
}

}  // namespace plume
