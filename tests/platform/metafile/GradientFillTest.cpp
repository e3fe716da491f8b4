// EMR_GRADIENTFILL: rectangles shade across or down, triangles from each corner's colour.

#include "builders/EmfBuilder.h"
#include "support/ReferenceImage.h"

#include <gtest/gtest.h>
#include <QImage>

namespace plume::test {
namespace {

struct Vertex {
    int x, y;
    QRgb color;
};

// EMR_GRADIENTFILL (MS-EMF 2.3.5.12): bounds, vertex count, shape count, mode, TriVertex
// objects (16-bit colour channels), then 2 (rectangles) or 3 (triangles) indices a shape.
QByteArray gradientFill(int width, int height, const std::vector<Vertex>& vertices,
                        const std::vector<uint32_t>& indices, uint32_t mode) {
    QByteArray p;
    for (int v : {0, 0, width, height}) appendU32(p, uint32_t(v));
    appendU32(p, uint32_t(vertices.size()));
    appendU32(p, uint32_t(indices.size() / (mode == 2 ? 3 : 2)));
    appendU32(p, mode);
    for (const Vertex& v : vertices) {
        appendU32(p, uint32_t(v.x));
        appendU32(p, uint32_t(v.y));
        for (int c : {qRed(v.color), qGreen(v.color), qBlue(v.color), 0})
            appendU16(p, uint16_t(c << 8));
    }
    for (uint32_t i : indices) appendU32(p, i);
    return EmfBuilder(width, height).record(118, p).build();
}

// Whether two colours are within `slack` on every channel.
::testing::AssertionResult near(QRgb actual, QRgb expected, int slack) {
    if (std::abs(qRed(actual) - qRed(expected)) <= slack &&
        std::abs(qGreen(actual) - qGreen(expected)) <= slack &&
        std::abs(qBlue(actual) - qBlue(expected)) <= slack)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << QString::number(actual, 16).toStdString() << " is not near "
           << QString::number(expected, 16).toStdString();
}

TEST(GradientFill, RectanglesShadeAcrossOrDown) {
    const std::vector<Vertex> corners = {{0, 0, qRgb(255, 0, 0)}, {100, 50, qRgb(0, 0, 255)}};
    const QImage across = renderMetafile(gradientFill(100, 50, corners, {0, 1}, 0), {100, 50});
    EXPECT_TRUE(near(across.pixel(1, 25), qRgb(255, 0, 0), 8));
    EXPECT_TRUE(near(across.pixel(50, 25), qRgb(128, 0, 128), 8));
    EXPECT_TRUE(near(across.pixel(98, 25), qRgb(0, 0, 255), 8));
    EXPECT_EQ(across.pixel(50, 2), across.pixel(50, 47));

    const QImage down = renderMetafile(gradientFill(100, 50, corners, {0, 1}, 1), {100, 50});
    EXPECT_TRUE(near(down.pixel(50, 0), qRgb(255, 0, 0), 12));
    EXPECT_TRUE(near(down.pixel(50, 49), qRgb(0, 0, 255), 12));
    EXPECT_EQ(down.pixel(2, 25), down.pixel(97, 25));
}

TEST(GradientFill, TrianglesBlendTheirCornersColours) {
    const std::vector<Vertex> corners = {
        {0, 0, qRgb(255, 0, 0)}, {120, 0, qRgb(0, 255, 0)}, {0, 120, qRgb(0, 0, 255)}};
    const QImage image = renderMetafile(gradientFill(120, 120, corners, {0, 1, 2}, 2), {120, 120});
    EXPECT_TRUE(near(image.pixel(1, 1), qRgb(255, 0, 0), 8));
    EXPECT_TRUE(near(image.pixel(116, 1), qRgb(0, 255, 0), 8));
    EXPECT_TRUE(near(image.pixel(1, 116), qRgb(0, 0, 255), 8));
    // The centroid is the mean of the three; outside the triangle the ground stays white.
    EXPECT_TRUE(near(image.pixel(40, 40), qRgb(85, 85, 85), 8));
    EXPECT_EQ(image.pixel(100, 100), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace plume::test
