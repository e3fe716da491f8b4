#include "main_window/NumberedFiles.h"

#include "platform/base/Numbers.h"
#include "platform/base/Paths.h"
#include "settings/SettingValue.h"

#include <fcntl.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <optional>

namespace plume {

QString numberedFileName(int number) {
    return QStringLiteral("%1.wmf").arg(number, 3, 10, QLatin1Char('0'));
}

Expected<FolderNumbering> scanNumberedFolder(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists())
        return Expected<FolderNumbering>::failure(
            QStringLiteral("%1 が見つかりません").arg(folder));
    FolderNumbering numbering;
    int16_t largest = 0;
    // One pass over every entry: the numbering counts all files, not only those the list
    // shows, and compares the ending exactly; the taken names count in any letter case.
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    numbering.takenLower.reserve(entries.size());
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        numbering.takenLower.insert(name.toLower());
        if (!entry.isFile() || !name.endsWith(QStringLiteral(".wmf"), Qt::CaseSensitive)) continue;
        const double value = leadingNumber(name.chopped(4));
        if (value <= largest) continue;
        const double rounded = roundHalfEven(value);
        if (!(rounded <= std::numeric_limits<int16_t>::max()))
            return Expected<FolderNumbering>::failure(
                QStringLiteral("%1 の番号が大きすぎます").arg(name));
        largest = static_cast<int16_t>(rounded);
    }
    if (largest == std::numeric_limits<int16_t>::max())
        return Expected<FolderNumbering>::failure(QStringLiteral("番号が尽きました"));
    numbering.next = static_cast<int16_t>(largest + 1);
    return Expected<FolderNumbering>::success(std::move(numbering));
}

Expected<int16_t> nextFileNumber(const QString& folder) {
    const Expected<FolderNumbering> scan = scanNumberedFolder(folder);
    if (!scan) return Expected<int16_t>::failure(scan.error());
    return Expected<int16_t>::success(scan.value().next);
}

bool nameTakenAnyCase(const QString& folder, const QString& name) {
    const QStringList all = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                   QDir::NoDotAndDotDot);
    for (const QString& existing : all)
        if (existing.compare(name, Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool renameWithoutReplacing(const QString& from, const QString& to) {
#ifdef Q_OS_LINUX
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without RENAME_NOREPLACE: a hard link fails just as atomically when the
    // name is taken.
    if (::link(source.constData(), target.constData()) != 0) return false;
    ::unlink(source.constData());
    return true;
#else
    // QFile::rename never replaces an existing file.
    return QFile::rename(from, to);
#endif
}

namespace {

// Writes the bytes whole into a new hidden file of its own name in `folder` and returns its
// path. The file is created as any new file of the user's is, 0666 less the umask: it
// becomes the drawing by a rename, which keeps the mode (a QTemporaryFile would be 0600).
std::optional<QString> writeUnderNewName(const QString& folder, const QByteArray& bytes) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = joinPath(
            folder, QStringLiteral(".plume-import-%1")
                        .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(path)) continue;  // the name is someone else's: another one
            return std::nullopt;
        }
        const bool whole = file.write(bytes) == bytes.size() && file.flush();
        file.close();
        if (whole && file.error() == QFileDevice::NoError) return path;
        QFile::remove(path);
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

Expected<QString> storeNewNumberedFile(const QString& folder, int number, const QByteArray& bytes,
                                       const QSet<QString>* takenLower) {
    const std::optional<QString> temporary = writeUnderNewName(folder, bytes);
    if (!temporary)
        return Expected<QString>::failure(QStringLiteral("%1 に書き込めません").arg(folder));
    auto removeTemporary = qScopeGuard([&] { QFile::remove(*temporary); });
    for (; number <= std::numeric_limits<int16_t>::max(); ++number) {
        const QString name = numberedFileName(number);
        if (takenLower ? takenLower->contains(name) : nameTakenAnyCase(folder, name)) continue;
        if (renameWithoutReplacing(*temporary, joinPath(folder, name))) {
            removeTemporary.dismiss();
            return Expected<QString>::success(name);
        }
        // Taken between the look and the rename (another Plume), or by a link that leads
        // nowhere: try the next number. Any other failure ends the import.
        const QFileInfo target(joinPath(folder, name));
        if (!target.exists() && !target.isSymLink())
            return Expected<QString>::failure(QStringLiteral("%1 に書き込めません").arg(folder));
    }
    return Expected<QString>::failure(QStringLiteral("番号が尽きました"));
}

}  // namespace plume
