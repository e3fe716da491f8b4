// The clipboard in process (the offscreen platform's clipboard and offers built here): which
// targets count as formats 3 and 14 and in what order, signature checks, WMF-only offers
// turned into EMF, and what Plume offers when it puts a picture on the clipboard.

#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardFormats.h"
#include "platform/picture/PictureIo.h"
#include "support/ReferenceImage.h"
#include "support/SlowPicture.h"
#include "support/TestSupport.h"

#include "builders/EmfBuilder.h"
#include "builders/WmfBuilder.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>
#include <QUrl>

namespace plume {
namespace {

constexpr int kHeavyDrawingFills = 2000;

using test::readFileBytes;

QByteArray capture(const char* name) {
    return readFileBytes(test::sharedDataDir() + "/clipboard-captures/" + name);
}

// An EMF of the given own size (96 DPI) whose body is `rectangles` filled rectangles, so that
// EMFs made with different counts differ in size and can be told apart.
QByteArray emfWith(int rectangles, int width = 120, int height = 80) {
    test::EmfBuilder emf(width, height);
    emf.createBrush(1, 0, 0x00FF0000);  // BS_SOLID, blue
    emf.selectObject(1);
    for (int i = 0; i < rectangles; ++i) emf.rectangle(i, i, width / 2 + i, height / 2 + i);
    return emf.build();
}

QByteArray pngBytes() {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::green);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

std::unique_ptr<QMimeData> offer(
    std::initializer_list<std::pair<QLatin1String, QByteArray>> items) {
    auto data = std::make_unique<QMimeData>();
    for (const auto& [target, bytes] : items) data->setData(QString(target), bytes);
    return data;
}

QByteArray emfOf(const Expected<PicturePtr>& picture) {
    return picture ? picture.value()->emfBytes() : QByteArray();
}

TEST(ClipboardSignatures, RealCapturesPassAndDamagedHeadersFail) {
    const QByteArray libreOfficeEmf = capture("libreoffice-draw-7.4.emf");
    const QByteArray inkscapeEmf = capture("inkscape-1.2.emf");
    const QByteArray placeable = capture("inkscape-1.2-placeable.wmf");
    const QByteArray raw = capture("libreoffice-draw-7.4.wmf");
    EXPECT_TRUE(hasEmfSignature(libreOfficeEmf));
    EXPECT_TRUE(hasEmfSignature(inkscapeEmf));
    EXPECT_TRUE(hasWmfSignature(placeable));
    EXPECT_TRUE(hasWmfSignature(raw));
    EXPECT_FALSE(hasEmfSignature(placeable));
    EXPECT_FALSE(hasWmfSignature(libreOfficeEmf));
    EXPECT_FALSE(hasEmfSignature(pngBytes()));
    EXPECT_FALSE(hasWmfSignature(pngBytes()));
    EXPECT_FALSE(hasEmfSignature({}));
    EXPECT_FALSE(hasWmfSignature({}));

    // Trailing bytes are harmless; a file cut short of its own size field is not whole.
    EXPECT_TRUE(hasEmfSignature(libreOfficeEmf + QByteArray(16, '\0')));
    EXPECT_FALSE(hasEmfSignature(libreOfficeEmf.left(libreOfficeEmf.size() - 4)));
    EXPECT_FALSE(hasEmfSignature(libreOfficeEmf.left(44)));
    EXPECT_FALSE(hasWmfSignature(raw.left(raw.size() - 2)));
    EXPECT_FALSE(hasWmfSignature(placeable.left(placeable.size() - 2)));

    QByteArray wrongType = libreOfficeEmf;
    wrongType[0] = 2;
    EXPECT_FALSE(hasEmfSignature(wrongType));
    QByteArray wrongSignature = libreOfficeEmf;
    wrongSignature[41] = 'X';
    EXPECT_FALSE(hasEmfSignature(wrongSignature));
    QByteArray wrongVersion = raw;
    wrongVersion[4] = 0x02;  // version 0x0302
    EXPECT_FALSE(hasWmfSignature(wrongVersion));
    QByteArray wrongHeaderSize = placeable;
    wrongHeaderSize[22 + 2] = 8;
    EXPECT_FALSE(hasWmfSignature(wrongHeaderSize));
}

TEST(ClipboardOffer, EachEmfTargetIsFormat14InOrderOfPreference) {
    // Target i carries an EMF with i + 1 rectangles, so the chosen one can be recognised.
    const auto& targets = target::kEmfTargets;
    for (size_t first = 0; first < targets.size(); ++first) {
        QMimeData data;
        for (size_t i = first; i < targets.size(); ++i)
            data.setData(QString(targets[i]), emfWith(int(i) + 1));
        EXPECT_TRUE(offerHasFormat(data, kFormatEnhancedMetafile)) << targets[first].data();
        EXPECT_FALSE(offerHasFormat(data, kFormatMetafilePicture)) << targets[first].data();
        EXPECT_EQ(emfOf(pictureFromOffer(data, kFormatEnhancedMetafile)), emfWith(int(first) + 1))
            << targets[first].data();
    }
}

TEST(ClipboardOffer, EachWmfTargetIsFormat3InOrderOfPreference) {
    const QByteArray placeable = capture("inkscape-1.2-placeable.wmf");
    const QByteArray raw = capture("libreoffice-draw-7.4.wmf");
    for (QLatin1String name : target::kWmfTargets) {
        auto data = offer({{name, placeable}});
        EXPECT_TRUE(offerHasFormat(*data, kFormatMetafilePicture)) << name.data();
        EXPECT_FALSE(offerHasFormat(*data, kFormatEnhancedMetafile)) << name.data();
    }
    // Format 3 hands over the WMF itself, the preferred one first.
    auto both = offer({{target::kWmf, placeable}, {target::kLibreOfficeWmf, raw}});
    Expected<PicturePtr> picture = pictureFromOffer(*both, kFormatMetafilePicture);
    ASSERT_TRUE(picture) << picture.error().toStdString();
    EXPECT_EQ(picture.value()->document()->bytes(), raw);
}

TEST(ClipboardOffer, NamesCountOnlyWhole) {
    const QByteArray emf = capture("libreoffice-draw-7.4.emf");
    for (const char* near : {"application/x-openoffice-emf", "image/X-EMF", "image/x-emf ",
                             "application/x-openoffice-emf;windows_formatname=Image EMF"}) {
        QMimeData data;
        data.setData(QString::fromLatin1(near), emf);
        EXPECT_FALSE(offerHasFormat(data, kFormatEnhancedMetafile)) << near;
        EXPECT_FALSE(pictureFromOffer(data, kFormatEnhancedMetafile)) << near;
    }
}

TEST(ClipboardOffer, BadBytesUnderARightNameAreNoPicture) {
    const QByteArray emf = capture("libreoffice-draw-7.4.emf");
    auto png = offer({{target::kLibreOfficeEmf, pngBytes()}, {target::kXWmf, pngBytes()}});
    EXPECT_FALSE(offerHasFormat(*png, kFormatEnhancedMetafile));
    EXPECT_FALSE(offerHasFormat(*png, kFormatMetafilePicture));
    Expected<PicturePtr> none = pictureFromOffer(*png, kFormatEnhancedMetafile);
    EXPECT_FALSE(none);
    EXPECT_FALSE(none.error().isEmpty());

    // A damaged offer under the preferred name gives way to a sound one under the next.
    auto mixed = offer({{target::kLibreOfficeEmf, emf.left(emf.size() / 2)},
                        {target::kXEmf, pngBytes()},
                        {target::kWineEnhMetafile, emf}});
    EXPECT_TRUE(offerHasFormat(*mixed, kFormatEnhancedMetafile));
    EXPECT_EQ(emfOf(pictureFromOffer(*mixed, kFormatEnhancedMetafile)), emf);

    // An empty offer under every name is nothing at all.
    QMimeData empty;
    for (QLatin1String name : target::kEmfTargets) empty.setData(QString(name), {});
    EXPECT_FALSE(offerHasFormat(empty, kFormatEnhancedMetafile));
}

TEST(ClipboardOffer, DataBeyondTheSizeLimitIsRefusedUnread) {
    // Left uninitialised, the memory is never touched unless the bytes are looked at.
    const QByteArray huge(kMaxClipboardBytes + 1, Qt::Uninitialized);
    const QByteArray emf = capture("libreoffice-draw-7.4.emf");
    auto alone = offer({{target::kLibreOfficeEmf, huge}});
    EXPECT_FALSE(offerHasFormat(*alone, kFormatEnhancedMetafile));
    Expected<PicturePtr> refused = pictureFromOffer(*alone, kFormatEnhancedMetafile);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().contains(QString::number(kMaxClipboardBytes)))
        << refused.error().toStdString();
    auto withNext = offer({{target::kLibreOfficeEmf, huge}, {target::kXEmf, emf}});
    EXPECT_EQ(emfOf(pictureFromOffer(*withNext, kFormatEnhancedMetafile)), emf);
}

TEST(ClipboardOffer, LibreOfficeWmfAloneGivesTheEmfItEmbeds) {
    auto data = offer({{target::kLibreOfficeWmf, capture("libreoffice-draw-7.4.wmf")}});
    EXPECT_FALSE(offerHasFormat(*data, kFormatEnhancedMetafile));
    Expected<PicturePtr> picture = pictureFromOffer(*data, kFormatEnhancedMetafile);
    ASSERT_TRUE(picture) << picture.error().toStdString();
    EXPECT_EQ(picture.value()->document()->format(), metafile::Format::Emf);
    // Byte for byte the EMF that LibreOffice offers beside it, and so its size too.
    EXPECT_EQ(picture.value()->emfBytes(), capture("libreoffice-draw-7.4.emf"));
}

TEST(ClipboardOffer, PlaceableWmfAloneIsConvertedToAnEmfThatDrawsTheSame) {
    const QByteArray wmf = capture("inkscape-1.2-placeable.wmf");
    auto data = offer({{target::kXWmf, wmf}});
    Expected<PicturePtr> picture = pictureFromOffer(*data, kFormatEnhancedMetafile);
    ASSERT_TRUE(picture) << picture.error().toStdString();
    const Picture& converted = *picture.value();
    EXPECT_EQ(converted.document()->format(), metafile::Format::Emf);
    EXPECT_TRUE(hasEmfSignature(converted.emfBytes()));

    Expected<PicturePtr> original = pictureFromBytes(wmf);
    ASSERT_TRUE(original) << original.error().toStdString();
    // The placeable bounds give the size.
    EXPECT_EQ(converted.size(), original.value()->size());
    const QSize size = original.value()->size();
    ASSERT_FALSE(size.isEmpty());
    Expected<QImage> expected = renderPicture(*original.value(), size);
    Expected<QImage> actual = renderPicture(converted, size);
    ASSERT_TRUE(expected && actual);
    EXPECT_LT(test::compareImages(expected.value(), actual.value(), 64).share(), 0.01);
}

TEST(ClipboardOffer, SyntheticRawWmfWithoutEmfIsConverted) {
    test::WmfBuilder wmf;
    wmf.setWindowOrg(0, 0).setWindowExt(2000, 1000);
    wmf.createBrush(0, 0x000000FF);
    wmf.selectObject(0);
    wmf.rectangle(0, 0, 1000, 500);
    auto data = offer({{target::kWmf, wmf.raw()}});
    EXPECT_TRUE(offerHasFormat(*data, kFormatMetafilePicture));
    Expected<PicturePtr> picture = pictureFromOffer(*data, kFormatEnhancedMetafile);
    ASSERT_TRUE(picture) << picture.error().toStdString();
    EXPECT_EQ(picture.value()->document()->format(), metafile::Format::Emf);
    EXPECT_FALSE(picture.value()->size().isEmpty());
}

// An owner that lists targets but answers none of them, slowly: Qt's X11 clipboard gives
// back empty data after its wait runs out.
// Offers every metafile target and answers each read with nothing, at once.
class SilentOffer : public QMimeData {
  public:
    QStringList formats() const override {
        QStringList names;
        for (QLatin1String name : target::kEmfTargets) names << QString(name);
        for (QLatin1String name : target::kWmfTargets) names << QString(name);
        return names;
    }
    mutable int asked = 0;

