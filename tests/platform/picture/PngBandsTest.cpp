// A picture written as PNG a band at a time must be the picture drawn whole: no seams where
// bands meet, no band drawn twice or shifted, every row written once.

#include "builders/EmfBuilder.h"
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

// Bands of one row under the sanitizers take long: the default limit is generous.
QImage bandedPng(const Picture& picture, QSize size, int bandRows, int timeLimitMs = 600'000,
                 bool* cutOff = nullptr) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const auto written = writePictureAsPng(picture, size, buffer,
                                           qint64(size.width()) * 4 * bandRows, timeLimitMs);
    EXPECT_TRUE(written) << written.error().toStdString();
    if (written && cutOff) *cutOff = written.value().cutOff;
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

// A picture cut by the time limit stops at the same record in every band: a stripe drawn
// after some of the budget's work runs down every row, the one after the budget down none.
// Bands given what the earlier ones left of the limit lost the first stripe further down.
TEST(PngBandsTest, EveryBandOfACutPictureStopsAtTheSameRecord) {
    QByteArray comment;
    test::appendU32(comment, 40'000);
    comment.append(40'000, 'x');
    test::EmfBuilder emf(100, 300);
    emf.createBrush(1, 0, 0).selectObject(1);
    for (int i = 0; i < 3; ++i) emf.record(70, comment);  // EMR_COMMENT, 120,000 of work
    emf.rectangle(0, 0, 10, 300);
    for (int i = 0; i < 3; ++i) emf.record(70, comment);
    emf.rectangle(90, 0, 100, 300);
    Expected<PicturePtr> picture = pictureFromBytes(emf.build());
    ASSERT_TRUE(picture) << picture.error().toStdString();
    bool cutOff = false;
    const QImage png = bandedPng(*picture.value(), QSize(100, 300), 1, 5, &cutOff);  // 200,000
    EXPECT_TRUE(cutOff);
    for (int y = 0; y < png.height(); ++y) {
        ASSERT_EQ(png.pixel(5, y), qRgb(0, 0, 0)) << y;
        ASSERT_EQ(png.pixel(95, y), qRgb(255, 255, 255)) << y;
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
