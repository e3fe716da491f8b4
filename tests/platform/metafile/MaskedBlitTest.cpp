// The blits that keep part of the destination: AlphaBlend (per-pixel and constant alpha),
// TransparentBlt, MaskBlt with its two operations, and PlgBlt, each against GDI's own drawing
// (references/gdi, made with ../shared/tools/gdiref under Wine 8). Compared as the fidelity
// measure compares (a pixel matches when one of its neighbours is within 48 levels), so that
// a stretched edge a pixel off is forgiven and a missing or black shape is not.

#include "builders/EmfBuilder.h"
#include "platform/metafile/Metafile.h"
#include "support/ReferenceImage.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>

namespace plume::metafile {
namespace {

using test::EmfBuilder;

constexpr uint32_t rgb(int r, int g, int b) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}
constexpr uint32_t kNullPen = 0x80000008;
const QRgb kBlueGround = qRgb(40, 90, 200), kYellowGround = qRgb(250, 220, 60);

// A picture whose upper half is blue and lower half yellow, so that what a blit keeps of the
// destination shows on two colours.
EmfBuilder ground(int w, int h) {
    EmfBuilder b(w, h);
    b.selectObject(kNullPen);
    b.createBrush(1, 0, rgb(40, 90, 200)).selectObject(1).rectangle(0, 0, w + 1, h / 2 + 1);
    b.createBrush(2, 0, rgb(250, 220, 60)).selectObject(2).rectangle(0, h / 2, w + 1, h + 1);
    return b;
}

// A 24 x 24 icon, premultiplied: a red disc whose edge fades out, a white dot, fully
// transparent (and black) corners.
QImage icon() {
    QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    QRadialGradient fade(12, 12, 12);
    fade.setColorAt(0.0, QColor(220, 30, 30, 255));
    fade.setColorAt(0.6, QColor(220, 30, 30, 255));
    fade.setColorAt(1.0, QColor(220, 30, 30, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(fade);
    p.drawEllipse(0, 0, 24, 24);
    p.setBrush(Qt::white);
    p.drawEllipse(8, 8, 6, 6);
    return image;
}

// The premultiplied bytes as a plain ARGB32 image, so that EmfBuilder::dib() stores them as
// they are (AlphaBlend's source is premultiplied).
QImage storedAsIs(const QImage& premultiplied) {
    return QImage(premultiplied.constBits(), premultiplied.width(), premultiplied.height(),
                  premultiplied.bytesPerLine(), QImage::Format_ARGB32)
        .copy();
}

QImage quadrants(int w, int h) {
    return test::quadrantImage(w, h, qRgb(220, 30, 30), qRgb(30, 160, 60), qRgb(240, 240, 240),
                               qRgb(120, 40, 160));
}

// A monochrome DIB: bit 1 inside a disc of the given radius around the centre.
EmfBuilder::Dib discMask(int size, double radius) {
    QImage mask(size, size, QImage::Format_Indexed8);
    mask.setColorCount(2);
    mask.setColor(0, qRgb(0, 0, 0));
    mask.setColor(1, qRgb(255, 255, 255));
    const double c = (size - 1) / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            mask.setPixel(x, y, (x - c) * (x - c) + (y - c) * (y - c) <= radius * radius ? 1 : 0);
    return EmfBuilder::dib(mask, 1, false);
}

// A bottom-up 16-bit 5-5-5 DIB (BI_RGB) of an image.
EmfBuilder::Dib dib16(const QImage& image) {
    QByteArray info;
    test::appendU32(info, 40);
    test::appendU32(info, uint32_t(image.width()));
    test::appendU32(info, uint32_t(image.height()));
    test::appendU16(info, 1);
    test::appendU16(info, 16);
    for (int i = 0; i < 6; ++i) test::appendU32(info, 0);
    QByteArray bits;
    const int pad = (image.width() & 1) ? 2 : 0;
    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            test::appendU16(
                bits, uint16_t((qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | (qBlue(c) >> 3)));
        }
        bits.append(pad, '\0');
    }
    return {info, bits};
}

// The picture drawn by the player at its own size, against GDI's drawing of the same bytes.
struct Compared {
    QImage gdi, ours;
    // The share of pixels of `within` that no neighbour matches within 48 levels.
    double differing(QRect within) const {
        return test::compareImages(gdi, ours, 48, within, 1, 1).share();
    }
};

Compared compare(const char* name, const EmfBuilder& b, QSize size) {
    const QByteArray bytes = b.build();
    return {test::gdiReference(QString::fromLatin1(name), bytes),
            test::renderMetafile(bytes, size)};
}

TEST(MaskedBlits, AlphaBlendPerPixelConstantAndBoth) {
    const QImage premultiplied = icon();
    const auto rgb32 = EmfBuilder::dib(storedAsIs(premultiplied), 32, false);
    const auto opaque = EmfBuilder::dib(quadrants(24, 24), 24, false);
    const QSize s(24, 24);
    EmfBuilder b = ground(200, 100);
    b.alphaBlend(4, 38, 24, 24, rgb32, s, 0x01FF0000);    // per-pixel alpha
    b.alphaBlend(32, 38, 24, 24, opaque, s, 0x00800000);  // constant alpha only
    b.alphaBlend(60, 38, 24, 24, rgb32, s, 0x01800000);   // both
    b.alphaBlend(88, 26, 48, 48, rgb32, s, 0x01FF0000);   // stretched twice
    // Colour masks as real icons carry them (BI_BITFIELDS, no alpha mask): the free byte is
    // alpha.
    b.alphaBlend(140, 38, 24, 24,
                 EmfBuilder::dib32Bitfields(premultiplied, {0xFF0000, 0xFF00, 0xFF, 0}), s,
                 0x01FF0000);
    // Under a world transform that scales by one and a half.
    b.setWorldTransform(1.5f, 0, 0, 1.5f, 0, 0).alphaBlend(112, 2, 24, 24, rgb32, s, 0x01C00000);
    const Compared c = compare("alpha_blend", b, {200, 100});
    ASSERT_FALSE(c.gdi.isNull()) << "no GDI reference";
    // Stretched and transformed icons may part from GDI's sampling by a pixel at their rims.
    EXPECT_LE(c.differing({}), 0.005);
    // The icons' transparent corners keep the ground, in every storage.
    for (int x : {4, 88, 140}) EXPECT_EQ(c.ours.pixel(x, 40), kBlueGround) << x;
    EXPECT_EQ(c.ours.pixel(141, 60), kYellowGround);

    // A BITMAPV4HEADER whose masks put red in the low byte and alpha in the top one: Wine draws
    // nothing; the masks say where each channel and the alpha are, and it is drawn so.
    EmfBuilder v4 = ground(40, 40);
    v4.alphaBlend(8, 8, 24, 24,
                  EmfBuilder::dib32Bitfields(premultiplied, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}),
                  s, 0x01FF0000);
    const QImage ours = test::renderMetafile(v4.build(), {40, 40});
    EXPECT_EQ(ours.pixel(20, 15), qRgb(220, 30, 30));
    EXPECT_EQ(ours.pixel(8, 9), kBlueGround);
}

TEST(MaskedBlits, TransparentBltMatchesInTheSourcesFormat) {
    QImage palette(16, 16, QImage::Format_Indexed8);
    palette.setColorCount(3);
    palette.setColor(0, qRgb(255, 0, 255));
    palette.setColor(1, qRgb(220, 30, 30));
    palette.setColor(2, qRgb(30, 160, 60));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) palette.setPixel(x, y, (x / 4 + y / 4) % 3);
    const QImage trueColour = palette.convertToFormat(QImage::Format_RGB32);
    const auto rgb24 = EmfBuilder::dib(trueColour, 24, false);
    const QSize s(16, 16);
    EmfBuilder b = ground(200, 80);
    b.transparentBlt(4, 32, 16, 16, EmfBuilder::dib(palette, 8, false), s, rgb(255, 0, 255));
    b.transparentBlt(28, 32, 16, 16, dib16(trueColour), s, rgb(255, 0, 255));
    b.transparentBlt(52, 32, 16, 16, rgb24, s, rgb(250, 4, 250));  // not quite: kept
    b.transparentBlt(76, 32, 16, 16, rgb24, s, rgb(255, 0, 255));
    b.transparentBlt(100, 16, 48, 48, rgb24, s, rgb(255, 0, 255));  // stretched
    const Compared c = compare("transparent_blt", b, {200, 80});
    ASSERT_FALSE(c.gdi.isNull()) << "no GDI reference";
    EXPECT_LE(c.differing({}), 0.002);
    EXPECT_EQ(c.ours.pixel(5, 33), kBlueGround);
    EXPECT_EQ(c.ours.pixel(53, 33), qRgb(255, 0, 255));

