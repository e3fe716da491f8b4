#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace plume {

// The settings file and "UserData.ini" hold CP932 (Shift-JIS) bytes on every platform.
// Conversion goes through the C library's iconv ("CP932"), which every Debian system has.

// Encodes text as CP932. A character CP932 cannot hold becomes "?"; the rest is kept.
QByteArray encodeCp932(const QString& text);

// Decodes CP932 bytes. Returns nothing when the bytes are not valid CP932, so that a caller
// never mistakes a file in another encoding for its own text.
std::optional<QString> decodeCp932(const QByteArray& bytes);

// Decodes CP932 bytes, replacing what cannot be decoded with U+FFFD.
QString decodeCp932Lossy(const QByteArray& bytes);

}  // namespace plume
