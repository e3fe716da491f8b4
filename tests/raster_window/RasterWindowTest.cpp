// The raster conversion window: its client size whatever the frame, the layout with its
// message line, "複写" onto the clipboard, closing, and the modal loop that lets other
// windows' timers run.
#include "platform/picture/PictureIo.h"
#include "platform/base/Twips.h"
#include "raster_window/RasterCopy.h"
#include "raster_window/sbImg.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QTimer>
#include <functional>

namespace plume {
namespace {

// A picture whose upper half is opaque red and lower half transparent but for a blue block.
PicturePtr redOverTransparent() {
    QImage image(40, 40, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(0, 0, 40, 20, Qt::red);
    painter.fillRect(16, 26, 8, 8, Qt::blue);
    return Picture::fromImage(image);
}

// A fully transparent picture with a blue block in its middle.
PicturePtr blueInTheMiddle() {
    QImage image(40, 40, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(10, 10, 20, 20, Qt::blue);
    return Picture::fromImage(image);
}

QImage clipboardImage() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
}

bool anyPixel(const QImage& image, const QRect& area, const QColor& color) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y).rgb() == color.rgb()) return true;
    return false;
}

bool allPixels(const QImage& image, const QRect& area, const QColor& color) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y).rgb() != color.rgb()) return false;
    return true;
}

// Runs `inside` from within Act's modal loop, then closes the window with "終了".
void actWith(sbImg& window, int32_t nWd, int32_t nHi, const std::function<void()>& inside) {
    QTimer::singleShot(0, &window, [&window, inside] {
        inside();
        window.mnExit()->trigger();
    });
    window.Act(1500, 1200, nWd, nHi);
}

// Resizes the window so that its client area becomes `client` pixels.
void resizeClient(sbImg& window, QSize client) {
    window.resize(window.size() + client - window.clientArea()->size());
}

class RasterWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        // The figures below are for the offscreen screen's 96 DPI: 15 twips a pixel.
        ASSERT_DOUBLE_EQ(twipsPerPixel(), 15.0);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }
    sbImg m_window;
};

TEST(RasterLayout, TwipsBecomeWholePixelsWithinTheRasterLimits) {
    ASSERT_DOUBLE_EQ(twipsPerPixel(), 15.0);
    EXPECT_EQ(rasterPixels(4680), 312);
    EXPECT_EQ(rasterPixels(3555), 237);
    EXPECT_EQ(rasterPixels(270), 18);
    EXPECT_EQ(rasterPixels(22.5), 2);  // 1.5 pixels: halves go to the even neighbour
    EXPECT_EQ(rasterPixels(37.5), 2);  // 2.5 pixels
    EXPECT_EQ(rasterPixels(-4000), 0);
    EXPECT_EQ(rasterPixels(2147483647.0), kMaxRasterSide);
}

TEST_F(RasterWindow, ActGivesTheClientAreaExactlyWhateverTheMenuBarTakes) {
    m_window.image1()->setPicture(redOverTransparent());
    QSize client, image;
    QRect message;
    QString text;
    bool modal = false;
    actWith(m_window, 4680, 3555, [&] {
        client = m_window.clientArea()->size();
        image = m_window.image1()->size();
        message = m_window.lbMsg()->geometry();
        text = m_window.lbMsg()->text();
        modal = QApplication::activeModalWidget() == &m_window;
    });
    EXPECT_EQ(client, QSize(312, 237));
    EXPECT_EQ(image, QSize(312, 219));
    EXPECT_EQ(message, QRect(0, 219, 312, 18));
    EXPECT_EQ(text, QStringLiteral("ｻｲｽﾞを指定して下さい"));
    EXPECT_TRUE(modal);
    EXPECT_FALSE(m_window.isVisible());
    // Unloading drops the picture: nothing is remembered between openings.
    EXPECT_EQ(m_window.image1()->picture(), nullptr);

    // A much taller menu bar changes the window, not the client area.
    QFont big = m_window.findChild<QMenuBar*>()->font();
    big.setPointSize(big.pointSize() * 4);
    m_window.findChild<QMenuBar*>()->setFont(big);
    const int oldHeight = m_window.height();
    actWith(m_window, 4680, 3555, [&] { client = m_window.clientArea()->size(); });
    EXPECT_EQ(client, QSize(312, 237));
    EXPECT_GT(m_window.height(), oldHeight);
}

