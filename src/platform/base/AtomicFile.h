#pragma once

// A file that is written whole or not at all. The bytes go to a new hidden file beside the
// target; every write is checked, and only a complete file, written out, flushed to the disk
// and closed, takes the target's name: in one step over the old file, or, for a name that must
// stay free, only while no file has it. Any failure leaves the old file as it was, removes the
// temporary file and keeps the system's error number, so that the user hears the cause.

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace plume {

class AtomicFile : public QIODevice {
  public:
    // `target` is the file to replace (a link to a file replaces the file it leads to).
    explicit AtomicFile(const QString& target);
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside the target, as any new file of the user's is made
    // (0666 less the umask). Write only.
    bool open(OpenMode mode = WriteOnly) override;

    // Writes out what is still buffered, flushes the file to the disk, closes it and renames it
    // over the target, whose permissions it takes. False when anything failed on the way, an
    // earlier write included; the old file is then untouched and the temporary file gone.
    bool commit();

    // The same, but the file takes the name `target` only if no file has it. A taken name
    // gives false with systemError() EEXIST and keeps the finished temporary file, so that
    // the caller may try another name; any other failure removes it.
    bool commitWithoutReplacing(const QString& target);

    // Drops the temporary file; the target is not touched.
    void cancel();

    // The error number of the first call that failed (ENOSPC, EACCES, ...); 0 when none did.
    int systemError() const { return m_errno; }
    // True once any step has failed.
    bool failed() const { return m_failed; }

    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 length) override;

  private:
    bool fail(int number);
    // The same with the system's own text for the failure, where it says more than the number.
    bool fail(int number, const QString& text);
    // A hidden name beside the target that is not likely to be taken.
    QString newTemporaryPath() const;
    bool drain();
    bool finish();
    void removeTemporary();

    // Writes are gathered up to this size, so that encoders that write a few bytes at a time do
    // not make a system call for each.
    static constexpr qsizetype kBufferBytes = 64 * 1024;

    QString m_target;
    QString m_temporary;
    QByteArray m_buffer;
    qintptr m_file = -1;  // the temporary file: a descriptor, or a handle on Windows; -1 when none
    int m_errno = 0;
    bool m_failed = false;
    bool m_finished = false;
};

// Gives `from` the name `to` unless a file (or a link) has it: never replaces anything, and
// atomically. False with errno EEXIST when the name is taken (errno says why on any failure).
bool renameWithoutReplacing(const QString& from, const QString& to);

// Replaces the file at `path` by `bytes` through an AtomicFile: 0 on success, otherwise the
// error number of the step that failed.
int writeFileAtomically(const QString& path, const QByteArray& bytes);

// The cause of a failed file operation in the window's words, from its error number:
// "ﾃﾞｨｽｸに空きがありません" for ENOSPC, and so on; the system's own text for a rare one.
QString fileErrorCause(int number);
// The system's own text for an error number that fileErrorCause has no words of its own for.
QString systemErrorCause(int number);
// Whether the error number says the user's disk quota is used up (Windows has no number of its
// own for it: a full quota reads as a full disk there).
bool isQuotaExceeded(int number);

}  // namespace plume
