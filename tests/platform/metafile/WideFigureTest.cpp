// Wide pens on rectangles, ellipses, polylines and polygons: the player draws these as pixel
// runs, frame bands and separate segments rather than through the painter's stroker. These
// tests hold each of those to what the painter's own stroke of the same figure covers, and to
// the state the DC gives them (clip, brush pattern, ROP2, transform, background).

#include "platform/metafile/Metafile.h"
#include "builders/EmfBuilder.h"
#include "support/ReferenceImage.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
#include <functional>

namespace plume::metafile {
namespace {

using test::EmfBuilder;

constexpr uint32_t rgb(int r, int g, int b) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}
const QColor kPen(200, 30, 30), kBrush(40, 160, 60);
constexpr uint32_t kPenRef = rgb(200, 30, 30), kBrushRef = rgb(40, 160, 60);
constexpr uint32_t kNullBrush = 0x80000005;
constexpr uint32_t kEmrPolygon16 = 86, kEmrPolyline16 = 87;

// Renders the picture so that its frame fills `target` on a white image of `size`.
QImage render(const EmfBuilder& b, QSize size, QRectF target) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    const ParseResult parsed = parseMetafile(b.build());
    const auto* document = std::get_if<DocumentPtr>(&parsed);
    if (!document) return image;
    QPainter painter(&image);
    render(**document, painter, target);
    return image;
}

// What the painter's own stroker draws for the same figure: `draw` paints in picture
// coordinates, mapped onto `target` as the player maps the frame.
QImage stroked(QSize size, QSizeF picture, QRectF target,
               const std::function<void(QPainter&)>& draw) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(target.topLeft());
    painter.scale(target.width() / picture.width(), target.height() / picture.height());
    draw(painter);
    return image;
}

// The pen the player makes of GDI's plain CreatePen, for the painter's stroker to draw the
// same figures: round ends and joins, square under 3.5 pixels (RoundPensEndAndJoinAsGdiDoes
// holds that to GDI).
QPen gdiPen(double width, double outputScale) {
    QPen pen(kPen, width);
    const bool square = width * outputScale < 3.5;
    pen.setCapStyle(square ? Qt::SquareCap : Qt::RoundCap);
    pen.setJoinStyle(square ? Qt::MiterJoin : Qt::RoundJoin);
    pen.setMiterLimit(1.5);
    return pen;
}

qsizetype count(const QImage& image, const QColor& color, QRect within = {}) {
    if (within.isNull()) within = image.rect();
    qsizetype n = 0;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            if (image.pixel(x, y) == color.rgb()) ++n;
    return n;
}

struct Target {
    QSize size;
    QRectF rect;
};

// Own size, stretched unequally, and offset into a larger image with a scale that differs
// between the axes by a fraction of a per cent (a frame rounded to 0.01 mm does that).
const Target kTargets[] = {
    {{120, 100}, {0, 0, 120, 100}},
    {{190, 130}, {0, 0, 180, 125}},
    {{200, 160}, {30, 40, 120, 100.6}},
};

TEST(WideFigures, RectangleFramesCoverWhatThePainterStrokes) {
    for (const Target& t : kTargets) {
        for (int width : {2, 3, 4, 7}) {
            EmfBuilder b(120, 100);
            b.createPen(1, 0, width, kPenRef).selectObject(1);
            b.createBrush(2, 0, kBrushRef).selectObject(2);
            b.rectangle(10, 12, 70, 60).rectangle(80, 20, 84, 23);  // the second all pen
            const QImage actual = render(b, t.size, t.rect);
            const double scale = t.rect.width() / 120;
            const QImage expected = stroked(t.size, {120, 100}, t.rect, [&](QPainter& p) {
                p.setPen(gdiPen(width, scale));
                p.setBrush(kBrush);
                p.drawRect(QRectF(10, 12, 60, 48));
                p.drawRect(QRectF(80, 20, 4, 3));
            });
            // Square corners match to the pixel; round ones may differ where the stroker's
            // flattened arc and the exact circle part on a pixel centre.
            const qsizetype allowed = width * scale < 3.5 ? 0 : 16;
            EXPECT_LE(test::compareImages(actual, expected).differing, allowed)
                << "pen " << width << " into " << t.rect.width() << "x" << t.rect.height();
            EXPECT_GT(count(actual, kPen), 0);
            EXPECT_GT(count(actual, kBrush), 0);
        }
    }
}