TEST_F(RasterWindow, TheMainWindowsTimerKeepsFiringWhileTheWindowIsOpen) {
    QWidget mainWindow;
    int ticks = 0;
    QTimer timer(&mainWindow);
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(1);

    QTimer waiter;
    QElapsedTimer bound;
    int ticksAtOpen = -1;
    QObject::connect(&waiter, &QTimer::timeout, [&] {
        if (ticksAtOpen < 0) ticksAtOpen = ticks;
        // Bounded, so that a loop that starves timers fails instead of hanging.
        if (ticks >= ticksAtOpen + 3 || bound.hasExpired(10000)) m_window.close();
    });
    QTimer::singleShot(0, &m_window, [&] {
        bound.start();
        waiter.start(1);
    });
    m_window.Act(0, 0, 3000, 3000);
    waiter.stop();
    EXPECT_GE(ticks, ticksAtOpen + 3);
    EXPECT_FALSE(m_window.isVisible());
}

TEST_F(RasterWindow, CopiesHaveTheClientSizeAndNothingOfTheCopyBefore) {
    const QColor ground = m_window.picture1()->backgroundColor();
    EXPECT_EQ(ground, m_window.palette().color(QPalette::Base));  // the system window colour
    QImage first, second, third;
    QString text;
    bool surfaceShown = true;
    QRect imageBefore, imageAfter;
    m_window.image1()->setPicture(redOverTransparent());
    actWith(m_window, 4680, 3555, [&] {
        imageBefore = m_window.image1()->geometry();
        m_window.mnCopy()->trigger();
        first = clipboardImage();
        text = m_window.lbMsg()->text();
        imageAfter = m_window.image1()->geometry();
        surfaceShown = m_window.picture1()->isVisible();

        resizeClient(m_window, QSize(200, 150));
        m_window.mnCopy()->trigger();
        second = clipboardImage();

        // The same size again, with a picture that leaves most of the surface untouched.
        m_window.image1()->setPicture(blueInTheMiddle());
        m_window.mnCopy()->trigger();
        third = clipboardImage();
    });

    EXPECT_EQ(text, QStringLiteral("現在のｻｲｽﾞの画像ﾃﾞｰﾀｰ(ﾗｽﾀﾃﾞｰﾀｰ)をｸﾘｯﾌﾟﾎﾞｰﾄﾞに貼りつけました"));
    EXPECT_FALSE(surfaceShown);
    EXPECT_EQ(imageAfter, imageBefore);
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasText());

    ASSERT_EQ(first.size(), QSize(312, 237));
    EXPECT_FALSE(first.hasAlphaChannel());
    // The picture fills the 219 rows above the message line; its upper half is red.
    EXPECT_TRUE(allPixels(first, QRect(0, 0, 312, 100), Qt::red));
    EXPECT_TRUE(anyPixel(first, QRect(0, 120, 312, 99), Qt::blue));
    EXPECT_TRUE(allPixels(first, QRect(0, 219, 312, 18), ground));

    ASSERT_EQ(second.size(), QSize(200, 150));
    EXPECT_TRUE(allPixels(second, QRect(0, 0, 200, 60), Qt::red));
    EXPECT_TRUE(allPixels(second, QRect(0, 132, 200, 18), ground));

    ASSERT_EQ(third.size(), QSize(200, 150));
    EXPECT_FALSE(anyPixel(third, third.rect(), Qt::red));
    EXPECT_TRUE(allPixels(third, QRect(0, 0, 200, 20), ground));
    EXPECT_EQ(third.pixelColor(100, 66).rgb(), QColor(Qt::blue).rgb());
}

