#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <future>
#include <stdexcept>

namespace plume::test {

qint64 peakMemoryKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss);
}

bool qtListsSystemFonts() {
    return true;
}

QString userFolderAsTaken(const QString& written) {
    return written;
}

TestTrash testTrash(const QString& dataHome) {
    const QString folder = dataHome + QStringLiteral("/Trash");
    return {folder, folder};
}

bool makeFifo(const QString& path) {
    if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        throw std::runtime_error("cannot make the pipe " + path.toStdString());
    return true;
}

bool returnsWhileFifoSilent(const QString& fifo, const std::function<void()>& call,
                            std::chrono::milliseconds bound) {
    std::future<void> done = std::async(std::launch::async, call);
    if (done.wait_for(bound) == std::future_status::ready) return true;
    // A writer that comes and goes: the reader, in open() or in read(), sees the end.
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    }
    return false;
}

}  // namespace plume::test
