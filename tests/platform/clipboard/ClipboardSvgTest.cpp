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
    return made.value()->data(QString(target::kSvg));
}

QImage drawnSvg(const QByteArray& svg, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
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
