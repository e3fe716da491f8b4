// The three picture surfaces: the preview (own size, cut off, on white), the image area
// (stretched) and the invisible drawing surface with its persistent bitmap.

#include "platform/base/Twips.h"
#include "platform/widgets/DrawingSurface.h"
#include "platform/widgets/ImageArea.h"
#include "platform/widgets/PreviewSurface.h"
#include "support/SlowPicture.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

namespace plume {
namespace {

// A picture whose every pixel is different, so that any shift or scale shows.
PicturePtr gradientPicture(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, QColor((x * 7) % 256, (y * 5) % 256, (x + y) % 256));
    return Picture::fromImage(image);
}

PicturePtr solidPicture(QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return Picture::fromImage(image);
}

QImage rgb(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

// What the view shows once the drawing of its present picture and size is done.
QImage drawn(PictureView& view) {
    view.shownImage();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view.isDrawing(); }, 10000));
    return rgb(view.shownImage());
}

TEST(PreviewSurface, GivesBackTheSameObjectAndShowsItUnscaledFromTheTopLeft) {
    PreviewSurface preview;
    preview.resize(60, 40);
    EXPECT_EQ(preview.picture(), nullptr);
    EXPECT_EQ(drawn(preview).pixelColor(30, 20), QColor(Qt::white));

    PicturePtr large = gradientPicture({100, 70});
    preview.setPicture(large);
    EXPECT_EQ(preview.picture().get(), large.get());
    EXPECT_EQ(preview.picture().use_count(), large.use_count());
    EXPECT_EQ(drawn(preview), rgb(large->image()).copy(0, 0, 60, 40))
        << "cut off at the right and bottom edges, never scaled";

    PicturePtr small = gradientPicture({20, 10});
    preview.setPicture(small);
    const QImage shown = drawn(preview);
    EXPECT_EQ(shown.copy(0, 0, 20, 10), rgb(small->image()));
    EXPECT_EQ(shown.pixelColor(20, 0), QColor(Qt::white));
    EXPECT_EQ(shown.pixelColor(0, 10), QColor(Qt::white));
    EXPECT_EQ(shown.pixelColor(59, 39), QColor(Qt::white));

    // The shown image follows the surface's size.
    preview.resize(30, 30);
    EXPECT_EQ(drawn(preview).size(), QSize(30, 30));
    EXPECT_EQ(drawn(preview).copy(0, 0, 20, 10), rgb(small->image()));
}

TEST(ImageArea, StretchesItsPictureToItsOwnSize) {
    ImageArea area;
    area.resize(80, 30);
    QImage halves(2, 1, QImage::Format_RGB32);
    halves.setPixelColor(0, 0, Qt::red);
    halves.setPixelColor(1, 0, Qt::blue);
    PicturePtr picture = Picture::fromImage(halves);
    area.setPicture(picture);
    EXPECT_EQ(area.picture().get(), picture.get());

    QImage shown = drawn(area);
    ASSERT_EQ(shown.size(), QSize(80, 30));
    EXPECT_EQ(shown.pixelColor(2, 2), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(77, 27), QColor(Qt::blue));

    area.resize(20, 200);
    shown = drawn(area);
    ASSERT_EQ(shown.size(), QSize(20, 200));
    EXPECT_EQ(shown.pixelColor(1, 199), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(19, 0), QColor(Qt::blue));
}