  protected:
    QVariant retrieveData(const QString&, QMetaType) const override {
        ++asked;
        return {};
    }
};

TEST(ClipboardOffer, AnOwnerThatDoesNotAnswerIsAskedOnceOnly) {
    // An empty answer that comes quickly is a refusal of that target: the next one is asked.
    SilentOffer refusing;
    EXPECT_FALSE(pictureFromOffer(refusing, kFormatEnhancedMetafile));
    EXPECT_EQ(refusing.asked,
              qsizetype(std::size(target::kEmfTargets) + std::size(target::kWmfTargets)));

    // One that comes after the silent-owner wait (here: no wait at all) ends the read.
    SilentOffer silent;
    Expected<PicturePtr> picture = pictureFromOffer(silent, kFormatEnhancedMetafile, 0);
    EXPECT_FALSE(picture);
    EXPECT_EQ(silent.asked, 1);
    EXPECT_TRUE(picture.error().contains(QStringLiteral("応答"))) << picture.error().toStdString();
}

TEST(ClipboardPictureOffer, VectorGoesAsEmfUnderEveryNameAsSvgAndAsRaster) {
    Expected<PicturePtr> picture = pictureFromBytes(capture("inkscape-1.2.emf"));
    ASSERT_TRUE(picture) << picture.error().toStdString();
    Expected<std::unique_ptr<QMimeData>> made = offerForPicture(*picture.value());
    ASSERT_TRUE(made) << made.error().toStdString();
    const QMimeData& data = *made.value();

    for (QLatin1String name : target::kOfferedEmfTargets)
        EXPECT_EQ(data.data(QString(name)), capture("inkscape-1.2.emf")) << name.data();
    ASSERT_TRUE(test::waitForRenditions(data));
    QSvgRenderer svg(data.data(QString(target::kSvg)));
    EXPECT_TRUE(svg.isValid());
    EXPECT_EQ(svg.viewBoxF(), QRectF(QPointF(0, 0), QSizeF(picture.value()->size())));
    ASSERT_TRUE(data.hasImage());
    const QImage raster = qvariant_cast<QImage>(data.imageData());
    EXPECT_EQ(raster.size(), picture.value()->size());

    // What is offered is read back as the same picture.
    EXPECT_EQ(emfOf(pictureFromOffer(data, kFormatEnhancedMetafile)), capture("inkscape-1.2.emf"));
}

TEST(ClipboardPictureOffer, AWmfPictureGoesAsItsEmfConversion) {
    Expected<PicturePtr> picture = pictureFromBytes(capture("inkscape-1.2-placeable.wmf"));
    ASSERT_TRUE(picture) << picture.error().toStdString();
    Expected<std::unique_ptr<QMimeData>> made = offerForPicture(*picture.value());
    ASSERT_TRUE(made) << made.error().toStdString();
    const QByteArray emf = made.value()->data(QString(target::kXEmf));
    EXPECT_TRUE(hasEmfSignature(emf));
    EXPECT_EQ(emf, picture.value()->emfBytes());
}

TEST(ClipboardPictureOffer, HugeVectorPictureGetsAReducedRaster) {
    // 100,000 x 50,000 pixels at 96 DPI: far beyond any raster Plume makes.
    test::EmfBuilder emf(100000, 50000);
    emf.rectangle(0, 0, 50000, 25000);
    Expected<PicturePtr> picture = pictureFromBytes(emf.build());
    ASSERT_TRUE(picture) << picture.error().toStdString();
    Expected<std::unique_ptr<QMimeData>> made = offerForPicture(*picture.value());
    ASSERT_TRUE(made) << made.error().toStdString();
    ASSERT_TRUE(test::waitForRenditions(*made.value()));
    const QImage raster = qvariant_cast<QImage>(made.value()->imageData());
    EXPECT_LE(std::max(raster.width(), raster.height()), kMaxRenditionSide);
    EXPECT_LE(qint64(raster.width()) * raster.height(), kMaxRenditionPixels);
    EXPECT_NEAR(double(raster.width()) / raster.height(), 2.0, 0.01);
}

// A preview stops drawing after a second; the renditions on the clipboard must not, or the
// other program gets the drawing without its last, topmost parts. Whether a second is enough
// depends on the machine: the drawing is hundreds of fills of a large picture, which a preview
// cannot finish here (the test says so when this machine is too quick for that), and its last
// shape covers the middle.
TEST(ClipboardPictureOffer, RenditionsAreDrawnWholeWhereAPreviewStopsShort) {
    const int width = 3000, height = 2000;
    test::EmfBuilder emf(width, height);
    emf.createBrush(1, 0, 0x00FF0000);  // BS_SOLID, blue
    emf.selectObject(1);
    for (int i = 0; i < kHeavyDrawingFills; ++i) emf.rectangle(i % 7, i % 5, width, height);
    emf.createBrush(2, 0, 0x0000FF00);  // green, drawn last
    emf.selectObject(2);
    emf.rectangle(width / 4, height / 4, width * 3 / 4, height * 3 / 4);
    Expected<PicturePtr> picture = pictureFromBytes(emf.build());
    ASSERT_TRUE(picture) << picture.error().toStdString();
    const QSize size = picture.value()->size();

    QImage preview(size, QImage::Format_RGB32);
    QPainter previewPainter(&preview);
    const metafile::RenderStats stats = metafile::render(
        *picture.value()->document(), previewPainter, QRectF(QPointF(0, 0), QSizeF(size)));
    previewPainter.end();
    if (!stats.cutOff) GTEST_SKIP() << "this machine draws the drawing within a preview's time";

    Expected<std::unique_ptr<QMimeData>> made = offerForPicture(*picture.value());
    ASSERT_TRUE(made) << made.error().toStdString();
    ASSERT_TRUE(test::waitForRenditions(*made.value()));
    const QImage raster = qvariant_cast<QImage>(made.value()->imageData());
    EXPECT_EQ(raster.pixelColor(raster.width() / 2, raster.height() / 2), QColor(0, 255, 0));
    QImage drawn(size / 10, QImage::Format_RGB32);
    drawn.fill(Qt::white);
    QPainter painter(&drawn);
    QSvgRenderer(made.value()->data(QString(target::kSvg))).render(&painter);
    painter.end();
    EXPECT_EQ(drawn.pixelColor(drawn.width() / 2, drawn.height() / 2), QColor(0, 255, 0));
}

// The copy is immediate and another program's request never waits for a drawing: the offer
// names a rendition only once it is drawn. Dropping the offer stops its drawings.
TEST(ClipboardPictureOffer, RenditionsAreDrawnInTheBackgroundAndOfferedWhenDrawn) {
    test::SlowPicture slow(test::SlowPicture::Stop::Ignored);
    Expected<std::unique_ptr<QMimeData>> made = offerForPicture(*slow.picture());
    ASSERT_TRUE(made) << made.error().toStdString();
    const QMimeData& data = *made.value();
    ASSERT_TRUE(slow.waitUntilStarted(1));
    EXPECT_EQ(data.data(QString(target::kXEmf)), slow.picture()->emfBytes());
    EXPECT_FALSE(data.hasFormat(QString(target::kSvg)));
    EXPECT_FALSE(data.hasImage());
    EXPECT_TRUE(data.data(QString(target::kSvg)).isEmpty());
    EXPECT_EQ(slow.finished(), 0) << "a request waited for the drawing";
    slow.release();
    ASSERT_TRUE(test::waitForRenditions(data));
    EXPECT_FALSE(slow.gaveUp());
    EXPECT_TRUE(QSvgRenderer(data.data(QString(target::kSvg))).isValid());
    const QImage raster = qvariant_cast<QImage>(data.imageData());
    EXPECT_EQ(raster.pixelColor(20, 10), QColor(Qt::red));

    test::SlowPicture dropped;
    made = offerForPicture(*dropped.picture());
    ASSERT_TRUE(dropped.waitUntilStarted(1));
    made.value().reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dropped.stopped() == 1; }, 30000));
    QTest::qWait(50);  // room for a next drawing to begin, were the offer's drawings going on
    EXPECT_EQ(dropped.started(), 1) << "the raster was drawn for an offer that is gone";
}

