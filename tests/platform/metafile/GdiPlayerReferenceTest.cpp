// Reference-image tests of the GDI player: one feature per case, each picture written by the
// EMF builder and rendered at its own size (96x96 pixels unless said otherwise).

#include "builders/EmfBuilder.h"
#include "support/ReferenceImage.h"

#include <gtest/gtest.h>

using plume::test::EmfBuilder;
using plume::test::matchesReference;
using plume::test::renderMetafile;

namespace {

constexpr uint32_t rgb(int r, int g, int b) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}
constexpr uint32_t kRed = rgb(220, 30, 30), kBlue = rgb(30, 60, 200), kYellow = rgb(250, 220, 60),
                   kGreen = rgb(40, 160, 60), kBlack = 0;
constexpr uint32_t kNullPen = 0x80000008, kNullBrush = 0x80000005;

// A builder with pen 1 (1-pixel black) and brush 2 (yellow) selected.
EmfBuilder canvas(int w = 96, int h = 96) {
    EmfBuilder b(w, h);
    b.createPen(1, 0, 1, kBlack).selectObject(1).createBrush(2, 0, kYellow).selectObject(2);
    return b;
}

void expectReference(const EmfBuilder& b, const char* family, const char* name, int w = 96,
                     int h = 96) {
    EXPECT_TRUE(matchesReference(renderMetafile(b.build(), QSize(w, h)),
                                 QString::fromLatin1(family), QString::fromLatin1(name)));
}

QImage testImage(int w, int h) {
    return plume::test::quadrantImage(w, h, qRgb(220, 30, 30), qRgb(30, 60, 200),
                                      qRgb(40, 160, 60), qRgb(250, 220, 60));
}

QImage indexedImage(int w, int h, int colors) {
    QImage image(w, h, QImage::Format_Indexed8);
    image.setColorCount(colors);
    for (int i = 0; i < colors; ++i)
        image.setColor(i, qRgb((i * 97) % 256, (i * 53 + 80) % 256, (i * 151 + 30) % 256));
    if (colors == 2) {
        image.setColor(0, qRgb(0, 0, 0));
        image.setColor(1, qRgb(255, 255, 255));
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, uint((x / 2 + y / 3) % colors));
    return image;
}

}  // namespace

// --- Figures ---

TEST(GdiReference, Figures) {
    expectReference(canvas().rectangle(10, 10, 50, 40), "figures", "rectangle");
    expectReference(canvas().ellipse(10, 10, 86, 60), "figures", "ellipse");
    expectReference(canvas().roundRect(10, 10, 86, 80, 30, 20), "figures", "roundrect");
    expectReference(canvas().arcFamily(45, 10, 10, 86, 86, 86, 48, 48, 10), "figures", "arc");
    expectReference(canvas().arcFamily(46, 10, 10, 86, 86, 86, 48, 48, 10), "figures", "chord");
    expectReference(canvas().arcFamily(47, 10, 10, 86, 86, 86, 48, 48, 10), "figures", "pie");
    expectReference(canvas().setArcDirection(2).arcFamily(47, 10, 10, 86, 86, 86, 48, 48, 10),
                    "figures", "pie_clockwise");
    expectReference(canvas().moveTo(5, 90).lineTo(90, 5).lineTo(90, 90), "figures", "lineto");
    expectReference(canvas().poly(87, {{5, 5}, {90, 20}, {10, 50}, {85, 85}}), "figures",
                    "polyline16");
    expectReference(canvas().poly(2, {{5, 80}, {20, 5}, {70, 5}, {90, 80}}), "figures",
                    "polybezier");
    expectReference(canvas()
                        .moveTo(10, 10)
                        .poly(89, {{80, 10}, {80, 80}})
                        .poly(88, {{50, 90}, {30, 40}, {10, 80}}),
                    "figures", "polylineto_polybezierto");
}

