// EMF+ records: the reader's typed records and its refusals, and the player's drawing of each
// record family, checked by pixel probes on 100 x 100 pictures (one unit a pixel). There is
// no GDI+ to make references with, so the probes check what the format document defines:
// which pixels a figure, a transform or a clip covers, and which rendition is drawn.

#include "platform/metafile/Metafile.h"
#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/EmfPlusReader.h"
#include "builders/EmfBuilder.h"
#include "builders/EmfPlusBuilder.h"
#include "builders/WmfBuilder.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstring>

namespace plume::metafile {
namespace {

using namespace emfplus;
using test::appendU16;
using test::appendU32;
using test::EmfBuilder;
using test::EmfPlusBuilder;
using test::plusColor;
using test::plusObject;

constexpr uint32_t kGreen = 0xFF00C000, kBlack = 0xFF000000, kBlue = 0xFF0000FF;
constexpr uint32_t kRedRef = 0x0000FF;  // COLORREF

// The picture: the EMF+ records (a header first), then a GDI fallback that fills the whole
// picture red, then EMF+'s end of file. Which rendition was drawn shows at a glance.
QByteArray withRedFallback(EmfPlusBuilder& plus) {
    EmfBuilder emf(100, 100);
    plus.flushTo(emf);
    emf.createBrush(1, 0, kRedRef).selectObject(1).rectangle(-1, -1, 101, 101);
    EmfPlusBuilder().endOfFile().flushTo(emf);
    return emf.build();
}

QImage draw(const QByteArray& bytes, bool emfPlus = true, RenderStats* stats = nullptr) {
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    const ParseResult parsed = parseMetafile(bytes);
    const auto* document = std::get_if<DocumentPtr>(&parsed);
    if (!document) return image;
    QPainter painter(&image);
    RenderOptions options;
    options.drawEmfPlus = emfPlus;
    const RenderStats drawn = render(**document, painter, QRectF(0, 0, 100, 100), options);
    if (stats) *stats = drawn;
    return image;
}

QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }
constexpr QRgb kWhite = 0xFFFFFF, kRed = 0xFF0000, kGreenRgb = 0x00C000, kBlackRgb = 0;

// The records of one EMF+ payload, decoded.
std::vector<std::optional<Record>> decodeAll(EmfPlusBuilder& plus) {
    const QByteArray data = plus.take();
    const auto payload = byteSpan(data).subspan(4);
    std::vector<std::optional<Record>> out;
    Reader reader;
    forEachRecord(payload, [&](const RawRecord& raw) { out.push_back(reader.decode(raw)); });
    return out;
}

TEST(EmfPlusReader, DecodesTypedRecordsWithCompressedRelativeAndRunLengthData) {
    EmfPlusBuilder plus;
    plus.header(true, 120)
        .fillRects(plusObject(3), {QRectF(1, 2, 30, 40)}, true)
        .path(5, {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {0, 1, 1, 0x81}, true, true)
        .fillPolygon(plusColor(kGreen), {{100, 5}, {-20, 300}, {-19, 301}}, true);
    const auto records = decodeAll(plus);
    ASSERT_EQ(records.size(), 4u);
    const auto* header = std::get_if<HeaderRecord>(&*records[0]);
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->dual);
    EXPECT_EQ(header->dpiX, 120u);
    const auto* fill = std::get_if<FillRectsRecord>(&*records[1]);
    ASSERT_TRUE(fill);
    EXPECT_FALSE(fill->brush.isColor);
    EXPECT_EQ(fill->brush.value, 3u);
    EXPECT_EQ(fill->rects, std::vector<QRectF>{QRectF(1, 2, 30, 40)});
    const auto* object = std::get_if<ObjectRecord>(&*records[2]);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->id, 5);
    const auto* path = std::get_if<Path>(&object->data);
    ASSERT_TRUE(path);
    EXPECT_EQ(path->points[2], QPointF(10, 10));
    EXPECT_EQ(path->types, (std::vector<uint8_t>{0, 1, 1, 0x81}));
    // Relative points: 7-bit and 15-bit steps, negative ones too, each from the point before.
    const auto* polygon = std::get_if<PolyRecord>(&*records[3]);
    ASSERT_TRUE(polygon);
    EXPECT_EQ(polygon->points,
              (std::vector<QPointF>{{100, 5}, {-20, 300}, {-19, 301}}));
}

TEST(EmfPlusReader, AssemblesAnObjectFromContinuationRecords) {
    const std::vector<QPointF> points{{1, 2}, {3, 4}, {5, 6}};
    EmfPlusBuilder plus;
    plus.object(7, 3, EmfPlusBuilder::pathBody(points, {0, 1, 1}, false, false), 10);
    const auto records = decodeAll(plus);
    ASSERT_GE(records.size(), 3u);
    for (size_t i = 0; i + 1 < records.size(); ++i)
        EXPECT_TRUE(records[i] && std::holds_alternative<PendingObject>(*records[i]));
    const auto* object = std::get_if<ObjectRecord>(&*records.back());
    ASSERT_TRUE(object);
    EXPECT_EQ(std::get<Path>(object->data).points, points);
}

void appendF32(QByteArray& out, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    appendU32(out, bits);
}

TEST(EmfPlusReader, PathGradientAndCustomCapFieldsInTheirOrder) {
    const QByteArray square =
        EmfPlusBuilder::pathBody({{0, 0}, {8, 0}, {8, 8}, {0, 8}}, {0, 1, 1, 0x81}, false, false);
    // A path gradient bounded by a path, with blend factors and focus scales.
    QByteArray b;
    for (uint32_t v : {0xDBC01002u, 3u, 0x01u | 0x08u | 0x40u, 4u, 0xFF000000u}) appendU32(b, v);
    for (float v : {4.f, 4.f}) appendF32(b, v);
    for (uint32_t v : {2u, 0xFFFFFFFFu, 0xFFFF0000u, uint32_t(square.size())}) appendU32(b, v);
    b.append(square);
    appendU32(b, 2);
    for (float v : {0.f, 1.f, 0.f, 0.5f}) appendF32(b, v);
    appendU32(b, 2);
    for (float v : {0.25f, 0.5f}) appendF32(b, v);
    const auto brush = decodeObjectData(ObjectType::Brush, byteSpan(b));
    ASSERT_TRUE(brush);
    const auto& gradient = std::get<Brush>(*brush);
    EXPECT_EQ(gradient.center, QPointF(4, 4));
    EXPECT_EQ(gradient.surroundingColors.size(), 2u);
    EXPECT_EQ(gradient.boundary.boundingRect(), QRectF(0, 0, 8, 8));
    ASSERT_EQ(gradient.blendFactors.size(), 2u);
    EXPECT_EQ(gradient.blendFactors[1], std::pair(1.f, 0.5f));
    EXPECT_EQ(gradient.focusX, 0.25f);
    EXPECT_EQ(gradient.focusY, 0.5f);
    EXPECT_FALSE(decodeObjectData(ObjectType::Brush, byteSpan(b.left(b.size() - 4))));

    // A pen whose start has a default custom cap with a fill path.
    QByteArray cap;
    for (uint32_t v : {0xDBC01002u, 0u, 0x01u, 0u}) appendU32(cap, v);
    appendF32(cap, 0.5f);  // base inset
    for (uint32_t v : {0u, 0u, 0u}) appendU32(cap, v);
    for (float v : {10.f, 2.f, 0.f, 0.f, 0.f, 0.f}) appendF32(cap, v);
    appendU32(cap, uint32_t(square.size()));
    cap.append(square);
    QByteArray pen;
    for (uint32_t v : {0xDBC01002u, 0u, 0x0800u, 0u}) appendU32(pen, v);
    appendF32(pen, 3);
    appendU32(pen, uint32_t(cap.size()));
    pen.append(cap);
    pen.append(EmfPlusBuilder::brushBody(kBlack));
    const auto decoded = decodeObjectData(ObjectType::Pen, byteSpan(pen));
    ASSERT_TRUE(decoded);
    const auto& start = std::get<Pen>(*decoded).customStartCap;
    ASSERT_TRUE(start);
    EXPECT_FALSE(start->arrow);
    EXPECT_EQ(start->baseInset, 0.5f);
    EXPECT_EQ(start->widthScale, 2.f);
    EXPECT_EQ(start->fillPath.boundingRect(), QRectF(0, 0, 8, 8));
}

