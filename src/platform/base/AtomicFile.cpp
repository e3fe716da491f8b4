#include "platform/base/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>

// The parts every platform shares; the files themselves are made, written and renamed in
// AtomicFilePosix.cpp and AtomicFileWindows.cpp.

namespace plume {

AtomicFile::AtomicFile(const QString& target) : m_target(target) {
    // A link is followed, so that the file it leads to is replaced and the link stays.
    const QFileInfo info(target);
    if (info.isSymLink()) {
        const QString resolved = info.canonicalFilePath();
        if (!resolved.isEmpty()) m_target = resolved;
    }
}

AtomicFile::~AtomicFile() {
    cancel();
}

QString AtomicFile::newTemporaryPath() const {
    const QFileInfo info(m_target);
    return info.dir().filePath(
        QStringLiteral(".%1.plume-%2")
            .arg(info.fileName())
            .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
}

bool AtomicFile::fail(int number) {
    return fail(number, qt_error_string(number));
}

bool AtomicFile::fail(int number, const QString& text) {
    if (!m_failed) {
        m_failed = true;
        m_errno = number;
        setErrorString(text);
    }
    return false;
}

qint64 AtomicFile::readData(char*, qint64) {
    return -1;
}

qint64 AtomicFile::writeData(const char* data, qint64 length) {
    if (m_failed || !isOpen()) return -1;
    if (m_buffer.size() + length > kBufferBytes && !drain()) return -1;
    if (length >= kBufferBytes) {
        m_buffer = QByteArray::fromRawData(data, qsizetype(length));
        const bool written = drain();
        m_buffer.clear();
        m_buffer.reserve(kBufferBytes);
        return written ? length : -1;
    }
    m_buffer.append(data, qsizetype(length));
    return length;
}

int writeFileAtomically(const QString& path, const QByteArray& bytes) {
    AtomicFile file(path);
    if (file.open() && file.write(bytes) == bytes.size() && file.commit()) return 0;
    return file.systemError() ? file.systemError() : EIO;
}

QString fileErrorCause(int number) {
    if (isQuotaExceeded(number)) return QStringLiteral("ﾃﾞｨｽｸの使用量の上限を超えました");
    switch (number) {
        case ENOSPC:
            return QStringLiteral("ﾃﾞｨｽｸに空きがありません");
        case EACCES:
        case EPERM:
            return QStringLiteral("書き込む権限がありません");
        case EROFS:
            return QStringLiteral("読み取り専用のﾃﾞｨｽｸです");
        case EIO:
            return QStringLiteral("ﾃﾞｨｽｸの読み書きに失敗しました");
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("ﾌｫﾙﾀﾞが見つかりません");
        case ENAMETOOLONG:
            return QStringLiteral("名前が長すぎます");
        case EFBIG:
            return QStringLiteral("ﾌｧｲﾙが大きすぎます");
        default:
            break;
    }
    return systemErrorCause(number);
}

}  // namespace plume