    // A colour near magenta is magenta in the palette (its nearest entry) and in 5-5-5 bits.
    // Wine copies the source to the destination's format before it looks for the colour, so
    // only an exact match is transparent there; the display-driver documents
    // (DrvTransparentBlt) give the colour in the source surface's format, and GDI matches so.
    EmfBuilder near = ground(60, 40);
    near.transparentBlt(4, 12, 16, 16, EmfBuilder::dib(palette, 8, false), s, rgb(250, 4, 250));
    near.transparentBlt(28, 12, 16, 16, dib16(trueColour), s, rgb(250, 4, 250));
    const QImage ours = test::renderMetafile(near.build(), {60, 40});
    EXPECT_EQ(ours.pixel(5, 13), kBlueGround);
    EXPECT_EQ(ours.pixel(29, 13), kBlueGround);
    EXPECT_EQ(ours.pixel(9, 13), qRgb(220, 30, 30));
}

TEST(MaskedBlits, MaskBltTakesTheForegroundWhereTheMaskIsOne) {
    const auto source = EmfBuilder::dib(quadrants(24, 24), 24, false);
    const auto mask = discMask(24, 9);
    EmfBuilder b = ground(172, 80);
    b.createBrush(3, 0, rgb(255, 140, 0)).selectObject(3);
    b.maskBlt(4, 28, 24, 24, source, 0xAACC0020, mask);                    // source in the disc
    b.maskBlt(32, 28, 24, 24, source, 0xCCAA0029, mask);                   // source around it
    b.maskBlt(60, 28, 24, 24, source, 0xF0660046, mask);                   // xor in, brush around
    b.maskBlt(88, 28, 24, 24, source, 0xAACC0020, discMask(36, 9), 6, 6);  // mask offset
    b.maskBlt(116, 28, 24, 24, {}, 0xAAF00021, mask);  // no source: brush in the disc
    const Compared c = compare("mask_blt", b, {172, 80});
    ASSERT_FALSE(c.gdi.isNull()) << "no GDI reference";
    EXPECT_LE(c.differing({}), 0.002);
    // Corners outside the disc keep the ground, the centre takes the source, and the reverse.
    EXPECT_EQ(c.ours.pixel(5, 29), kBlueGround);
    EXPECT_EQ(c.ours.pixel(10, 33), qRgb(220, 30, 30));
    EXPECT_EQ(c.ours.pixel(34, 29), qRgb(220, 30, 30));
    EXPECT_EQ(c.ours.pixel(38, 33), kBlueGround);

    // A painter on a device whose pixels the player cannot read (as SVG and PDF output) gets
    // each pixel's operation where it does not depend on the destination: the same picture
    // for copy-or-keep and for the brush.
    const ParseResult parsed = parseMetafile(b.build());
    const auto* document = std::get_if<DocumentPtr>(&parsed);
    ASSERT_TRUE(document);
    QPixmap pixmap(172, 80);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    render(**document, painter, QRectF(0, 0, 172, 80));
    painter.end();
    const QImage vector = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
    for (QRect cell : {QRect(0, 0, 58, 80), QRect(86, 0, 86, 80)})
        EXPECT_EQ(test::compareImages(c.ours, vector, 0, cell).differing, 0) << cell.x();

    // Without a mask Wine's MaskBlt draws nothing; the documents make it BitBlt with the
    // foreground operation.
    EmfBuilder plain = ground(40, 40);
    plain.maskBlt(8, 8, 24, 24, source, 0xAACC0020);
    EXPECT_EQ(test::renderMetafile(plain.build(), {40, 40}).pixel(10, 9), qRgb(220, 30, 30));
}

