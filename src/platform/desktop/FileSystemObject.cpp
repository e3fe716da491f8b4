#include "platform/desktop/FileSystemObject.h"

#include "platform/base/AtomicFile.h"
#include "platform/base/Cp932.h"
#include "platform/base/PlumeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace plume {

FileReadError::FileReadError(Kind kind, const QString& path)
    : PlumeError(pathAndReason(kind, path)), m_kind(kind) {}

QString FileReadError::pathAndReason(Kind kind, const QString& path) {
    switch (kind) {
        case Kind::CannotOpen:
            return QStringLiteral("%1 を開けません").arg(path);
        case Kind::TooLarge:
            return QStringLiteral("%1 は大きすぎます").arg(path);
        case Kind::CannotRead:
            return QStringLiteral("%1 を読み込めません").arg(path);
        case Kind::NotText:
            break;
    }
    return QStringLiteral("%1 は Shift-JIS のﾃｷｽﾄではありません").arg(path);
}

FileWriteError::FileWriteError(const QString& path, int number)
    : PlumeError(QStringLiteral("%1 を保存できません (%2)").arg(path, fileErrorCause(number))),
      m_number(number) {}

bool FileSystemObject::FileExists(const QString& path) const {
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && !info.isDir();
}

bool FileSystemObject::FolderExists(const QString& path) const {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

void FileSystemObject::CreateFolder(const QString& path) const {
    const QFileInfo info(path);
    if (info.exists()) throw PlumeError(QStringLiteral("%1 は既に存在します").arg(path));
    if (!QDir().mkdir(path))
        throw PlumeError(QStringLiteral("ﾌｫﾙﾀﾞ %1 を作成できません").arg(path));
}

QByteArray FileSystemObject::readAll(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw FileReadError(FileReadError::Kind::CannotOpen, path);
    if (file.size() > kMaxTextFileBytes) throw FileReadError(FileReadError::Kind::TooLarge, path);
    QByteArray bytes = file.read(kMaxTextFileBytes + 1);
    if (bytes.size() > kMaxTextFileBytes) throw FileReadError(FileReadError::Kind::TooLarge, path);
    if (file.error() != QFileDevice::NoError)
        throw FileReadError(FileReadError::Kind::CannotRead, path);
    return bytes;
}

bool FileSystemObject::atEndOfLine(const QByteArray& bytes) {
    return bytes.isEmpty() || bytes.front() == '\r' || bytes.front() == '\n';
}

QString FileSystemObject::readAnsiText(const QString& path) const {
    return ansiText(readAll(path), path);
}

QString FileSystemObject::ansiText(const QByteArray& bytes, const QString& path) {
    std::optional<QString> text;
    if (!bytes.contains('\0')) {
        if (hasNonAsciiByte(bytes) && isUtf8(bytes))
            text = QStringDecoder(QStringDecoder::Utf8).decode(bytes);
        else
            text = decodeCp932(bytes);
    }
    if (!text) throw FileReadError(FileReadError::Kind::NotText, path);
    return resolveCharacterReferences(*text);
}

void FileSystemObject::createEmptyFile(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw PlumeError(QStringLiteral("%1 を作成できません").arg(path));
}

void FileSystemObject::writeAnsiTextAtomic(const QString& path, const QString& text) const {
    writeBytesAtomic(path, encodeCp932WithReferences(text));
}

void FileSystemObject::writeBytesAtomic(const QString& path, const QByteArray& bytes) const {
    AtomicFile file(path);
    if (!file.open() || !writeBytes(file, bytes) || !file.commit())
        throw FileWriteError(path, file.systemError());
}

bool FileSystemObject::writeBytes(QIODevice& device, const QByteArray& bytes) const {
    return device.write(bytes) == bytes.size();
}

}  // namespace plume
