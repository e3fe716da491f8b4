#pragma once

#include "platform/base/Expected.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <cstdint>

namespace plume {

// Imported drawings are stored as numbered files: at least three digits, zero-padded, and
// ".wmf" in small letters (1 -> 001.wmf, 1000 -> 1000.wmf). Numbers are 16-bit.
QString numberedFileName(int number);

// The number for the next imported file: the largest leading number of the names in the
// folder that end in ".wmf" exactly (small letters), rounded half to even, plus one; 1 when
// there is none. Fails (overflow) when a stem does not fit 16 bits or the numbers are
// exhausted at 32767, and when the folder cannot be read.
Expected<int16_t> nextFileNumber(const QString& folder);

// What one reading of the folder tells an import: the next number, and every name in the
// folder in small letters (to pass over names taken in another letter case).
struct FolderNumbering {
    int16_t next = 1;
    QSet<QString> takenLower;
};
Expected<FolderNumbering> scanNumberedFolder(const QString& folder);

// Whether a file of this name exists in the folder in any letter case.
bool nameTakenAnyCase(const QString& folder, const QString& name);

// Stores the bytes as a new numbered file, starting at `number` and passing over every name
// that is taken in any letter case. The file is written completely under a temporary name in
// the same folder and then given its name without replacing anything, so a drawing is never
// written over, half-written or lost, even with another Plume importing into the same folder.
// Returns the file name used.
// `takenLower` is the folder's names in small letters as a scan found them; without it the
// folder is read once here.
Expected<QString> storeNewNumberedFile(const QString& folder, int number, const QByteArray& bytes,
                                       const QSet<QString>* takenLower = nullptr);

}  // namespace plume