TEST(PictureView, DrawsOnAWorkerAndShowsItsLastDrawingMeanwhile) {
    PreviewSurface preview;
    preview.resize(60, 40);
    preview.setPicture(solidPicture({60, 40}, Qt::blue));
    ASSERT_EQ(drawn(preview).pixelColor(50, 30), QColor(Qt::blue));

    // The window's events go on while the picture draws: the drawing is under way, not done,
    // and the view keeps showing the last one, while picture() is the new one at once.
    test::SlowPicture slow(test::SlowPicture::Stop::Ignored, true);
    QSignalSpy drawnSignal(&preview, &PictureView::drawn);
    preview.setPicture(slow.picture());
    EXPECT_EQ(preview.picture(), slow.picture());
    ASSERT_TRUE(slow.waitUntilStarted(1));
    EXPECT_EQ(slow.finished(), 0);
    EXPECT_TRUE(preview.isDrawing());
    EXPECT_EQ(rgb(preview.shownImage()).pixelColor(50, 30), QColor(Qt::blue));
    EXPECT_EQ(drawnSignal.count(), 0);

    slow.release();
    const QImage shown = drawn(preview);
    EXPECT_FALSE(slow.gaveUp()) << "the drawing held up the thread that waited for it";
    EXPECT_EQ(shown.pixelColor(20, 10), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(50, 30), QColor(Qt::white));
    // A drawing that a limit cut short says so.
    ASSERT_EQ(drawnSignal.count(), 1);
    EXPECT_TRUE(drawnSignal.at(0).at(0).toBool());
    EXPECT_TRUE(preview.shownCutOff());
}

TEST(PictureView, ANewerPictureOrSizeWinsOverTheDrawingUnderWay) {
    ImageArea area;
    area.resize(80, 30);
    test::SlowPicture stale(test::SlowPicture::Stop::Ignored);
    area.setPicture(stale.picture());
    ASSERT_TRUE(stale.waitUntilStarted(1));
    // A new size draws again at once, without waiting for the drawing under way.
    area.resize(40, 40);
    area.shownImage();
    ASSERT_TRUE(stale.waitUntilStarted(2));
    area.setPicture(solidPicture({4, 4}, Qt::green));
    EXPECT_EQ(drawn(area).pixelColor(20, 20), QColor(Qt::green));
    EXPECT_FALSE(stale.gaveUp()) << "a drawing held up the thread that waited for it";

    // The older drawings go on to their end, and what they hand back goes nowhere.
    QSignalSpy drawnSignal(&area, &PictureView::drawn);
    stale.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stale.finished() == 2; }, 10000));
    QTest::qWait(50);  // room for a stale result to arrive, were it delivered
    EXPECT_EQ(drawnSignal.count(), 0);
    EXPECT_EQ(rgb(area.shownImage()).pixelColor(20, 20), QColor(Qt::green));
}

TEST(PictureView, GoesWithoutWaitingForItsDrawing) {
    test::SlowPicture slow(test::SlowPicture::Stop::Ignored);
    auto preview = std::make_unique<PreviewSurface>();
    preview->resize(60, 40);
    preview->setPicture(slow.picture());
    ASSERT_TRUE(slow.waitUntilStarted(1));
    preview.reset();
    EXPECT_EQ(slow.finished(), 0) << "the view waited for its drawing";
    // The drawing ends later with nobody to show it to.
    slow.release();
    EXPECT_TRUE(PictureView::drawingPool().waitForDone(20000));
    QCoreApplication::processEvents();
    EXPECT_EQ(slow.finished(), 1);
}

class DrawingSurfaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        surface.setBackgroundColor(QColor(250, 250, 250));
        surface.resize(120, 90);
    }
    double twips(int pixels) const { return pixels * twipsPerPixel(); }
    DrawingSurface surface;
};

TEST_F(DrawingSurfaceTest, IsInvisibleAndItsBitmapHasItsPixelSizeInTheBackgroundColour) {
    EXPECT_FALSE(surface.isVisible());
    const QImage bitmap = rgb(surface.bitmap());
    ASSERT_EQ(bitmap.size(), QSize(120, 90));
    EXPECT_EQ(bitmap.pixelColor(0, 0), QColor(250, 250, 250));
    EXPECT_EQ(bitmap.pixelColor(119, 89), QColor(250, 250, 250));
}