TEST(EmfPlusReader, PlaceableWmfImageLosesTheHeaderPaddingWritersPut) {
    const QByteArray wmf = test::WmfBuilder().placeable(0, 0, 100, 100, 1440);
    QByteArray padded = wmf;
    padded.insert(22, QByteArray(2, '\0'));
    const auto metafileOf = [](const QByteArray& bytes) {
        QByteArray body;
        appendU32(body, 0xDBC01002);
        appendU32(body, 2);  // metafile
        appendU32(body, 2);  // placeable WMF
        appendU32(body, uint32_t(bytes.size()));
        body.append(bytes);
        const auto data = decodeObjectData(ObjectType::Image, byteSpan(body));
        return data ? std::get<Image>(*data).metafile : QByteArray();
    };
    EXPECT_EQ(metafileOf(padded), wmf);
    EXPECT_EQ(metafileOf(wmf), wmf);
}

TEST(EmfPlusReader, RefusesDamagedRecordsWithoutAllocatingFromTheirCounts) {
    const auto decodeOne = [](uint16_t type, uint16_t flags, const QByteArray& data) {
        EmfPlusBuilder plus;
        plus.record(type, flags, data);
        const auto records = decodeAll(plus);
        return records.size() == 1 ? records[0] : std::optional<Record>(IgnoredRecord{});
    };
    QByteArray hugeCount;
    appendU32(hugeCount, 0xFF000000);  // brush colour
    appendU32(hugeCount, 0x40000000);  // a billion rectangles in 8 bytes
    EXPECT_FALSE(decodeOne(0x400A, 0x8000, hugeCount)) << "huge rectangle count";
    // Object id 64 is past the table of 64.
    EXPECT_FALSE(decodeOne(0x4008, 0x0140, EmfPlusBuilder::brushBody(kGreen))) << "bad id";
    // Run-length types that run past the point count.
    QByteArray rle = EmfPlusBuilder::pathBody({{0, 0}, {1, 1}}, {0, 1}, false, false);
    rle[8] = 0x00;
    rle[9] = 0x10;
    rle.chop(2);
    rle.append(char(0x40 | 5)).append(char(1));
    EXPECT_FALSE(decodeOne(0x4008, 0x0300, rle)) << "RLE overrun";
    // A region nested deeper than any writer nests one.
    QByteArray region;
    appendU32(region, 0xDBC01002);
    appendU32(region, 600);
    for (int i = 0; i < 300; ++i) appendU32(region, 1);  // "and" nodes, one in another
    EXPECT_FALSE(decodeOne(0x4008, 0x0400, region)) << "region depth";

    // Continuation parts that add up to more than their total, and a total past the cap.
    Reader reader;
    QByteArray part;
    appendU32(part, 12);
    part.append(QByteArray(8, '\0'));
    EXPECT_TRUE(reader.decode({0x4008, 0x8300, byteSpan(part)}));
    EXPECT_FALSE(reader.decode({0x4008, 0x8300, byteSpan(part)})) << "continuation overflow";
    QByteArray huge;
    appendU32(huge, kMaxObjectBytes + 1);
    EXPECT_FALSE(reader.decode({0x4008, 0x8300, byteSpan(huge)})) << "object size cap";

    // A record whose size runs past its comment ends the comment.
    QByteArray payload;
    appendU16(payload, 0x4009);
    appendU16(payload, 0);
    appendU32(payload, 64);
    appendU32(payload, 4);
    appendU32(payload, 0);
    int seen = 0;
    EXPECT_FALSE(forEachRecord(byteSpan(payload), [&](const RawRecord&) { ++seen; }));
    EXPECT_EQ(seen, 0);
}

TEST(EmfPlusRender, DualPictureIsDrawnFromEmfPlusOnlyWhenEveryRecordIsDrawn) {
    EmfPlusBuilder plus;
    plus.header(true).fillRects(plusColor(kGreen), {QRectF(0, 0, 100, 100)});
    const QByteArray drawable = withRedFallback(plus);
    EXPECT_EQ(at(draw(drawable), 50, 50), kGreenRgb);
    EXPECT_EQ(at(draw(drawable, false), 50, 50), kRed) << "--no-emfplus draws the GDI records";

    // A record the player does not draw (DrawString) keeps the GDI rendition.
    plus.header(true).fillRects(plusColor(kGreen), {QRectF(0, 0, 100, 100)});
    plus.record(0x401C, 0x8000, QByteArray(28, '\0'));
    EXPECT_EQ(at(draw(withRedFallback(plus)), 50, 50), kRed);
    // So does a brush it cannot make (a texture brush).
    QByteArray texture;
    appendU32(texture, 0xDBC01002);
    appendU32(texture, 2);
    plus.header(true).object(1, 1, texture).fillRects(plusObject(1), {QRectF(0, 0, 9, 9)});
    EXPECT_EQ(at(draw(withRedFallback(plus)), 50, 50), kRed);
}

TEST(EmfPlusRender, EmfPlusOnlyPictureDrawsGdiRecordsAfterGetDcOnly) {
    EmfBuilder emf(100, 100);
    EmfPlusBuilder plus;
    plus.header(false).fillRects(plusColor(kGreen), {QRectF(0, 0, 50, 50)}).flushTo(emf);
    emf.createBrush(1, 0, kRedRef).selectObject(1).rectangle(0, 50, 50, 100);  // not drawn
    plus.getDc().flushTo(emf);
    // Drawn, in a GDI clip that the EMF+ records after it do not inherit.
    emf.intersectClipRect(50, 0, 100, 50);
    emf.createBrush(2, 0, 0xFF0000).selectObject(2).rectangle(50, 0, 100, 50);
    plus.fillRects(plusColor(kBlack), {QRectF(50, 50, 50, 50)}).flushTo(emf);
    emf.rectangle(0, 50, 50, 100);  // after an EMF+ record again: not drawn
    plus.endOfFile().flushTo(emf);
    RenderStats stats;
    const QImage image = draw(emf.build(), true, &stats);
    EXPECT_EQ(at(image, 25, 25), kGreenRgb);
    EXPECT_EQ(at(image, 75, 25), 0x0000FFu);
    EXPECT_EQ(at(image, 75, 75), kBlackRgb);
    EXPECT_EQ(at(image, 25, 75), kWhite);
    EXPECT_EQ(stats.recordsSkipped, 0);
}

