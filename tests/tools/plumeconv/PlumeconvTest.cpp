// plumeconv as users run it: a separate process, its output files, exit codes and stderr.

#include "platform/picture/PictureIo.h"
#include "PlumeconvRun.h"
#include "support/ReferenceImage.h"
#include "support/TestSupport.h"

#include "builders/EmfBuilder.h"
#include "builders/EmfPlusBuilder.h"
#include "builders/WmfBuilder.h"

#include <gtest/gtest.h>
#include <zlib.h>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTemporaryDir>

namespace plume {
namespace {

// A 2 x 2 RGB PNG of one colour whose second row is filtered with `secondFilter` (0 is
// "none"; above 4 is no filter at all, which libpng reports as damaged image data).
QByteArray rgbPng(QRgb color, uint8_t secondFilter) {
    const auto chunk = [](QByteArray& out, const char* type, const QByteArray& data) {
        const auto be32 = [&out](uint32_t v) {
            for (int shift = 24; shift >= 0; shift -= 8) out.append(char((v >> shift) & 0xff));
        };
        be32(uint32_t(data.size()));
        const QByteArray typed = QByteArray(type, 4) + data;
        out.append(typed);
        be32(uint32_t(
            crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))));
    };
    QByteArray header;
    for (const uint32_t side : {2u, 2u})
        for (int shift = 24; shift >= 0; shift -= 8) header.append(char((side >> shift) & 0xff));
    header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no interlace
    QByteArray rows;
    for (const uint8_t filter : {uint8_t(0), secondFilter}) {
        rows.append(char(filter));
        for (int x = 0; x < 2; ++x)
            rows.append(char(qRed(color))).append(char(qGreen(color))).append(char(qBlue(color)));
    }
    QByteArray packed(int(compressBound(uLong(rows.size()))), '\0');
    uLongf packedSize = uLongf(packed.size());
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
             reinterpret_cast<const Bytef*>(rows.constData()), uLong(rows.size()));
    packed.resize(qsizetype(packedSize));
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", {});
    return png;
}

class PlumeconvTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A 240 x 120 drawing: a blue rectangle over its left half.
        test::EmfBuilder emf(240, 120);
        emf.createBrush(1, 0, 0xFF0000);  // COLORREF blue
        emf.selectObject(1);
        emf.rectangle(0, 0, 120, 120);
        emfPath = dir.filePath("drawing.emf");
        test::writeFileBytes(emfPath, emf.build());

        // Placeable WMF, 2 x 1 inches.
        test::WmfBuilder wmf;
        wmf.setWindowOrg(0, 0).setWindowExt(2880, 1440);
        wmf.createBrush(0, 0x0000FF);
        wmf.selectObject(0);
        wmf.ellipse(0, 0, 2880, 1440);
        wmfPath = dir.filePath("drawing.wmf");
        test::writeFileBytes(wmfPath, wmf.placeable(0, 0, 2880, 1440, 1440));
    }
    QString out(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString emfPath;
    QString wmfPath;
};

TEST_F(PlumeconvTest, PngAtOwnSizeOrWithOneSideKeepingTheAspect) {
    ASSERT_EQ(plumeconv({emfPath, out("own.png")}).exitCode, 0);
    QImage own(out("own.png"));
    EXPECT_EQ(own.size(), QSize(240, 120));
    EXPECT_EQ(own.pixelColor(60, 60), QColor(Qt::blue));
    EXPECT_EQ(own.pixelColor(200, 60), QColor(Qt::white));

    ASSERT_EQ(plumeconv({emfPath, out("w.png"), "--width", "480"}).exitCode, 0);
    EXPECT_EQ(QImage(out("w.png")).size(), QSize(480, 240));
    ASSERT_EQ(plumeconv({emfPath, out("h.png"), "--height=30"}).exitCode, 0);
    EXPECT_EQ(QImage(out("h.png")).size(), QSize(60, 30));
    ASSERT_EQ(plumeconv({"--width", "100", "--height", "100", emfPath, out("both.PNG")}).exitCode,
              0);
    QImage both(out("both.PNG"));
    EXPECT_EQ(both.size(), QSize(100, 100));
    EXPECT_EQ(both.pixelColor(25, 50), QColor(Qt::blue));
    EXPECT_EQ(both.pixelColor(75, 50), QColor(Qt::white));

    ASSERT_EQ(plumeconv({wmfPath, out("wmf.png"), "--width", "96"}).exitCode, 0);
    QImage wmf(out("wmf.png"));
    EXPECT_EQ(wmf.size(), QSize(96, 48));
    EXPECT_EQ(wmf.pixelColor(48, 24), QColor(Qt::red));
    EXPECT_EQ(wmf.pixelColor(1, 1), QColor(Qt::white));
}

