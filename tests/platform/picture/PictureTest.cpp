// Pictures: loading by content, saving in the picture's own format, own sizes, raster limits
// and rendering at own size and stretched.

#include "platform/base/Twips.h"
#include "platform/picture/Picture.h"
#include "platform/picture/PictureIo.h"
#include "support/TestSupport.h"

#include "builders/EmfBuilder.h"
#include "builders/WmfBuilder.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace plume {
namespace {

using test::readFileBytes;
using test::writeFileBytes;

// An EMF of the given own size (at 96 DPI) with a red rectangle in its top-left quarter.
QByteArray quarterEmf(int width, int height) {
    test::EmfBuilder emf(width, height);
    emf.createBrush(1, 0, 0x0000FF);  // BS_SOLID, COLORREF red
    emf.selectObject(1);
    emf.selectObject(0x80000008);  // NULL_PEN stock object
    emf.rectangle(0, 0, width / 2, height / 2);
    return emf.build();
}

QImage twoColourImage(QSize size, QColor left, QColor right) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, x < size.width() / 2 ? left : right);
    return image;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A BMP header (BITMAPFILEHEADER + BITMAPINFOHEADER) that claims a size but carries no pixels.
QByteArray bmpClaiming(int width, int height) {
    QByteArray b("BM");
    for (uint32_t v : {54u, 0u, 54u, 40u, uint32_t(width), uint32_t(height)}) test::appendU32(b, v);
    test::appendU16(b, 1);
    test::appendU16(b, 32);
    for (uint32_t v : {0u, 0u, 2835u, 2835u, 0u, 0u}) test::appendU32(b, v);
    return b;
}

double screenScale() {
    return 96.0 / (1440.0 / twipsPerPixel());
}

TEST(LoadPicture, ChoosesTheKindByContentNotByName) {
    QTemporaryDir dir;
    const QString emfNamedBmp = dir.filePath("drawing.bmp");
    const QString pngNamedWmf = dir.filePath("photo.wmf");
    const QString wmfNamedPng = dir.filePath("drawing.png");
    writeFileBytes(emfNamedBmp, quarterEmf(120, 80));
    writeFileBytes(pngNamedWmf, encoded(twoColourImage({7, 5}, Qt::red, Qt::blue), "PNG"));
    test::WmfBuilder wmf;
    wmf.setWindowOrg(0, 0).setWindowExt(1440, 720);
    wmf.rectangle(0, 0, 720, 360);
    writeFileBytes(wmfNamedPng, wmf.placeable(0, 0, 1440, 720, 1440));

    Expected<PicturePtr> emf = loadPicture(emfNamedBmp);
    ASSERT_TRUE(emf) << emf.error().toStdString();
    EXPECT_TRUE(emf.value()->isVector());
    EXPECT_EQ(emf.value()->document()->format(), metafile::Format::Emf);

    Expected<PicturePtr> png = loadPicture(pngNamedWmf);
    ASSERT_TRUE(png) << png.error().toStdString();
    EXPECT_EQ(png.value()->kind(), PictureKind::Raster);
    EXPECT_EQ(png.value()->size(), QSize(7, 5));

    Expected<PicturePtr> placeable = loadPicture(wmfNamedPng);
    ASSERT_TRUE(placeable) << placeable.error().toStdString();
    EXPECT_EQ(placeable.value()->document()->format(), metafile::Format::PlaceableWmf);
}

