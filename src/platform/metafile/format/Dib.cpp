#include "platform/metafile/format/Dib.h"

#include "platform/metafile/format/BoundedReader.h"

#include <png.h>
#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace plume::metafile {
namespace {

// Compression values of BITMAPINFOHEADER (MS-WMF 2.1.1.7).
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiJpeg = 4;
constexpr uint32_t kBiPng = 5;
constexpr uint32_t kBiAlphaBitfields = 6;

constexpr qsizetype kCoreHeaderSize = 12;
constexpr qsizetype kInfoHeaderSize = 40;
constexpr qsizetype kLargestHeaderSize = 124;  // BITMAPV5HEADER

// A run-length bitmap may describe large blank areas with few bytes (end-of-line and delta
// escapes), but a tiny record claiming a huge bitmap is far more likely hostile. Below this
// many pixels any claim is believed; above it the data must hold at least one byte per 256.
constexpr qint64 kRlePixelsAlwaysAllowed = 4LL * 1024 * 1024;
constexpr qint64 kRlePixelsPerByte = 256;

void setError(QString* error, const QString& message) {
    if (error) *error = message;
}

// One channel of a BI_BITFIELDS pixel: where its mask sits and how to widen it to 8 bits.
struct MaskChannel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit MaskChannel(uint32_t m) : mask(m) {
        if (m == 0) return;
        shift = std::countr_zero(m);
        bits = std::min(32 - shift, std::popcount(m));
    }

    // Scales the masked value to 0..255; an absent channel reads as `absent`.
    int extract(uint32_t value, int absent) const {
        if (bits == 0) return absent;
        const uint64_t v = (value & mask) >> shift;
        if (bits >= 8) return static_cast<int>(v >> (bits - 8)) & 0xFF;
        const uint64_t max = (uint64_t{1} << bits) - 1;
        return static_cast<int>(std::min<uint64_t>(255, v * 255 / max));
    }
};

QRgb premultipliedPixel(int r, int g, int b, int a) {
    // Premultiplied colour may not exceed its alpha; bad source data is clamped rather than
    // handed to the painter as an invalid pixel.
    return qRgba(std::min(r, a), std::min(g, a), std::min(b, a), a);
}

// The colour table as QRgb values; entries the table does not really hold stay black.
// DIB_PAL_COLORS entries are indexes into the DC's palette; a DIB_PAL_INDICES bitmap has no
// table, its pixels index the palette directly.
std::array<QRgb, 256> buildColorTable(std::span<const uint8_t> info, const DibHeader& header,
                                      DibColorUsage usage, DibPalette palette) {
    std::array<QRgb, 256> table;
    table.fill(qRgb(0, 0, 0));
    if (header.bitCount > 8) return table;
    if (usage == DibColorUsage::PaletteIndices) {
        for (uint32_t i = 0; i < table.size(); ++i) table[i] = paletteColor(palette, i);
        return table;
    }
    const bool core = header.headerSize == kCoreHeaderSize;
    const qsizetype entrySize = usage == DibColorUsage::Palette ? 2 : core ? 3 : 4;
    const qsizetype entries = std::min<qsizetype>(header.colorTableEntries, 256);
    const BoundedReader in(info);
    for (qsizetype i = 0; i < entries; ++i) {
        const qsizetype at = header.colorTableOffset + i * entrySize;
        if (at + entrySize > static_cast<qsizetype>(info.size())) break;
        if (usage == DibColorUsage::Palette)
            table[i] = paletteColor(palette, in.u16At(size_t(at)));
        else
            table[i] = qRgb(info[at + 2], info[at + 1], info[at]);
    }
    return table;
}

