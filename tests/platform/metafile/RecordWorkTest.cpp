// A record is drawn in one go, out of reach of the time limit asked between records, so the
// work one record may cause is bounded: a figure past a bound is drawn simplified, and counted.

#include "platform/metafile/Metafile.h"
#include "builders/EmfBuilder.h"
#include "builders/EmfPlusBuilder.h"
#include "support/ReferenceImage.h"

#include <gtest/gtest.h>

namespace plume::metafile {
namespace {

using test::EmfBuilder;
using test::EmfPlusBuilder;
using test::renderMetafile;

constexpr uint32_t kBlack = 0xFF000000;
constexpr QSize kSize(400, 300);

// An EMF+-only picture of the records, 400 x 300 units (a pixel each).
QByteArray emfPlusOnly(EmfPlusBuilder& plus) {
    EmfBuilder emf(kSize.width(), kSize.height());
    plus.flushTo(emf);
    EmfPlusBuilder().endOfFile().flushTo(emf);
    return emf.build();
}

// A path going `count` times across the picture and back, top to bottom.
std::vector<QPointF> zigzag(int count) {
    std::vector<QPointF> points;
    for (int i = 0; i < count; ++i)
        points.emplace_back(i % 2 ? kSize.width() : 0, i * kSize.height() / double(count));
    return points;
}

int inked(const QImage& image) {
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 240;
    return dark;
}

struct Drawn {
    RenderStats stats;
    int inked = 0;
};

Drawn draw(const QByteArray& bytes) {
    Drawn drawn;
    drawn.inked = inked(renderMetafile(bytes, kSize, &drawn.stats));
    return drawn;
}

// Triangle dash caps and inset pens are shaped by path operations whose cost grows faster
// than the number of dashes: a line of 300 dashes is shaped, one of 6,000 is dashed by Qt's
// stroker alone (a long line of them once kept a picture busy for minutes).
TEST(RecordWork, ShapedDashedPensAreShapedOnlyUpToABound) {
    for (const float dash : {1.0f, 0.05f}) {
        SCOPED_TRACE(dash);
        EmfPlusBuilder triangles;
        triangles.header(false)
            .pen(1, 1, kBlack, {.dashStyle = 5, .dashes = {dash, dash}, .dashCap = 3})
            .drawLines(1, {{0, 150}, {300, 150}}, false);
        const Drawn line = draw(emfPlusOnly(triangles));
        EXPECT_EQ(line.stats.recordsSimplified, dash < 1 ? 1 : 0);
        EXPECT_GT(line.inked, 100);

        EmfPlusBuilder inset;
        std::vector<QPointF> points{{10, 10}, {390, 10}, {390, 290}, {10, 290}};
        inset.header(false)
            .pen(1, 4, kBlack, {.dashStyle = 5, .dashes = {dash, dash}, .alignment = 1})
            .path(2, points, {0, 1, 1, 0x81})
            .drawPath(1, 2);
        const Drawn box = draw(emfPlusOnly(inset));
        EXPECT_EQ(box.stats.recordsSimplified, dash < 1 ? 1 : 0);
        EXPECT_GT(box.inked, 1000);
        EXPECT_FALSE(box.stats.cutOff);
    }
}

// A pattern finer than a pixel along a long path would be millions of dashes: past 100,000
// the line is drawn solid at the alpha of the pattern's share of dashes, what such a pattern
// shows. EMF+ pens, GDI's geometric user-styled pens, and the outline WidenPath makes of one.
TEST(RecordWork, CountlessDashesAreDrawnSolid) {
    EmfPlusBuilder plus;
    const auto points = zigzag(200);  // 80,000 pixels long
    plus.header(false)
        .pen(1, 2, kBlack, {.dashStyle = 5, .dashes = {0.1f, 0.1f}})  // 0.4 pixels a period
        .drawLines(1, points, false);
    const Drawn emfPlus = draw(emfPlusOnly(plus));
    EXPECT_EQ(emfPlus.stats.recordsSimplified, 1);
    EXPECT_GT(emfPlus.inked, 10'000);

    // Dashes three quarters of a period of 0.4 pixels, along a line drawn 300 times over: a
    // line three quarters dark.
    std::vector<QPointF> overAndBack;
    for (int i = 0; i < 300; ++i) overAndBack.emplace_back(i % 2 ? 400 : 0, 150);
    EmfPlusBuilder uneven;
    uneven.header(false)
        .pen(1, 10, kBlack, {.dashStyle = 5, .dashes = {0.03f, 0.01f}})
        .drawLines(1, overAndBack, false);
    RenderStats stats;
    const QImage line = renderMetafile(emfPlusOnly(uneven), kSize, &stats);
    EXPECT_EQ(stats.recordsSimplified, 1);
    EXPECT_NEAR(qGray(line.pixel(200, 150)), 64, 8);

    std::vector<std::pair<int, int>> gdiPoints;
    for (const QPointF& p : points) gdiPoints.emplace_back(int(p.x()), int(p.y()));
    for (const bool widen : {false, true}) {
        SCOPED_TRACE(widen);
        EmfBuilder emf(kSize.width(), kSize.height());
        // PS_GEOMETRIC | PS_USERSTYLE, 2,000 units wide, in a world a thousandth the size: a
        // 2-pixel pen whose 1-unit dashes are a thousandth of a pixel.
        emf.createExtPen(1, 0x00010007, 2000, 0, {1, 1}).selectObject(1);
        emf.createBrush(2, 0, 0).selectObject(2);  // fills the widened outline black
        emf.setWorldTransform(0.001f, 0, 0, 0.001f, 0, 0);
        for (auto& [x, y] : gdiPoints) x *= 1000, y *= 1000;
        if (widen)
            emf.beginPath().poly(4, gdiPoints).endPath().record(66, {}).fillPath();  // EMR_WIDENPATH
        else
            emf.poly(4, gdiPoints);
        for (auto& [x, y] : gdiPoints) x /= 1000, y /= 1000;
        const Drawn gdi = draw(emf.build());
        EXPECT_EQ(gdi.stats.recordsSimplified, 1);
        EXPECT_GT(gdi.inked, 10'000);
    }
}

// Two zigzags of `count` points, one across the picture, one down it, as a path's points
// and types: they cross each other about count * count / 4 times.
struct Zigzags {
    std::vector<QPointF> across, down;
    std::vector<uint8_t> types;
};

Zigzags crossingZigzags(int count) {
    Zigzags z{zigzag(count), {}, std::vector<uint8_t>(size_t(count), 1)};
    for (const QPointF& p : z.across) z.down.emplace_back(p.y() * 4 / 3, p.x() * 3 / 4);
    z.types.front() = 0;
    z.types.back() = 0x81;
    return z;
}

// Exact booleans of clip paths cost as the crossings between them: two zigzags of 500 points
// crossing each other once took minutes. Past a bound the clips are combined in output pixels.
TEST(RecordWork, LargeClipPathsAreCombinedInPixels) {
    const auto clipped = [](int points) {
        const Zigzags z = crossingZigzags(points);
        EmfPlusBuilder plus;
        plus.header(false).path(1, z.across, z.types).path(2, z.down, z.types).clipPath(1, 0);
        plus.clipPath(2, 1).fillRects(test::plusColor(kBlack), {QRectF(0, 0, 400, 300)});
        return draw(emfPlusOnly(plus));
    };
    const Drawn small = clipped(20), large = clipped(200);
    EXPECT_EQ(small.stats.recordsSimplified, 0);
    EXPECT_EQ(large.stats.recordsSimplified, 1);
    EXPECT_GT(small.inked, 10'000);
    EXPECT_GT(large.inked, 5'000);
    EXPECT_LT(large.inked, 20'000);
}

// The same two zigzags as the nodes of one region object: its nodes are combined when the
// object is read, on a grid over the region past the same bound, and the region counted as
// simplified where it is drawn or clipped to.
TEST(RecordWork, LargeRegionNodesAreCombinedOnAGrid) {
    const auto filled = [](int points, uint32_t mode) {
        const Zigzags z = crossingZigzags(points);
        const auto node = [&](const std::vector<QPointF>& p) {
            return test::regionPath(EmfPlusBuilder::pathBody(p, z.types, false, false));
        };
        EmfPlusBuilder plus;
        plus.header(false)
            .region(1, test::regionCombined(mode, node(z.across), node(z.down)))
            .fillRegion(test::plusColor(kBlack), 1);
        return draw(emfPlusOnly(plus));
    };
    for (const uint32_t mode : {1u, 3u}) {  // and, xor
        SCOPED_TRACE(mode);
        const Drawn small = filled(20, mode), large = filled(200, mode);
        EXPECT_EQ(small.stats.recordsSimplified, 0);
        EXPECT_EQ(large.stats.recordsSimplified, 1);
        EXPECT_GT(small.inked, 10'000);
        EXPECT_GT(large.inked, 5'000);
        EXPECT_LT(large.inked, mode == 1 ? 30'000 : 100'000);
    }
}

// The time limit counts the work of the records played, not the clock, so that the same
// records are drawn under any load: each costs its size. Comments draw nothing, so the clock
// let all of these through; their work ends the picture after a few.
TEST(RecordWork, TheTimeLimitCountsTheRecordsWorkNotTheClock) {
    EmfBuilder emf(kSize.width(), kSize.height());
    emf.createBrush(1, 0, 0).selectObject(1).rectangle(0, 0, 100, 100);
    QByteArray comment;
    test::appendU32(comment, 40'000);
    comment.append(40'000, 'x');
    for (int i = 0; i < 100; ++i) emf.record(70, comment);  // EMR_COMMENT
    emf.rectangle(200, 0, 300, 100);
    const QByteArray bytes = emf.build();
    RenderOptions options;
    options.timeLimitMs = 20;
    RenderStats first, second;
    const QImage image = renderMetafile(bytes, kSize, &first, options);
    renderMetafile(bytes, kSize, &second, options);
    EXPECT_TRUE(first.cutOff);
    EXPECT_EQ(first.recordsPlayed, second.recordsPlayed);
    EXPECT_EQ(image.pixel(50, 50), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(250, 50), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace plume::metafile
