#pragma once

// Text in the Windows code pages that fonts' character sets stand for (932 Japanese, 949
// Korean, 1252 Western, 10000 the Mac's Roman, ...), decoded by the platform's own converter:
// iconv on Linux (CodePagePosix.cpp), the system's code pages on Windows (CodePageWindows.cpp).

#include <QString>
#include <cstdint>
#include <optional>
#include <span>

namespace plume {

// Decodes `bytes` in the Windows code page `codePage`, putting U+FFFD for each byte that starts
// no valid character (decoding carries on at the next byte) and for an incomplete character at
// the end. Nothing when this system cannot convert the code page.
std::optional<QString> decodeCodePageLossy(unsigned codePage, std::span<const uint8_t> bytes);

}  // namespace plume