TEST(GdiReference, PolygonFillModes) {
    const std::vector<std::pair<int, int>> star = {{48, 5}, {75, 90}, {5, 35}, {91, 35}, {21, 90}};
    expectReference(canvas().poly(86, star), "figures", "polygon_alternate");
    expectReference(canvas().setPolyFillMode(2).poly(86, star), "figures", "polygon_winding");
    expectReference(canvas().polyPolygon16({{{10, 10}, {86, 10}, {86, 86}, {10, 86}},
                                            {{30, 30}, {66, 30}, {66, 66}, {30, 66}}}),
                    "figures", "polypolygon_hole");
}

// --- Pens ---

TEST(GdiReference, Pens) {
    EmfBuilder widths = canvas();
    widths.selectObject(kNullBrush);
    for (int i = 0; i < 5; ++i) {
        widths.createPen(3, 0, i * 3, kBlue)
            .selectObject(3)
            .moveTo(10, 10 + i * 18)
            .lineTo(86, 10 + i * 18);
        widths.selectObject(1).deleteObject(3);
    }
    expectReference(widths, "pens", "widths");

    EmfBuilder styles = canvas();
    for (uint32_t style = 0; style <= 5; ++style) {
        styles.createPen(3, style, 1, kRed)
            .selectObject(3)
            .moveTo(5, 8 + int(style) * 15)
            .lineTo(91, 8 + int(style) * 15);
        styles.selectObject(1).deleteObject(3);
    }
    expectReference(styles, "pens", "cosmetic_styles");
    expectReference(canvas()
                        .setBkMode(2)
                        .setBkColor(kYellow)
                        .createPen(3, 1, 1, kBlue)
                        .selectObject(3)
                        .moveTo(5, 48)
                        .lineTo(91, 48),
                    "pens", "dash_opaque_background");

    // Geometric pens: flat, square and round caps; miter, bevel and round joins.
    EmfBuilder caps = canvas();
    const uint32_t geometric = 0x10000;
    const uint32_t capJoin[3] = {0x200 | 0x2000, 0x100 | 0x1000, 0};
    for (int i = 0; i < 3; ++i) {
        caps.createExtPen(3, geometric | capJoin[i], 9, kGreen)
            .selectObject(3)
            .poly(87, {{15, 15 + i * 28}, {50, 30 + i * 28}, {80, 15 + i * 28}});
        caps.selectObject(1).deleteObject(3);
    }
    expectReference(caps, "pens", "geometric_caps_joins");
    expectReference(canvas()
                        .createExtPen(3, geometric | 7 | 0x200, 4, kBlue, {12, 4, 4, 4})
                        .selectObject(3)
                        .moveTo(5, 48)
                        .lineTo(91, 48),
                    "pens", "user_style");
    expectReference(canvas().selectObject(kNullPen).rectangle(10, 10, 50, 40), "pens", "null_pen");
    expectReference(canvas().createPen(3, 6, 10, kBlue).selectObject(3).rectangle(10, 10, 86, 86),
                    "pens", "inside_frame");
}

// --- Brushes ---

TEST(GdiReference, Brushes) {
    EmfBuilder hatches = canvas(144, 96);
    for (uint32_t h = 0; h < 6; ++h) {
        hatches.createBrush(3, 2, kBlue, h)
            .selectObject(3)
            .rectangle(4 + int(h % 3) * 46, 4 + int(h / 3) * 46, 46 + int(h % 3) * 46,
                       46 + int(h / 3) * 46);
        hatches.selectObject(2).deleteObject(3);
    }
    expectReference(hatches, "brushes", "hatch_styles_opaque", 144, 96);
    expectReference(canvas()
                        .rectangle(0, 0, 96, 96)
                        .setBkMode(1)
                        .createBrush(3, 2, kRed, 5)
                        .selectObject(3)
                        .ellipse(10, 10, 86, 86),
                    "brushes", "hatch_transparent");
    expectReference(
        canvas().createDibPatternBrush(3, testImage(8, 8)).selectObject(3).ellipse(5, 5, 91, 91),
        "brushes", "dib_pattern");
    expectReference(canvas()
                        .selectObject(0x80000001)
                        .rectangle(5, 5, 50, 50)
                        .selectObject(0x80000003)
                        .rectangle(40, 40, 91, 91),
                    "brushes", "stock_gray");
}