TEST(ClipboardPictureOffer, RasterGoesAsImageDataOnly) {
    Expected<PicturePtr> picture = pictureFromBytes(pngBytes());
    ASSERT_TRUE(picture) << picture.error().toStdString();
    Expected<std::unique_ptr<QMimeData>> made = offerForPicture(*picture.value());
    ASSERT_TRUE(made) << made.error().toStdString();
    const QMimeData& data = *made.value();
    ASSERT_TRUE(data.hasImage());
    EXPECT_EQ(qvariant_cast<QImage>(data.imageData()).size(), QSize(4, 4));
    for (QLatin1String name : target::kEmfTargets) EXPECT_FALSE(data.hasFormat(QString(name)));
    EXPECT_FALSE(data.hasFormat(QString(target::kSvg)));
}

// A drag offers the file beside the copy command's renditions; without a picture, the file
// alone.
TEST(ClipboardPictureOffer, AFilesDragOffersTheFileAndTheSameRenditions) {
    Expected<PicturePtr> picture = pictureFromBytes(capture("inkscape-1.2.emf"));
    ASSERT_TRUE(picture) << picture.error().toStdString();
    const QString path = QStringLiteral("/drawings/한글 100%/001.wmf");
    const std::unique_ptr<QMimeData> data = offerForFile(path, picture.value());
    EXPECT_EQ(data->urls(), QList<QUrl>{QUrl::fromLocalFile(path)});
    EXPECT_TRUE(data->formats().contains("text/uri-list"));
    for (QLatin1String name : target::kOfferedEmfTargets)
        EXPECT_EQ(data->data(QString(name)), capture("inkscape-1.2.emf")) << name.data();
    EXPECT_TRUE(test::waitForRenditions(*data));

    const std::unique_ptr<QMimeData> fileOnly = offerForFile(path, nullptr);
    EXPECT_EQ(fileOnly->formats(), QStringList{"text/uri-list"});
}

