#include "platform/base/Cp932.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace plume {
namespace {

int digitValue(char16_t c, int base) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (base == 16 && c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (base == 16 && c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The character that a reference starting at `amp` ("&#") stands for, and the position after
// its ";"; nothing when the text there is no reference.
std::optional<std::pair<char32_t, qsizetype>> readReference(QStringView text, qsizetype amp) {
    qsizetype p = amp + 2;
    int base = 10;
    if (p < text.size() && (text[p] == u'x' || text[p] == u'X')) {
        base = 16;
        ++p;
    }
    const qsizetype first = p;
    uint32_t value = 0;
    // Eight digits hold any code point with leading zeros to spare and cannot overflow.
    for (; p < text.size() && p - first < 8; ++p) {
        const int digit = digitValue(text[p].unicode(), base);
        if (digit < 0) break;
        value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
    }
    if (p == first || p >= text.size() || text[p] != u';') return std::nullopt;
    if (value < 1 || value > 0x10FFFF) return std::nullopt;
    return std::make_pair(static_cast<char32_t>(value), p + 1);
}

}  // namespace

QByteArray encodeCp932WithReferences(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t c = text[i].unicode();
        // ASCII is its own CP932 code.
        if (c < 0x80) {
            if (c == u'&' && i + 1 < n && text[i + 1] == u'#')
                out += "&#x26;";
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        char32_t cp = c;
        qsizetype units = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, text[i + 1].unicode());
            units = 2;
        }
        if (const std::optional<QByteArray> code = cp932CodeOf(cp))
            out += *code;
        else
            out += "&#x" + QByteArray::number(static_cast<uint>(cp), 16).toUpper() + ';';
        i += units;
    }
    return out;
}

QString resolveCharacterReferences(const QString& text) {
    qsizetype amp = text.indexOf(u"&#");
    if (amp < 0) return text;
    QString out;
    out.reserve(text.size());
    qsizetype done = 0;
    while (amp >= 0) {
        out += QStringView(text).mid(done, amp - done);
        if (const auto reference = readReference(text, amp)) {
            const char32_t cp = reference->first;
            if (QChar::requiresSurrogates(cp)) {
                out += QChar(QChar::highSurrogate(cp));
                out += QChar(QChar::lowSurrogate(cp));
            } else {
                out += QChar(static_cast<char16_t>(cp));
            }
            done = reference->second;
        } else {
            out += u'&';
            done = amp + 1;
        }
        amp = text.indexOf(u"&#", done);
    }
    out += QStringView(text).mid(done);
    return out;
}

bool isUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char lead = p[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        qsizetype length = 0;
        unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;   // overlong
            if (lead == 0xED) high = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;   // overlong
            if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
        } else {
            return false;
        }
        if (n - i < length || p[i + 1] < low || p[i + 1] > high) return false;
        for (qsizetype k = 2; k < length; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
        i += length;
    }
    return true;
}

bool hasNonAsciiByte(const QByteArray& bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char b) { return static_cast<unsigned char>(b) >= 0x80; });
}

}  // namespace plume
