#include "platform/base/InputFileRead.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

// Inputs on Windows: a disk file's size is known before it is read; a pipe is watched with
// PeekNamedPipe so that one that gives nothing is waited for only as long as allowed; a
// character device (NUL, a console) is read as it comes.

namespace plume {
namespace {

constexpr DWORD kPollMs = 10;

StandardStreams g_streams;

InputRead failed(InputFailure failure, DWORD error = 0) {
    return failedInput(failure, int(error));
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

// Reads until the end or one byte beyond the limit (a disk file's size is taken at once).
InputRead readAll(HANDLE handle, bool stream, qint64 sizeHint, const InputRules& rules) {
    const InputWait wait = [&] { return !stream || awaitBytes(handle, rules.idleMs); };
    return readGrowing(sizeHint, rules, wait, [handle](char* into, qint64 room) {
        DWORD got = 0;
        const BOOL ok = ::ReadFile(handle, into, DWORD(room), &got, nullptr);
        const DWORD error = ok ? 0 : ::GetLastError();
        // A pipe whose writer has gone has ended, as a file does.
        const bool ended =
            (ok && got == 0) || error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF;
        return InputChunk{qint64(got), ended, !ok && error != ERROR_MORE_DATA, int(error)};
    });
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
