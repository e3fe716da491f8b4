#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>

class QMimeData;

namespace plume::test {

// Captures every message box shown while it lives, instead of opening dialogs.
class MessageCapture {
  public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const QStringList& texts() const { return m_texts; }
    void clear() { m_texts.clear(); }

  private:
    QStringList m_texts;
};

// Whole-file helpers for tests.
QByteArray readFileBytes(const QString& path);
void writeFileBytes(const QString& path, const QByteArray& bytes);

// The most memory this process has held so far, in KiB.
qint64 peakMemoryKb();
// A named pipe at `path` that nobody writes to; false where the file system has none
// (Windows), and the test then skips.
bool makeFifo(const QString& path);
// Whether `call` returns within `bound` while nobody writes to the named pipe `fifo`. A call
// still waiting then is released (the pipe is opened for writing and closed), so that a
// failing test ends.
bool returnsWhileFifoSilent(const QString& fifo, const std::function<void()>& call,
                            std::chrono::milliseconds bound = std::chrono::seconds(30));
// Waits (processing events) until a vector picture's clipboard offer names its SVG and
// raster renditions, which are drawn in the background; false after a minute.
bool waitForRenditions(const QMimeData& offer);

// Whether Qt's font database is the system's own list of fonts: always on Linux (fontconfig,
// whatever Qt platform runs); on Windows on Qt's windows platform only, since its offscreen
// platform there reads the one folder the test runner names (the stand-ins) and no more.
bool qtListsSystemFonts();

// The folder that "UserData.ini" names, as Plume takes it: as written where the file system
// heeds letter case (Linux); lower-cased, with the system's separators, on Windows.
QString userFolderAsTaken(const QString& written);
// A path in a test's folder with the system's separators, as the folder picker returns it.
QString nativePath(const QString& path);

// The trash that a test's deleted files go to while XDG_DATA_HOME is `dataHome`: as the status
// line names it, and the folder that keeps the trashed files and their information. On
// Windows that is the Recycle Bin, named as the shell shows it, which keeps its files to
// itself (no folder).
struct TestTrash {
    QString shown;
    QString folder;
};
TestTrash testTrash(const QString& dataHome);

// The folder of real data beside the checkout (captures, references, corpus).
QString sharedDataDir();
// The checkout the tests were built from.
QString sourceDir();

// A file of the shared corpus of real metafiles, as its SOURCES.tsv lists it.
struct CorpusEntry {
    QString file;  // relative to the corpus folder
    bool malformed = false;
    qsizetype records = -1;  // as the survey counted them (EOF included), when it did
};
QString corpusDir();
// The entries of SOURCES.tsv; none when the corpus is missing.
QList<CorpusEntry> corpusEntries();

// `size` bytes that begin with a real EMF header (LibreOffice's, its nBytes saying `size`)
// and go on with garbage: bytes that pass every check of the header alone, but whose records
// end early.
QByteArray emfHeaderBeforeGarbage(qsizetype size);

}  // namespace plume::test

// Readable QString values in GoogleTest's failure messages.
#include <ostream>
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