// An embedded PNG cut at its last whole, well-formed chunk and closed with a proper IEND, so
// a picture whose image data is whole but whose ending is not (as some writers leave it)
// still decodes. Empty when there is no PNG signature.
QByteArray wellFormedPng(std::span<const uint8_t> bytes) {
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    static constexpr uint8_t kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin())) return {};
    const auto isLetter = [](uint8_t c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    };
    size_t at = 8;
    while (at + 12 <= bytes.size()) {
        const uint32_t length = (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) |
                                (uint32_t(bytes[at + 2]) << 8) | uint32_t(bytes[at + 3]);
        if (!std::all_of(bytes.begin() + at + 4, bytes.begin() + at + 8, isLetter)) break;
        if (length > bytes.size() - at - 12) break;
        const bool end = std::equal(kEnd + 4, kEnd + 8, bytes.begin() + at + 4);
        at += 12 + size_t{length};
        if (end) return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(at));
    }
    QByteArray closed(reinterpret_cast<const char*>(bytes.data()), qsizetype(at));
    closed.append(reinterpret_cast<const char*>(kEnd), 12);
    return closed;
}

// Embedded PNGs are read with libpng directly: Qt's reader leaves libpng's default error
// handler in place, which prints damaged data ("bad adaptive filter value") to stderr. Here
// errors and warnings land in PngSource::error and nothing is printed.
struct PngSource {
    const QByteArray* data = nullptr;
    qsizetype at = 0;
    char error[128] = {};
};

void pngRead(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > size_t(source->data->size() - source->at))
        png_error(png, "unexpected end of data");
    std::memcpy(out, source->data->constData() + source->at, length);
    source->at += qsizetype(length);
}

void pngError(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->error, sizeof source->error, "%s", message);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// Reads the header and asks for 8-bit pixels laid out as QImage::Format_ARGB32. No objects
// with destructors live between setjmp and the calls that may jump back.
bool readPngHeader(png_structp png, png_infop info, png_uint_32* width, png_uint_32* height) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, kMaxRasterSide, kMaxRasterSide);
    png_read_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
#else
    png_set_swap_alpha(png);
    png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
#endif
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == size_t{*width} * 4;
}

bool readPngRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

std::optional<QImage> decodePng(const QByteArray& data, QString* error) {
    PngSource source;
    source.data = &data;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, pngError, pngWarning);
    if (!png) return std::nullopt;
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &source, pngRead);
    png_uint_32 width = 0, height = 0;
    QImage image;
    std::vector<png_bytep> rows;
    bool ok = info && readPngHeader(png, info, &width, &height);
    if (ok && qint64{width} * height > kMaxRasterPixels) {
        setError(
            error,
            QStringLiteral("embedded image of %1 × %2 pixels is too large").arg(width).arg(height));
        png_destroy_read_struct(&png, &info, nullptr);
        return std::nullopt;
    }
    if (ok) {
        image = QImage(int(width), int(height), QImage::Format_ARGB32);
        ok = !image.isNull();
        if (ok) {
            rows.resize(height);
            for (png_uint_32 y = 0; y < height; ++y) rows[y] = image.scanLine(int(y));
            ok = readPngRows(png, rows.data());
        }
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!ok) {
        setError(error, QStringLiteral("embedded PNG image cannot be read: %1")
                            .arg(QString::fromUtf8(source.error)));
        return std::nullopt;
    }
    return image;
}

std::optional<QImage> decodeEmbedded(std::span<const uint8_t> bits, const DibHeader& header,
                                     bool keepAlpha, QString* error) {
    std::optional<QImage> decoded;
    if (header.compression == kBiPng) {
        const QByteArray data = wellFormedPng(bits);
        if (data.isEmpty()) {
            setError(error, QStringLiteral("embedded PNG image has no PNG signature"));
            return std::nullopt;
        }
        decoded = decodePng(data, error);
        if (!decoded) return std::nullopt;
    } else {
        QBuffer buffer;
        buffer.setData(QByteArray::fromRawData(reinterpret_cast<const char*>(bits.data()),
                                               static_cast<qsizetype>(bits.size())));
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "jpeg");
        const QSize size = reader.size();
        if (size.isValid() && (size.width() > kMaxRasterSide || size.height() > kMaxRasterSide ||
                               qint64{size.width()} * size.height() > kMaxRasterPixels)) {
            setError(error, QStringLiteral("embedded image of %1 × %2 pixels is too large")
                                .arg(size.width())
                                .arg(size.height()));
            return std::nullopt;
        }
        decoded = reader.read();
        if (decoded->isNull()) {
            setError(
                error,
                QStringLiteral("embedded JPEG image cannot be read: %1").arg(reader.errorString()));
            return std::nullopt;
        }
    }
    return decoded->convertToFormat(keepAlpha ? QImage::Format_ARGB32_Premultiplied
                                              : QImage::Format_RGB32);
}

