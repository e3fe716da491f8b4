#include "platform/metafile/format/Dib.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <climits>
#include <vector>

namespace plume::metafile {
namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A BITMAPINFOHEADER (or a longer header of `headerSize` bytes, zero-filled past 40).
Bytes infoHeader(int32_t width, int32_t height, int bitCount, uint32_t compression,
                 uint32_t colorsUsed = 0, uint32_t headerSize = 40) {
    Bytes b;
    put32(b, headerSize);
    put32(b, static_cast<uint32_t>(width));
    put32(b, static_cast<uint32_t>(height));
    put16(b, 1);
    put16(b, static_cast<uint32_t>(bitCount));
    put32(b, compression);
    put32(b, 0);  // biSizeImage
    put32(b, 2835);
    put32(b, 2835);
    put32(b, colorsUsed);
    put32(b, 0);
    b.resize(headerSize, 0);
    return b;
}

void putQuad(Bytes& b, QRgb c) {
    b.push_back(static_cast<uint8_t>(qBlue(c)));
    b.push_back(static_cast<uint8_t>(qGreen(c)));
    b.push_back(static_cast<uint8_t>(qRed(c)));
    b.push_back(0);
}

std::optional<QImage> decode(const Bytes& info, const Bytes& bits, bool keepAlpha = false,
                             DibColorUsage usage = DibColorUsage::Rgb, QString* error = nullptr) {
    return decodeDib(info, bits, usage, keepAlpha, error);
}

constexpr QRgb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF,
               kBlack = 0xFF000000;

TEST(DibTest, IndexedDepthsReadRowsBottomUpAndTopDownWithPaddedRows) {
    // 1 bpp, 10 × 2, bottom-up: the first row in the data is the bottom row.
    Bytes info = infoHeader(10, 2, 1, 0);
    putQuad(info, kBlack);
    putQuad(info, kWhite);
    const Bytes bits1 = {0b10000000, 0b01000000, 0, 0,   // bottom: x=0 white, x=9 white
                         0b00000000, 0b00000000, 0, 0};  // top: all black
    auto image = decode(info, bits1);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(10, 2));
    EXPECT_EQ(image->pixel(0, 1), kWhite);
    EXPECT_EQ(image->pixel(9, 1), kWhite);
    EXPECT_EQ(image->pixel(1, 1), kBlack);
    EXPECT_EQ(image->pixel(0, 0), kBlack);

    // 4 bpp top-down, high nibble first, three-colour table.
    Bytes info4 = infoHeader(3, -2, 4, 0, 3);
    putQuad(info4, kRed);
    putQuad(info4, kGreen);
    putQuad(info4, kBlue);
    const Bytes bits4 = {0x01, 0x20, 0, 0, 0x22, 0x10, 0, 0};
    image = decode(info4, bits4);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kRed);
    EXPECT_EQ(image->pixel(1, 0), kGreen);
    EXPECT_EQ(image->pixel(2, 0), kBlue);
    EXPECT_EQ(image->pixel(2, 1), kGreen);

    // 8 bpp, an index past the colour table reads black; 3 pixels pad to 4 bytes.
    Bytes info8 = infoHeader(3, 1, 8, 0, 2);
    putQuad(info8, kRed);
    putQuad(info8, kGreen);
    image = decode(info8, Bytes{1, 0, 200, 0});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kGreen);
    EXPECT_EQ(image->pixel(1, 0), kRed);
    EXPECT_EQ(image->pixel(2, 0), kBlack);
}

