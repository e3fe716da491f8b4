#include "platform/desktop/ProgramPaths.h"

namespace plume {

QString executableSuffix() {
    return QStringLiteral(".exe");
}

bool namesHeedLetterCase() {
    return false;
}

}  // namespace plume
