#include "platform/base/CodePage.h"

#include <windows.h>

#include <string>

namespace plume {
namespace {

// Decodes bytes that must all be valid in the code page; false when one is not.
bool decodeStrictly(unsigned codePage, const uint8_t* bytes, int length, std::wstring& out) {
    const auto* in = reinterpret_cast<const char*>(bytes);
    const int units = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in, length, nullptr, 0);
    if (units <= 0) return false;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(units));
    return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in, length, out.data() + at,
                                 units) == units;
}

}  // namespace

std::optional<QString> decodeCodePageLossy(unsigned codePage, std::span<const uint8_t> bytes) {
    CPINFO info{};
    if (!::IsValidCodePage(codePage) || !::GetCPInfo(codePage, &info)) return std::nullopt;
    std::wstring out;
    if (bytes.empty() || decodeStrictly(codePage, bytes.data(), int(bytes.size()), out))
        return QString::fromStdWString(out);
    // Character by character: a lead byte takes the byte after it, and a byte that starts no
    // valid character becomes U+FFFD, decoding going on at the next byte.
    out.clear();
    for (size_t i = 0; i < bytes.size();) {
        const bool lead = info.MaxCharSize > 1 && ::IsDBCSLeadByteEx(codePage, bytes[i]);
        if (lead && i + 1 >= bytes.size()) {
            out.push_back(L'\uFFFD');  // an incomplete character at the end
            break;
        }
        const int length = lead ? 2 : 1;
        if (decodeStrictly(codePage, bytes.data() + i, length, out)) {
            i += static_cast<size_t>(length);
        } else {
            out.push_back(L'\uFFFD');
            ++i;
        }
    }
    return QString::fromStdWString(out);
}

}  // namespace plume
