// Real files: GDI's own recordings in metafile-refs rendered and compared with GDI's own
// renderings, and the clipboard captures of other programs loaded and drawn.
//
// Each reference file has its own tolerance: the mean per-channel difference (0..255) and the
// share of pixels whose largest channel difference exceeds kOffThreshold. On failure the test
// writes expected | difference | actual side by side into reference-failures/ of the working
// folder.

#include "platform/picture/Picture.h"
#include "platform/picture/PictureIo.h"
#include "support/ReferenceImage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QImage>
#include <iostream>

namespace plume {
namespace {

constexpr int kOffThreshold = 64;

struct Bound {
    double mean;      // largest mean channel difference allowed
    double shareOff;  // largest share of pixels off allowed
};

struct Tolerance {
    const char* file;
    Bound own;        // at the picture's own size
    Bound stretched;  // at 800 x 600
    const char* why;  // what the residual is, when it is more than edge pixels
};

// Set from the residuals measured with this engine, with some room. Most of the residual is
// the right and bottom edge pixels of filled shapes and the rounding of stretched pen widths.
const Tolerance kTolerances[] = {
    {"01_lines_widths.emf", {4.5, 0.025}, {6.5, 0.035}, ""},
    {"02_pen_styles.emf",
     {6.5, 0.035},
     {7.5, 0.045},
     "PS_INSIDEFRAME is drawn inside the frame here, centred on it in the reference"},
    {"05_polyline_polygon.emf", {3.5, 0.02}, {3.5, 0.02}, ""},
    {"06_polygon_fillmodes.emf", {3.0, 0.015}, {4.5, 0.025}, ""},
    {"08_rect_ellipse_roundrect.emf", {3.0, 0.02}, {3.5, 0.02}, ""},
    {"09_arc_chord_pie.emf", {3.5, 0.02}, {3.0, 0.015}, ""},
    {"11_clip_rect.emf", {2.5, 0.015}, {2.0, 0.01}, ""},
    {"14_world_transform.emf",
     {12.0, 0.12},
     {12.0, 0.12},
     "the reference draws ellipses and rounded rectangles under a rotation or shear upright, in "
     "the box of their turned corners; GDI's advanced graphics mode turns the shapes themselves, "
     "as the engine does (the sheared ellipse, the rotated rounded rectangle)"},
    {"15_mapmode_anisotropic.emf", {2.5, 0.015}, {2.0, 0.01}, ""},
    {"17_text_fonts.emf", {8.0, 0.06}, {9.5, 0.065}, "glyph shapes of the stand-in fonts"},
    {"18_text_align.emf", {3.5, 0.025}, {3.5, 0.025}, ""},
    {"20_text_japanese.emf",
     {9.5, 0.065},
     {11.0, 0.07},
     "another stand-in face for Meiryo and MS UI Gothic than the reference's"},
    {"24_brush_hatch.emf", {2.0, 0.01}, {3.0, 0.015}, ""},
    {"26_stretchdibits_24bit.emf",
     {6.0, 0.065},
     {6.0, 0.065},
     "HALFTONE stretching averages differently"},
    {"27_bitblt_rop.emf", {1.5, 0.01}, {2.5, 0.02}, ""},
    {"32_savedc_restoredc.emf", {2.0, 0.01}, {2.0, 0.01}, ""},
    {"36_wmf_compatible.emf", {4.5, 0.03}, {3.0, 0.02}, ""},
    {"36_wmf_compatible.wmf", {5.0, 0.035}, {5.0, 0.035}, ""},
};

void PrintTo(const Tolerance& tolerance, std::ostream* out) {
    *out << tolerance.file;
}

QString refsDir() {
    return test::sharedDataDir() + "/metafile-refs";
}

class GdiReference : public ::testing::TestWithParam<Tolerance> {};

TEST_P(GdiReference, MatchesGdiAtOwnSizeAndAt800x600) {
    const Tolerance tolerance = GetParam();
    const QString file = QString::fromLatin1(tolerance.file);
    if (!QFile::exists(refsDir() + "/" + file)) GTEST_SKIP() << "no shared reference data";
    Expected<PicturePtr> loaded = loadPicture(refsDir() + "/" + file);
    ASSERT_TRUE(loaded) << loaded.error().toStdString();
    const metafile::Document& document = *loaded.value()->document();

    for (const QString& variant : {QStringLiteral("own"), QStringLiteral("800x600")}) {
        const QImage expected(refsDir() + "/" + variant + "/" + file + ".png");
        ASSERT_FALSE(expected.isNull()) << variant.toStdString();
        if (variant == "own") {
            EXPECT_EQ(ownPixelSize(document, 96.0), expected.size())
                << "own size of " << tolerance.file;
        }
        Expected<QImage> actual = renderPicture(*loaded.value(), expected.size());
        ASSERT_TRUE(actual) << actual.error().toStdString();
        const test::ImageDifference r =
            test::compareImages(expected, actual.value(), kOffThreshold);
        std::cout << "residual " << tolerance.file << " " << variant.toStdString() << ": mean "
                  << r.mean << ", max " << r.max << ", off " << r.share() * 100 << "%\n";
        const Bound bound = variant == "own" ? tolerance.own : tolerance.stretched;
        const bool ok = r.mean <= bound.mean && r.share() <= bound.shareOff;
        EXPECT_TRUE(ok) << tolerance.file << " " << variant.toStdString() << ": mean " << r.mean
                        << " (allowed " << bound.mean << "), off " << r.share() << " (allowed "
                        << bound.shareOff << ") " << tolerance.why;
        if (!ok) test::writeTriptych(file + "." + variant, expected, r.map, actual.value());
    }
}

INSTANTIATE_TEST_SUITE_P(RealFiles, GdiReference, ::testing::ValuesIn(kTolerances),
                         [](const ::testing::TestParamInfo<Tolerance>& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(RealFiles, EveryReferenceFileHasATolerance) {
    const QDir dir(refsDir());
    if (!dir.exists()) GTEST_SKIP() << "no shared reference data";
    QStringList listed;
    for (const Tolerance& t : kTolerances) listed << QString::fromLatin1(t.file);
    for (const QString& file : dir.entryList({"*.emf", "*.wmf"}, QDir::Files))
        EXPECT_TRUE(listed.contains(file)) << file.toStdString() << " has no tolerance";
}

TEST(RealFiles, TheWmfAndTheEmfOfTheSameDrawingHaveTheSameOwnSize) {
    Expected<PicturePtr> emf = loadPicture(refsDir() + "/36_wmf_compatible.emf");
    Expected<PicturePtr> wmf = loadPicture(refsDir() + "/36_wmf_compatible.wmf");
    if (!QFile::exists(refsDir() + "/36_wmf_compatible.wmf")) GTEST_SKIP();
    ASSERT_TRUE(emf && wmf);
    EXPECT_EQ(ownPixelSize(*emf.value()->document(), 96), QSize(480, 360));
    EXPECT_EQ(ownPixelSize(*wmf.value()->document(), 96), QSize(480, 360));
}

TEST(RealFiles, ClipboardCapturesLoadAndDrawSomething) {
    const QDir dir(test::sharedDataDir() + "/clipboard-captures");
    const QStringList files = dir.entryList({"*.emf", "*.wmf"}, QDir::Files);
    if (files.isEmpty()) GTEST_SKIP() << "no shared captures";
    for (const QString& file : files) {
        Expected<PicturePtr> loaded = loadPicture(dir.filePath(file));
        ASSERT_TRUE(loaded) << file.toStdString() << ": " << loaded.error().toStdString();
        const QSize own = ownPixelSize(*loaded.value()->document(), 96);
        EXPECT_GT(own.width(), 50) << file.toStdString();
        EXPECT_GT(own.height(), 50) << file.toStdString();
        Expected<QImage> image = renderPicture(*loaded.value(), own);
        ASSERT_TRUE(image) << image.error().toStdString();
        // A drawing leaves a good share of its area not white.
        const QImage rgb = image.value().convertToFormat(QImage::Format_RGB32);
        qint64 inked = 0;
        for (int y = 0; y < rgb.height(); ++y)
            for (int x = 0; x < rgb.width(); ++x) inked += rgb.pixel(x, y) != qRgb(255, 255, 255);
        EXPECT_GT(double(inked) / (qint64(rgb.width()) * rgb.height()), 0.02) << file.toStdString();
    }
}

}  // namespace
}  // namespace plume