TEST(WideFigures, EllipseRingsCoverWhatThePainterStrokes) {
    for (const Target& t : kTargets) {
        for (int width : {2, 3, 5}) {
            EmfBuilder b(120, 100);
            b.createPen(1, 0, width, kPenRef).selectObject(1);
            b.createBrush(2, 0, kBrushRef).selectObject(2);
            b.ellipse(10, 10, 70, 50).ellipse(75, 15, 115, 90);
            const QImage actual = render(b, t.size, t.rect);
            const double scale = t.rect.width() / 120;
            const QImage expected = stroked(t.size, {120, 100}, t.rect, [&](QPainter& p) {
                QPainterPath path;
                path.addEllipse(QRectF(10, 10, 60, 40));
                path.addEllipse(QRectF(75, 15, 40, 75));
                p.fillPath(path, kBrush);
                p.strokePath(path, gdiPen(width, scale));
            });
            // The ring follows the exact ellipses, the stroker a flattened offset curve: they
            // part on a few edge pixels, never on whole runs.
            const qsizetype pen = count(expected, kPen);
            EXPECT_LE(test::compareImages(actual, expected).differing, pen / 10)
                << "pen " << width << " into " << t.rect.width() << "x" << t.rect.height();
            // No gap between the ring and the inside, nor white left inside the figure.
            const QRectF inside = QRectF(20, 20, 40, 20);
            const QRect probe = QTransform::fromTranslate(t.rect.left(), t.rect.top())
                                    .scale(t.rect.width() / 120, t.rect.height() / 100)
                                    .mapRect(inside)
                                    .toRect();
            EXPECT_EQ(count(actual, Qt::white, probe), 0);
        }
    }
}

TEST(WideFigures, RingsFramesAndSegmentsKeepToTheClip) {
    EmfBuilder b(120, 100);
    b.createPen(1, 0, 3, kPenRef).selectObject(1);
    b.createBrush(2, 0, kBrushRef).selectObject(2);
    b.intersectClipRect(0, 0, 60, 100);
    b.ellipse(20, 10, 100, 45).rectangle(20, 55, 100, 90);
    b.createPen(3, 0, 6, kPenRef).selectObject(3);
    b.rectangle(30, 60, 110, 80);
    b.createPen(4, 0, 2, kPenRef).selectObject(4);
    b.poly(kEmrPolyline16, {{10, 50}, {110, 52}, {110, 95}});
    for (const Target& t : kTargets) {
        const QImage image = render(b, t.size, t.rect);
        const int clipX = int(std::ceil(t.rect.left() + 60 * t.rect.width() / 120));
        const QRect right(clipX + 1, 0, t.size.width() - clipX - 1, t.size.height());
        EXPECT_EQ(count(image, kPen, right) + count(image, kBrush, right), 0)
            << "into " << t.rect.width() << "x" << t.rect.height();
        const QRect left(0, 0, clipX - 1, t.size.height());
        EXPECT_GT(count(image, kPen, left), 0);
        EXPECT_GT(count(image, kBrush, left), 0);
    }
}

TEST(WideFigures, HatchedInsidesKeepThePatternOfTheWholePicture) {
    // A hatched rectangle over the whole picture, then an ellipse and a rectangle with a wide
    // pen and the same brush: inside each, the hatch lines continue those of the rectangle
    // underneath, so the insides cannot be told from the background.
    for (const Target& t : kTargets) {
        EmfBuilder plain(120, 100);
        plain.setBkColor(rgb(250, 220, 60)).createBrush(2, 2, kBrushRef, 5).selectObject(2);
        plain.selectObject(0x80000008);  // NULL_PEN
        plain.rectangle(0, 0, 121, 101);
        EmfBuilder figures = plain;
        figures.createPen(1, 0, 5, kPenRef).selectObject(1);
        figures.ellipse(10, 10, 70, 60).rectangle(75, 10, 110, 90);
        const QImage under = render(plain, t.size, t.rect);
        const QImage over = render(figures, t.size, t.rect);
        const QTransform map = QTransform::fromTranslate(t.rect.left(), t.rect.top())
                                   .scale(t.rect.width() / 120, t.rect.height() / 100);
        for (const QRectF& inside : {QRectF(28, 25, 24, 20), QRectF(82, 18, 20, 64)}) {
            const QRect probe = map.mapRect(inside).toRect();
            EXPECT_EQ(test::compareImages(under, over, 0, probe).differing, 0)
                << "into " << t.rect.width() << "x" << t.rect.height();
        }
        EXPECT_GT(count(over, kPen), 0);
    }
}

