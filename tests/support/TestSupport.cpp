#include "support/TestSupport.h"

#include "platform/desktop/MessageBox.h"

#include <QFile>
#include <QtEndian>
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

QString sharedDataDir() {
    const QString fromEnv = qEnvironmentVariable("PLUME_SHARED_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(PLUME_DEFAULT_SHARED_DIR) : fromEnv;
}

QByteArray emfHeaderBeforeGarbage(qsizetype size) {
    const QByteArray emf =
        readFileBytes(sharedDataDir() + "/clipboard-captures/libreoffice-draw-7.4.emf");
    if (emf.size() < 88) return {};
    const qsizetype header = qFromLittleEndian<quint32>(emf.constData() + 4);  // EMR_HEADER's nSize
    if (header > emf.size() || header > size) return {};
    QByteArray bytes = emf.left(header);
    bytes.append(QByteArray(size - header, '\xA5'));
    qToLittleEndian<quint32>(quint32(size), bytes.data() + 48);  // nBytes
    return bytes;
}

QString sourceDir() {
    const QString fromEnv = qEnvironmentVariable("PLUME_SOURCE_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(PLUME_DEFAULT_SOURCE_DIR) : fromEnv;
}

}  // namespace plume::test