TEST_F(DrawingSurfaceTest, PaintsStretchedIntoTheTwipsRectangleAndKeepsIt) {
    // 10 x 20 pixels of green at (30, 40) of the surface, given in twips.
    ASSERT_TRUE(surface.paintPicture(*solidPicture({3, 3}, Qt::green), twips(30), twips(40),
                                     twips(10), twips(20)));
    // A second picture elsewhere does not disturb the first: the bitmap keeps everything.
    ASSERT_TRUE(surface.paintPicture(*solidPicture({1, 1}, Qt::blue), twips(100), twips(0),
                                     twips(20), twips(10)));
    const QImage bitmap = rgb(surface.bitmap());
    EXPECT_EQ(bitmap.pixelColor(30, 40), QColor(Qt::green));
    EXPECT_EQ(bitmap.pixelColor(39, 59), QColor(Qt::green));
    EXPECT_EQ(bitmap.pixelColor(29, 40), QColor(250, 250, 250));
    EXPECT_EQ(bitmap.pixelColor(40, 40), QColor(250, 250, 250));
    EXPECT_EQ(bitmap.pixelColor(30, 60), QColor(250, 250, 250));
    EXPECT_EQ(bitmap.pixelColor(100, 0), QColor(Qt::blue));
    EXPECT_EQ(bitmap.pixelColor(119, 9), QColor(Qt::blue));
    EXPECT_EQ(bitmap.pixelColor(110, 10), QColor(250, 250, 250));
}

TEST_F(DrawingSurfaceTest, ImageIsARasterPictureThatLaterPaintingLeavesAlone) {
    PicturePtr gradient = gradientPicture({120, 90});
    ASSERT_TRUE(surface.paintPicture(*gradient, 0, 0, twips(120), twips(90)));
    Expected<PicturePtr> taken = surface.image();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken.value()->kind(), PictureKind::Raster);
    EXPECT_EQ(taken.value()->size(), QSize(120, 90));
    EXPECT_EQ(rgb(taken.value()->image()), rgb(gradient->image()));

    surface.clear();
    EXPECT_EQ(rgb(surface.bitmap()).pixelColor(60, 45), QColor(250, 250, 250));
    EXPECT_EQ(rgb(surface.bitmap()).pixelColor(0, 0), QColor(250, 250, 250));
    EXPECT_EQ(rgb(taken.value()->image()), rgb(gradient->image())) << "the taken image stays";
}

TEST_F(DrawingSurfaceTest, ANewSizeGivesABlankBitmapOfThatSize) {
    ASSERT_TRUE(surface.paintPicture(*solidPicture({1, 1}, Qt::red), 0, 0, twips(120), twips(90)));
    surface.resize(50, 200);
    const QImage bitmap = rgb(surface.bitmap());
    ASSERT_EQ(bitmap.size(), QSize(50, 200));
    EXPECT_EQ(bitmap.pixelColor(10, 10), QColor(250, 250, 250));
}

TEST_F(DrawingSurfaceTest, SizesBeyondTheRasterLimitsAreRefusedWithAMessage) {
    surface.resize(kMaxRasterSide + 1, 10);
    Status painted = surface.paintPicture(*solidPicture({1, 1}, Qt::red), 0, 0, 100, 100);
    EXPECT_FALSE(painted);
    EXPECT_TRUE(painted.error().contains(QString::number(kMaxRasterSide + 1)))
        << painted.error().toStdString();
    Expected<PicturePtr> image = surface.image();
    EXPECT_FALSE(image);
    EXPECT_EQ(image.value(), nullptr);
    surface.clear();  // nothing to clear, and no crash

    surface.resize(40, 30);
    EXPECT_TRUE(surface.paintPicture(*solidPicture({1, 1}, Qt::red), 0, 0, twips(40), twips(30)));
    EXPECT_EQ(rgb(surface.bitmap()).pixelColor(20, 15), QColor(Qt::red));
}

}  // namespace
}  // namespace plume