TEST(WideFigures, BandsOfAPictureJoinWithoutSeams) {
    // A large picture is drawn a band of rows at a time, each band on its own image with the
    // painter moved up: the runs of pixels, the frames, the segments and the hatches of every
    // band must be the rows of the whole picture.
    EmfBuilder b(120, 100);
    b.createPen(1, 0, 5, kPenRef).selectObject(1);
    b.createBrush(2, 2, kBrushRef, 5).selectObject(2);
    b.ellipse(10, 10, 70, 90).rectangle(75, 10, 110, 50);
    b.createPen(3, 0, 2, kPenRef).selectObject(3);
    b.poly(kEmrPolyline16, {{5, 95}, {60, 5}, {115, 95}});
    const QRectF target(0, 0, 240, 200.8);  // axes scaled a little unequally
    const QImage whole = render(b, {240, 201}, target);
    const ParseResult parsed = parseMetafile(b.build());
    ASSERT_TRUE(std::holds_alternative<DocumentPtr>(parsed));
    for (int top : {0, 37, 93, 150}) {
        QImage band(240, 51, QImage::Format_RGB32);
        band.fill(Qt::white);
        {
            QPainter painter(&band);
            painter.translate(0, -top);
            render(*std::get<DocumentPtr>(parsed), painter, target);
        }
        const int rows = std::min(band.height(), whole.height() - top);
        // The painter clips a straight segment to its image before drawing it, which may move
        // a pixel on the segment's edge; a misplaced run or pattern would differ by hundreds.
        EXPECT_LE(test::compareImages(band.copy(0, 0, 240, rows), whole.copy(0, top, 240, rows))
                      .differing,
                  4)
            << "band from row " << top;
    }
}

TEST(WideFigures, SegmentsLandWhereThePainterStrokesThem) {
    // A polyline and a polygon with a 2-pixel pen drawn segment by segment: the same pixels
    // as the stroker's but at the joins, where square ends and miters part.
    for (const Target& t : kTargets) {
        EmfBuilder b(120, 100);
        b.createPen(1, 0, 2, kPenRef).selectObject(1);
        b.createBrush(2, 0, kBrushRef).selectObject(2);
        const std::vector<std::pair<int, int>> line = {{10, 10}, {60, 15}, {40, 45}, {100, 40}};
        const std::vector<std::pair<int, int>> shape = {{15, 60}, {70, 55}, {90, 90}, {20, 85}};
        b.poly(kEmrPolyline16, line).poly(kEmrPolygon16, shape).moveTo(100, 60).lineTo(115, 95);
        const QImage actual = render(b, t.size, t.rect);
        const double scale = t.rect.width() / 120;
        const QImage expected = stroked(t.size, {120, 100}, t.rect, [&](QPainter& p) {
            const auto points = [](const std::vector<std::pair<int, int>>& v) {
                QPolygonF polygon;
                for (auto [x, y] : v) polygon << QPointF(x, y);
                return polygon;
            };
            p.setPen(gdiPen(2, scale));
            p.drawPolyline(points(line));
            p.setBrush(kBrush);
            p.drawPolygon(points(shape));
            p.drawLine(QPointF(100, 60), QPointF(115, 95));
        });
        const qsizetype joins = 2 + 4;
        EXPECT_LE(test::compareImages(actual, expected).differing,
                  joins * 6 * qsizetype(std::ceil(scale)))
            << "into " << t.rect.width() << "x" << t.rect.height();
        EXPECT_GT(count(actual, kBrush), 0);
    }
}

