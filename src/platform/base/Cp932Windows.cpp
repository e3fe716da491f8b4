#include "platform/base/Cp932.h"

#include "platform/base/CodePage.h"

#include <windows.h>

#include <string>

// CP932 through the system's code page 932. Best-fit characters are refused
// (WC_NO_BEST_FIT_CHARS), so a character without a code of its own is never written as a
// look-alike, and invalid bytes are refused (MB_ERR_INVALID_CHARS). Code page 932 alone pairs
// the byte 0x80 with U+0080; CP932 as Linux converts it has neither, and Plume's files must
// read the same on both, so that pair is refused too.

namespace plume {
namespace {

constexpr UINT kCp932 = 932;
constexpr wchar_t kUnheld = L'\u0080';  // code page 932's own reading of the byte 0x80

// The UTF-16 units of one code point.
std::wstring unitsOf(char32_t cp) {
    std::wstring units;
    if (cp >= 0x10000) {
        units.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
        units.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
        units.push_back(static_cast<wchar_t>(cp));
    }
    return units;
}

// The CP932 code of the units, or nothing when CP932 holds them only by a default character.
std::optional<QByteArray> encodeStrictly(const std::wstring& units) {
    if (units.find(kUnheld) != std::wstring::npos) return std::nullopt;
    char code[8];
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, units.data(),
                                             int(units.size()), code, int(sizeof code), nullptr,
                                             &usedDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    return QByteArray(code, length);
}

std::optional<std::wstring> decodeStrictly(const QByteArray& bytes) {
    if (bytes.isEmpty()) return std::wstring();
    const int units = ::MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes.constData(),
                                            int(bytes.size()), nullptr, 0);
    if (units <= 0) return std::nullopt;
    std::wstring out(static_cast<size_t>(units), L'\0');
    if (::MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes.constData(), int(bytes.size()),
                              out.data(), units) != units ||
        out.find(kUnheld) != std::wstring::npos)
        return std::nullopt;
    return out;
}

}  // namespace

QByteArray encodeCp932(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t c = text[i].unicode();
        char32_t cp = c;
        qsizetype units = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, text[i + 1].unicode());
            units = 2;
        }
        const bool lone = QChar::isSurrogate(cp);
        const std::optional<QByteArray> code = lone ? std::nullopt : encodeStrictly(unitsOf(cp));
        out += code ? *code : QByteArray("?");
        i += units;
    }
    return out;
}

std::optional<QString> decodeCp932(const QByteArray& bytes) {
    const std::optional<std::wstring> text = decodeStrictly(bytes);
    if (!text) return std::nullopt;
    return QString::fromStdWString(*text);
}

QString decodeCp932Lossy(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    QString text =
        decodeCodePageLossy(kCp932, {data, static_cast<size_t>(bytes.size())}).value_or(QString());
    return text.replace(QChar(kUnheld), QChar(0xFFFD));
}

std::optional<QByteArray> cp932CodeOf(char32_t character) {
    if (QChar::isSurrogate(character) || character > 0x10FFFF) return std::nullopt;
    const std::wstring units = unitsOf(character);
    const std::optional<QByteArray> code = encodeStrictly(units);
    if (!code) return std::nullopt;
    const std::optional<std::wstring> back = decodeStrictly(*code);
    if (!back || *back != units) return std::nullopt;
    return code;
}

}  // namespace plume
