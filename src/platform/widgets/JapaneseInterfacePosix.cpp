#include "platform/widgets/JapaneseInterface.h"

namespace plume {

QStringList interfaceFaceChoices() {
    return {QStringLiteral("IPAPGothic")};
}

}  // namespace plume