TEST(WideFigures, RoundPensEndAndJoinAsGdiDoes) {
    // Plain round pens of 1 to 5 pixels against GDI's own drawing (../shared/tools/gdiref,
    // Wine 8): a line's two ends and a right-angled join on the left, an ellipse on the right.
    // The player draws pens under 3.5 pixels with square ends and joins, larger ones with
    // round ones. Counted: pixels off by more than a channel step.
    struct Case {
        int width;
        qsizetype lines, ellipse;  // pixels allowed to differ
        const char* why;
    };
    const Case cases[] = {
        {1, 0, 0, ""},
        {2, 0, 0, ""},
        {3, 9, 8,
         "GDI's 3-pixel end is a plus, without the two corners of each end and the join's outer "
         "corner (a disc of pixel centres would fill them as the square end does), and its ring "
         "a pixel thicker inside on the diagonals"},
        {4, 0, 0, ""},
        {5, 0, 0, ""},
    };
    const QRect lines(0, 0, 46, 64), ellipse(46, 0, 54, 64);
    for (const Case& c : cases) {
        EmfBuilder b(100, 64);
        b.selectObject(kNullBrush).createPen(1, 0, c.width, kPenRef).selectObject(1);
        b.moveTo(8, 8).lineTo(40, 8).poly(kEmrPolyline16, {{8, 24}, {32, 24}, {32, 56}});
        b.ellipse(52, 10, 94, 56);
        const QImage gdi =
            test::gdiReference(QStringLiteral("round_pen_%1").arg(c.width), b.build());
        ASSERT_FALSE(gdi.isNull()) << "no GDI reference for pen " << c.width;
        const QImage ours = render(b, {100, 64}, {0, 0, 100, 64});
        EXPECT_LE(test::compareImages(gdi, ours, 48, lines).differing, c.lines)
            << "pen " << c.width << ": " << c.why;
        // The outline of a curve parts from GDI's by a pixel here and there: compared as the
        // fidelity measure does, a pixel's neighbours forgiving that.
        EXPECT_LE(test::compareImages(gdi, ours, 48, ellipse, 1, 1).differing, c.ellipse)
            << "pen " << c.width << ": the ellipse";
    }
}

TEST(WideFigures, RoundPensKeepRoundEndsAtEveryWidth) {
    // GDI's plain pens end and join round. A 6-pixel pen's ends are discs drawn as runs of
    // pixels; an 80-pixel pen's go through the stroker. Either way the corner a square end
    // would fill stays empty, and the half disc beyond the end point is there.
    EmfBuilder b(300, 200);
    b.createPen(1, 0, 6, kPenRef).selectObject(1);
    b.poly(kEmrPolyline16, {{20, 30}, {100, 30}, {100, 60}});
    b.createPen(2, 0, 80, kPenRef).selectObject(2);
    b.moveTo(150, 130).lineTo(250, 130);
    const QImage image = render(b, {300, 200}, {0, 0, 300, 200});
    // Pixel centres 2.5 before the end on the line, and 3.5 from the end point diagonally.
    EXPECT_EQ(image.pixel(17, 30), kPen.rgb());
    EXPECT_EQ(image.pixel(17, 27), qRgb(255, 255, 255));
    // At the join: inside its disc, and in the corner a miter would fill.
    EXPECT_EQ(image.pixel(102, 28), kPen.rgb());
    EXPECT_EQ(image.pixel(102, 27), qRgb(255, 255, 255));
    // The wide pen: inside the end's disc before the end point, and the square end's corner.
    EXPECT_EQ(image.pixel(140, 100), kPen.rgb());
    EXPECT_EQ(image.pixel(114, 94), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(112, 130), kPen.rgb());
}

