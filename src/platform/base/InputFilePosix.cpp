#include "platform/base/InputFile.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <algorithm>
#include <cerrno>

namespace plume {
namespace {

constexpr qint64 kFirstChunk = 64 * 1024;

StandardStreams g_streams;

InputRead failed(InputFailure failure, int error = 0) {
    InputRead read;
    read.failure = failure;
    if (error != 0) read.systemError = qt_error_string(error);
    return read;
}

// Waits until `fd` has bytes or has ended; false when `idleMs` passed first.
bool awaitBytes(int fd, int idleMs) {
    pollfd watched{fd, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&watched, 1, idleMs);
        if (ready > 0) return true;
        if (ready == 0) return false;
        if (errno != EINTR) return true;  // the read that follows says what is wrong
    }
}

// Reads until the end or one byte beyond the limit. The buffer doubles as it fills (a regular
// file's size is taken at once), never beyond the limit plus one.
InputRead readAll(int fd, bool stream, qint64 sizeHint, const InputRules& rules) {
    const qint64 limit = rules.maxBytes + 1;
    InputRead read;
    read.bytes.reserve(qsizetype(std::min(limit, std::max(kFirstChunk, sizeHint + 1))));
    while (read.bytes.size() < limit) {
        const qint64 used = read.bytes.size();
        if (used == read.bytes.capacity())
            read.bytes.reserve(qsizetype(std::min(limit, std::max(kFirstChunk, used * 2))));
        const qint64 room = std::min<qint64>(read.bytes.capacity(), limit) - used;
        if (stream && !awaitBytes(fd, rules.idleMs)) return failed(InputFailure::Silent);
        read.bytes.resize(qsizetype(used + room));
        const ssize_t got = ::read(fd, read.bytes.data() + used, size_t(room));
        const int error = errno;
        read.bytes.resize(qsizetype(used + std::max<ssize_t>(got, 0)));
        if (got == 0) return read;
        if (got < 0 && error != EINTR && error != EAGAIN)
            return failed(InputFailure::CannotRead, error);
    }
    return failed(InputFailure::TooLarge);
}

}  // namespace

InputRead readInputFile(const QString& path, const InputRules& rules) {
    // Without O_NONBLOCK, opening a named pipe waits for a writer without end.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failed(errno == EISDIR ? InputFailure::Folder : InputFailure::CannotOpen, errno);
    struct stat about {};
    InputRead read;
    if (::fstat(fd, &about) != 0) {
        read = failed(InputFailure::CannotOpen, errno);
    } else if (S_ISDIR(about.st_mode)) {
        read = failed(InputFailure::Folder);
    } else if (S_ISREG(about.st_mode)) {
        read = about.st_size > rules.maxBytes ? failed(InputFailure::TooLarge)
                                              : readAll(fd, false, about.st_size, rules);
    } else if (rules.regularFilesOnly) {
        read = failed(InputFailure::NotRegular);
    } else {
        read = readAll(fd, true, 0, rules);
    }
    ::close(fd);
    return read;
}

InputRead readStandardInput(const InputRules& rules) {
    if (g_streams.inputClosed) return failed(InputFailure::Closed);
    struct stat about {};
    const bool regular = ::fstat(STDIN_FILENO, &about) == 0 && S_ISREG(about.st_mode);
    // A file given with "<" is read from where its offset stands, like any stream.
    return readAll(STDIN_FILENO, !regular, 0, rules);
}

StandardStreams holdStandardStreams() {
    const auto heldIfClosed = [](int fd, int mode) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) return false;
        const int null = ::open("/dev/null", mode);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
        return true;
    };
    g_streams.inputClosed = heldIfClosed(STDIN_FILENO, O_RDONLY);
    g_streams.outputClosed = heldIfClosed(STDOUT_FILENO, O_WRONLY);
    // A closed standard error would otherwise take the messages into the next file opened.
    heldIfClosed(STDERR_FILENO, O_WRONLY);
    return g_streams;
}

const StandardStreams& standardStreamsAtStart() {
    return g_streams;
}

}  // namespace plume
