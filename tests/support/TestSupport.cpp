#include "support/TestSupport.h"

#include "platform/desktop/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
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

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
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

QString corpusDir() {
    return sharedDataDir() + "/metafile-corpus";
}

// File in the first column, the malformed note and the record count in the columns of those
// names.
QList<CorpusEntry> corpusEntries() {
    QFile tsv(corpusDir() + "/SOURCES.tsv");
    if (!tsv.open(QIODevice::ReadOnly)) return {};
    const QList<QByteArray> lines = tsv.readAll().split('\n');
    if (lines.isEmpty()) return {};
    const QList<QByteArray> header = lines.first().split('\t');
    const qsizetype malformedColumn = header.indexOf("malformed");
    const qsizetype recordsColumn = header.indexOf("records");
    QList<CorpusEntry> entries;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> cells = lines[i].split('\t');
        if (cells.size() <= malformedColumn || cells[0].isEmpty()) continue;
        bool counted = false;
        const qsizetype records = recordsColumn >= 0 && recordsColumn < cells.size()
                                      ? cells[recordsColumn].toLongLong(&counted)
                                      : 0;
        entries.append({QString::fromUtf8(cells[0]), !cells[malformedColumn].trimmed().isEmpty(),
                        counted ? records : -1});
    }
    return entries;
}

}  // namespace plume::test