TEST(EmfPlusRender, BrushesAndPens) {
    QImage stripes(8, 1, QImage::Format_ARGB32);
    for (int x = 0; x < 8; ++x) stripes.setPixel(x, 0, x < 4 ? kGreen : kBlack);
    EmfPlusBuilder plus;
    plus.header(true)
        .fillRects(plusColor(0x80000000), {QRectF(0, 0, 20, 20)})  // half-transparent black
        .hatchBrush(1, 0, kBlack, 0xFFFFFFFF)                       // horizontal lines
        .fillRects(plusObject(1), {QRectF(20, 0, 20, 20)})
        .linearBrush(2, QRectF(40, 0, 60, 20), 0xFFFF0000, kBlue)
        .fillRects(plusObject(2), {QRectF(40, 0, 60, 20)})
        .pen(3, 6, kBlack)
        .drawRects(3, {QRectF(10, 30, 30, 30)})
        .pen(4, 4, kBlack, {.dashStyle = 1, .dashes = {}})  // dash: 3 on, 1 off
        .drawLines(4, {{50, 50}, {100, 50}}, false)
        .textureBrush(5, stripes)  // 4 units green, 4 units black, repeated
        .scale(2, 2)
        .fillRects(plusObject(5), {QRectF(0, 40, 20, 10)});
    const QImage image = draw(withRedFallback(plus));
    EXPECT_NEAR(qRed(image.pixel(10, 10)), 128, 2);
    EXPECT_EQ(at(image, 30, 8), kBlackRgb);
    EXPECT_EQ(at(image, 30, 9), kWhite);
    EXPECT_GT(qRed(image.pixel(42, 10)), 220);
    EXPECT_GT(qBlue(image.pixel(97, 10)), 220);
    // The 6-unit pen: centred on the edge, 3 units either side.
    EXPECT_EQ(at(image, 10, 45), kBlackRgb);
    EXPECT_EQ(at(image, 12, 45), kBlackRgb);
    EXPECT_EQ(at(image, 14, 45), kWhite);
    EXPECT_EQ(at(image, 56, 50), kBlackRgb);
    EXPECT_EQ(at(image, 62, 50), kWhite);
    EXPECT_EQ(at(image, 66, 50), kBlackRgb);
    // The texture in world units, scaled by the transform: 8 pixels green, 8 black.
    EXPECT_EQ(at(image, 3, 90), kGreenRgb);
    EXPECT_EQ(at(image, 12, 90), kBlackRgb);
    EXPECT_EQ(at(image, 19, 90), kGreenRgb);
}

TEST(EmfPlusRender, PatternHatchesInTheirCells) {
    EmfPlusBuilder plus;
    plus.header(true)
        .hatchBrush(1, 50, kBlack, 0xFFFFFFFF)  // large checkerboard: 4 x 4 squares
        .fillRects(plusObject(1), {QRectF(0, 0, 48, 48)})
        .hatchBrush(2, 29, kBlack, 0xFFFFFFFF)  // dark horizontal: 2 rows on, 2 off
        .fillRects(plusObject(2), {QRectF(48, 0, 48, 48)})
        .hatchBrush(3, 52, kBlack, 0xFFFFFFFF)  // solid diamond, centred on (4, 3)
        .fillRects(plusObject(3), {QRectF(0, 48, 48, 48)});
    const QImage image = draw(withRedFallback(plus));
    EXPECT_EQ(at(image, 1, 1), kBlackRgb);
    EXPECT_EQ(at(image, 5, 1), kWhite);
    EXPECT_EQ(at(image, 5, 5), kBlackRgb);
    EXPECT_EQ(at(image, 1, 5), kWhite);
    EXPECT_EQ(at(image, 60, 17), kBlackRgb);
    EXPECT_EQ(at(image, 60, 18), kWhite);
    EXPECT_EQ(at(image, 60, 20), kBlackRgb);
    EXPECT_EQ(at(image, 12, 51), kBlackRgb);
    EXPECT_EQ(at(image, 8, 51), kWhite);
    EXPECT_EQ(at(image, 12, 55), kWhite);
}

TEST(EmfPlusRender, TextureWrapModesFlipAndClamp) {
    QImage cells(2, 2, QImage::Format_ARGB32);
    cells.setPixel(0, 0, kGreen);
    cells.setPixel(1, 0, kBlack);
    cells.setPixel(0, 1, kBlue);
    cells.setPixel(1, 1, kBlack);
    const auto fillWith = [&](uint32_t wrapMode) {
        EmfPlusBuilder plus;
        plus.header(true).textureBrush(1, cells, wrapMode).scale(10, 10);  // a cell 10 pixels
        plus.fillRects(plusObject(1), {QRectF(0, 0, 10, 10)});
        return draw(withRedFallback(plus));
    };
    QImage image = fillWith(3);  // every other tile mirrored, across and down
    EXPECT_EQ(at(image, 25, 5), kBlackRgb);
    EXPECT_EQ(at(image, 35, 5), kGreenRgb);
    EXPECT_EQ(at(image, 5, 25), 0x0000FFu);
    EXPECT_EQ(at(image, 5, 35), kGreenRgb);
    image = fillWith(4);  // once, nothing around it
    EXPECT_EQ(at(image, 5, 5), kGreenRgb);
    EXPECT_EQ(at(image, 15, 15), kBlackRgb);
    EXPECT_EQ(at(image, 25, 5), kWhite);
    EXPECT_EQ(at(image, 5, 25), kWhite);
}

TEST(EmfPlusRender, FiguresCurvesAndPaths) {
    EmfPlusBuilder plus;
    plus.header(true)
        .fillPie(plusColor(kBlack), 0, 90, QRectF(0, 0, 40, 40))  // clockwise: lower right
        .fillClosedCurve(plusColor(kBlack), 0.5f, {{60, 5}, {95, 5}, {95, 40}, {60, 40}})
        .pen(1, 2, kBlack)
        .drawCurve(1, 0, 0, 1, {{5, 60}, {45, 60}, {45, 95}})  // only the first segment
        .path(2, {{60, 60}, {95, 60}, {60, 95}}, {0, 1, 0x81}, true, true)
        .fillPath(plusColor(kBlack), 2);
    const QImage image = draw(withRedFallback(plus));
    EXPECT_EQ(at(image, 30, 30), kBlackRgb);
    EXPECT_EQ(at(image, 10, 10), kWhite);
    EXPECT_EQ(at(image, 30, 10), kWhite);
    EXPECT_EQ(at(image, 77, 22), kBlackRgb);
    EXPECT_EQ(at(image, 25, 60), kBlackRgb);
    EXPECT_EQ(at(image, 45, 80), kWhite);
    EXPECT_EQ(at(image, 65, 65), kBlackRgb);
    EXPECT_EQ(at(image, 90, 90), kWhite);
}

