#include "platform/widgets/JapaneseInterface.h"

namespace plume {

QStringList interfaceFaceChoices() {
    // The newest first: Windows 8.1 and later, Vista and later, every Japanese Windows.
    return {QStringLiteral("Yu Gothic UI"), QStringLiteral("Meiryo UI"),
            QStringLiteral("MS UI Gothic")};
}

}  // namespace plume
