#include "platform/base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstdio>

namespace plume {

namespace {

// Flushes the folder's entry for a renamed file to the disk. A folder that cannot be opened or
// synced changes nothing: the file itself is complete either way.
void syncFolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/")
                                                                        : path.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool renameBytesWithoutReplacing(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without RENAME_NOREPLACE: a hard link fails just as atomically when the
    // name is taken.
    if (::link(from.constData(), to.constData()) != 0) return false;
    ::unlink(from.constData());
    return true;
}

}  // namespace

bool renameWithoutReplacing(const QString& from, const QString& to) {
    return renameBytesWithoutReplacing(QFile::encodeName(from), QFile::encodeName(to));
}

bool AtomicFile::open(OpenMode mode) {
    if (isOpen() || (mode & ReadOnly) || !(mode & WriteOnly)) return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temporary = newTemporaryPath();
        m_file = ::open(QFile::encodeName(m_temporary).constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_file >= 0) break;
        if (errno != EEXIST) {
            m_temporary.clear();
            return fail(errno);
        }
    }
    if (m_file < 0) {
        m_temporary.clear();
        return fail(EEXIST);
    }
    m_buffer.reserve(kBufferBytes);
    return QIODevice::open(WriteOnly | Unbuffered);
}

// Writes the buffer to the file, all of it or an error: a write that takes part of the bytes
// is followed by another for the rest, which then fails with the cause (a full disk).
bool AtomicFile::drain() {
    const char* at = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t written = ::write(int(m_file), at, size_t(left));
        if (written < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        if (written == 0) return fail(EIO);
        at += written;
        left -= written;
    }
    m_buffer.resize(0);
    return true;
}

bool AtomicFile::finish() {
    if (m_finished) return !m_failed;
    m_finished = true;
    if (m_file < 0) return fail(m_errno ? m_errno : EBADF);
    bool whole = !m_failed && drain();
    // A file system that cannot sync (EINVAL) has nothing more to write out.
    if (whole && ::fsync(int(m_file)) != 0 && errno != EINVAL) whole = fail(errno);
    if (::close(int(m_file)) != 0 && whole) whole = fail(errno);
    m_file = -1;
    QIODevice::close();
    return whole;
}

bool AtomicFile::commit() {
    // The new file takes the old one's permissions.
    struct stat old {};
    if (m_file >= 0 && ::stat(QFile::encodeName(m_target).constData(), &old) == 0)
        ::fchmod(int(m_file), old.st_mode & 07777);
    if (!finish()) {
        removeTemporary();
        return false;
    }
    const QByteArray target = QFile::encodeName(m_target);
    if (::rename(QFile::encodeName(m_temporary).constData(), target.constData()) != 0) {
        fail(errno);
        removeTemporary();
        return false;
    }
    m_temporary.clear();
    syncFolderOf(target);
    return true;
}

bool AtomicFile::commitWithoutReplacing(const QString& target) {
    if (!finish()) {
        removeTemporary();
        return false;
    }
    const QByteArray name = QFile::encodeName(target);
    if (!renameBytesWithoutReplacing(QFile::encodeName(m_temporary), name)) {
        // A taken name is no failure of the file: the caller may try another one.
        if (errno == EEXIST) {
            m_errno = EEXIST;
            return false;
        }
        fail(errno);
        removeTemporary();
        return false;
    }
    m_temporary.clear();
    syncFolderOf(name);
    return true;
}

void AtomicFile::cancel() {
    if (m_file >= 0) {
        ::close(int(m_file));
        m_file = -1;
        m_finished = true;
    }
    if (isOpen()) QIODevice::close();
    removeTemporary();
}

void AtomicFile::removeTemporary() {
    if (m_temporary.isEmpty()) return;
    ::unlink(QFile::encodeName(m_temporary).constData());
    m_temporary.clear();
}

QString systemErrorCause(int number) {
    return qt_error_string(number);
}

bool isQuotaExceeded(int number) {
    return number == EDQUOT;
}

}  // namespace plume