// BI_RLE8 and BI_RLE4 (MS-WMF 2.1.1.7, "Compression"): runs, end-of-line, end-of-bitmap, delta
// and absolute runs. Every escape is checked against the data; a truncated stream ends the
// bitmap where it stops. Pixels no run touches stay transparent.
std::optional<QImage> decodeRle(std::span<const uint8_t> bits, const DibHeader& header,
                                const std::array<QRgb, 256>& table, QString* error) {
    const qint64 pixels = qint64{header.width} * header.height;
    if (pixels > kRlePixelsAlwaysAllowed &&
        pixels / kRlePixelsPerByte > static_cast<qint64>(bits.size())) {
        setError(error, QStringLiteral("run-length bitmap of %1 × %2 pixels has only %3 bytes")
                            .arg(header.width)
                            .arg(header.height)
                            .arg(bits.size()));
        return std::nullopt;
    }
    QImage image(header.width, header.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        setError(
            error,
            QStringLiteral("no memory for a %1 × %2 bitmap").arg(header.width).arg(header.height));
        return std::nullopt;
    }
    image.fill(Qt::transparent);

    const bool rle8 = header.compression == kBiRle8;
    const int width = header.width;
    const int height = header.height;
    int x = 0;
    int y = 0;  // counted from the bottom row, as the stream is
    QRgb* row = nullptr;
    auto selectRow = [&] {
        row = y < height
                  ? reinterpret_cast<QRgb*>(image.scanLine(header.topDown ? y : height - 1 - y))
                  : nullptr;
    };
    selectRow();
    auto put = [&](int index) {
        if (row && x < width) row[x] = table[static_cast<size_t>(index)];
        if (x < width) ++x;
    };

    const qsizetype size = static_cast<qsizetype>(bits.size());
    qsizetype pos = 0;
    while (pos + 2 <= size && y < height) {
        const int count = bits[pos];
        const int value = bits[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                put(rle8 ? value : (i & 1) ? (value & 0x0F) : (value >> 4));
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
            selectRow();
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {  // delta: move right and up
            if (pos + 2 > size) break;
            x = std::min(width, x + bits[pos]);
            y += bits[pos + 1];
            pos += 2;
            selectRow();
        } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
            const qsizetype bytes = rle8 ? value : (value + 1) / 2;
            const qsizetype padded = (bytes + 1) & ~qsizetype{1};
            const qsizetype available = std::min(bytes, size - pos);
            for (int i = 0; i < value; ++i) {
                const qsizetype at = rle8 ? i : i / 2;
                if (at >= available) break;
                const int byte = bits[pos + at];
                put(rle8 ? byte : (i & 1) ? (byte & 0x0F) : (byte >> 4));
            }
            if (available < bytes) break;
            pos += padded;
        }
    }
    return image;
}