TEST(MaskedBlits, PlgBltMapsOntoTheParallelogram) {
    const auto source = EmfBuilder::dib(quadrants(24, 24), 24, false);
    const QSize s(24, 24);
    EmfBuilder b = ground(110, 80);
    b.plgBlt({{{52, 10}, {4, 10}, {52, 58}}}, source, s);    // mirrored, stretched twice
    b.plgBlt({{{60, 10}, {100, 20}, {60, 70}}}, source, s);  // sheared
    const Compared c = compare("plg_blt", b, {110, 80});
    ASSERT_FALSE(c.gdi.isNull()) << "no GDI reference";
    // Wine draws a black box here; the reference is gdiref's own nearest-pixel mapping, whose
    // sheared edges and ours part by a pixel here and there.
    EXPECT_LE(c.differing({}), 0.01);
    EXPECT_EQ(c.ours.pixel(50, 12), qRgb(220, 30, 30));  // the source's left edge on the right

    // With a mask Wine blits the unsheared bounding box and paints the mask's 0 bits black (it
    // hands SRCCOPY on as a quaternary operation, whose background half is BLACKNESS). The
    // documents say the mask only masks the source: its 0 bits keep the destination.
    EmfBuilder masked = ground(60, 90);
    masked.plgBlt({{{10, 20}, {50, 10}, {20, 80}}}, source, s, discMask(24, 9));
    const QImage ours = test::renderMetafile(masked.build(), {60, 90});
    EXPECT_EQ(ours.pixel(12, 22), kBlueGround);
    EXPECT_EQ(ours.pixel(26, 27), qRgb(220, 30, 30));
}

}  // namespace
}  // namespace plume::metafile
