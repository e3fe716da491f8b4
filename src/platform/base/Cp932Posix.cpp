#include "platform/base/Cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <string>

// CP932 through the C library's iconv ("CP932"), which every Debian system has.

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

std::optional<QByteArray> cp932CodeOf(char32_t character) {
    // Opened once a thread: a settings file asks for each of its non-ASCII characters.
    thread_local Iconv encoder("CP932", "UTF-8");
    thread_local Iconv decoder("UTF-8", "CP932");
    const std::optional<std::string> code = roundTripCode(character, encoder, decoder);
    if (!code) return std::nullopt;
    return QByteArray(code->data(), static_cast<qsizetype>(code->size()));
}

}  // namespace plume
