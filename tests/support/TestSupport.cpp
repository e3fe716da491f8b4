#include "support/TestSupport.h"

#include "platform/desktop/MessageBox.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <future>
#include <stdexcept>

namespace plume::test {

MessageCapture::MessageCapture() {
    setMessageSink([this](const QString& text) { m_texts.append(text); });
}

MessageCapture::~MessageCapture() {
    setMessageSink({});
}

QByteArray readFileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

void writeFileBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

void makeFifo(const QString& path) {
    if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        throw std::runtime_error("cannot make the pipe " + path.toStdString());
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

QString sharedDataDir() {
    const QString fromEnv = qEnvironmentVariable("PLUME_SHARED_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(PLUME_DEFAULT_SHARED_DIR) : fromEnv;
}

QString sourceDir() {
    const QString fromEnv = qEnvironmentVariable("PLUME_SOURCE_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(PLUME_DEFAULT_SOURCE_DIR) : fromEnv;
}

}  // namespace plume::test