TEST(LoadPicture, OwnSizeOfVectorIsTheFrameAtScreenDpiAndOfRasterItsPixels) {
    const double scale = screenScale();
    Expected<PicturePtr> emf = pictureFromBytes(quarterEmf(480, 360));
    ASSERT_TRUE(emf) << emf.error().toStdString();
    EXPECT_NEAR(emf.value()->size().width(), 480 * scale, 1.0);
    EXPECT_NEAR(emf.value()->size().height(), 360 * scale, 1.0);

    // Bounds 2880 x 1440 units at 1440 units per inch: 2 x 1 inches.
    test::WmfBuilder wmf;
    wmf.setWindowOrg(0, 0).setWindowExt(2880, 1440);
    wmf.ellipse(0, 0, 2880, 1440);
    Expected<PicturePtr> placeable = pictureFromBytes(wmf.placeable(0, 0, 2880, 1440, 1440));
    ASSERT_TRUE(placeable) << placeable.error().toStdString();
    EXPECT_NEAR(placeable.value()->size().width(), 192 * scale, 1.0);
    EXPECT_NEAR(placeable.value()->size().height(), 96 * scale, 1.0);

    Expected<PicturePtr> bmp =
        pictureFromBytes(encoded(twoColourImage({33, 17}, Qt::red, Qt::blue), "BMP"));
    ASSERT_TRUE(bmp) << bmp.error().toStdString();
    EXPECT_EQ(bmp.value()->size(), QSize(33, 17));
    EXPECT_EQ(bmp.value()->image().pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(bmp.value()->image().pixelColor(32, 16), QColor(Qt::blue));
}

TEST(LoadPicture, NonPicturesAndBrokenFilesAreErrorsWithAMessage) {
    QTemporaryDir dir;
    const QString text = dir.filePath("note.wmf");
    writeFileBytes(text, "This is no picture at all.\r\n");
    const QString empty = dir.filePath("empty.emf");
    writeFileBytes(empty, {});
    const QString cutPng = dir.filePath("cut.png");
    writeFileBytes(cutPng, encoded(twoColourImage({40, 40}, Qt::red, Qt::blue), "PNG").left(30));
    const QString missing = dir.filePath("gone.wmf");

    for (const QString& path : {text, empty, cutPng, missing}) {
        Expected<PicturePtr> loaded = loadPicture(path);
        EXPECT_FALSE(loaded) << path.toStdString();
        EXPECT_EQ(loaded.value(), nullptr);
        EXPECT_TRUE(loaded.error().contains(QDir::toNativeSeparators(path)))
            << loaded.error().toStdString();
    }
    EXPECT_FALSE(loadPicture(dir.path())) << "a folder is no picture";
}

TEST(LoadPicture, RefusesSizesBeyondTheLimitsBeforeAllocating) {
    // 2 GB of pixels claimed by a 54-byte file: refused from the header alone.
    Expected<PicturePtr> huge = pictureFromBytes(bmpClaiming(25'000, 20'000));
    EXPECT_FALSE(huge);
    EXPECT_FALSE(pictureFromBytes(bmpClaiming(kMaxRasterSide + 1, 1)));

    // A file larger than 256 MiB is refused without being read (a sparse file costs no disk).
    QTemporaryDir dir;
    QFile big(dir.filePath("big.emf"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(quarterEmf(10, 10));
    ASSERT_TRUE(big.resize(kMaxPictureFileBytes + 1));
    big.close();
    Expected<PicturePtr> loaded = loadPicture(big.fileName());
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(loaded.error().contains(QString::number(kMaxPictureFileBytes)))
        << loaded.error().toStdString();
}

// A pipe or a device named like a drawing in the working folder would block the window or
// flood its memory: it is refused unread, and the message says what it is.
TEST(LoadPicture, PipesAndDevicesAreRefusedUnread) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("001.wmf");
    if (!test::makeFifo(fifo))
        GTEST_SKIP() << "this file system has no named pipes";
    Expected<PicturePtr> fromPipe = loadPicture(QString());
    EXPECT_TRUE(test::returnsWhileFifoSilent(fifo, [&] { fromPipe = loadPicture(fifo); }));
    for (const Expected<PicturePtr>& loaded : {fromPipe, loadPicture("/dev/zero")}) {
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(loaded.error().contains(QStringLiteral("通常のファイルではない")))
            << loaded.error().toStdString();
    }
}

TEST(SavePicture, VectorAsItsEmfBytesRasterAsBmpReplacingTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("001.wmf");
    writeFileBytes(path, QByteArray(5000, 'x'));  // an older, longer file of that name

    const QByteArray emfBytes = quarterEmf(64, 48);
    Expected<PicturePtr> vector = pictureFromBytes(emfBytes);
    ASSERT_TRUE(vector);
    ASSERT_TRUE(savePicture(*vector.value(), path));
    EXPECT_EQ(readFileBytes(path), emfBytes);

    const QImage image = twoColourImage({9, 4}, Qt::green, Qt::magenta);
    PicturePtr raster = Picture::fromImage(image);
    ASSERT_TRUE(savePicture(*raster, path));
    const QByteArray saved = readFileBytes(path);
    EXPECT_TRUE(saved.startsWith("BM"));
    QImage back;
    ASSERT_TRUE(back.loadFromData(saved, "BMP"));
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), image);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"001.wmf"})
        << "no temporary file is left behind";
}

