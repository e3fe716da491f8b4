#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

namespace plume {

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

    // Reads the whole file as raw bytes. Fails when it cannot be opened or read, or is larger
    // than kMaxTextFileBytes.
    QByteArray readAll(const QString& path) const;

    // True when the file's first character is a line end or the file is empty: the test that
    // a text stream's AtEndOfLine makes right after opening.
    static bool atEndOfLine(const QByteArray& bytes);

    // Reads the whole file and decodes it from CP932. Fails on bytes that are not CP932.
    QString readAnsiText(const QString& path) const;

    // Creates an empty file at the path, replacing any file there.
    void createEmptyFile(const QString& path) const;

    // Replaces the file by the text in CP932, atomically: the new content goes to a
    // temporary file in the same folder, which then takes the old file's place. A failure
    // at any point leaves the old file as it was.
    void writeAnsiTextAtomic(const QString& path, const QString& text) const;

  protected:
    // Writes the bytes to the open temporary file; a failure returns false.
    virtual bool writeBytes(QIODevice& device, const QByteArray& bytes) const;
};

}  // namespace plume
