#include "support/FailingWrites.h"

// Windows lets no test mount a small disk of its own: the tests of a full disk skip there, and
// the full-disk causes are tested on Linux and through FailDevice.

namespace plume::test {

SmallDisk::SmallDisk(qint64) {}

SmallDisk::~SmallDisk() = default;

std::string SmallDisk::skipReason() const {
    return "a small disk of its own cannot be mounted on Windows";
}

void SmallDisk::fill(qint64) {}

}  // namespace plume::test
