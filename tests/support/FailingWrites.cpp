#include "support/FailingWrites.h"

namespace plume::test {

FailDevice::FailDevice(qint64 room) : m_room(room) {
    open(QIODevice::WriteOnly);
}

qint64 FailDevice::writeData(const char*, qint64 length) {
    if (m_taken + length > m_room) {
        setErrorString(QStringLiteral("No space left on device"));
        return -1;
    }
    m_taken += length;
    return length;
}

}  // namespace plume::test
