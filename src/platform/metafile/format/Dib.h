#pragma once

// Device-independent bitmaps as metafiles carry them (BITMAPCOREHEADER, BITMAPINFOHEADER,
// BITMAPV4HEADER, BITMAPV5HEADER; MS-WMF 2.2.2.3 and 2.2.2.9) decoded into QImages, with every
// size, count and offset checked against the bytes that are really there.

#include "platform/metafile/format/Document.h"

#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace plume::metafile {

// How the colour table of a DIB is to be read (DIB_RGB_COLORS, DIB_PAL_COLORS, DIB_PAL_INDICES;
// MS-WMF 2.1.1.6): RGB quads, 16-bit indexes into the DC's palette, or no table at all (the
// pixels are palette indexes).
enum class DibColorUsage : uint32_t { Rgb = 0, Palette = 1, PaletteIndices = 2 };

// The usage a record's colour-usage field names; unknown values read as DIB_RGB_COLORS.
inline DibColorUsage dibColorUsage(uint32_t field) {
    return field == 1   ? DibColorUsage::Palette
           : field == 2 ? DibColorUsage::PaletteIndices
                        : DibColorUsage::Rgb;
}

// The logical palette that DIB_PAL_COLORS and DIB_PAL_INDICES bitmaps index: the DC's selected
// palette as colours. Empty means GDI's default palette (20 entries). An index past the end
// takes the entry it wraps round to.
using DibPalette = std::span<const QRgb>;

// The largest bitmap Plume decodes is the largest raster it makes (kMaxRasterSide,
// kMaxRasterPixels in Metafile.h).

// What a DIB header says about its bitmap, after validation.
struct DibHeader {
    int width = 0;
    int height = 0;        // always positive; see topDown
    bool topDown = false;  // a negative biHeight
    int bitCount = 0;
    uint32_t compression = 0;        // BI_RGB 0, BI_RLE8 1, BI_RLE4 2, BI_BITFIELDS 3, ...
    qsizetype headerSize = 0;        // bytes of the header structure itself
    qsizetype colorTableOffset = 0;  // after the header and any separate bit masks
    qsizetype colorTableEntries = 0;
    qsizetype infoSize = 0;  // header + masks + colour table: where a packed DIB's bits start
    uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha for BI_BITFIELDS
    qsizetype imageBytes = 0;          // bytes the uncompressed bits need (rows padded to 4)
};

// Reads and checks a DIB header (and where its masks and colour table lie). The colour table
// itself may be shorter than the header claims; decoding treats missing entries as black.
std::optional<DibHeader> parseDibHeader(std::span<const uint8_t> info, DibColorUsage usage,
                                        QString* error = nullptr);

// Decodes a bitmap whose header and colour table (`info`) and pixel bits lie apart, as EMF
// bitmap records store them. With keepAlpha, 32-bit pixels keep their alpha byte (the
// premultiplied source of AlphaBlend) and the image is ARGB32_Premultiplied; otherwise every
// pixel is opaque. Run-length-encoded bitmaps leave skipped pixels transparent, as GDI leaves
// the destination under them untouched.
std::optional<QImage> decodeDib(std::span<const uint8_t> info, std::span<const uint8_t> bits,
                                DibColorUsage usage, bool keepAlpha, QString* error = nullptr,
                                DibPalette palette = {});

// Decodes a packed DIB (header, colour table and bits in one block, as WMF records and the
// CF_DIB clipboard format hold it).
std::optional<QImage> decodePackedDib(std::span<const uint8_t> packed, DibColorUsage usage,
                                      bool keepAlpha, QString* error = nullptr,
                                      DibPalette palette = {});

// Decodes a device-dependent Bitmap16 object (MS-WMF 2.2.2.1) as old WMF BitBlt and pattern
// brush records carry it. Monochrome bitmaps come out black (0) and white (1).
std::optional<QImage> decodeBitmap16(std::span<const uint8_t> bitmap, QString* error = nullptr);

// The same Bitmap16 rewritten as a packed top-down DIB (BITMAPINFOHEADER, a black and white
// colour table for monochrome bitmaps, rows padded to 4 bytes), so that the old WMF bitmap
// records can be handed on as DIBs. Nothing when the bitmap is malformed or unsupported.
std::optional<std::vector<uint8_t>> bitmap16ToPackedDib(std::span<const uint8_t> bitmap,
                                                        QString* error = nullptr);

// The colour `color` takes in the bitmap's own pixel format: the nearest entry of its colour
// table, or each channel cut to the bits a high-colour pixel keeps (and widened again as
// decoding widens it). TransparentBlt compares source pixels with its colour so.
QRgb colorInDibFormat(std::span<const uint8_t> info, DibColorUsage usage, QRgb color,
                      DibPalette palette = {});

// The 20 colours of GDI's default palette, which DIB_PAL_COLORS indexes refer to when no
// other palette is selected.
QRgb defaultPaletteColor(int index);

// Entry `index` of a DC's palette (the default palette when `palette` is empty), wrapped round
// past its end.
QRgb paletteColor(DibPalette palette, uint32_t index);

}  // namespace plume::metafile