TEST(EmfPlusRender, TransformsSavedStatesAndContainers) {
    EmfPlusBuilder plus;
    plus.header(true)
        .pageTransform(6, 1)  // millimetres: 10 mm is 37.8 pixels at 96 dpi
        .fillRects(plusColor(kBlack), {QRectF(0, 0, 10, 10)})
        .pageTransform(2, 1)
        .translate(60, 0)
        .save(1)
        .translate(0, 60)
        .restore(1)
        .fillRects(plusColor(kGreen), {QRectF(0, 0, 10, 10)})  // at (60, 0)
        .resetTransform()
        .beginContainer(QRectF(0, 60, 40, 40), QRectF(0, 0, 10, 10), 2)
        .fillRects(plusColor(kGreen), {QRectF(0, 0, 5, 5)})  // scaled four times
        .endContainer(2)
        .fillRects(plusColor(kBlack), {QRectF(60, 60, 5, 5)});
    const QImage image = draw(withRedFallback(plus));
    EXPECT_EQ(at(image, 36, 36), kBlackRgb);
    EXPECT_EQ(at(image, 39, 39), kWhite);
    EXPECT_EQ(at(image, 65, 5), kGreenRgb);
    EXPECT_EQ(at(image, 62, 62), kBlackRgb);
    EXPECT_EQ(at(image, 18, 78), kGreenRgb);
    EXPECT_EQ(at(image, 22, 82), kWhite);
}

TEST(EmfPlusRender, ClipsCombineOffsetAndReset) {
    EmfPlusBuilder plus;
    plus.header(true)
        .clear(0x00000000)                   // transparent: the background stays
        .clipRect(QRectF(0, 0, 50, 100), 0)  // replace: left half
        .clipRect(QRectF(0, 0, 100, 50), 4)  // exclude the top half
        .fillRects(plusColor(kBlack), {QRectF(0, 0, 100, 100)})
        .offsetClip(50, 0)  // now the lower right quarter
        .fillRects(plusColor(kGreen), {QRectF(0, 0, 100, 100)})
        .path(1, {{0, 0}, {20, 0}, {0, 20}}, {0, 1, 0x81})
        .clipPath(1, 0)
        .fillRects(plusColor(kGreen), {QRectF(0, 0, 100, 100)})
        .resetClip()
        .fillRects(plusColor(kBlue), {QRectF(90, 0, 10, 10)})
        .clipRect(QRectF(90, 90, 10, 10), 0)
        .clear(kBlue);
    const QImage image = draw(withRedFallback(plus));
    EXPECT_EQ(at(image, 95, 95), 0x0000FFu);
    EXPECT_EQ(at(image, 85, 95), kGreenRgb);
    EXPECT_EQ(at(image, 75, 25), kWhite);
    EXPECT_EQ(at(image, 25, 75), kBlackRgb);
    EXPECT_EQ(at(image, 75, 75), kGreenRgb);
    EXPECT_EQ(at(image, 75, 25), kWhite);
    EXPECT_EQ(at(image, 4, 4), kGreenRgb);
    EXPECT_EQ(at(image, 16, 16), kWhite);
    EXPECT_EQ(at(image, 95, 5), 0x0000FFu);
}

// Regions of every node type, as clips and filled. A region outside a path (infinite, or an
// exclusion from infinite) stays unbounded under a world transform as a chart writer sets it:
// a ten-thousandth of a unit and a large offset, which puts any finite "everything" of world
// units off the picture.
TEST(EmfPlusRender, RegionsOfEveryNodeTypeUnderAChartsWorldTransform) {
    const auto w = [](double device) { return (device + 1000) * 1e4; };
    const auto square = [&](double x, double y, double side) {
        return test::regionRect(QRectF(w(x), w(y), side * 1e4, side * 1e4));
    };
    const QByteArray triangle = EmfPlusBuilder::pathBody(
        {{w(60), w(80)}, {w(80), w(80)}, {w(60), w(100)}}, {0, 1, 0x81}, false, false);
    EmfPlusBuilder plus;
    plus.header(true)
        .scale(1e-4f, 1e-4f)
        .translate(-1000, -1000, true)
        .region(1, test::regionCombined(4, test::regionInfinite(), square(40, 40, 20)))
        .clipRegion(1, 0)
        .fillRects(plusColor(kBlack), {QRectF(w(0), w(0), 100e4, 100e4)})
        .resetClip()
        .region(2, test::regionCombined(3, square(0, 80, 20), square(10, 80, 20)))
        .fillRegion(plusColor(kGreen), 2)
        .region(3, test::regionCombined(1, test::regionInfinite(), test::regionPath(triangle)))
        .fillRegion(plusColor(kBlue), 3)
        .region(4, test::regionCombined(
                       2, test::regionEmpty(),
                       test::regionCombined(5, square(0, 0, 95), test::regionInfinite())))
        .fillRegion(plusColor(kGreen), 4);
    const QImage image = draw(withRedFallback(plus));
    EXPECT_EQ(at(image, 10, 10), kBlackRgb);
    EXPECT_EQ(at(image, 50, 50), kWhite);
    EXPECT_EQ(at(image, 5, 90), kGreenRgb);
    EXPECT_EQ(at(image, 15, 90), kBlackRgb);
    EXPECT_EQ(at(image, 25, 90), kGreenRgb);
    EXPECT_EQ(at(image, 64, 84), 0x0000FFu);
    EXPECT_EQ(at(image, 76, 92), kBlackRgb);
    EXPECT_EQ(at(image, 50, 97), kGreenRgb);
    EXPECT_EQ(at(image, 50, 92), kBlackRgb);
}

TEST(EmfPlusRender, BitmapsAndMetafileImages) {
    QImage cells(2, 2, QImage::Format_ARGB32);
    cells.setPixel(0, 0, 0xFFFF0000);
    cells.setPixel(1, 0, 0xFF00FF00);
    cells.setPixel(0, 1, 0xFF0000FF);
    cells.setPixel(1, 1, 0x00000000);  // transparent
    EmfBuilder inner(10, 10);
    inner.createBrush(1, 0, 0xFF0000).selectObject(1).rectangle(-1, -1, 11, 11);
    EmfPlusBuilder plus;
    plus.header(true)
        .bitmap(1, cells)
        .drawImage(1, QRectF(0, 0, 2, 2), QRectF(0, 0, 40, 40))
        // Flipped left to right: the right column of the source comes first.
        .drawImagePoints(1, QRectF(1, 0, 1, 1), {{90, 0}, {50, 0}, {90, 40}})
        .metafileImage(2, inner.build())
        .drawImage(2, QRectF(0, 0, 10, 10), QRectF(50, 50, 40, 40));
    QImage image = draw(withRedFallback(plus));
    EXPECT_EQ(at(image, 5, 5), kRed);
    EXPECT_EQ(at(image, 35, 5), 0x00FF00u);
    EXPECT_EQ(at(image, 5, 35), 0x0000FFu);
    EXPECT_EQ(at(image, 35, 35), kWhite);
    EXPECT_EQ(at(image, 70, 20), 0x00FF00u);
    EXPECT_EQ(at(image, 70, 70), 0x0000FFu);
    EXPECT_EQ(at(image, 95, 95), kWhite);
    RenderStats stats;
    EmfPlusBuilder unknown;
    QByteArray guid(24, '\x11');
    unknown.header(false).record(0x4038, 0, guid);
    EmfBuilder emf(100, 100);
    unknown.flushTo(emf);
    draw(emf.build(), true, &stats);
    EXPECT_EQ(stats.recordsSkipped, 1) << "an unknown serializable object: no effect";
}

