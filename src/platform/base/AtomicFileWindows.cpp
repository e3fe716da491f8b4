#include "platform/base/AtomicFile.h"

#include <windows.h>

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

// Files written whole on Windows: the temporary file is made with CREATE_NEW, written, flushed
// (FlushFileBuffers) and closed, then takes the target's name with MoveFileExW, over the old
// file (MOVEFILE_REPLACE_EXISTING) or, for a name that must stay free, without replacing
// anything. Windows' error codes become the error numbers the rest of Plume names causes by.

namespace plume {

namespace {

std::wstring nativePath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

HANDLE handleOf(qintptr file) {
    return reinterpret_cast<HANDLE>(file);
}

// The error number standing for a Windows error code.
int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_FILE_TOO_LARGE:
            return EFBIG;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        default:
            return EIO;
    }
}

bool moveFile(const QString& from, const QString& to, DWORD flags) {
    if (::MoveFileExW(nativePath(from).c_str(), nativePath(to).c_str(), flags)) return true;
    errno = errnoOf(::GetLastError());
    return false;
}

}  // namespace

bool renameWithoutReplacing(const QString& from, const QString& to) {
    return moveFile(from, to, MOVEFILE_WRITE_THROUGH);
}

bool AtomicFile::open(OpenMode mode) {
    if (isOpen() || (mode & ReadOnly) || !(mode & WriteOnly)) return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temporary = newTemporaryPath();
        const HANDLE file = ::CreateFileW(nativePath(m_temporary).c_str(), GENERIC_WRITE, 0,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_file = reinterpret_cast<qintptr>(file);
            break;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            m_temporary.clear();
            return fail(errnoOf(error), qt_error_string(int(error)));
        }
    }
    if (m_file == -1) {
        m_temporary.clear();
        return fail(EEXIST);
    }
    m_buffer.reserve(kBufferBytes);
    return QIODevice::open(WriteOnly | Unbuffered);
}

// Writes the buffer to the file, all of it or an error.
bool AtomicFile::drain() {
    const char* at = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const DWORD chunk = DWORD(std::min<qsizetype>(left, 1 << 30));
        DWORD written = 0;
        if (!::WriteFile(handleOf(m_file), at, chunk, &written, nullptr)) {
            const DWORD error = ::GetLastError();
            return fail(errnoOf(error), qt_error_string(int(error)));
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
    if (m_file == -1) return fail(m_errno ? m_errno : EBADF);
    bool whole = !m_failed && drain();
    if (whole && !::FlushFileBuffers(handleOf(m_file))) {
        const DWORD error = ::GetLastError();
        whole = fail(errnoOf(error), qt_error_string(int(error)));
    }
    if (!::CloseHandle(handleOf(m_file)) && whole) {
        const DWORD error = ::GetLastError();
        whole = fail(errnoOf(error), qt_error_string(int(error)));
    }
    m_file = -1;
    QIODevice::close();
    return whole;
}

bool AtomicFile::commit() {
    if (!finish()) {
        removeTemporary();
        return false;
    }
    if (!::MoveFileExW(nativePath(m_temporary).c_str(), nativePath(m_target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        fail(errnoOf(error), qt_error_string(int(error)));
        removeTemporary();
        return false;
    }
    m_temporary.clear();
    return true;
}

bool AtomicFile::commitWithoutReplacing(const QString& target) {
    if (!finish()) {
        removeTemporary();
        return false;
    }
    if (!::MoveFileExW(nativePath(m_temporary).c_str(), nativePath(target).c_str(),
                       MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        // A taken name is no failure of the file: the caller may try another one.
        if (errnoOf(error) == EEXIST) {
            m_errno = EEXIST;
            return false;
        }
        fail(errnoOf(error), qt_error_string(int(error)));
        removeTemporary();
        return false;
    }
    m_temporary.clear();
    return true;
}

void AtomicFile::cancel() {
    if (m_file != -1) {
        ::CloseHandle(handleOf(m_file));
        m_file = -1;
        m_finished = true;
    }
    if (isOpen()) QIODevice::close();
    removeTemporary();
}

void AtomicFile::removeTemporary() {
    if (m_temporary.isEmpty()) return;
    ::DeleteFileW(nativePath(m_temporary).c_str());
    m_temporary.clear();
}

QString systemErrorCause(int number) {
    return QString::fromLocal8Bit(std::strerror(number));
}

bool isQuotaExceeded(int) {
    return false;
}

}  // namespace plume
