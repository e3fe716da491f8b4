#pragma once

// Reading the whole of an input whose size nobody promises: a file, a pipe, a device or
// standard input. At most one byte beyond the caller's limit is ever read, so /dev/zero or a
// writer that never stops costs no more memory than the largest input allowed; a pipe or a
// device that gives nothing is waited for only as long as the caller allows.

#include <QByteArray>
#include <QString>

namespace plume {

enum class InputFailure {
    None,
    CannotOpen,  // the system refused to open it (systemError says why)
    Folder,      // a folder, not a file
    NotRegular,  // a pipe, a device or a socket, where only regular files are taken
    TooLarge,    // more than maxBytes
    CannotRead,  // a read failed (systemError says why)
    Silent,      // a pipe or a device gave nothing for idleMs
    Closed,      // standard input was closed when the program started
};

struct InputRules {
    qint64 maxBytes = 0;
    // Anything but a regular file (or a link to one) fails with NotRegular before a read.
    bool regularFilesOnly = false;
    // How long a pipe or a device may give nothing before it fails with Silent (-1: as long
    // as its writer keeps it open).
    int idleMs = -1;
};

struct InputRead {
    QByteArray bytes;
    InputFailure failure = InputFailure::None;
    QString systemError;
    bool ok() const { return failure == InputFailure::None; }
};

// The bytes of the file at `path`. A named pipe is opened without waiting for its writer: the
// wait is the idle time.
InputRead readInputFile(const QString& path, const InputRules& rules);

// The bytes of standard input, to the real end of the stream.
InputRead readStandardInput(const InputRules& rules);

// Which of standard input and output were closed when the program started. Each closed
// standard stream (standard error too) is then held open on the null device, so that no file
// or socket the program opens later takes its number and receives what was meant for
// standard output. Call once, first thing in main.
struct StandardStreams {
    bool inputClosed = false;
    bool outputClosed = false;
};
StandardStreams holdStandardStreams();
// What holdStandardStreams found (nothing closed when it was never called).
const StandardStreams& standardStreamsAtStart();

}  // namespace plume