TEST_F(RasterWindow, ACapturedDrawingIsRenderedAtTheSizeShown) {
    const QString path = test::sharedDataDir() + "/clipboard-captures/libreoffice-draw-7.4.emf";
    Expected<PicturePtr> loaded = loadPicture(path);
    ASSERT_TRUE(loaded.ok()) << loaded.error().toStdString();
    ASSERT_TRUE(loaded.value()->isVector());
    QImage copied;
    m_window.image1()->setPicture(loaded.value());
    actWith(m_window, 7080, 3840, [&] {
        m_window.mnCopy()->trigger();
        copied = clipboardImage();
    });
    const QColor ground = m_window.picture1()->backgroundColor();
    ASSERT_EQ(copied.size(), QSize(472, 256));
    int drawn = 0;
    for (int y = 0; y < 238; ++y)
        for (int x = 0; x < 472; ++x) drawn += copied.pixelColor(x, y).rgb() != ground.rgb();
    // The drawing covers a fair part of the area above the message line, and nothing below.
    EXPECT_GT(drawn, 472 * 238 / 50);
    EXPECT_TRUE(allPixels(copied, QRect(0, 238, 472, 18), ground));
}

TEST_F(RasterWindow, ARasterBeyondTheLimitsOrNoPictureIsRefusedInTheMessageLine) {
    QString tooLarge, noPicture;
    QImage after;
    m_window.image1()->setPicture(redOverTransparent());
    actWith(m_window, 4680, 3555, [&] {
        resizeClient(m_window, QSize(kMaxRasterSide + 1, 40));
        m_window.mnCopy()->trigger();
        tooLarge = m_window.lbMsg()->text();

        resizeClient(m_window, QSize(100, 100));
        m_window.image1()->setPicture(nullptr);
        m_window.mnCopy()->trigger();
        noPicture = m_window.lbMsg()->text();
    });
    EXPECT_TRUE(tooLarge.contains(QString::number(kMaxRasterSide + 1))) << tooLarge.toStdString();
    EXPECT_TRUE(tooLarge.contains(QString::number(kMaxRasterSide)));
    EXPECT_EQ(noPicture, QStringLiteral("複写する画像がありません"));
    // The clipboard keeps what it had.
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
}

TEST_F(RasterWindow, MinimisedLeavesTheLayoutAloneAndRestoringLaysItOutAgain) {
    QRect whileMinimised, restored, small;
    m_window.image1()->setPicture(redOverTransparent());
    actWith(m_window, 4680, 3555, [&] {
        m_window.setWindowState(Qt::WindowMinimized);
        resizeClient(m_window, QSize(200, 150));
        whileMinimised = m_window.image1()->geometry();
        m_window.setWindowState(Qt::WindowNoState);
        restored = m_window.image1()->geometry();

        // Shorter than the message line: the picture is zero high, never negative.
        resizeClient(m_window, QSize(200, 10));
        small = m_window.image1()->geometry();
    });
    EXPECT_EQ(whileMinimised, QRect(0, 0, 312, 219));
    EXPECT_EQ(restored, QRect(0, 0, 200, 132));
    EXPECT_EQ(small, QRect(0, 0, 200, 0));
}

TEST_F(RasterWindow, TheCloseBoxEndsActLikeExitAndEachOpeningStartsAfresh) {
    m_window.image1()->setPicture(redOverTransparent());
    QTimer::singleShot(0, &m_window, [this] {
        m_window.mnCopy()->trigger();
        m_window.close();
    });
    m_window.Act(0, 0, 1500, 1500);
    EXPECT_FALSE(m_window.isVisible());

    QString text;
    m_window.image1()->setPicture(redOverTransparent());
    actWith(m_window, 1500, 1500, [&] { text = m_window.lbMsg()->text(); });
    EXPECT_EQ(text, QStringLiteral("ｻｲｽﾞを指定して下さい"));
}

TEST(RasterWindowInstance, OneInstanceUntilReleased) {
    sbImg* first = &sbImg::take();
    EXPECT_EQ(&sbImg::take(), first);
    EXPECT_EQ(first->objectName(), QStringLiteral("sbImg"));
    for (const char* name : {"Image1", "lbMsg", "Picture1"})
        EXPECT_NE(first->findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(first->findChild<QAction*>("mnCopy")->text(), QStringLiteral("複写"));
    EXPECT_EQ(first->findChild<QAction*>("mnExit")->text(), QStringLiteral("終了"));
    sbImg::release();
}

}  // namespace
}  // namespace plume