TEST(DibTest, TrueColourDepthsAndBitFields) {
    // 24 bpp, width 3: 9 bytes of pixels padded to 12 per row.
    Bytes bits24 = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0xAA, 0xAA, 0xAA,
                    1, 2, 3,   4, 5,   6, 7,   8, 9, 0xAA, 0xAA, 0xAA};
    auto image = decode(infoHeader(3, -2, 24, 0), bits24);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kRed);
    EXPECT_EQ(image->pixel(1, 0), kGreen);
    EXPECT_EQ(image->pixel(2, 0), kBlue);
    EXPECT_EQ(image->pixel(2, 1), qRgb(9, 8, 7));

    // 16 bpp BI_RGB is 5-5-5: 0x7C00 is full red, 0x001F full blue.
    Bytes bits16;
    put16(bits16, 0x7C00);
    put16(bits16, 0x001F);
    image = decode(infoHeader(2, 1, 16, 0), bits16);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kRed);
    EXPECT_EQ(image->pixel(1, 0), kBlue);

    // 16 bpp BI_BITFIELDS 5-6-5 with the masks after a 40-byte header.
    Bytes info565 = infoHeader(2, 1, 16, 3);
    put32(info565, 0xF800);
    put32(info565, 0x07E0);
    put32(info565, 0x001F);
    Bytes bits565;
    put16(bits565, 0x07E0);
    put16(bits565, 0x8410);  // half of each channel
    image = decode(info565, bits565);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kGreen);
    EXPECT_NEAR(qRed(image->pixel(1, 0)), 132, 2);
    EXPECT_NEAR(qGreen(image->pixel(1, 0)), 130, 2);

    // 32 bpp BI_BITFIELDS in a V5 header (masks inside the header, alpha mask too), R and B
    // swapped against the usual order.
    Bytes infoV5 = infoHeader(1, 1, 32, 3, 0, 124);
    const uint32_t masks[4] = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k)
            infoV5[40 + 4 * i + k] = static_cast<uint8_t>(masks[i] >> (8 * k));
    const Bytes bits32 = {200, 100, 50, 128};
    image = decode(infoV5, bits32, true);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->format(), QImage::Format_ARGB32_Premultiplied);
    // Premultiplied colour is clamped to its alpha.
    EXPECT_EQ(reinterpret_cast<const QRgb*>(image->constScanLine(0))[0], qRgba(128, 100, 50, 128));
}

TEST(DibTest, ThirtyTwoBitAlphaOnlyWhenAsked) {
    const Bytes bits = {10, 20, 30, 40, 0, 0, 0, 0};
    auto opaque = decode(infoHeader(2, 1, 32, 0), bits, false);
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->pixel(0, 0), qRgb(30, 20, 10));
    EXPECT_EQ(qAlpha(opaque->pixel(1, 0)), 255);

    auto alpha = decode(infoHeader(2, 1, 32, 0), bits, true);
    ASSERT_TRUE(alpha);
    EXPECT_EQ(alpha->pixelColor(0, 0).alpha(), 40);
    EXPECT_EQ(qAlpha(alpha->pixel(1, 0)), 0);
    // Stored premultiplied: the raw pixel keeps the bytes as given.
    EXPECT_EQ(reinterpret_cast<const QRgb*>(alpha->constScanLine(0))[0], qRgba(30, 20, 10, 40));
}

TEST(DibTest, CoreHeaderAndPaletteColourUsage) {
    // BITMAPCOREHEADER: 16-bit sizes, RGBTRIPLE colour table.
    Bytes core;
    put32(core, 12);
    put16(core, 2);
    put16(core, 1);
    put16(core, 1);
    put16(core, 1);
    core.insert(core.end(), {0, 0, 255, 255, 0, 0});  // red, blue
    auto image = decode(core, Bytes{0b01000000, 0, 0, 0});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kRed);
    EXPECT_EQ(image->pixel(1, 0), kBlue);

    // DIB_PAL_COLORS: 16-bit indexes into the default palette (13 red, 16 blue; 99 past its 20
    // entries wraps round to 19, white, as GDI under Wine does).
    Bytes info = infoHeader(3, 1, 8, 0, 3);
    put16(info, 13);
    put16(info, 16);
    put16(info, 99);
    image = decode(info, Bytes{0, 1, 2, 0}, false, DibColorUsage::Palette);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kRed);
    EXPECT_EQ(image->pixel(1, 0), kBlue);
    EXPECT_EQ(image->pixel(2, 0), 0xFFFFFFFFu);
}

