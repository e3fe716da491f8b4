#include "platform/Cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <string>

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

}  // namespace plume