// The text of a drawing comes out of plumeconv, on the platform it chooses itself, as the
// engine draws it in this process, where FreeType draws the glyphs of the same face files on
// every platform; Windows' own rasteriser (GDI or DirectWrite, its gamma and hinting) drew
// them lighter and thinner, and a face Qt's FreeType list on Windows could not find was drawn
// with whatever face it had.
TEST_F(PlumeconvTest, TextIsDrawnAsTheEngineDrawsItInProcess) {
    test::EmfBuilder emf(240, 60);
    emf.createFont(1, -13, 400, QStringLiteral("Liberation Sans")).selectObject(1);
    emf.extTextOutW(4, 4, QStringLiteral("Plume draws text 0123"));
    emf.createFont(2, -16, 700, QStringLiteral("IPAPGothic")).selectObject(2);
    emf.extTextOutW(4, 30, QStringLiteral("日本語の文字"));
    const QByteArray bytes = emf.build();
    const QString path = dir.filePath("text.emf");
    test::writeFileBytes(path, bytes);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    ASSERT_EQ(plumeconv({path, out("text.png")}, env).exitCode, 0);
    const QImage drawn = QImage(out("text.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(drawn.size(), QSize(240, 60));
    const QImage expected = test::renderMetafile(bytes, drawn.size());
    QImage blank(drawn.size(), QImage::Format_RGB32);
    blank.fill(Qt::white);
    ASSERT_NE(expected, blank) << "no text drawn";
    EXPECT_EQ(drawn, expected)
        << test::writeTriptych("plumeconv-text", expected, QImage(), drawn).toStdString();
}

TEST_F(PlumeconvTest, SvgAndPdfCarryThePictureAtItsSize) {
    ASSERT_EQ(plumeconv({emfPath, out("d.svg"), "--width", "120"}).exitCode, 0);
    QSvgRenderer svg(out("d.svg"));
    ASSERT_TRUE(svg.isValid());
    EXPECT_EQ(svg.viewBox().size(), QSize(120, 60));
    QImage drawn(120, 60, QImage::Format_RGB32);
    drawn.fill(Qt::white);
    {
        QPainter painter(&drawn);
        svg.render(&painter);
    }
    EXPECT_EQ(drawn.pixelColor(30, 30), QColor(Qt::blue));
    EXPECT_EQ(drawn.pixelColor(100, 30), QColor(Qt::white));

    ASSERT_EQ(plumeconv({emfPath, out("d.pdf")}).exitCode, 0);
    const QByteArray pdf = test::readFileBytes(out("d.pdf"));
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    // 240 x 120 pixels at 96 DPI is 180 x 90 points.
    const QRegularExpressionMatch box =
        QRegularExpression(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])")
            .match(QString::fromLatin1(pdf));
    ASSERT_TRUE(box.hasMatch());
    EXPECT_NEAR(box.captured(1).toDouble(), 180.0, 0.01);
    EXPECT_NEAR(box.captured(2).toDouble(), 90.0, 0.01);
}

TEST_F(PlumeconvTest, SvgKeepsHatchesAsTheClipboardRenditionDoes) {
    // A bare SVG generator drops hatched fills; the converter writes the same rendition as the
    // clipboard, where each of the 18 hatched shapes goes as the pixels it covers.
    const QString hatched = test::sharedDataDir() + "/metafile-refs/24_brush_hatch.emf";
    const ProcessRun run = plumeconv({hatched, out("hatch.svg")});
    ASSERT_EQ(run.exitCode, 0) << run.stderrText.toStdString();
    EXPECT_EQ(test::readFileBytes(out("hatch.svg")).count("<image"), 18);
}

TEST_F(PlumeconvTest, EmfOutputIsTheEmfItselfOrTheConvertedWmf) {
    ASSERT_EQ(plumeconv({emfPath, out("same.emf")}).exitCode, 0);
    EXPECT_EQ(test::readFileBytes(out("same.emf")), test::readFileBytes(emfPath));

    ProcessRun converted = plumeconv({wmfPath, out("converted.emf")});
    ASSERT_EQ(converted.exitCode, 0) << converted.stderrText.toStdString();
    Expected<PicturePtr> back = loadPicture(out("converted.emf"));
    ASSERT_TRUE(back) << back.error().toStdString();
    EXPECT_EQ(back.value()->document()->format(), metafile::Format::Emf);
}

TEST_F(PlumeconvTest, NoEmfPlusDrawsTheGdiRecordsOfADualPicture) {
    // EMF+ fills the picture green; its GDI fallback fills it blue.
    test::EmfBuilder emf(40, 40);
    test::EmfPlusBuilder plus;
    plus.header(true).fillRects(test::plusColor(0xFF00FF00), {QRectF(0, 0, 40, 40)}).flushTo(emf);
    emf.createBrush(1, 0, 0xFF0000).selectObject(1).rectangle(-1, -1, 41, 41);
    plus.endOfFile().flushTo(emf);
    const QString dual = out("dual.emf");
    test::writeFileBytes(dual, emf.build());
    ASSERT_EQ(plumeconv({dual, out("plus.png")}).exitCode, 0);
    EXPECT_EQ(QImage(out("plus.png")).pixelColor(20, 20), QColor(Qt::green));
    ASSERT_EQ(plumeconv({dual, out("gdi.png"), "--no-emfplus"}).exitCode, 0);
    EXPECT_EQ(QImage(out("gdi.png")).pixelColor(20, 20), QColor(Qt::blue));
    // The SVG rendition too; EMF output has nothing to leave out.
    const auto svgCentre = [&](const QString& path) {
        QImage drawn(40, 40, QImage::Format_RGB32);
        drawn.fill(Qt::white);
        QPainter painter(&drawn);
        QSvgRenderer(path).render(&painter);
        return drawn.pixelColor(20, 20);
    };
    ASSERT_EQ(plumeconv({dual, out("plus.svg")}).exitCode, 0);
    EXPECT_EQ(svgCentre(out("plus.svg")), QColor(Qt::green));
    ASSERT_EQ(plumeconv({dual, out("gdi.svg"), "--no-emfplus"}).exitCode, 0);
    EXPECT_EQ(svgCentre(out("gdi.svg")), QColor(Qt::blue));
    EXPECT_EQ(plumeconv({dual, out("gdi.emf"), "--no-emfplus"}).exitCode, 2);
}

TEST_F(PlumeconvTest, ErrorsAreOneLineOnStderrWithANonZeroExit) {
    QTemporaryDir other;
    const QString png = other.filePath("raster.png");
    QImage(4, 4, QImage::Format_RGB32).save(png);
    const QString text = other.filePath("text.emf");
    test::writeFileBytes(text, "not a metafile\n");

    struct Case {
        QStringList args;
        int exitCode;
    };
    const QList<Case> cases = {
        {{emfPath}, 2},
        {{emfPath, out("x.png"), "--width"}, 2},
        {{emfPath, out("x.png"), "--width", "wide"}, 2},
        {{emfPath, out("x.png"), "--depth", "3"}, 2},
        {{emfPath, out("x.gif")}, 2},
        {{emfPath, out("noending")}, 2},
        {{other.filePath("missing.emf"), out("x.png")}, 3},
        {{text, out("x.png")}, 3},
        {{png, out("x.png")}, 3},
        {{emfPath, out("x.png"), "--width", "0"}, 4},
        {{emfPath, out("x.png"), "--width", "-5"}, 4},
        {{emfPath, out("x.png"), "--width", "20000"}, 4},
        {{emfPath, out("x.png"), "--width", "16000", "--height", "16000"}, 4},
        {{emfPath, other.filePath("no/such/folder/x.png")}, 5},
    };
    for (const Case& c : cases) {
        const ProcessRun run = plumeconv(c.args);
        const std::string label = c.args.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, c.exitCode) << label;
        EXPECT_TRUE(run.stderrText.startsWith("plumeconv: ")) << label;
        EXPECT_EQ(run.stderrText.count('\n'), 1) << label << ": " << run.stderrText.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out("x.png"))) << "a failed run writes no output";
}