TEST(ClipboardOffer, AMetafileIsNamedByTheTargetsAlone) {
    EXPECT_FALSE(offerNamesMetafile(*offer({{QLatin1String("text/plain"), "x"}})));
    for (QLatin1String name : target::kEmfTargets)
        EXPECT_TRUE(offerNamesMetafile(*offer({{name, "not read"}}))) << name.data();
    for (QLatin1String name : target::kWmfTargets)
        EXPECT_TRUE(offerNamesMetafile(*offer({{name, "not read"}}))) << name.data();
}

class SystemClipboard : public ::testing::Test {
  protected:
    void SetUp() override { QGuiApplication::clipboard()->clear(); }
    void TearDown() override { QGuiApplication::clipboard()->clear(); }
};

TEST_F(SystemClipboard, SetGetAndClearRoundTrip) {
    const QByteArray emf = capture("libreoffice-draw-7.4.emf");
    Expected<PicturePtr> picture = pictureFromBytes(emf);
    ASSERT_TRUE(picture);
    EXPECT_FALSE(clipboardHasFormat(kFormatEnhancedMetafile));

    ASSERT_TRUE(clipboardSetPicture(picture.value()));
    EXPECT_TRUE(clipboardHasFormat(kFormatEnhancedMetafile));
    EXPECT_FALSE(clipboardHasFormat(kFormatMetafilePicture));
    EXPECT_EQ(emfOf(clipboardGetPicture(kFormatEnhancedMetafile)), emf);

    ASSERT_TRUE(clipboardClear());
    EXPECT_FALSE(clipboardHasFormat(kFormatEnhancedMetafile));
    EXPECT_FALSE(clipboardGetPicture(kFormatEnhancedMetafile));
    const QMimeData* left = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(!left || left->formats().isEmpty());
}

TEST_F(SystemClipboard, ClearEmptiesWhatAnotherSourcePutThere) {
    QGuiApplication::clipboard()->setText(QStringLiteral("someone else's text"));
    ASSERT_TRUE(clipboardClear());
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
}

TEST_F(SystemClipboard, NoPictureIsRefusedAndLeavesTheClipboardAsItWas) {
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    Status status = clipboardSetPicture(nullptr);
    EXPECT_FALSE(status);
    EXPECT_FALSE(status.error().isEmpty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    EXPECT_FALSE(clipboardGetPicture(kFormatEnhancedMetafile));
    EXPECT_FALSE(clipboardGetPicture(7));
}

TEST_F(SystemClipboard, OtherFormatNumbersAreNeverPresent) {
    ASSERT_TRUE(clipboardSetPicture(pictureFromBytes(emfWith(3)).value()));
    for (int format : {0, 2, 8, 15, -14}) EXPECT_FALSE(clipboardHasFormat(format)) << format;
}

}  // namespace
}  // namespace plume