// Effect GUIDs as their bytes lie in a file.
constexpr const char* kColorMatrix = "15268f713379e340a5115f68fe14dd74";
constexpr const char* kLookupTable = "a972cea77f0fd740b3ccd0c02d5c3212";
constexpr const char* kBrightnessContrast = "e1dba1d3c48e174c9f4cea97ad1c343d";
constexpr const char* kHueSaturationLightness = "c3d62d8b07eb874da5f07108e26a9c5f";
constexpr const char* kRedEye = "059dd274a469664295493cc52836b632";
constexpr const char* kBlur = "a4803c6343182b489ef2be2834c5fdd4";
constexpr const char* kSharpen = "eef3cb6326c52c408f7162c540bf5142";

QByteArray u32s(std::initializer_list<uint32_t> values) {
    QByteArray out;
    for (uint32_t v : values) appendU32(out, v);
    return out;
}

TEST(EmfPlusReader, ImageEffectParametersAsWritersLayThemOut) {
    const auto decodeEffect = [](const char* guid, const QByteArray& parameters) {
        EmfPlusBuilder plus;
        plus.imageEffect(guid, parameters);
        const auto records = decodeAll(plus);
        const auto* effect = records[0] ? std::get_if<ImageEffectRecord>(&*records[0]) : nullptr;
        return effect ? std::optional(*effect) : std::nullopt;
    };
    // Red-eye areas follow the count and a pointer of the writer's.
    auto effect = decodeEffect(kRedEye, u32s({2, 0x022E0F58, 1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_TRUE(effect);
    ASSERT_EQ(effect->areas.size(), 2u);
    EXPECT_EQ(effect->areas[1], QRect(QPoint(5, 6), QPoint(7, 8)));
    // A colour curve written under the lookup table's GUID.
    effect = decodeEffect(kLookupTable, u32s({2, 1, 5}));
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->effect, ImageEffect::ColorCurve);
    EXPECT_EQ(effect->values, (std::array<int32_t, 3>{2, 1, 5}));
    EXPECT_FALSE(decodeEffect(kLookupTable, QByteArray(1000, 0))) << "a short table";
    EXPECT_FALSE(decodeEffect(kRedEye, u32s({3, 0, 1, 2, 3, 4}))) << "areas past the end";
    EXPECT_FALSE(decodeEffect(kColorMatrix, QByteArray(96, 0))) << "a short matrix";
}

TEST(EmfPlusRender, ImageEffectsChangeTheBitmapBeforeItIsDrawn) {
    // Each effect on a bitmap drawn from the picture's corner at one pixel a pixel of it; a
    // dual picture, so that a refused effect shows the red fallback.
    const auto drawnWith = [](const QImage& bitmap, const char* guid, const QByteArray& params) {
        EmfPlusBuilder plus;
        plus.header(true).bitmap(1, bitmap).imageEffect(guid, params);
        const double w = bitmap.width(), h = bitmap.height();
        plus.drawImagePoints(1, QRectF(0, 0, w, h), {{0, 0}, {w, 0}, {0, h}}, true);
        return draw(withRedFallback(plus));
    };
    QImage cells(20, 20, QImage::Format_ARGB32);
    cells.fill(0xFFFF0000);
    for (int y = 0; y < 20; ++y)
        for (int x = 10; x < 20; ++x) cells.setPixel(x, y, y < 10 ? 0xFF00FF00 : 0x800000FF);
    // The matrix swaps red and blue, and doubles alpha.
    QByteArray matrix;
    const float m[25] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0,
                         0, 0, 0, 2, 0, 0, 0, 0, 0, 0};
    for (float v : m) appendF32(matrix, v);
    QImage image = drawnWith(cells, kColorMatrix, matrix);
    EXPECT_EQ(at(image, 5, 5), 0x0000FFu);
    EXPECT_EQ(at(image, 15, 5), 0x00FF00u);
    EXPECT_EQ(at(image, 15, 15), 0xFF0000u) << "opaque red after alpha doubled";
    EXPECT_EQ(at(image, 50, 50), kWhite);
    // The lookup table (blue, green, red, alpha tables) inverts red alone.
    QByteArray table(1024, 0);
    for (int i = 0; i < 256; ++i) {
        table[i] = table[256 + i] = table[768 + i] = char(i);
        table[512 + i] = char(255 - i);
    }
    image = drawnWith(cells, kLookupTable, table);
    EXPECT_EQ(at(image, 5, 5), kBlackRgb);
    EXPECT_EQ(at(image, 15, 5), 0xFFFF00u);
    EXPECT_EQ(at(drawnWith(cells, kBrightnessContrast, u32s({255, 0})), 5, 5), kWhite);
    // Hue turned by 120 degrees: red becomes green; lightness -100 is black.
    EXPECT_EQ(at(drawnWith(cells, kHueSaturationLightness, u32s({120, 0, 0})), 5, 5), 0x00FF00u);
    EXPECT_EQ(at(drawnWith(cells, kHueSaturationLightness, u32s({0, 0, uint32_t(-100)})), 15, 5),
              kBlackRgb);
    // Red eye: only in its area (the left half), red gives way to its green and blue.
    image = drawnWith(cells, kRedEye, u32s({1, 0, 0, 0, 4, 19}));
    EXPECT_EQ(at(image, 2, 10), kBlackRgb);
    EXPECT_EQ(at(image, 7, 10), kRed);

    // A step from dark to light grey: a blur of 3 pixels softens it, sharpening steepens it.
    QImage step(20, 20, QImage::Format_ARGB32);
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y) step.setPixel(x, y, x < 10 ? 0xFF404040 : 0xFFC0C0C0);
    QByteArray blur;
    appendF32(blur, 3);
    appendU32(blur, 0);
    image = drawnWith(step, kBlur, blur);
    EXPECT_GT(qGray(image.pixel(8, 10)), 0x48);
    EXPECT_LT(qGray(image.pixel(11, 10)), 0xB8);
    EXPECT_EQ(qGray(image.pixel(2, 10)), 0x40);
    QByteArray sharpen;
    appendF32(sharpen, 2);
    appendF32(sharpen, 100);
    image = drawnWith(step, kSharpen, sharpen);
    EXPECT_LT(qGray(image.pixel(9, 10)), 0x38);
    EXPECT_GT(qGray(image.pixel(10, 10)), 0xC8);
    EXPECT_EQ(qGray(image.pixel(2, 10)), 0x40);

    // Copied over the picture (SourceCopy), a transparent bitmap leaves what is under it.
    QImage clear(4, 4, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    EmfPlusBuilder plus;
    plus.header(true).fillRects(plusColor(kGreen), {QRectF(0, 0, 100, 100)});
    plus.record(0x4023, 1, {}).bitmap(1, clear);
    plus.drawImage(1, QRectF(0, 0, 4, 4), QRectF(0, 0, 100, 100));
    EXPECT_EQ(at(draw(withRedFallback(plus)), 50, 50), kGreenRgb);
}

TEST(EmfPlusRender, ImageSourcesInUnitsBeyondTheBitmapAndPartsOfMetafiles) {
    QImage cells(2, 2, QImage::Format_ARGB32);
    cells.setPixel(0, 0, 0xFFFF0000);
    cells.setPixel(1, 0, 0xFF00FF00);
    cells.setPixel(0, 1, 0xFF0000FF);
    cells.setPixel(1, 1, 0xFF000000);
    // A source twice the bitmap's size: tiled, its cells repeat; flipped across, the second
    // tile is the mirror image; clamped, the clamp colour; without attributes, nothing.
    const auto beyond = [&](std::optional<uint32_t> wrapMode, uint32_t clampColor = 0) {
        EmfPlusBuilder plus;
        plus.header(true).bitmap(1, cells);
        if (wrapMode) plus.imageAttributes(2, *wrapMode, clampColor);
        plus.drawImage(1, QRectF(0, 0, 4, 4), QRectF(0, 0, 100, 100), wrapMode ? 2 : 0xFFFFFFFF);
        return draw(withRedFallback(plus));
    };
    // Colours within a little of the cells' (the tiles are smoothed as they are scaled).
    const auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) < 8 && std::abs(qGreen(a) - qGreen(b)) < 8 &&
               std::abs(qBlue(a) - qBlue(b)) < 8;
    };
    QImage image = beyond(0);
    EXPECT_TRUE(near(image.pixel(62, 12), 0xFF0000));
    EXPECT_TRUE(near(image.pixel(87, 87), 0x000000));
    image = beyond(1);
    EXPECT_TRUE(near(image.pixel(62, 12), 0x00FF00));
    EXPECT_TRUE(near(image.pixel(87, 12), 0xFF0000));
    image = beyond(4, 0xFF0000FF);
    EXPECT_EQ(at(image, 12, 12), kRed);
    EXPECT_EQ(at(image, 87, 62), 0x0000FFu);
    image = beyond(std::nullopt);
    EXPECT_EQ(at(image, 37, 37), kBlackRgb);
    EXPECT_EQ(at(image, 87, 62), kWhite);

    // A source in points: 1.5 points are 2 pixels at the bitmap's 96 dpi, so half of it is
    // the left column, stretched across.
    EmfPlusBuilder plus;
    plus.header(true).bitmap(1, cells).drawImage(1, QRectF(0, 0, 0.75, 1.5),
                                                 QRectF(0, 0, 100, 100), 0xFFFFFFFF, 3);
    image = draw(withRedFallback(plus));
    EXPECT_EQ(at(image, 20, 20), kRed);
    EXPECT_EQ(at(image, 20, 80), 0x0000FFu);

    // A metafile's source in its device pixels: the right half of a 10 x 10 picture, red on
    // the left and blue on the right, is blue across the destination.
    EmfBuilder inner(10, 10);
    inner.createBrush(1, 0, 0x0000FF).selectObject(1).rectangle(-1, -1, 5, 11);
    inner.createBrush(2, 0, 0xFF0000).selectObject(2).rectangle(5, -1, 11, 11);
    plus.header(true).metafileImage(1, inner.build());
    plus.drawImage(1, QRectF(5, 0, 5, 10), QRectF(0, 0, 100, 100));
    image = draw(withRedFallback(plus));
    EXPECT_EQ(at(image, 10, 50), 0x0000FFu);
    EXPECT_EQ(at(image, 90, 50), 0x0000FFu);
}