// --- Map modes and transforms ---

TEST(GdiReference, MapModes) {
    // MM_LOMETRIC: 0.1 mm units, y up; 254 units = one inch = 96 pixels.
    expectReference(canvas().setMapMode(2).rectangle(25, -25, 229, -229), "mapmodes", "lometric");
    expectReference(canvas().setMapMode(6).ellipse(144, -144, 1296, -1296), "mapmodes", "twips");
    expectReference(canvas()
                        .setMapMode(8)
                        .setWindowExt(1000, 1000)
                        .setViewportExt(96, 48)
                        .ellipse(100, 100, 900, 900),
                    "mapmodes", "anisotropic");
    expectReference(canvas()
                        .setMapMode(7)
                        .setWindowExt(1000, 1000)
                        .setViewportExt(96, 48)
                        .ellipse(100, 100, 900, 900),
                    "mapmodes", "isotropic");
    expectReference(canvas().setWindowOrg(-20, -10).setViewportOrg(10, 30).rectangle(0, 0, 40, 30),
                    "mapmodes", "origins");
    expectReference(canvas()
                        .setMapMode(8)
                        .setWindowExt(100, 100)
                        .setViewportExt(96, -96)
                        .setViewportOrg(0, 96)
                        .poly(86, {{10, 10}, {90, 10}, {50, 90}}),
                    "mapmodes", "anisotropic_y_up");
}

TEST(GdiReference, WorldTransforms) {
    expectReference(
        canvas().setWorldTransform(0.866f, 0.5f, -0.5f, 0.866f, 48, 10).rectangle(0, 0, 60, 30),
        "transforms", "rotate");
    expectReference(canvas().setWorldTransform(1, 0, 0.5f, 1, 0, 0).ellipse(10, 10, 50, 80),
                    "transforms", "shear");
    expectReference(canvas()
                        .setWorldTransform(1, 0, 0, 1, 30, 30)
                        .modifyWorldTransform(2, 0, 0, 2, 0, 0, 2)
                        .rectangle(0, 0, 20, 20),
                    "transforms", "modify_left_multiply");
    expectReference(canvas()
                        .setWorldTransform(2, 0, 0, 2, 0, 0)
                        .modifyWorldTransform(1, 0, 0, 1, 10, 10, 3)
                        .rectangle(0, 0, 20, 20)
                        .modifyWorldTransform(0, 0, 0, 0, 0, 0, 1)
                        .rectangle(60, 60, 90, 90),
                    "transforms", "modify_right_multiply_identity");
}

// --- Clipping ---

TEST(GdiReference, Clipping) {
    expectReference(canvas().intersectClipRect(20, 20, 70, 60).ellipse(5, 5, 91, 91), "clipping",
                    "intersect");
    expectReference(canvas().excludeClipRect(20, 20, 70, 60).ellipse(5, 5, 91, 91), "clipping",
                    "exclude");
    expectReference(
        canvas().extSelectClipRgn({{0, 0, 48, 48}, {48, 48, 96, 96}}, 5).ellipse(5, 5, 91, 91),
        "clipping", "region");
    expectReference(canvas()
                        .beginPath()
                        .ellipse(10, 10, 86, 86)
                        .endPath()
                        .selectClipPath(5)
                        .createBrush(3, 2, kRed, 4)
                        .selectObject(3)
                        .rectangle(0, 0, 96, 96),
                    "clipping", "clip_path");
    expectReference(canvas()
                        .saveDc()
                        .intersectClipRect(0, 0, 48, 96)
                        .rectangle(5, 5, 91, 45)
                        .restoreDc(-1)
                        .rectangle(5, 50, 91, 91),
                    "clipping", "savedc_restores_clip");
    expectReference(canvas()
                        .setWindowOrg(20, 20)
                        .intersectClipRect(20, 20, 60, 60)
                        .setWindowOrg(0, 0)
                        .rectangle(0, 0, 96, 96),
                    "clipping", "clip_stays_in_device_space");
}

