// A picture written as PNG a band at a time must be the picture drawn whole: no seams where
// bands meet, no band drawn twice or shifted, every row written once.

#include "platform/picture/PictureIo.h"
#include "platform/picture/PngBands.h"
#include "support/FailingWrites.h"
#include "support/ReferenceImage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QImage>

namespace plume {
namespace {

QImage bandedPng(const Picture& picture, QSize size, int bandRows) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const auto written =
        writePictureAsPng(picture, size, buffer, qint64(size.width()) * 4 * bandRows,
                          600'000);  // bands of one row under the sanitizers take long
    EXPECT_TRUE(written) << written.error().toStdString();
    return QImage::fromData(bytes, "PNG");
}

// Real drawings of every kind we meet (text, clip regions, hatched and pattern brushes,
// raster operations, bitmaps, world transforms), each at two sizes and in bands of odd
// heights that cut through shapes, text and bitmaps. The painter clips thin lines to each
// band and steps a clipped line's pixels from the clipped end, which moves a few pixels of a
// slanted or dashed line; anything more (a band shifted, a hatch restarted at a seam, a row
// lost) differs in far more pixels than that.
TEST(PngBandsTest, BandedOutputEqualsTheWholeRendering) {
    const QString shared = test::sharedDataDir();
    QStringList files;
    for (const char* name : {"clipboard-captures/libreoffice-draw-7.4.emf",
                             "clipboard-captures/inkscape-1.2-placeable.wmf",
                             "clipboard-captures/libreoffice-draw-7.4.wmf"})
        files << shared + QLatin1Char('/') + QLatin1String(name);
    const QDir refs(shared + QStringLiteral("/metafile-refs"));
    for (const QString& name : refs.entryList({QStringLiteral("*.emf")}, QDir::Files, QDir::Name))
        files << refs.filePath(name);
    ASSERT_GE(files.size(), 5);
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        Expected<PicturePtr> picture = loadPicture(path);
        ASSERT_TRUE(picture) << picture.error().toStdString();
        for (QSize size : {picture.value()->size(), QSize(333, 217)}) {
            Expected<QImage> whole = renderPicture(*picture.value(), size);
            ASSERT_TRUE(whole);
            for (int bandRows : {1, 37, 100000}) {
                const test::ImageDifference d =
                    test::compareImages(bandedPng(*picture.value(), size, bandRows), whole.value());
                const qint64 allowed =
                    bandRows >= size.height() ? 0 : qint64(size.width()) * size.height() * 3 / 1000;
                EXPECT_LE(d.differing, allowed)
                    << d.first.toStdString() << " in bands of " << bandRows << " rows at "
                    << size.width() << "x" << size.height();
            }
        }
    }
}

TEST(PngBandsTest, RasterPicturesAreBandedToo) {
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x * 4, y * 5, 90));
    const PicturePtr picture = Picture::fromImage(image);
    EXPECT_EQ(test::compareImages(bandedPng(*picture, image.size(), 7), image).differing, 0);
}

TEST(PngBandsTest, FailuresAreReportedNotHidden) {
    QImage noise(300, 300, QImage::Format_RGB32);
    quint32 state = 7;
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, state = state * 69069u + 1);
    const PicturePtr picture = Picture::fromImage(noise);

    test::FailDevice full(4096);
    const auto written = writePictureAsPng(*picture, noise.size(), full, 300 * 4 * 10);
    ASSERT_FALSE(written);
    EXPECT_TRUE(written.error().contains(QStringLiteral("No space left on device")))
        << written.error().toStdString();

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(writePictureAsPng(*picture, QSize(kMaxRasterSide + 1, 10), buffer));
    EXPECT_FALSE(writePictureAsPng(*picture, QSize(0, 10), buffer));
    EXPECT_EQ(buffer.size(), 0);
}

}  // namespace
}  // namespace plume
