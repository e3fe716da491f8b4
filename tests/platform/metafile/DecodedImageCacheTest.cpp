#include "platform/metafile/format/DecodedImageCache.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace plume::metafile {
namespace {

QByteArray png(QRgb color) {
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

std::span<const uint8_t> span(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

// The same bytes are decoded once; other bytes of the same length are not taken for them.
TEST(DecodedImageCache, DecodesEachPayloadOnceAndNeverConfusesTwo) {
    const QByteArray red = png(qRgb(255, 0, 0)), blue = png(qRgb(0, 0, 255));
    ASSERT_EQ(red.size(), blue.size());
    int decodes = 0;
    const auto decode = [&](const QByteArray& bytes) {
        return decodedImage(span(bytes), [&] {
            ++decodes;
            return QImage::fromData(bytes);
        });
    };
    EXPECT_EQ(decode(red).pixel(0, 0), qRgb(255, 0, 0));
    const QByteArray redAgain(red.constData(), red.size());  // equal bytes elsewhere in memory
    EXPECT_EQ(decode(redAgain).pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(decodes, 1);
    EXPECT_EQ(decode(blue).pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(decodes, 2);
}

// An image too large to keep is decoded every time rather than holding the memory.
TEST(DecodedImageCache, LeavesOutImagesBeyondItsShare) {
    const QByteArray bytes("a large picture's bytes");
    int decodes = 0;
    for (int i = 0; i < 2; ++i)
        decodedImage(span(bytes), [&] {
            ++decodes;
            return QImage(2048, 2048, QImage::Format_ARGB32);  // 16 MiB, over a quarter
        });
    EXPECT_EQ(decodes, 2);
}

}  // namespace
}  // namespace plume::metafile