TEST(WideFigures, PenAndBrushFollowTheStateTheyAreDrawnIn) {
    EmfBuilder b(120, 100);
    b.createBrush(9, 0, rgb(0, 0, 0)).selectObject(9).selectObject(0x80000008);
    b.rectangle(0, 0, 121, 101);  // black ground, so R2_WHITE shows
    b.createPen(1, 0, 3, kPenRef).selectObject(1).selectObject(kNullBrush);
    b.saveDc();
    b.ellipse(5, 5, 35, 35);                                              // red ring
    b.setRop2(16).ellipse(40, 5, 70, 35).setRop2(13);                     // R2_WHITE: white ring
    b.setWorldTransform(3, 0, 0, 3, 0, 0).moveTo(25, 15).lineTo(35, 15);  // 9 pixels thick
    b.restoreDc(-1);
    b.moveTo(80, 80).lineTo(110, 80);  // the transform and pen of before SaveDC
    b.createPen(2, 0, 3, rgb(30, 60, 200)).selectObject(2).rectangle(80, 5, 110, 35);
    b.createBrush(3, 2, kBrushRef, 0).selectObject(3).setBkMode(2).setBkColor(rgb(250, 220, 60));
    b.rectangle(5, 50, 35, 90);                                // hatch gaps yellow
    b.setBkColor(rgb(255, 0, 255)).rectangle(40, 50, 70, 90);  // hatch gaps magenta
    const QImage image = render(b, {120, 100}, {0, 0, 120, 100});
    EXPECT_EQ(image.pixel(20, 5), kPen.rgb());
    EXPECT_EQ(image.pixel(55, 5), qRgb(255, 255, 255));
    int thick = 0;
    for (int y = 30; y < 60; ++y)
        if (image.pixel(90, y) == kPen.rgb()) ++thick;
    EXPECT_EQ(thick, 9);
    thick = 0;
    for (int y = 70; y < 90; ++y)
        if (image.pixel(95, y) == kPen.rgb()) ++thick;
    EXPECT_EQ(thick, 3);
    EXPECT_EQ(image.pixel(95, 5), qRgb(30, 60, 200));
    EXPECT_GT(count(image, QColor(250, 220, 60), QRect(8, 53, 24, 34)), 0);
    EXPECT_EQ(count(image, QColor(255, 0, 255), QRect(8, 53, 24, 34)), 0);
    EXPECT_GT(count(image, QColor(255, 0, 255), QRect(43, 53, 24, 34)), 0);
}

TEST(WideFigures, HighDensityImagesGetFiguresAtTheirOwnResolution) {
    // An image of device pixel ratio 2 (a high-density screen's preview) takes the picture at
    // twice the pixels: the same as an image of twice the size, not pixel runs doubled up.
    EmfBuilder b(120, 100);
    b.createPen(1, 0, 3, kPenRef).selectObject(1);
    b.createBrush(2, 0, kBrushRef).selectObject(2);
    b.ellipse(10, 10, 70, 50).rectangle(75, 15, 110, 90);
    b.createPen(3, 0, 5, kPenRef).selectObject(3);
    b.poly(kEmrPolyline16, {{10, 90}, {40, 60}, {70, 90}});
    const QImage twice = render(b, {240, 200}, {0, 0, 240, 200});
    QImage dense(240, 200, QImage::Format_RGB32);
    dense.setDevicePixelRatio(2);
    dense.fill(Qt::white);
    const ParseResult parsed = parseMetafile(b.build());
    ASSERT_TRUE(std::holds_alternative<DocumentPtr>(parsed));
    {
        QPainter painter(&dense);
        render(*std::get<DocumentPtr>(parsed), painter, QRectF(0, 0, 120, 100));
    }
    dense.setDevicePixelRatio(1);
    EXPECT_LE(test::compareImages(dense, twice).differing, count(twice, kPen) / 20);
}

TEST(WideFigures, VectorOutputKeepsEachFigureWhole) {
    // On an SVG or PDF device a figure drawn in pixel runs would become hundreds of little
    // rectangles; there the player keeps to whole outlines.
    EmfBuilder b(120, 100);
    b.createPen(1, 0, 5, kPenRef).selectObject(1);
    b.createBrush(2, 0, kBrushRef).selectObject(2);
    b.ellipse(10, 10, 110, 90).rectangle(20, 20, 60, 60);
    const ParseResult parsed = parseMetafile(b.build());
    ASSERT_TRUE(std::holds_alternative<DocumentPtr>(parsed));
    QByteArray svg;
    QBuffer buffer(&svg);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(120, 100));
    {
        QPainter painter(&generator);
        render(*std::get<DocumentPtr>(parsed), painter, QRectF(0, 0, 120, 100));
    }
    EXPECT_LT(svg.count("<rect"), 10) << svg.size() << " bytes of SVG";
    EXPECT_GT(svg.count("<path") + svg.count("<ellipse"), 0);
}

}  // namespace
}  // namespace plume::metafile
