#include "support/FailingWrites.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <vector>

namespace plume::test {

SmallDisk::SmallDisk(qint64 bytes) {
    if (!m_dir.isValid()) return;
    const QByteArray options = "size=" + QByteArray::number(bytes);
    m_mounted = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                        options.constData()) == 0;
    if (!m_mounted) m_errno = errno;
}

SmallDisk::~SmallDisk() {
    if (m_mounted) ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

std::string SmallDisk::skipReason() const {
    return "a small tmpfs cannot be mounted here (" + std::string(std::strerror(m_errno)) +
           "); run as root to test writes on a full disk";
}

void SmallDisk::fill(qint64 leftBytes) {
    const QByteArray path = QFile::encodeName(filePath(QStringLiteral("ballast")));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const std::vector<char> block(4096, 'b');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    // Gives back what the test should find free (tmpfs counts whole pages).
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (leftBytes > 0 && ::ftruncate(fd, std::max<off_t>(0, size - off_t(leftBytes))) != 0) {
    }
    ::close(fd);
}

}  // namespace plume::test