TEST(SavePicture, TransparentPartsOfARasterBecomeWhiteInTheBitmap) {
    QImage image(4, 2, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixelColor(0, 0, Qt::blue);
    QTemporaryDir dir;
    const QString path = dir.filePath("alpha.bmp");
    ASSERT_TRUE(savePicture(*Picture::fromImage(image), path));
    Expected<PicturePtr> back = loadPicture(path);
    ASSERT_TRUE(back) << back.error().toStdString();
    EXPECT_EQ(back.value()->image().pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(back.value()->image().pixelColor(3, 1), QColor(Qt::white));
}

TEST(SavePicture, WmfPictureIsWrittenAsEnhancedMetafile) {
    test::WmfBuilder wmf;
    wmf.setWindowOrg(0, 0).setWindowExt(1440, 1440);
    wmf.createBrush(0, 0x00FF00);
    wmf.selectObject(0);
    wmf.rectangle(100, 100, 1000, 1000);
    Expected<PicturePtr> picture = pictureFromBytes(wmf.placeable(0, 0, 1440, 1440, 1440));
    ASSERT_TRUE(picture) << picture.error().toStdString();

    QTemporaryDir dir;
    const QString path = dir.filePath("002.wmf");
    Status saved = savePicture(*picture.value(), path);
    ASSERT_TRUE(saved) << saved.error().toStdString();
    Expected<PicturePtr> back = loadPicture(path);
    ASSERT_TRUE(back) << back.error().toStdString();
    EXPECT_EQ(back.value()->document()->format(), metafile::Format::Emf);
    EXPECT_NEAR(back.value()->size().width(), picture.value()->size().width(), 1);
    EXPECT_NEAR(back.value()->size().height(), picture.value()->size().height(), 1);
}

TEST(SavePicture, AFailedWriteIsReportedAndLeavesTheOldFile) {
    QTemporaryDir dir;
    PicturePtr raster = Picture::fromImage(twoColourImage({4, 4}, Qt::red, Qt::blue));
    Status intoMissingFolder = savePicture(*raster, dir.filePath("no/such/folder/003.wmf"));
    EXPECT_FALSE(intoMissingFolder);
    EXPECT_TRUE(intoMissingFolder.error().contains("003.wmf"));

    // A read-only folder: the old file stays whole (root may write anyway, so only then).
    const QString sub = dir.filePath("locked");
    ASSERT_TRUE(QDir().mkdir(sub));
    const QString path = sub + "/004.wmf";
    writeFileBytes(path, "old");
    QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner);
    Status saved = savePicture(*raster, path);
    QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!saved) {
        EXPECT_EQ(readFileBytes(path), QByteArray("old"));
    }
}