TEST(EmfPlusRender, InterpolationModeAndRenderingOrigin) {
    QImage pair(2, 1, QImage::Format_ARGB32);
    pair.setPixel(0, 0, 0xFFFF0000);
    pair.setPixel(1, 0, 0xFF0000FF);
    // Nearest neighbour (5) keeps each pixel's colour up to the middle; smoothing blends there.
    const auto scaled = [&](uint16_t mode) {
        EmfPlusBuilder plus;
        plus.header(true).record(0x4021, mode, {}).bitmap(1, pair);
        plus.drawImage(1, QRectF(0, 0, 2, 1), QRectF(0, 0, 100, 100));
        return draw(withRedFallback(plus));
    };
    EXPECT_EQ(at(scaled(5), 45, 50), kRed);
    EXPECT_EQ(at(scaled(5), 55, 50), 0x0000FFu);
    EXPECT_NE(at(scaled(7), 45, 50), kRed);
    // Horizontal hatch lines start at the rendering origin's row.
    EmfPlusBuilder plus;
    plus.header(true).record(0x401D, 0, u32s({0, 3})).hatchBrush(1, 0, kBlack, 0xFFFFFFFF);
    plus.fillRects(plusObject(1), {QRectF(0, 0, 100, 100)});
    const QImage image = draw(withRedFallback(plus));
    EXPECT_EQ(at(image, 50, 0), kWhite);
    EXPECT_EQ(at(image, 50, 3), kBlackRgb);
    EXPECT_EQ(at(image, 50, 11), kBlackRgb);
}

// The rectangle around the pixels darker than mid grey.
QRect inked(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) box |= QRect(x, y, 1, 1);
    return box;
}

TEST(EmfPlusRender, StringsInTheirFontAndLayout) {
    // 20-pixel text in a 40 x 20 unit page scaled by two: its em is 40 pixels high, centred
    // on the layout rectangle's centre (50, 50).
    EmfPlusBuilder plus;
    plus.header(true)
        .font(1, 20, 2, QStringLiteral("Liberation Sans"), 1)
        .stringFormat(2, 0, 1, 1)
        .scale(2, 2)
        .drawString(1, plusColor(kBlack), 2, QRectF(5, 15, 40, 20), QStringLiteral("II"));
    const QRect ink = inked(draw(withRedFallback(plus)));
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.center().x(), 50, 3);
    EXPECT_NEAR(ink.center().y(), 50, 4);
    EXPECT_NEAR(ink.height(), 29, 4);  // the capital height of a 40-pixel em

    // An empty layout rectangle: the text starts at its corner, unwrapped.
    plus.header(true)
        .font(1, 10, 2, QStringLiteral("Liberation Sans"))
        .drawString(1, plusColor(kBlack), 0xFFFFFFFF, QRectF(60, 70, 0, 0),
                    QStringLiteral("wide text"));
    const QRect corner = inked(draw(withRedFallback(plus)));
    EXPECT_NEAR(corner.left(), 61, 2);
    EXPECT_GT(corner.top(), 70);
    EXPECT_LT(corner.bottom(), 82);
    EXPECT_GE(corner.right(), 96) << "runs off the picture, unwrapped";
}

// A string in 20-pixel Liberation Sans laid out by a format, drawn in a dual picture (which
// must come out of its EMF+ records) and cut to `part` before its ink is measured.
struct FormattedString {
    uint32_t flags = 0, alignment = 0, lineAlignment = 0;
    int32_t hotkeyPrefix = 0;
    uint32_t trimming = 0;
    std::vector<float> tabs = {};
};
QRect formattedInk(const FormattedString& f, const QRectF& layout, const QString& text,
                   QRect part = QRect(0, 0, 100, 100)) {
    EmfPlusBuilder plus;
    plus.header(true)
        .font(1, 20, 2, QStringLiteral("Liberation Sans"))
        .stringFormat(2, f.flags, f.alignment, f.lineAlignment, f.hotkeyPrefix, f.trimming, f.tabs)
        .drawString(1, plusColor(kBlack), 2, layout, text);
    const QImage image = draw(withRedFallback(plus));
    EXPECT_NE(at(image, 99, 99), kRed) << "drawn from EMF+";
    return inked(image.copy(part)).translated(part.topLeft());
}

