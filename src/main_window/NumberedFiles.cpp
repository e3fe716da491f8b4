#include "main_window/NumberedFiles.h"

#include "platform/base/AtomicFile.h"
#include "platform/base/Numbers.h"
#include "platform/base/Paths.h"
#include "settings/SettingValue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <limits>

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

namespace {

Expected<QString> cannotStore(const QString& folder, int number) {
    return Expected<QString>::failure(QStringLiteral("%1 に保存できません (%2)")
                                          .arg(shownPath(folder), fileErrorCause(number)));
}

}  // namespace

Expected<QString> storeNewNumberedFile(const QString& folder, int number, const QByteArray& bytes,
                                       const QSet<QString>* takenLower) {
    // The drawing is written whole into a hidden file of the folder first: a file that is
    // cut short (a full disk) never gets a number. The rename keeps the file's mode, that of
    // any new file of the user's.
    AtomicFile file(joinPath(folder, numberedFileName(number)));
    if (!file.open() || file.write(bytes) != bytes.size())
        return cannotStore(folder, file.systemError());
    for (; number <= std::numeric_limits<int16_t>::max(); ++number) {
        const QString name = numberedFileName(number);
        if (takenLower ? takenLower->contains(name) : nameTakenAnyCase(folder, name)) continue;
        if (file.commitWithoutReplacing(joinPath(folder, name)))
            return Expected<QString>::success(name);
        // Taken between the look and the rename (another Plume), or by a link that leads
        // nowhere: try the next number. Any other failure ends the import.
        if (file.systemError() != EEXIST) return cannotStore(folder, file.systemError());
    }
    return Expected<QString>::failure(QStringLiteral("番号が尽きました"));
}

}  // namespace plume