std::optional<QImage> decodeUncompressed(std::span<const uint8_t> bits, const DibHeader& header,
                                         const std::array<QRgb, 256>& table, bool keepAlpha,
                                         QString* error) {
    const int width = header.width;
    const int height = header.height;
    const qsizetype stride = ((qsizetype{width} * header.bitCount + 31) / 32) * 4;
    const qsizetype lastRowBytes = (qsizetype{width} * header.bitCount + 7) / 8;
    // The last row's padding is often left out by writers; anything shorter is refused.
    const qsizetype needed = stride * (height - 1) + lastRowBytes;
    if (static_cast<qsizetype>(bits.size()) < needed) {
        setError(error, QStringLiteral("bitmap of %1 × %2 pixels at %3 bits needs %4 bytes, has %5")
                            .arg(width)
                            .arg(height)
                            .arg(header.bitCount)
                            .arg(needed)
                            .arg(bits.size()));
        return std::nullopt;
    }

    const bool bitfields =
        header.compression == kBiBitfields || header.compression == kBiAlphaBitfields;
    uint32_t masks[4] = {header.masks[0], header.masks[1], header.masks[2], header.masks[3]};
    if (!bitfields) {
        if (header.bitCount == 16) {
            masks[0] = 0x7C00;  // 5-5-5
            masks[1] = 0x03E0;
            masks[2] = 0x001F;
        } else {
            masks[0] = 0x00FF0000;
            masks[1] = 0x0000FF00;
            masks[2] = 0x000000FF;
        }
        masks[3] = header.bitCount == 32 ? 0xFF000000u : 0;
    }
    if (bitfields && keepAlpha && header.bitCount == 32 && masks[3] == 0 &&
        std::popcount(~(masks[0] | masks[1] | masks[2])) == 8) {
        // Colour masks without an alpha mask: AlphaBlend takes the byte the colours leave
        // free as alpha, as it does for BI_RGB (icons are stored so, with the usual masks).
        masks[3] = ~(masks[0] | masks[1] | masks[2]);
    }
    const MaskChannel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    const bool withAlpha = keepAlpha && alpha.bits > 0 && header.bitCount >= 16;

    QImage image(width, height,
                 withAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull()) {
        setError(error, QStringLiteral("no memory for a %1 × %2 bitmap").arg(width).arg(height));
        return std::nullopt;
    }

    for (int r = 0; r < height; ++r) {
        const int sourceRow = header.topDown ? r : height - 1 - r;
        const uint8_t* src = bits.data() + qsizetype{sourceRow} * stride;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(r));
        switch (header.bitCount) {
            case 1:
                for (int x = 0; x < width; ++x) dst[x] = table[(src[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                for (int x = 0; x < width; ++x)
                    dst[x] = table[(x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4)];
                break;
            case 8:
                for (int x = 0; x < width; ++x) dst[x] = table[src[x]];
                break;
            case 24:
                for (int x = 0; x < width; ++x)
                    dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                break;
            case 16:
            case 32: {
                const int bytes = header.bitCount / 8;
                for (int x = 0; x < width; ++x) {
                    const uint8_t* p = src + qsizetype{x} * bytes;
                    const uint32_t v = bytes == 2
                                           ? uint32_t{p[0]} | (uint32_t{p[1]} << 8)
                                           : uint32_t{p[0]} | (uint32_t{p[1]} << 8) |
                                                 (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
                    const int rr = red.extract(v, 0), gg = green.extract(v, 0),
                              bb = blue.extract(v, 0);
                    dst[x] = withAlpha ? premultipliedPixel(rr, gg, bb, alpha.extract(v, 255))
                                       : qRgb(rr, gg, bb);
                }
                break;
            }
            default:
                break;
        }
    }
    return image;
}

}  // namespace

QRgb defaultPaletteColor(int index) {
    // GDI's DEFAULT_PALETTE: the 20 static colours, in order.
    static constexpr QRgb kColors[20] = {
        0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080,
        0xFFC0C0C0, 0xFFC0DCC0, 0xFFA6CAF0, 0xFFFFFBF0, 0xFFA0A0A4, 0xFF808080, 0xFFFF0000,
        0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
    return index >= 0 && index < 20 ? kColors[index] : kColors[0];
}

QRgb colorInDibFormat(std::span<const uint8_t> info, DibColorUsage usage, QRgb color,
                      DibPalette palette) {
    const std::optional<DibHeader> header = parseDibHeader(info, usage);
    if (!header || header->compression == kBiJpeg || header->compression == kBiPng) return color;
    if (header->bitCount <= 8) {
        // The entry of the colour table nearest to the colour (the first of equals).
        const std::array<QRgb, 256> table = buildColorTable(info, *header, usage, palette);
        const qsizetype entries = std::min<qsizetype>(header->colorTableEntries, 256);
        QRgb best = table[0];
        int bestDistance = INT_MAX;
        for (qsizetype i = 0; i < entries && bestDistance > 0; ++i) {
            const int dr = qRed(table[i]) - qRed(color), dg = qGreen(table[i]) - qGreen(color),
                      db = qBlue(table[i]) - qBlue(color);
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = table[i];
            }
        }
        return best;
    }
    if (header->bitCount != 16 && header->compression != kBiBitfields &&
        header->compression != kBiAlphaBitfields)
        return color;
    // High colour: each channel cut to the bits the pixel keeps, and widened as decoding does.
    uint32_t masks[3] = {header->masks[0], header->masks[1], header->masks[2]};
    if (header->compression == kBiRgb) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    const int channels[3] = {qRed(color), qGreen(color), qBlue(color)};
    int out[3];
    for (int c = 0; c < 3; ++c) {
        const MaskChannel channel(masks[c]);
        if (channel.bits == 0) {
            out[c] = 0;
            continue;
        }
        const int kept = std::min(channel.bits, 8);
        const uint64_t value = uint64_t(channels[c] >> (8 - kept)) << (channel.bits - kept);
        out[c] = channel.extract(uint32_t(value << channel.shift), 0);
    }
    return qRgb(out[0], out[1], out[2]);
}

QRgb paletteColor(DibPalette palette, uint32_t index) {
    if (palette.empty()) return defaultPaletteColor(int(index % 20));
    return palette[index % palette.size()];
}

std::optional<DibHeader> parseDibHeader(std::span<const uint8_t> info, DibColorUsage usage,
                                        QString* error) {
    const qsizetype size = static_cast<qsizetype>(info.size());
    if (size < 4) {
        setError(error, QStringLiteral("bitmap header missing"));
        return std::nullopt;
    }
    const BoundedReader in(info);
    DibHeader h;
    const uint32_t headerSize = in.u32At(0);
    qint64 width = 0;
    qint64 height = 0;
    uint32_t colorsUsed = 0;
    if (headerSize == kCoreHeaderSize) {
        // BITMAPCOREHEADER (MS-WMF 2.2.2.2): 16-bit sizes, always bottom-up.
        if (size < kCoreHeaderSize) {
            setError(error, QStringLiteral("bitmap core header truncated"));
            return std::nullopt;
        }
        h.headerSize = kCoreHeaderSize;
        width = in.u16At(4);
        height = in.u16At(6);
        h.bitCount = in.u16At(10);
    } else if (headerSize >= kInfoHeaderSize && headerSize <= kLargestHeaderSize) {
        // BITMAPINFOHEADER (MS-WMF 2.2.2.3) and its V2..V5 extensions.
        if (size < static_cast<qsizetype>(headerSize)) {
            setError(error, QStringLiteral("bitmap header truncated: %1 of %2 bytes")
                                .arg(size)
                                .arg(headerSize));
            return std::nullopt;
        }
        h.headerSize = headerSize;
        width = static_cast<int32_t>(in.u32At(4));
        height = static_cast<int32_t>(in.u32At(8));
        h.bitCount = in.u16At(14);
        h.compression = in.u32At(16);
        colorsUsed = in.u32At(32);
    } else {
        setError(error, QStringLiteral("unknown bitmap header size %1").arg(headerSize));
        return std::nullopt;
    }

    h.topDown = height < 0;
    // INT32_MIN has no positive counterpart; it is far beyond the size limit anyway.
    if (height == INT32_MIN) height = INT32_MAX;
    height = height < 0 ? -height : height;
    if (width <= 0 || height <= 0) {
        setError(error, QStringLiteral("bitmap has no pixels (%1 × %2)").arg(width).arg(height));
        return std::nullopt;
    }
    if (width > kMaxRasterSide || height > kMaxRasterSide || width * height > kMaxRasterPixels) {
        setError(error, QStringLiteral("bitmap of %1 × %2 pixels is larger than the limit of "
                                       "16,384 pixels a side and 128 megapixels")
                            .arg(width)
                            .arg(height));
        return std::nullopt;
    }
    h.width = static_cast<int>(width);
    h.height = static_cast<int>(height);

    const bool embedded = h.compression == kBiJpeg || h.compression == kBiPng;
    switch (h.compression) {
        case kBiRgb:
            if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 16 &&
                h.bitCount != 24 && h.bitCount != 32) {
                setError(error, QStringLiteral("unsupported bit count %1").arg(h.bitCount));
                return std::nullopt;
            }
            break;
        case kBiRle8:
        case kBiRle4:
            if (h.bitCount != (h.compression == kBiRle8 ? 8 : 4)) {
                setError(
                    error,
                    QStringLiteral("run-length bitmap with %1 bits per pixel").arg(h.bitCount));
                return std::nullopt;
            }
            break;
        case kBiBitfields:
        case kBiAlphaBitfields:
            if (h.bitCount != 16 && h.bitCount != 32) {
                setError(error,
                         QStringLiteral("bit-field bitmap with %1 bits per pixel").arg(h.bitCount));
                return std::nullopt;
            }
            break;
        case kBiJpeg:
        case kBiPng:
            break;
        default:
            setError(error, QStringLiteral("unsupported bitmap compression %1").arg(h.compression));
            return std::nullopt;
    }

    h.colorTableOffset = h.headerSize;
    if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
        const int maskCount = h.compression == kBiAlphaBitfields ? 4 : 3;
        // From BITMAPV2INFOHEADER (52 bytes) on the masks are part of the header; a plain
        // BITMAPINFOHEADER is followed by them.
        const qsizetype masksAt = kInfoHeaderSize;
        const qsizetype inHeader = (h.headerSize - kInfoHeaderSize) / 4;
        if (inHeader < maskCount) h.colorTableOffset = kInfoHeaderSize + maskCount * 4;
        if (size < masksAt + maskCount * 4) {
            setError(error, QStringLiteral("bitmap colour masks missing"));
            return std::nullopt;
        }
        for (int i = 0; i < maskCount; ++i) h.masks[i] = in.u32At(masksAt + 4 * i);
        // A V3+ header carries an alpha mask even with BI_BITFIELDS.
        if (maskCount == 3 && inHeader >= 4) h.masks[3] = in.u32At(masksAt + 12);
    }

    if (h.bitCount >= 1 && h.bitCount <= 8) {
        const qsizetype full = qsizetype{1} << h.bitCount;
        h.colorTableEntries = colorsUsed == 0 ? full : std::min<qsizetype>(colorsUsed, full);
    } else if (h.headerSize != kCoreHeaderSize && !embedded) {
        // High-colour bitmaps may carry an optimisation palette that only takes up room.
        h.colorTableEntries = std::min<qsizetype>(colorsUsed, 256);
    }
    if (usage == DibColorUsage::PaletteIndices) h.colorTableEntries = 0;  // no table at all
    const qsizetype entrySize = usage == DibColorUsage::Palette   ? 2
                                : h.headerSize == kCoreHeaderSize ? 3
                                                                  : 4;
    h.infoSize = h.colorTableOffset + h.colorTableEntries * entrySize;
    h.imageBytes = ((qsizetype{h.width} * h.bitCount + 31) / 32) * 4 * h.height;
    return h;
}