TEST(DibTest, Rle8RunsEscapesAndSkippedPixels) {
    Bytes info = infoHeader(6, 3, 8, 1, 3);
    putQuad(info, kRed);
    putQuad(info, kGreen);
    putQuad(info, kBlue);
    const Bytes rle = {
        3, 1,              // bottom row: three green
        0, 3, 2, 2, 0, 0,  // absolute run of three (blue, blue, red) padded to even
        0, 0,              // end of line
        0, 2, 2, 1,        // delta: two right, one up: to the top row, x = 2
        9, 2,              // a run of nine blue, clipped at the row's end
        0, 1,              // end of bitmap
        5, 0,              // never read
    };
    auto image = decode(info, rle);
    ASSERT_TRUE(image);
    const QImage& im = *image;
    EXPECT_EQ(im.pixel(0, 2), kGreen);
    EXPECT_EQ(im.pixel(2, 2), kGreen);
    EXPECT_EQ(im.pixel(3, 2), kBlue);
    EXPECT_EQ(im.pixel(5, 2), kRed);
    // The middle row was skipped by the delta: left untouched (transparent).
    EXPECT_EQ(qAlpha(im.pixel(0, 1)), 0);
    EXPECT_EQ(qAlpha(im.pixel(1, 0)), 0);
    EXPECT_EQ(im.pixel(2, 0), kBlue);
    EXPECT_EQ(im.pixel(5, 0), kBlue);
}

TEST(DibTest, Rle4NibblesAndTruncatedStreams) {
    Bytes info = infoHeader(5, -1, 4, 2, 3);
    putQuad(info, kRed);
    putQuad(info, kGreen);
    putQuad(info, kBlue);
    // A run alternates the two nibbles; an absolute run of 3 nibbles takes 2 bytes.
    auto image = decode(info, Bytes{2, 0x01, 0, 3, 0x21, 0x00});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kRed);
    EXPECT_EQ(image->pixel(1, 0), kGreen);
    EXPECT_EQ(image->pixel(2, 0), kBlue);
    EXPECT_EQ(image->pixel(3, 0), kGreen);
    EXPECT_EQ(image->pixel(4, 0), kRed);

    // Streams cut inside a delta or an absolute run stop there, keeping what came before.
    for (const Bytes& cut : {Bytes{1, 0x11, 0, 2, 3}, Bytes{1, 0x11, 0, 9, 0x22}, Bytes{1}}) {
        image = decode(info, cut);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), QSize(5, 1));
    }
    image = decode(info, Bytes{1, 0x11, 0, 9, 0x22});
    EXPECT_EQ(image->pixel(0, 0), kGreen);
    EXPECT_EQ(image->pixel(1, 0), kBlue);
    EXPECT_EQ(image->pixel(2, 0), kBlue);
    EXPECT_EQ(qAlpha(image->pixel(3, 0)), 0);
}

