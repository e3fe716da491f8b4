#include "platform/FileSystemObject.h"

#include "platform/Cp932.h"
#include "platform/PlumeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace plume {

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
    if (!file.open(QIODevice::ReadOnly))
        throw PlumeError(QStringLiteral("%1 を開けません").arg(path));
    if (file.size() > kMaxTextFileBytes)
        throw PlumeError(QStringLiteral("%1 は大きすぎます").arg(path));
    QByteArray bytes = file.read(kMaxTextFileBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxTextFileBytes)
        throw PlumeError(QStringLiteral("%1 を読み込めません").arg(path));
    return bytes;
}

bool FileSystemObject::atEndOfLine(const QByteArray& bytes) {
    return bytes.isEmpty() || bytes.front() == '\r' || bytes.front() == '\n';
}

QString FileSystemObject::readAnsiText(const QString& path) const {
    const auto text = decodeCp932(readAll(path));
    if (!text) throw PlumeError(QStringLiteral("%1 は Shift-JIS のﾃｷｽﾄではありません").arg(path));
    return *text;
}

void FileSystemObject::createEmptyFile(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw PlumeError(QStringLiteral("%1 を作成できません").arg(path));
}

void FileSystemObject::writeAnsiTextAtomic(const QString& path, const QString& text) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw PlumeError(QStringLiteral("%1 を書き込めません").arg(path));
    if (!writeBytes(file, encodeCp932(text))) {
        file.cancelWriting();
        throw PlumeError(QStringLiteral("%1 を書き込めません").arg(path));
    }
    if (!file.commit()) throw PlumeError(QStringLiteral("%1 を保存できません").arg(path));
}

bool FileSystemObject::writeBytes(QIODevice& device, const QByteArray& bytes) const {
    return device.write(bytes) == bytes.size();
}

}  // namespace plume