std::optional<QImage> decodeDib(std::span<const uint8_t> info, std::span<const uint8_t> bits,
                                DibColorUsage usage, bool keepAlpha, QString* error,
                                DibPalette palette) {
    const std::optional<DibHeader> header = parseDibHeader(info, usage, error);
    if (!header) return std::nullopt;
    if (header->compression == kBiJpeg || header->compression == kBiPng)
        return decodeEmbedded(bits, *header, keepAlpha, error);
    const std::array<QRgb, 256> table = buildColorTable(info, *header, usage, palette);
    if (header->compression == kBiRle8 || header->compression == kBiRle4)
        return decodeRle(bits, *header, table, error);
    return decodeUncompressed(bits, *header, table, keepAlpha, error);
}

std::optional<QImage> decodePackedDib(std::span<const uint8_t> packed, DibColorUsage usage,
                                      bool keepAlpha, QString* error, DibPalette palette) {
    const std::optional<DibHeader> header = parseDibHeader(packed, usage, error);
    if (!header) return std::nullopt;
    const size_t split = std::min(static_cast<size_t>(header->infoSize), packed.size());
    return decodeDib(packed.first(split), packed.subspan(split), usage, keepAlpha, error, palette);
}

std::optional<std::vector<uint8_t>> bitmap16ToPackedDib(std::span<const uint8_t> bitmap,
                                                        QString* error) {
    // Bitmap16 (MS-WMF 2.2.2.1): Type, Width, Height, WidthBytes (16-bit each), Planes and
    // BitsPixel (8-bit each), then the rows top-down, each WidthBytes long.
    constexpr qsizetype kHeader = 10;
    if (static_cast<qsizetype>(bitmap.size()) < kHeader) {
        setError(error, QStringLiteral("bitmap header truncated"));
        return std::nullopt;
    }
    const BoundedReader in(bitmap);
    const int width = static_cast<int16_t>(in.u16At(2));
    const int height = static_cast<int16_t>(in.u16At(4));
    const int widthBytes = static_cast<int16_t>(in.u16At(6));
    const int planes = bitmap[8];
    const int bitsPixel = bitmap[9];
    if (width <= 0 || height <= 0) {
        setError(error, QStringLiteral("bitmap has no pixels (%1 × %2)").arg(width).arg(height));
        return std::nullopt;
    }
    if (width > kMaxRasterSide || height > kMaxRasterSide ||
        qint64{width} * height > kMaxRasterPixels) {
        setError(error, QStringLiteral("bitmap of %1 × %2 pixels is larger than the limit of "
                                       "16,384 pixels a side and 128 megapixels")
                            .arg(width)
                            .arg(height));
        return std::nullopt;
    }
    if (planes != 1 || (bitsPixel != 1 && bitsPixel != 24 && bitsPixel != 32)) {
        setError(error, QStringLiteral("unsupported device bitmap: %1 planes, %2 bits")
                            .arg(planes)
                            .arg(bitsPixel));
        return std::nullopt;
    }
    const qsizetype rowBytes = (qsizetype{width} * bitsPixel + 7) / 8;
    const qsizetype minStride = (qsizetype{width} * bitsPixel + 15) / 16 * 2;
    const qsizetype stride = std::max<qsizetype>(minStride, widthBytes);
    const auto bits = bitmap.subspan(kHeader);
    if (static_cast<qsizetype>(bits.size()) < stride * (height - 1) + rowBytes) {
        setError(error,
                 QStringLiteral("bitmap of %1 × %2 pixels is missing data").arg(width).arg(height));
        return std::nullopt;
    }
    const qsizetype dibStride = (qsizetype{width} * bitsPixel + 31) / 32 * 4;
    std::vector<uint8_t> dib;
    auto put32 = [&dib](uint32_t v) {
        for (int i = 0; i < 4; ++i) dib.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put32(40);
    put32(static_cast<uint32_t>(width));
    put32(static_cast<uint32_t>(-height));  // rows are stored top-down
    put32(1 | (static_cast<uint32_t>(bitsPixel) << 16));
    put32(kBiRgb);
    put32(static_cast<uint32_t>(dibStride * height));
    put32(0);
    put32(0);
    put32(bitsPixel == 1 ? 2 : 0);
    put32(0);
    if (bitsPixel == 1) {
        put32(0x00000000);
        put32(0x00FFFFFF);
    }
    const size_t pixelsAt = dib.size();
    dib.resize(pixelsAt + static_cast<size_t>(dibStride * height), 0);
    for (int y = 0; y < height; ++y)
        std::copy_n(bits.data() + qsizetype{y} * stride, rowBytes,
                    dib.data() + pixelsAt + static_cast<size_t>(qsizetype{y} * dibStride));
    return dib;
}

std::optional<QImage> decodeBitmap16(std::span<const uint8_t> bitmap, QString* error) {
    const std::optional<std::vector<uint8_t>> dib = bitmap16ToPackedDib(bitmap, error);
    if (!dib) return std::nullopt;
    return decodePackedDib(*dib, DibColorUsage::Rgb, false, error);
}

}  // namespace plume::metafile