TEST(DibTest, MalformedHeadersAreRefusedWithAMessage) {
    struct Case {
        const char* what;
        Bytes info;
        Bytes bits;
        const char* messagePart;
    };
    Bytes bitfields24 = infoHeader(1, 1, 24, 3);
    Bytes masksMissing = infoHeader(1, 1, 16, 3);
    masksMissing.resize(44);
    Bytes truncated = infoHeader(1, 1, 8, 0);
    truncated.resize(30);
    const Case cases[] = {
        {"empty", {}, {}, "missing"},
        {"unknown header size", infoHeader(1, 1, 8, 0, 0, 20), {}, "header size"},
        {"truncated header", truncated, {}, "truncated"},
        {"zero width", infoHeader(0, 1, 24, 0), Bytes(4), "no pixels"},
        {"most negative height", infoHeader(1, INT_MIN, 24, 0), Bytes(4), "limit"},
        {"2 GB claimed", infoHeader(46'341, 46'341, 8, 0), Bytes(64), "limit"},
        {"too wide", infoHeader(16'385, 1, 1, 0), Bytes(4096), "limit"},
        {"bits short", infoHeader(4, 4, 24, 0), Bytes(40), "needs 48 bytes"},
        {"odd depth", infoHeader(1, 1, 7, 0), Bytes(4), "bit count"},
        {"rle8 at 4 bits", infoHeader(1, 1, 4, 1), Bytes(4), "run-length"},
        {"bitfields at 24 bits", bitfields24, Bytes(4), "bit-field"},
        {"masks missing", masksMissing, Bytes(4), "masks"},
        {"unknown compression", infoHeader(1, 1, 8, 77), Bytes(4), "compression"},
        {"rle claims far more than its data", infoHeader(16'000, 8'000, 8, 1), Bytes(8),
         "only 8 bytes"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(decode(c.info, c.bits, false, DibColorUsage::Rgb, &error)) << c.what;
        EXPECT_TRUE(error.contains(QLatin1String(c.messagePart)))
            << c.what << ": " << error.toStdString();
    }
}

TEST(DibTest, PackedDibFindsItsBitsAfterMasksAndColourTable) {
    Bytes packed = infoHeader(2, 1, 8, 0, 2);
    putQuad(packed, kBlue);
    putQuad(packed, kGreen);
    packed.insert(packed.end(), {1, 0, 0, 0});
    auto image = decodePackedDib(packed, DibColorUsage::Rgb, false);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kGreen);
    EXPECT_EQ(image->pixel(1, 0), kBlue);

    Bytes packed565 = infoHeader(1, 1, 16, 3);
    put32(packed565, 0xF800);
    put32(packed565, 0x07E0);
    put32(packed565, 0x001F);
    put16(packed565, 0xF800);
    put16(packed565, 0);
    image = decodePackedDib(packed565, DibColorUsage::Rgb, false);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kRed);

    // A header whose colour table runs past the block leaves no bits: refused.
    Bytes cut = infoHeader(2, 2, 8, 0, 256);
    QString error;
    EXPECT_FALSE(decodePackedDib(cut, DibColorUsage::Rgb, false, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(DibTest, EmbeddedPngAndDeviceBitmap) {
    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(kGreen);
    source.setPixel(2, 1, kRed);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(source.save(&buffer, "PNG"));
    const Bytes bits(png.begin(), png.end());
    auto image = decode(infoHeader(3, 2, 0, 5), bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kGreen);
    EXPECT_EQ(image->pixel(2, 1), kRed);
    QString error;
    EXPECT_FALSE(decode(infoHeader(3, 2, 0, 5), Bytes{1, 2, 3}, false, DibColorUsage::Rgb, &error));
    EXPECT_TRUE(error.contains(QLatin1String("PNG")));

    // Every PNG colour type comes out in the same pixel layout: palette, grey at 16 bits, and
    // colour with an alpha channel (kept premultiplied when asked).
    for (const QImage::Format format :
         {QImage::Format_Indexed8, QImage::Format_Grayscale16, QImage::Format_ARGB32}) {
        QImage kind = source.convertToFormat(format);
        if (format == QImage::Format_ARGB32) kind.setPixel(0, 1, qRgba(255, 0, 0, 128));
        QByteArray encoded;
        QBuffer out(&encoded);
        out.open(QIODevice::WriteOnly);
        ASSERT_TRUE(kind.save(&out, "PNG"));
        const auto decoded = decode(infoHeader(3, 2, 0, 5), Bytes(encoded.begin(), encoded.end()),
                                    format == QImage::Format_ARGB32);
        ASSERT_TRUE(decoded) << int(format);
        const QImage expected = kind.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (const QPoint p : {QPoint(0, 0), QPoint(2, 1), QPoint(0, 1)})
            EXPECT_EQ(decoded->pixel(p), expected.pixel(p)) << int(format);
    }

    // A damaged ending (the IEND chunk's type, or the chunk cut short) after whole image data
    // still gives the picture.
    Bytes damaged = bits;
    damaged[damaged.size() - 8] = 0;  // "IEND" -> "\0END"
    image = decode(infoHeader(3, 2, 0, 5), damaged);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(2, 1), kRed);
    damaged.resize(damaged.size() - 6);
    image = decode(infoHeader(3, 2, 0, 5), damaged);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(2, 1), kRed);

    // Bitmap16, 1 bpp, 9 × 2: rows top-down, two bytes wide.
    Bytes bitmap;
    put16(bitmap, 0);
    put16(bitmap, 9);
    put16(bitmap, 2);
    put16(bitmap, 2);
    bitmap.push_back(1);
    bitmap.push_back(1);
    bitmap.insert(bitmap.end(), {0x80, 0x80, 0x00, 0x00});
    image = decodeBitmap16(bitmap);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(0, 0), kWhite);
    EXPECT_EQ(image->pixel(8, 0), kWhite);
    EXPECT_EQ(image->pixel(1, 0), kBlack);
    EXPECT_EQ(image->pixel(0, 1), kBlack);
    bitmap.resize(bitmap.size() - 2);
    EXPECT_FALSE(decodeBitmap16(bitmap));
}

}  // namespace
}  // namespace plume::metafile