// --- Paths ---

TEST(GdiReference, Paths) {
    const auto figure = [](EmfBuilder b) {
        return b.beginPath()
            .moveTo(10, 80)
            .lineTo(48, 10)
            .lineTo(86, 80)
            .closeFigure()
            .ellipse(30, 50, 66, 86)
            .endPath();
    };
    expectReference(figure(canvas()).fillPath(), "paths", "fill");
    expectReference(figure(canvas().createPen(3, 0, 4, kBlue).selectObject(3)).strokePath(),
                    "paths", "stroke");
    expectReference(figure(canvas().setPolyFillMode(2)).strokeAndFillPath(), "paths",
                    "stroke_and_fill_winding");
}

// --- Raster operations of lines ---

TEST(GdiReference, Rop2) {
    expectReference(canvas()
                        .createBrush(3, 0, kBlue)
                        .selectObject(3)
                        .rectangle(0, 30, 96, 66)
                        .setRop2(7)
                        .createPen(4, 0, 9, kYellow)
                        .selectObject(4)
                        .moveTo(48, 0)
                        .lineTo(48, 96),
                    "rop2", "xorpen");
    expectReference(canvas().rectangle(0, 30, 96, 66).setRop2(6).rectangle(20, 0, 76, 96), "rop2",
                    "not");
}

// --- Text ---

TEST(GdiReference, TextAlignment) {
    const auto aligned = [](uint32_t align) {
        EmfBuilder b = canvas(192, 96);
        b.createPen(3, 0, 1, kRed)
            .selectObject(3)
            .moveTo(96, 0)
            .lineTo(96, 96)
            .moveTo(0, 48)
            .lineTo(192, 48);
        b.createFont(4, -20, 400, QStringLiteral("Arial"))
            .selectObject(4)
            .setBkMode(1)
            .setTextAlign(align);
        b.extTextOutW(96, 48, QStringLiteral("Hxg"));
        return b;
    };
    expectReference(aligned(0), "text", "left_top", 192);
    expectReference(aligned(6 | 24), "text", "center_baseline", 192);
    expectReference(aligned(2 | 8), "text", "right_bottom", 192);
    EmfBuilder cp = canvas(192, 96);
    cp.createFont(4, -16, 700, QStringLiteral("Times New Roman"))
        .selectObject(4)
        .setTextAlign(1 | 24)
        .moveTo(10, 40)
        .extTextOutW(0, 0, QStringLiteral("One"))
        .extTextOutW(0, 0, QStringLiteral("Two"))
        .lineTo(180, 80);
    expectReference(cp, "text", "update_current_position", 192);
}

