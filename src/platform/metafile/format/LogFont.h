#pragma once

// A logical font as both metafile formats describe it (LOGFONTW, MS-EMF 2.2.13; Font object,
// MS-WMF 2.2.1.2). Kept in its own header so that the GDI sink interface and the font helpers
// (FontText.h) share one definition.

#include <QString>
#include <cstdint>

namespace plume::metafile {

struct LogFont {
    // Logical units. A negative height is the character (em) height, a positive one the cell
    // height (ascent + descent), zero a default size.
    int32_t height = 0, width = 0;
    // Tenths of a degree, counter-clockwise from the x axis.
    int32_t escapement = 0, orientation = 0;
    int32_t weight = 0;  // 0 (default), 100..900; 400 is normal, 700 bold
    uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0, outPrecision = 0,
            clipPrecision = 0, quality = 0, pitchAndFamily = 0;
    QString faceName;
};

}  // namespace plume::metafile
