#include "platform/base/InputFileRead.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <algorithm>
#include <cerrno>

namespace plume {
namespace {

StandardStreams g_streams;

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

// Reads until the end or one byte beyond the limit (a regular file's size is taken at once).
InputRead readAll(int fd, bool stream, qint64 sizeHint, const InputRules& rules) {
    const InputWait wait = [&] { return !stream || awaitBytes(fd, rules.idleMs); };
    return readGrowing(sizeHint, rules, wait, [fd](char* into, qint64 room) {
        const ssize_t got = ::read(fd, into, size_t(room));
        const int error = errno;
        const bool failed = got < 0 && error != EINTR && error != EAGAIN;
        return InputChunk{std::max<qint64>(got, 0), got == 0, failed, error};
    });
}

}  // namespace

InputRead readInputFile(const QString& path, const InputRules& rules) {
    // Without O_NONBLOCK, opening a named pipe waits for a writer without end.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failedInput(errno == EISDIR ? InputFailure::Folder : InputFailure::CannotOpen,
                           errno);
    struct stat about {};
    InputRead read;
    if (::fstat(fd, &about) != 0) {
        read = failedInput(InputFailure::CannotOpen, errno);
    } else if (S_ISDIR(about.st_mode)) {
        read = failedInput(InputFailure::Folder);
    } else if (S_ISREG(about.st_mode)) {
        read = about.st_size > rules.maxBytes ? failedInput(InputFailure::TooLarge)
                                              : readAll(fd, false, about.st_size, rules);
    } else if (rules.regularFilesOnly) {
        read = failedInput(InputFailure::NotRegular);
    } else {
        read = readAll(fd, true, 0, rules);
    }
    ::close(fd);
    return read;
}

InputRead readStandardInput(const InputRules& rules) {
    if (g_streams.inputClosed) return failedInput(InputFailure::Closed);
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
