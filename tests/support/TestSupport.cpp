#include "support/TestSupport.h"

#include "platform/desktop/MessageBox.h"

#include <QFile>
#include <QMimeData>
#include <QTest>
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

bool waitForRenditions(const QMimeData& offer) {
    return QTest::qWaitFor(
        [&] { return offer.hasFormat(QStringLiteral("image/svg+xml")) && offer.hasImage(); },
        60000);
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