TEST(RasterLimits, SideAndAreaAreBothBounded) {
    EXPECT_TRUE(checkRasterSize({kMaxRasterSide, 1}));
    EXPECT_TRUE(checkRasterSize({1, kMaxRasterSide}));
    EXPECT_TRUE(checkRasterSize({11'000, 11'000}));  // 121 million pixels
    EXPECT_FALSE(checkRasterSize({kMaxRasterSide + 1, 1}));
    EXPECT_FALSE(checkRasterSize({1, kMaxRasterSide + 1}));
    EXPECT_FALSE(checkRasterSize({kMaxRasterSide, kMaxRasterSide}));  // 268 million pixels
    EXPECT_FALSE(checkRasterSize({0, 10}));
    EXPECT_FALSE(checkRasterSize({10, -1}));
    EXPECT_TRUE(checkRasterSize({20'000, 5}).error().contains("20000"));

    PicturePtr picture = Picture::fromImage(twoColourImage({2, 2}, Qt::red, Qt::blue));
    Expected<QImage> refused = renderPicture(*picture, {kMaxRasterSide, kMaxRasterSide});
    EXPECT_FALSE(refused);
    EXPECT_TRUE(refused.value().isNull());
}

TEST(RenderPicture, StretchesTheWholePictureOverTheSize) {
    PicturePtr raster = Picture::fromImage(twoColourImage({2, 1}, Qt::red, Qt::blue));
    Expected<QImage> image = renderPicture(*raster, {40, 10});
    ASSERT_TRUE(image);
    EXPECT_EQ(image.value().size(), QSize(40, 10));
    EXPECT_EQ(image.value().pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(image.value().pixelColor(5, 9), QColor(Qt::red));
    EXPECT_EQ(image.value().pixelColor(34, 0), QColor(Qt::blue));
    EXPECT_EQ(image.value().pixelColor(39, 9), QColor(Qt::blue));

    // The metafile's frame maps onto the whole target: the red top-left quarter of the
    // drawing covers the top-left quarter of any size it is rendered at.
    Expected<PicturePtr> vector = pictureFromBytes(quarterEmf(100, 100));
    ASSERT_TRUE(vector);
    for (QSize size : {QSize(100, 100), QSize(300, 120)}) {
        Expected<QImage> drawn = renderPicture(*vector.value(), size);
        ASSERT_TRUE(drawn);
        const QImage& img = drawn.value();
        const int w = size.width(), h = size.height();
        EXPECT_EQ(img.pixelColor(w / 4, h / 4), QColor(Qt::red)) << w;
        EXPECT_EQ(img.pixelColor(w * 3 / 4, h * 3 / 4), QColor(Qt::white)) << w;
        EXPECT_EQ(img.pixelColor(w * 3 / 4, h / 4), QColor(Qt::white)) << w;
        EXPECT_EQ(img.pixelColor(w / 4, h * 3 / 4), QColor(Qt::white)) << w;
    }
}

TEST(RenderPicture, OwnSizeFromTheTopLeftCutOffAtTheEdgesOnWhite) {
    QImage source(30, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) source.setPixelColor(x, y, QColor(x * 8, y * 12, 100));
    PicturePtr picture = Picture::fromImage(source);

    Expected<QImage> smaller = renderAtOwnSize(picture.get(), {20, 10});
    ASSERT_TRUE(smaller);
    EXPECT_EQ(smaller.value().convertToFormat(QImage::Format_RGB32), source.copy(0, 0, 20, 10));

    Expected<QImage> larger = renderAtOwnSize(picture.get(), {50, 40});
    ASSERT_TRUE(larger);
    EXPECT_EQ(larger.value().convertToFormat(QImage::Format_RGB32).copy(0, 0, 30, 20), source);
    EXPECT_EQ(larger.value().pixelColor(30, 0), QColor(Qt::white));
    EXPECT_EQ(larger.value().pixelColor(0, 20), QColor(Qt::white));
    EXPECT_EQ(larger.value().pixelColor(49, 39), QColor(Qt::white));

    Expected<QImage> nothing = renderAtOwnSize(nullptr, {5, 5});
    ASSERT_TRUE(nothing);
    EXPECT_EQ(nothing.value().pixelColor(2, 2), QColor(Qt::white));
}

TEST(RenderPicture, VectorAtOwnSizeIsNotScaledToTheView) {
    // A 200 x 200 drawing in a 100 x 50 view: only its top-left part shows, unscaled, so the
    // red quarter (0..100, 0..100) covers the whole view.
    Expected<PicturePtr> vector = pictureFromBytes(quarterEmf(200, 200));
    ASSERT_TRUE(vector);
    Expected<QImage> view = renderAtOwnSize(vector.value().get(), {100, 50});
    ASSERT_TRUE(view);
    EXPECT_EQ(view.value().pixelColor(50, 25), QColor(Qt::red));
    EXPECT_EQ(view.value().pixelColor(90, 45), QColor(Qt::red));
}

}  // namespace
}  // namespace plume
