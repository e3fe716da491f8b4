#include "platform/base/InputFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

// Inputs on Windows: a disk file's size is known before it is read; a pipe is watched with
// PeekNamedPipe so that one that gives nothing is waited for only as long as allowed; a
// character device (NUL, a console) is read as it comes.

namespace plume {
namespace {

constexpr qint64 kFirstChunk = 64 * 1024;
constexpr DWORD kPollMs = 10;

StandardStreams g_streams;

InputRead failed(InputFailure failure, DWORD error = 0) {
    InputRead read;
    read.failure = failure;
    if (error != 0) read.systemError = qt_error_string(int(error));
    return read;
}

// Waits until a pipe has bytes or has ended; false when `idleMs` passed first. Anything but a
// pipe is read straight away.
bool awaitBytes(HANDLE handle, int idleMs) {
    if (::GetFileType(handle) != FILE_TYPE_PIPE) return true;
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr) || available > 0)
            return true;  // bytes, or an ended pipe that the read then reports
        if (idleMs >= 0 && ::GetTickCount64() - start >= ULONGLONG(idleMs)) return false;
        ::Sleep(kPollMs);
    }
}

// Reads until the end or one byte beyond the limit. The buffer doubles as it fills (a disk
// file's size is taken at once), never beyond the limit plus one.
InputRead readAll(HANDLE handle, bool stream, qint64 sizeHint, const InputRules& rules) {
    const qint64 limit = rules.maxBytes + 1;
    InputRead read;
    read.bytes.reserve(qsizetype(std::min(limit, std::max(kFirstChunk, sizeHint + 1))));
    while (read.bytes.size() < limit) {
        const qint64 used = read.bytes.size();
        if (used == read.bytes.capacity())
            read.bytes.reserve(qsizetype(std::min(limit, std::max(kFirstChunk, used * 2))));
        const qint64 room = std::min<qint64>({read.bytes.capacity(), limit, used + (1 << 30)}) - used;
        if (stream && !awaitBytes(handle, rules.idleMs)) return failed(InputFailure::Silent);
        read.bytes.resize(qsizetype(used + room));
        DWORD got = 0;
        const BOOL ok = ::ReadFile(handle, read.bytes.data() + used, DWORD(room), &got, nullptr);
        const DWORD error = ok ? 0 : ::GetLastError();
        read.bytes.resize(qsizetype(used + got));
        // A pipe whose writer has gone has ended, as a file does.
        if ((ok && got == 0) || error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF)
            return read;
        if (!ok && error != ERROR_MORE_DATA) return failed(InputFailure::CannotRead, error);
    }
    return failed(InputFailure::TooLarge);
}

InputRead readHandle(HANDLE handle, const InputRules& rules) {
    if (::GetFileType(handle) == FILE_TYPE_DISK) {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(handle, &size)) return failed(InputFailure::CannotOpen, ::GetLastError());
        return size.QuadPart > rules.maxBytes ? failed(InputFailure::TooLarge)
                                              : readAll(handle, false, size.QuadPart, rules);
    }
    if (rules.regularFilesOnly) return failed(InputFailure::NotRegular);
    return readAll(handle, true, 0, rules);
}

}  // namespace

InputRead readInputFile(const QString& path, const InputRules& rules) {
    if (QFileInfo(path).isDir()) return failed(InputFailure::Folder);
    const HANDLE handle = ::CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(),
                                        GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return failed(InputFailure::CannotOpen, ::GetLastError());
    InputRead read = readHandle(handle, rules);
    ::CloseHandle(handle);
    return read;
}

InputRead readStandardInput(const InputRules& rules) {
    if (g_streams.inputClosed) return failed(InputFailure::Closed);
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return failed(InputFailure::Closed);
    // A file given with "<" is read from where its offset stands, like any stream.
    if (::GetFileType(input) == FILE_TYPE_DISK) return readAll(input, false, 0, rules);
    return readAll(input, true, 0, rules);
}

StandardStreams holdStandardStreams() {
    const auto heldIfClosed = [](DWORD which, FILE* stream, const char* mode) {
        const HANDLE handle = ::GetStdHandle(which);
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) return false;
        if (std::freopen("NUL", mode, stream) != nullptr) {
            const HANDLE null = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr);
            if (null != INVALID_HANDLE_VALUE) ::SetStdHandle(which, null);
        }
        return true;
    };
    g_streams.inputClosed = heldIfClosed(STD_INPUT_HANDLE, stdin, "rb");
    g_streams.outputClosed = heldIfClosed(STD_OUTPUT_HANDLE, stdout, "wb");
    heldIfClosed(STD_ERROR_HANDLE, stderr, "wb");
    // The C library's text mode would turn each byte 10 into 13 10 and stop reading at a byte
    // 26: a picture read from or written to a standard stream is bytes, and the messages end
    // their lines as on every other platform.
    for (FILE* stream : {stdin, stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
    return g_streams;
}

const StandardStreams& standardStreamsAtStart() {
    return g_streams;
}

}  // namespace plume
