#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace plume {

// The settings file and "UserData.ini" hold CP932 (Shift-JIS) bytes on every platform.
// Each platform converts with its own converter (Cp932Posix.cpp: iconv; Cp932Windows.cpp: the
// system's code page 932, refusing best-fit characters and invalid bytes); a table test holds
// both to the same bytes.

// Encodes text as CP932. A character CP932 cannot hold becomes "?"; the rest is kept.
QByteArray encodeCp932(const QString& text);

// Decodes CP932 bytes. Returns nothing when the bytes are not valid CP932, so that a caller
// never mistakes a file in another encoding for its own text.
std::optional<QString> decodeCp932(const QByteArray& bytes);

// Decodes CP932 bytes, replacing what cannot be decoded with U+FFFD.
QString decodeCp932Lossy(const QByteArray& bytes);

// Text files of Plume's own (the settings file, "UserData.ini") hold CP932 bytes for every
// character that CP932 holds, and an XML character reference for each character it does not.

// Encodes text as CP932 that reads back exactly. A character without a CP932 code, or one
// whose code reads back as another character (U+301C, U+00A5 and their like), is written as
// "&#x" + its code point in upper-case hexadecimal + ";" (one reference for a character
// outside the BMP). A "&" followed by "#" is written "&#x26;", so that a text holding "&#x41;"
// itself is not taken for a reference. Every other "&" and character stays as it was.
QByteArray encodeCp932WithReferences(const QString& text);

// The CP932 code of one character when it reads back as that same character; nothing for a
// character CP932 has no code for or whose code reads back as another one.
std::optional<QByteArray> cp932CodeOf(char32_t character);

// Turns the character references "&#xH…;" and "&#D…;" back into their characters. A "&" that
// does not begin a reference to a character from U+0001 to U+10FFFF stays as it is.
QString resolveCharacterReferences(const QString& text);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool isUtf8(const QByteArray& bytes);

// Whether any byte is 0x80 or above.
bool hasNonAsciiByte(const QByteArray& bytes);

}  // namespace plume