TEST_F(PlumeconvTest, DamagedEmbeddedPngLeavesStderrEmpty) {
    // The intact PNG draws; the damaged one is left out quietly, the rest of the picture drawn.
    test::EmfBuilder emf(90, 30);
    emf.createBrush(1, 0, 0xFF0000);
    emf.selectObject(1);
    emf.rectangle(0, 0, 30, 30);
    emf.stretchDiBitsPng(30, 0, 30, 30, QSize(2, 2), rgbPng(qRgb(255, 0, 0), 0));
    emf.stretchDiBitsPng(60, 0, 30, 30, QSize(2, 2), rgbPng(qRgb(0, 255, 0), 9));
    const QString path = dir.filePath("damaged-png.emf");
    test::writeFileBytes(path, emf.build());
    const ProcessRun run = plumeconv({path, out("damaged-png.png")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.stderrText, QString());
    const QImage image(out("damaged-png.png"));
    ASSERT_EQ(image.size(), QSize(90, 30));
    EXPECT_EQ(image.pixelColor(15, 15), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(45, 15), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(75, 15), QColor(Qt::white));
}

TEST_F(PlumeconvTest, RunsWithoutAnyDisplay) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    const ProcessRun run = plumeconv({emfPath, out("headless.png")}, env);
    EXPECT_EQ(run.exitCode, 0) << run.stderrText.toStdString();
    EXPECT_EQ(QImage(out("headless.png")).size(), QSize(240, 120));
}

}  // namespace
}  // namespace plume