TEST(GdiReference, TextSpacingRotationAndBoxes) {
    EmfBuilder dx = canvas(192, 96);
    dx.createFont(4, -16, 400, QStringLiteral("Courier New"))
        .selectObject(4)
        .setBkMode(1)
        .extTextOutW(5, 10, QStringLiteral("spaced"), 0, {30, 30, 30, 30, 30, 30});
    expectReference(dx, "text", "dx_array", 192);
    EmfBuilder rotated = canvas();
    rotated.createFont(4, -14, 400, QStringLiteral("Arial"), 900)
        .selectObject(4)
        .setBkMode(1)
        .setTextAlign(24)
        .extTextOutW(48, 90, QStringLiteral("Upward"));
    rotated.createFont(5, -14, 400, QStringLiteral("Arial"), 3150)
        .selectObject(5)
        .extTextOutW(10, 10, QStringLiteral("Slope"));
    expectReference(rotated, "text", "escapement");
    EmfBuilder boxes = canvas(192, 96);
    boxes.createFont(4, -20, 400, QStringLiteral("Arial"))
        .selectObject(4)
        .setBkColor(kYellow)
        .setTextColor(kBlue)
        .extTextOutW(10, 10, QStringLiteral("Opaque"), 2, {}, {5, 5, 180, 40})
        .setBkMode(1)
        .extTextOutW(10, 55, QStringLiteral("Clipped text"), 4, {}, {10, 55, 80, 70});
    expectReference(boxes, "text", "opaque_and_clipped", 192);
    EmfBuilder japanese = canvas(192, 96);
    japanese.createFont(4, -20, 400, QStringLiteral("MS Gothic"), 0, 128)
        .selectObject(4)
        .setBkMode(1)
        .extTextOutW(5, 10, QStringLiteral("メタ画像"))
        .extTextOutA(5, 50, QByteArray("\x83\x81\x83\x5e\x89\xe6\x91\x9c"));
    expectReference(japanese, "text", "japanese_unicode_and_shift_jis", 192);
}

// --- Bitmaps ---

TEST(GdiReference, DibFormats) {
    expectReference(canvas().stretchDiBits(8, 8, 80, 80, testImage(16, 16), 0x00CC0020, 24),
                    "bitmaps", "rgb24_stretched");
    expectReference(canvas().stretchDiBits(8, 8, 80, 80, testImage(16, 16), 0x00CC0020, 32, true),
                    "bitmaps", "rgb32_top_down");
    expectReference(canvas().stretchDiBits(8, 8, 80, 80, indexedImage(20, 20, 256), 0x00CC0020, 8),
                    "bitmaps", "indexed8");
    expectReference(canvas().stretchDiBits(8, 8, 80, 80, indexedImage(20, 20, 16), 0x00CC0020, 4),
                    "bitmaps", "indexed4");
    expectReference(canvas().stretchDiBits(8, 8, 80, 80, indexedImage(20, 20, 2), 0x00CC0020, 1),
                    "bitmaps", "mono1");
    expectReference(canvas().stretchDiBits(88, 8, -80, 80, testImage(16, 16), 0x00CC0020, 24),
                    "bitmaps", "mirrored");
}

TEST(GdiReference, RasterOperations) {
    const auto over = [](uint32_t rop) {
        EmfBuilder b = canvas();
        b.createBrush(3, 0, rgb(200, 120, 255))
            .selectObject(3)
            .selectObject(kNullPen)
            .rectangle(0, 0, 96, 48);
        b.createBrush(4, 2, kGreen, 5).selectObject(4);
        b.stretchDiBits(8, 8, 80, 80, testImage(16, 16), rop, 24);
        return b;
    };
    expectReference(over(0x008800C6), "bitmaps", "rop_srcand");
    expectReference(over(0x00660046), "bitmaps", "rop_srcinvert");
    expectReference(over(0x00EE0086), "bitmaps", "rop_srcpaint");
    expectReference(over(0x00C000CA), "bitmaps", "rop_mergecopy");
    expectReference(over(0x00330008), "bitmaps", "rop_notsrccopy");
    EmfBuilder pat = over(0x00AA0029);
    pat.patBlt(10, 10, 30, 76, 0x00F00021)
        .patBlt(50, 10, 36, 76, 0x00550009)
        .patBlt(0, 70, 96, 10, 0x00000042);
    expectReference(pat, "bitmaps", "patblt_patcopy_dstinvert_blackness");
}

TEST(GdiReference, StretchedToAnotherSize) {
    // The frame maps onto the whole target, whatever its aspect.
    EmfBuilder b = canvas();
    b.ellipse(0, 0, 96, 96).rectangle(24, 24, 72, 72);
    EXPECT_TRUE(matchesReference(renderMetafile(b.build(), QSize(200, 100)),
                                 QStringLiteral("frame"), QStringLiteral("stretched_200x100")));
}
