#include "platform/base/Cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace plume {
namespace {

// A converter opened for one conversion and closed when it goes out of scope.
class Iconv {
  public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Iconv() { iconv_close(m_cd); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts as much as it can. Returns the bytes consumed; stops at the first sequence it
    // cannot convert (EILSEQ) or at an incomplete one at the end (EINVAL).
    size_t convert(const char* in, size_t inLen, std::string& out, int& error) {
        char* inPtr = const_cast<char*>(in);
        size_t inLeft = inLen;
        char buffer[4096];
        error = 0;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // the initial state, whatever came before
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t rc = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<size_t>(outPtr - buffer));
            if (rc == static_cast<size_t>(-1)) {
                if (errno == E2BIG) continue;
                error = errno;
                break;
            }
        }
        return inLen - inLeft;
    }

  private:
    iconv_t m_cd;
};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// The CP932 code of one character when it reads back as the same character; nothing else.
std::optional<std::string> roundTripCode(char32_t cp, Iconv& encoder, Iconv& decoder) {
    if (cp >= 0xD800 && cp <= 0xDFFF) return std::nullopt;  // a surrogate without its pair
    std::string utf8;
    appendUtf8(utf8, cp);
    std::string code;
    int error = 0;
    encoder.convert(utf8.data(), utf8.size(), code, error);
    if (error != 0 || code.empty()) return std::nullopt;
    std::string back;
    decoder.convert(code.data(), code.size(), back, error);
    if (error != 0 || back != utf8) return std::nullopt;
    return code;
}

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

QByteArray encodeCp932(const QString& text) {
    // UTF-16 in, one character at a time past any that CP932 has no code for.
    const QByteArray utf8 = text.toUtf8();
    Iconv cd("CP932", "UTF-8");
    std::string out;
    size_t pos = 0;
    while (pos < static_cast<size_t>(utf8.size())) {
        int error = 0;
        pos += cd.convert(utf8.constData() + pos, utf8.size() - pos, out, error);
        if (error == 0) break;
        // Skip the whole UTF-8 sequence of the character that has no CP932 code.
        out.push_back('?');
        const auto lead = static_cast<unsigned char>(utf8[static_cast<qsizetype>(pos)]);
        size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        pos = std::min(pos + len, static_cast<size_t>(utf8.size()));
    }
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

std::optional<QString> decodeCp932(const QByteArray& bytes) {
    Iconv cd("UTF-8", "CP932");
    std::string out;
    int error = 0;
    cd.convert(bytes.constData(), static_cast<size_t>(bytes.size()), out, error);
    if (error != 0) return std::nullopt;
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}

QString decodeCp932Lossy(const QByteArray& bytes) {
    Iconv cd("UTF-8", "CP932");
    std::string out;
    size_t pos = 0;
    while (pos < static_cast<size_t>(bytes.size())) {
        int error = 0;
        pos += cd.convert(bytes.constData() + pos, bytes.size() - pos, out, error);
        if (error == 0) break;
        out.append("\xEF\xBF\xBD");  // U+FFFD
        ++pos;
    }
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}

QByteArray encodeCp932WithReferences(const QString& text) {
    Iconv encoder("CP932", "UTF-8");
    Iconv decoder("UTF-8", "CP932");
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
        if (const auto code = roundTripCode(cp, encoder, decoder))
            out.append(code->data(), static_cast<qsizetype>(code->size()));
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