TEST(EmfPlusRender, StringFormatsTurnTrimTabAndPrefix) {
    // Vertical: down the rectangle's right side, glyphs turned a quarter clockwise.
    const QRect turned = formattedInk({.flags = 0x2}, QRectF(40, 10, 20, 80), "IIIII");
    EXPECT_GT(turned.height(), turned.width() * 3 / 2);
    EXPECT_GT(turned.left(), 40);
    EXPECT_LT(turned.top(), 16);
    // Right to left: near is the right; far lines at the bottom.
    const QRect rtl =
        formattedInk({.flags = 0x1, .lineAlignment = 2}, QRectF(0, 0, 100, 100), "abc");
    EXPECT_GT(rtl.right(), 94);
    EXPECT_GT(rtl.left(), 60);
    EXPECT_GT(rtl.bottom(), 90);

    // No wrap, no clip: the line runs on past the rectangle; clipped, it stops at its end;
    // trimmed with an ellipsis, its last glyph is the ellipsis's dots, low on the line.
    const QString many = QStringLiteral("IIIIIIIIIIIIIIIIIIII");
    EXPECT_GT(formattedInk({.flags = 0x5000}, QRectF(0, 0, 40, 30), many).right(), 90);
    const QRect cut = formattedInk({.flags = 0x1000, .trimming = 1}, QRectF(0, 0, 40, 30), many);
    EXPECT_LE(cut.right(), 40);
    const auto lastTop = [&](uint32_t trimming) {
        const QRect ink = formattedInk({.flags = 0x1000, .trimming = trimming},
                                       QRectF(0, 0, 40, 30), many);
        return formattedInk({.flags = 0x1000, .trimming = trimming}, QRectF(0, 0, 40, 30), many,
                            QRect(ink.right() - 2, 0, 3, 30))
            .top();
    };
    EXPECT_GT(lastTop(3), lastTop(1) + 8);

    // Whole lines only: a second line that the rectangle shows in part is left out.
    const QString words = QStringLiteral("III III III");
    EXPECT_EQ(formattedInk({}, QRectF(0, 0, 30, 30), words).bottom(), 29);
    EXPECT_LT(formattedInk({.flags = 0x2000}, QRectF(0, 0, 30, 30), words).bottom(), 24);

    // A tab goes to the stop 50 units from the line's start.
    const QRect tabbed = formattedInk({.tabs = {50}}, QRectF(0, 0, 100, 30), "I\tI",
                                      QRect(20, 0, 80, 30));
    EXPECT_NEAR(tabbed.left(), 52, 2);

    // Hotkey prefixes: hidden, the '&' goes; shown, the next character is underlined.
    const QRect plain = formattedInk({}, QRectF(0, 0, 100, 30), "&II");
    const QRect hidden = formattedInk({.hotkeyPrefix = 2}, QRectF(0, 0, 100, 30), "&II");
    const QRect shown = formattedInk({.hotkeyPrefix = 1}, QRectF(0, 0, 100, 30), "&II");
    EXPECT_LT(hidden.width(), plain.width() - 5);
    EXPECT_GT(shown.bottom(), hidden.bottom() + 1);
}

TEST(EmfPlusRender, DriverStringsPlaceEachGlyph) {
    // Characters (CmapLookup) at their own baseline origins; with RealizedAdvance the second
    // follows the first at the font's advance instead of its given position.
    const auto drawn = [](uint32_t options) {
        EmfPlusBuilder plus;
        plus.header(true)
            .font(1, 20, 2, QStringLiteral("Liberation Sans"))
            .drawDriverString(1, plusColor(kBlack), options, QStringLiteral("II"),
                              {{10, 60}, {80, 60}});
        return inked(draw(withRedFallback(plus)));
    };
    const QRect placed = drawn(1);
    ASSERT_FALSE(placed.isEmpty());
    EXPECT_NEAR(placed.left(), 12, 3);
    EXPECT_NEAR(placed.right(), 84, 3);
    EXPECT_NEAR(placed.bottom(), 59, 2) << "the positions are baseline origins";
    const QRect advanced = drawn(1 | 4);
    EXPECT_NEAR(advanced.left(), 12, 3);
    EXPECT_LT(advanced.right(), 30);
}

TEST(EmfPlusRender, PathGradientsAndArrowCaps) {
    // A square boundary, black at its centre and white on its edge; clamped, it paints
    // nothing outside the boundary even where the filled rectangle goes on.
    EmfPlusBuilder plus;
    plus.header(true)
        .pathGradientBrush(1, {{10, 10}, {50, 10}, {50, 50}, {10, 50}}, {30, 30}, kBlack,
                           0xFFFFFFFF)
        .fillRects(plusObject(1), {QRectF(0, 0, 60, 60)})
        .pen(2, 2, kBlack, {.endCap = 0xFF, .dashes = {}, .arrowEndCap = std::pair(6.0f, 6.0f)})
        .drawLines(2, {{10, 80}, {90, 80}}, false);
    const QImage image = draw(withRedFallback(plus));
    EXPECT_LT(qGray(image.pixel(30, 30)), 40);
    EXPECT_NEAR(qGray(image.pixel(20, 30)), 128, 30) << "half way to the edge";
    EXPECT_GT(qGray(image.pixel(11, 30)), 200);
    EXPECT_EQ(at(image, 55, 30), kWhite);
    // The arrow: tip at the line's end, 12 units long and 12 across at its base.
    EXPECT_EQ(at(image, 50, 77), kWhite);
    EXPECT_EQ(at(image, 80, 76), kBlackRgb);
    EXPECT_EQ(at(image, 80, 84), kBlackRgb);
    EXPECT_EQ(at(image, 92, 80), kWhite);
}

