// The SVG that Plume offers beside the EMF, which Inkscape pastes in preference to it: drawn
// by an SVG renderer, it has to look like the picture drawn by the engine itself, also where
// the picture uses clipping, hatched and pattern fills; and it stays vector data wherever SVG
// can say what the picture draws.

#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardFormats.h"
#include "platform/picture/SvgRendition.h"
#include "platform/picture/PictureIo.h"
#include "support/ReferenceImage.h"
#include "support/TestSupport.h"

#include "builders/EmfBuilder.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

namespace plume {
namespace {

QString reference(const char* name) {
    return test::sharedDataDir() + "/metafile-refs/" + name;
}

// The SVG of the clipboard offer for a picture file.
QByteArray offeredSvg(const Picture& picture) {
    Expected<std::unique_ptr<QMimeData>> made = offerForPicture(picture);
    if (!made) return {};
    test::waitForRenditions(*made.value());
    return made.value()->data(QString(target::kSvg));
}

QImage drawnSvg(const QByteArray& svg, QSize size, QColor under = Qt::white) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(under);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) return {};
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

int occurrences(const QByteArray& text, const char* what) {
    return int(text.count(what));
}

TEST(ClipboardSvg, DrawsLikeThePictureWithClipsHatchesAndPatterns) {
    for (const char* name :
         {"11_clip_rect.emf", "24_brush_hatch.emf", "36_wmf_compatible.wmf", "09_arc_chord_pie.emf",
          "02_pen_styles.emf", "14_world_transform.emf", "17_text_fonts.emf"}) {
        SCOPED_TRACE(name);
        Expected<PicturePtr> picture = loadPicture(reference(name));
        ASSERT_TRUE(picture) << picture.error().toStdString();
        const QSize size = picture.value()->size();
        const QByteArray svg = offeredSvg(*picture.value());
        Expected<QImage> expected = renderPicture(*picture.value(), size);
        ASSERT_TRUE(expected);
        // Both images reduced to a quarter of their size: SVG viewers smooth edges and place
        // thin lines by half pixels where the engine draws whole pixels, which the reduction
        // averages out, while a fill, a hatch or a line that is missing or out of place still
        // changes the colour.
        const double share =
            test::compareImages(drawnSvg(svg, size), expected.value(), 40, {}, 4).share();
        EXPECT_LT(share, 0.01);
    }
}

TEST(ClipboardSvg, StaysVectorWhereSvgCanSayIt) {
    // Clipped shapes are cut to the clip as paths; text stays text.
    Expected<PicturePtr> clipped = loadPicture(reference("11_clip_rect.emf"));
    ASSERT_TRUE(clipped);
    const QByteArray clippedSvg = offeredSvg(*clipped.value());
    EXPECT_EQ(occurrences(clippedSvg, "<image"), 0);
    EXPECT_GT(occurrences(clippedSvg, "<path"), 0);

    Expected<PicturePtr> text = loadPicture(reference("17_text_fonts.emf"));
    ASSERT_TRUE(text);
    const QByteArray textSvg = offeredSvg(*text.value());
    EXPECT_EQ(occurrences(textSvg, "<image"), 0);
    EXPECT_GT(occurrences(textSvg, "<text"), 20);

    // What LibreOffice and Inkscape put on the clipboard, clipped to the whole picture, comes
    // back as vector data only.
    for (const char* name : {"libreoffice-draw-7.4.emf", "inkscape-1.2.emf"}) {
        Expected<PicturePtr> copied = pictureFromBytes(
            test::readFileBytes(test::sharedDataDir() + "/clipboard-captures/" + name));
        ASSERT_TRUE(copied);
        const QByteArray copiedSvg = offeredSvg(*copied.value());
        EXPECT_EQ(occurrences(copiedSvg, "<image"), 0) << name;
        EXPECT_GT(occurrences(copiedSvg, "<path"), 0) << name;
    }

    // Hatched fills go as pixels, one image for each of the 18 hatched shapes, and their
    // outlines still as lines.
    Expected<PicturePtr> hatched = loadPicture(reference("24_brush_hatch.emf"));
    ASSERT_TRUE(hatched);
    const QByteArray hatchedSvg = offeredSvg(*hatched.value());
    EXPECT_EQ(occurrences(hatchedSvg, "<image"), 18);
    EXPECT_GE(occurrences(hatchedSvg, "<path"), 18);
}

TEST(ClipboardSvg, RasterOperationsActOnWhitePaperAndLeaveItTransparent) {
    // Spreadsheet thumbnails OR a black bitmap onto the page and icons come as an AND mask and
    // an XOR image: on white paper (as on the PNG) they leave the paper white, and the SVG must
    // neither show their black nor cover what lies under the picture.
    QImage black(8, 8, QImage::Format_RGB32);
    black.fill(Qt::black);
    QImage mask(8, 8, QImage::Format_RGB32), colours(8, 8, QImage::Format_RGB32);
    mask.fill(Qt::white);
    colours.fill(Qt::black);
    for (int y = 2; y < 6; ++y)
        for (int x = 2; x < 6; ++x) {
            mask.setPixel(x, y, qRgb(0, 0, 0));
            colours.setPixel(x, y, qRgb(0, 0, 255));
        }
    test::EmfBuilder emf(100, 100);
    emf.createBrush(1, 0, 0x000000FF);  // solid red
    emf.selectObject(1);
    emf.rectangle(0, 0, 50, 100);
    emf.stretchDiBits(10, 10, 80, 40, black, 0x00EE0086);    // SRCPAINT
    emf.stretchDiBits(10, 60, 80, 32, mask, 0x008800C6);     // SRCAND
    emf.stretchDiBits(10, 60, 80, 32, colours, 0x00660046);  // SRCINVERT
    Expected<PicturePtr> picture = pictureFromBytes(emf.build());
    ASSERT_TRUE(picture) << picture.error().toStdString();
    const QSize size = picture.value()->size();
    const QByteArray svg = svgRenditionOf(*picture.value()->document(), size, 96, 10'000).svg;
    Expected<QImage> expected = renderPicture(*picture.value(), size);
    ASSERT_TRUE(expected);
    const QImage onWhite = drawnSvg(svg, size);
    EXPECT_LT(test::compareImages(onWhite, expected.value(), 40, {}, 4).share(), 0.01);
    const QImage onGreen = drawnSvg(svg, size, Qt::green);
    const int w = size.width(), h = size.height();
    EXPECT_EQ(onGreen.pixelColor(w * 3 / 4, h / 4), QColor(Qt::green));         // ORed black
    EXPECT_EQ(onGreen.pixelColor(w * 3 / 4, h * 65 / 100), QColor(Qt::green));  // icon's rim
    EXPECT_EQ(onGreen.pixelColor(w / 4, h / 4), QColor(Qt::red));
    EXPECT_EQ(onGreen.pixelColor(w / 2, h * 76 / 100), QColor(Qt::blue));  // icon itself
}

TEST(ClipboardSvg, HairlinesGoInDevicePixelsForViewersWithoutNonScalingStrokes) {
    // A one-pixel pen in a picture drawn at ten times its size: a viewer that ignores
    // "non-scaling-stroke" draws the line ten times as wide unless it goes in pixels.
    test::EmfBuilder emf(20, 20);
    emf.createPen(1, 0, 0, 0x000000FF);  // solid, one pixel, red
    emf.selectObject(1);
    emf.poly(87, {{1, 1}, {18, 1}, {18, 18}});
    emf.rectangle(4, 6, 16, 16);
    Expected<PicturePtr> picture = pictureFromBytes(emf.build());
    ASSERT_TRUE(picture) << picture.error().toStdString();
    const QSize size = picture.value()->size() * 10;
    const QByteArray svg = svgRenditionOf(*picture.value()->document(), size, 96, 10'000).svg;
    const QRegularExpression stroked(
        R"(<g [^>]*stroke="#ff0000"[^>]*transform="matrix\(([-0-9.e]+),[^,]+,[^,]+,([-0-9.e]+),)");
    int strokes = 0;
    for (auto it = stroked.globalMatch(QString::fromUtf8(svg)); it.hasNext(); ++strokes) {
        const QRegularExpressionMatch m = it.next();
        EXPECT_EQ(m.captured(1).toDouble(), 1.0);
        EXPECT_EQ(m.captured(2).toDouble(), 1.0);
    }
    EXPECT_EQ(strokes, 2);
    EXPECT_LT(test::compareImages(drawnSvg(svg, size),
                                  renderPicture(*picture.value(), size).value(), 40, {}, 4)
                  .share(),
              0.01);
}

TEST(ClipboardSvg, BoxesOfAGradientMeetWithoutSeams) {
    // Writers draw gradients as boxes one unit high; drawn at 4 pixels for 3, the boxes' edges
    // fall between pixels, where a viewer that smooths them leaves a light seam in a solid area.
    test::EmfBuilder emf(40, 40);
    emf.createPen(1, 5, 0, 0);          // PS_NULL
    emf.createBrush(2, 0, 0x00FF0000);  // solid blue
    emf.selectObject(1);
    emf.selectObject(2);
    for (int y = 0; y < 30; ++y) emf.poly(86, {{0, y}, {30, y}, {30, y + 1}, {0, y + 1}});
    Expected<PicturePtr> picture = pictureFromBytes(emf.build());
    ASSERT_TRUE(picture) << picture.error().toStdString();
    const QSize size = picture.value()->size() * 4 / 3;
    const QImage svg =
        drawnSvg(svgRenditionOf(*picture.value()->document(), size, 96, 10'000).svg, size);
    for (int y = 2; y < 36; ++y) ASSERT_EQ(svg.pixelColor(20, y), QColor(Qt::blue)) << y;
}

TEST(ClipboardSvg, ManyPatternFillsDoNotBecomeAsManyImages) {
    test::EmfBuilder emf(400, 400);
    emf.createBrush(1, 2, 0x000000FF, 5);  // BS_HATCHED, HS_DIAGCROSS, red
    emf.selectObject(1);
    for (int i = 0; i < kMaxSvgPatches + 500; ++i) {
        const int x = (i * 7) % 390, y = (i * 13) % 390;
        emf.rectangle(x, y, x + 10, y + 10);
    }
    Expected<PicturePtr> picture = pictureFromBytes(emf.build());
    ASSERT_TRUE(picture) << picture.error().toStdString();
    const QByteArray svg = offeredSvg(*picture.value());
    EXPECT_TRUE(QSvgRenderer(svg).isValid());
    EXPECT_LE(occurrences(svg, "<image"), kMaxSvgPatches);
    EXPECT_GT(occurrences(svg, "<image"), 0);
}

}  // namespace
}  // namespace plume
