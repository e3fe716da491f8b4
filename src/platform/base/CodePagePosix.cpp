#include "platform/base/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <string>

namespace plume {
namespace {

// The name iconv knows a Windows code page by.
std::string iconvName(unsigned codePage) {
    switch (codePage) {
        case 1361:
            return "JOHAB";
        case 10000:
            return "MACINTOSH";
        default:
            return "CP" + std::to_string(codePage);
    }
}

}  // namespace

std::optional<QString> decodeCodePageLossy(unsigned codePage, std::span<const uint8_t> bytes) {
    iconv_t cd = iconv_open("UTF-16LE", iconvName(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::u16string out;
    out.reserve(bytes.size());
    char* in = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes.data()));
    size_t inLeft = bytes.size();
    char16_t buffer[1024];
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(reinterpret_cast<char16_t*>(outPtr) - buffer));
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        out.push_back(u'\uFFFD');
        if (errno == EINVAL) break;  // incomplete sequence at the end
        ++in;                        // EILSEQ: skip the byte and carry on
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // CP1255 and CP1258 hold back a base letter in case a combining mark follows: flush it.
    char* outPtr = reinterpret_cast<char*>(buffer);
    size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(reinterpret_cast<char16_t*>(outPtr) - buffer));
    iconv_close(cd);
    return QString(reinterpret_cast<const QChar*>(out.data()), static_cast<qsizetype>(out.size()));
}

}  // namespace plume
