#pragma once

#include "platform/base/PlumeError.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace plume {

// A text file that is there but cannot be read, and why.
class FileReadError : public PlumeError {
  public:
    enum class Kind { CannotOpen, TooLarge, CannotRead, NotText };
    FileReadError(Kind kind, const QString& path);
    Kind kind() const { return m_kind; }

  private:
    static QString pathAndReason(Kind kind, const QString& path);
    Kind m_kind;
};

// A file that could not be written whole, and the system's error number that says why
// (0 when the write gave up for a reason of its own).
class FileWriteError : public PlumeError {
  public:
    FileWriteError(const QString& path, int number);
    int number() const { return m_number; }

  private:
    int m_number;
};

// The shared file-system object (Usr::oFso): folder and file tests, folder creation and
// whole-file text input and output in the ANSI code page (CP932).
// Failures raise PlumeError. The virtual write step is the seam through which tests make a
// save fail half-way.
class FileSystemObject {
  public:
    // The largest text file Plume reads whole (its settings files are a few kilobytes).
    static constexpr qint64 kMaxTextFileBytes = 16 * 1024 * 1024;

    virtual ~FileSystemObject() = default;

    bool FileExists(const QString& path) const;
    bool FolderExists(const QString& path) const;

    // Creates one folder. Fails when the parent is missing or the name is taken.
    void CreateFolder(const QString& path) const;

    // Reads the whole file as raw bytes. Fails (FileReadError) when it cannot be opened or
    // read, or is larger than kMaxTextFileBytes.
    QByteArray readAll(const QString& path) const;

    // True when the file's first character is a line end or the file is empty: the test that
    // a text stream's AtEndOfLine makes right after opening.
    static bool atEndOfLine(const QByteArray& bytes);

    // Reads a text file of Plume's own: CP932 with character references (see Cp932.h), or
    // UTF-8 when the bytes are well-formed UTF-8 and hold any byte from 0x80 up (CP932 text
    // with Japanese in it never is; an editor may have saved the file so), its byte-order
    // mark dropped. Fails (FileReadError) on bytes that are neither, and on a NUL byte, which
    // no text of Plume's holds (UTF-16, binary data).
    QString readAnsiText(const QString& path) const;
    // The same for bytes already read from the file at `path`.
    static QString ansiText(const QByteArray& bytes, const QString& path);

    // Creates an empty file at the path, replacing any file there.
    void createEmptyFile(const QString& path) const;

    // Replaces the file by the text in CP932 with character references, atomically: the new content
    // goes to a temporary file in the same folder, which then takes the old file's place. A failure
    // at any point (FileWriteError) leaves the old file as it was.
    void writeAnsiTextAtomic(const QString& path, const QString& text) const;
    // The same for bytes as they are.
    void writeBytesAtomic(const QString& path, const QByteArray& bytes) const;

  protected:
    // Writes the bytes to the open temporary file; a failure returns false.
    virtual bool writeBytes(QIODevice& device, const QByteArray& bytes) const;
};

}  // namespace plume