TEST(EmfPlusRender, PenCapsCompoundLinesInsetAndMiterLimit) {
    EmfPlusBuilder plus;
    plus.header(true)
        // A triangle starts the line, a round anchor (twice the width across) ends it.
        .pen(1, 10, kBlack, {.startCap = 3, .endCap = 0x12, .dashes = {}})
        .drawLines(1, {{20, 20}, {70, 20}}, false)
        // An arrow anchor (the line stops at its base) and a diamond anchor.
        .pen(2, 6, kBlack, {.startCap = 0x14, .endCap = 0x13, .dashes = {}})
        .drawLines(2, {{20, 50}, {70, 50}}, false)
        // Inset: inside the rectangle, 6 units deep.
        .pen(3, 6, kBlack, {.dashes = {}, .alignment = 1})
        .drawRects(3, {QRectF(35, 27, 20, 16)})
        // Compound: two bands of a quarter width each, on a line and around a rectangle.
        .pen(4, 12, kBlack, {.dashes = {}, .compound = {0, 0.25f, 0.75f, 1}})
        .drawLines(4, {{10, 80}, {50, 80}}, false)
        .pen(5, 10, kBlack, {.dashes = {}, .compound = {0, 0.3f, 0.7f, 1}})
        .drawRects(5, {QRectF(60, 70, 30, 20)})
        // Dashes of 12 units and gaps of 8, each end a triangle 2 units long.
        .pen(6, 4, kBlack, {.dashStyle = 5, .dashes = {3, 2}, .dashCap = 3})
        .drawLines(6, {{0, 96.5f}, {50, 96.5f}}, false);
    const QImage image = draw(withRedFallback(plus));
    EXPECT_EQ(at(image, 16, 20), kBlackRgb) << "the triangle's tip, 5 units out";
    EXPECT_EQ(at(image, 16, 17), kWhite);
    EXPECT_EQ(at(image, 18, 18), kBlackRgb);
    EXPECT_EQ(at(image, 70, 28), kBlackRgb) << "the anchor is wider than the line";
    EXPECT_EQ(at(image, 79, 20), kBlackRgb);
    EXPECT_EQ(at(image, 82, 20), kWhite);
    EXPECT_EQ(at(image, 28, 46), kBlackRgb) << "the arrow, wider than the line";
    EXPECT_EQ(at(image, 21, 47), kWhite) << "no line beside the arrow's tip";
    EXPECT_EQ(at(image, 74, 50), kBlackRgb);
    EXPECT_EQ(at(image, 70, 54), kBlackRgb);
    EXPECT_EQ(at(image, 73, 55), kWhite);
    EXPECT_EQ(at(image, 33, 35), kWhite) << "nothing outside an inset pen's figure";
    EXPECT_EQ(at(image, 36, 35), kBlackRgb);
    EXPECT_EQ(at(image, 40, 35), kBlackRgb);
    EXPECT_EQ(at(image, 42, 35), kWhite);
    EXPECT_EQ(at(image, 30, 75), kBlackRgb);
    EXPECT_EQ(at(image, 30, 80), kWhite) << "the gap between the bands";
    EXPECT_EQ(at(image, 30, 84), kBlackRgb);
    EXPECT_EQ(at(image, 56, 80), kBlackRgb);
    EXPECT_EQ(at(image, 60, 80), kWhite);
    EXPECT_EQ(at(image, 63, 80), kBlackRgb);
    EXPECT_EQ(at(image, 56, 66), kBlackRgb) << "the outer band's mitred corner";
    EXPECT_EQ(at(image, 75, 80), kWhite);
    EXPECT_EQ(at(image, 13, 96), kBlackRgb) << "a dash's triangle";
    EXPECT_EQ(at(image, 13, 95), kWhite);
    EXPECT_EQ(at(image, 16, 96), kWhite) << "the gap between two triangles";

    // A 60-degree corner's miter is twice the width long: drawn under a limit of 3, cut to
    // a bevel under 1.5.
    const auto corner = [](float limit) {
        EmfPlusBuilder v;
        v.header(true)
            .pen(1, 8, kBlack, {.dashes = {}, .miterLimit = limit})
            .drawLines(1, {{38.45f, 60}, {50, 40}, {61.55f, 60}}, false);
        return at(draw(withRedFallback(v)), 50, 35);
    };
    EXPECT_EQ(corner(3), kBlackRgb);
    EXPECT_EQ(corner(1.5f), kWhite);

    // A pen the player does not draw as GDI+ would keeps a dual picture's GDI rendition: a
    // compound line with dashes.
    plus.header(true)
        .pen(1, 4, kBlack, {.dashStyle = 1, .dashes = {}, .compound = {0, 0.2f, 0.8f, 1}})
        .drawLines(1, {{0, 0}, {9, 9}}, false);
    EXPECT_EQ(at(draw(withRedFallback(plus)), 50, 50), kRed);
    // GDI+ has no left, outset or right alignment: such a pen is drawn centred.
    EmfPlusBuilder left;
    left.header(true)
        .pen(1, 10, kBlack, {.dashes = {}, .alignment = 3})
        .drawLines(1, {{10, 50}, {90, 50}}, false);
    const QImage leftImage = draw(withRedFallback(left));
    EXPECT_EQ(at(leftImage, 50, 47), kBlackRgb);
    EXPECT_EQ(at(leftImage, 50, 53), kBlackRgb);
    EXPECT_EQ(at(leftImage, 50, 57), kWhite);
}

TEST(EmfPlusRender, PathGradientBandsFollowTheBrushInTheirSlot) {
    // One brush fills two figures alike; a brush put in its slot after them fills with its
    // own colours, not the bands painted for the first.
    const std::vector<QPointF> square{{0, 0}, {40, 0}, {40, 40}, {0, 40}};
    EmfPlusBuilder plus;
    plus.header(true)
        .pathGradientBrush(1, square, {20, 20}, kBlack, kBlack)
        .fillRects(plusObject(1), {QRectF(0, 0, 20, 20)})
        .fillRects(plusObject(1), {QRectF(20, 0, 20, 20)})
        .pathGradientBrush(1, square, {20, 20}, kBlue, kBlue)
        .fillRects(plusObject(1), {QRectF(0, 20, 40, 20)});
    const QImage image = draw(withRedFallback(plus));
    EXPECT_EQ(at(image, 10, 10), kBlackRgb);
    EXPECT_EQ(at(image, 30, 10), kBlackRgb);
    EXPECT_EQ(at(image, 20, 30), 0x0000FFu);
}

TEST(EmfPlusRender, DamagedRecordsAreSkippedAndCounted) {
    EmfBuilder emf(100, 100);
    EmfPlusBuilder plus;
    plus.header(false).fillRects(plusColor(kGreen), {QRectF(0, 0, 100, 100)}).flushTo(emf);
    QByteArray hugeCount;
    appendU32(hugeCount, 0x7FFFFFFF);
    plus.record(0x400D, 0, hugeCount).flushTo(emf);           // DrawLines, no points
    plus.fillPath(plusObject(9), 63).drawPath(70, 1).flushTo(emf);  // no such objects
    plus.object(2, 3, EmfPlusBuilder::pathBody({{0, 0}}, {0}, false, false), 4);  // unfinished
    plus.fillRects(plusColor(kBlack), {QRectF(0, 0, 10, 10)}).flushTo(emf);
    RenderStats stats;
    const QImage image = draw(emf.build(), true, &stats);
    EXPECT_EQ(at(image, 50, 50), kGreenRgb);
    EXPECT_EQ(at(image, 5, 5), kBlackRgb);
    EXPECT_EQ(stats.recordsSkipped, 2);
    EXPECT_EQ(stats.recordsPlayed + stats.recordsSkipped, 5);  // the records after the header
}

TEST(EmfPlusRender, DamagedBytesAnywhereAreDrawnOrRefusedSafely) {
    // Bytes flipped in a picture that uses every record kind the player draws: each damaged
    // picture is refused or drawn with every record counted once (and no sanitizer report).
    const QByteArray original = test::emfPlusSampler();
    uint32_t seed = 77;
    const auto next = [&seed](uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = original;
        for (int i = 0, flips = 1 + int(next(6)); i < flips; ++i) {
            const qsizetype at = 108 + next(uint32_t(damaged.size() - 108));
            damaged[at] = char(next(3) == 0 ? 0xFF : next(256));
        }
        const ParseResult parsed = parseMetafile(damaged);
        const auto* document = std::get_if<DocumentPtr>(&parsed);
        if (!document) continue;
        QImage image(60, 45, QImage::Format_RGB32);
        QPainter painter(&image);
        const RenderStats stats = render(**document, painter, QRectF(0, 0, 60, 45));
        if (!stats.cutOff) {
            EXPECT_EQ(stats.recordsPlayed + stats.recordsSkipped, (*document)->recordCount() - 1)
                << "round " << round;
        }
    }
}

}  // namespace
}  // namespace plume::metafile
