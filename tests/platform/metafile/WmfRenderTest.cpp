#include "platform/metafile/Metafile.h"
#include "platform/metafile/format/WmfDocument.h"
#include "builders/EmfBuilder.h"
#include "support/ReferenceImage.h"
#include "support/TestSupport.h"
#include "builders/WmfBuilder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>

namespace plume::metafile {
namespace {

using test::WmfBuilder;

constexpr QSize kCanvas(160, 120);

// The WMF rendered, then converted to EMF and that rendered too: the two must agree, and the
// WMF's rendering must match its reference image.
void expectFamily(const WmfBuilder& w, const QString& name) {
    const QByteArray wmf = w.placeable(0, 0, 160, 120, 96);
    const QImage direct = test::renderMetafile(wmf, kCanvas);
    EXPECT_TRUE(test::matchesReference(direct, QStringLiteral("wmf"), name));
    const auto parsed = parseMetafile(wmf);
    ASSERT_TRUE(std::holds_alternative<DocumentPtr>(parsed)) << name.toStdString();
    const QByteArray emf = std::get<DocumentPtr>(parsed)->toEmf();
    ASSERT_EQ(emf.mid(40, 4), QByteArray(" EMF")) << name.toStdString();
    const QImage converted = test::renderMetafile(emf, kCanvas);
    EXPECT_LE(test::compareImages(direct, converted, 8).share(), 0.0)
        << name.toStdString() << ": EMF differs";
}

TEST(WmfRenderTest, Figures) {
    WmfBuilder w;
    w.createPen(0, 3, 0x000000FF)
        .createBrush(0, 0x0000FF00)
        .selectObject(0)
        .selectObject(1)
        .rectangle(10, 10, 70, 50)
        .ellipse(80, 10, 150, 50)
        .roundRect(10, 60, 70, 110, 20, 20)
        .arcLike(0x081A, 80, 60, 150, 110, 150, 85, 115, 60)  // pie
        .moveTo(5, 115)
        .lineTo(155, 115);
    expectFamily(w, QStringLiteral("figures"));
}

TEST(WmfRenderTest, PolygonsAndFillModes) {
    WmfBuilder w;
    w.createPen(5, 0, 0)  // PS_NULL
        .createBrush(0, 0x00FF0000)
        .selectObject(0)
        .selectObject(1)
        .setPolyFillMode(1)  // ALTERNATE: the star's middle stays empty
        .polygon({{40, 5}, {64, 75}, {4, 32}, {76, 32}, {16, 75}})
        .setPolyFillMode(2)  // WINDING: filled
        .polygon({{120, 5}, {144, 75}, {84, 32}, {156, 32}, {96, 75}})
        .polyPolygon({{{10, 85}, {70, 85}, {70, 115}, {10, 115}},
                      {{25, 92}, {55, 92}, {55, 108}, {25, 108}}})
        .createPen(0, 1, 0x00008000)
        .selectObject(2)
        .polyline({{90, 90}, {150, 90}, {120, 115}, {90, 90}});
    expectFamily(w, QStringLiteral("polygons"));
}

TEST(WmfRenderTest, WindowScalingAndClipping) {
    WmfBuilder w;
    // The window is twice the picture's box: everything is drawn at half size.
    w.setMapMode(8)
        .setWindowOrg(0, 0)
        .setWindowExt(320, 240)
        .createBrush(0, 0x00FF8000)
        .selectObject(0)
        .saveDc()
        .intersectClipRect(20, 20, 300, 220)
        .excludeClipRect(100, 80, 220, 160)
        .rectangle(0, 0, 320, 240)
        .restoreDc(-1)
        .createRegion({{170, 230}}, {{{10, 50}}})
        .selectClipRegion(1)
        .createBrush(0, 0x000000FF)
        .selectObject(2)
        .rectangle(0, 0, 320, 240);
    expectFamily(w, QStringLiteral("window_clip"));
}

TEST(WmfRenderTest, TextInCharsets) {
    WmfBuilder w;
    w.setBkMode(1)
        .setTextColor(0x00000080)
        .createFont(-18, "Arial")
        .selectObject(0)
        .textOut(5, 5, "Plume WMF")
        .createFont(-18, "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e", 128)
        .selectObject(1)
        // 日本語 in CP932, each double-byte character advanced 20 units.
        .extTextOut(5, 35, "\x93\xfa\x96\x7b\x8c\xea", 0, {}, {20, 0, 20, 0, 20, 0})
        .createFont(-18, "Symbol", 2)
        .selectObject(2)
        .textOut(5, 65, "abgp")  // αβγπ
        .setTextAlign(6 | 24)    // TA_CENTER | TA_BASELINE
        .selectObject(0)
        .setBkMode(2)
        .setBkColor(0x00C0FFFF)
        .extTextOut(120, 110, "opaque", 2, {90, 92, 150, 114});
    expectFamily(w, QStringLiteral("text"));
}

TEST(WmfRenderTest, Bitmaps) {
    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 255));
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(3, 1, qRgb(0, 160, 0));
    const QByteArray dib = test::packedDib24(image);
    WmfBuilder w;
    w.stretchDib(10, 10, 60, 30, 0, 0, 4, 2, dib)
        .dibStretchBlt(80, 10, 70, 40, 0, 0, 4, 2, dib)
        .dibBitBlt(10, 60, 4, 2, 0, 0, dib)
        .setDibToDev(30, 60, 4, 2, 0, 0, 0, 2, dib)
        .createDibPatternBrush(dib)
        .selectObject(0)
        .patBlt(80, 60, 70, 50, 0x00F00021);  // PATCOPY with the pattern
    expectFamily(w, QStringLiteral("bitmaps"));
}

// A source rectangle of one row out of two: GDI plays META_STRETCHDIB and META_DIBSTRETCHBLT
// alike with StretchDIBits, which counts it from the bottom of a bottom-up DIB (GDI draws an
// OLE icon's AND mask of twice its height from the lower half so: poi attachment_msg_pdf).
// Both drawn directly and through the EMF conversion.
TEST(WmfRenderTest, SourceRectangleOrigins) {
    QImage image(1, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));  // top row red
    image.setPixel(0, 1, qRgb(0, 0, 255));  // bottom row blue
    const QByteArray dib = test::packedDib24(image);
    WmfBuilder w;
    w.stretchDib(0, 0, 80, 120, 0, 0, 1, 1, dib).dibStretchBlt(80, 0, 80, 120, 0, 0, 1, 1, dib);
    const QByteArray wmf = w.placeable(0, 0, 160, 120, 96);
    const auto parsed = parseMetafile(wmf);
    ASSERT_TRUE(std::holds_alternative<DocumentPtr>(parsed));
    for (const QImage& drawn :
         {test::renderMetafile(wmf, kCanvas),
          test::renderMetafile(std::get<DocumentPtr>(parsed)->toEmf(), kCanvas)}) {
        EXPECT_EQ(drawn.pixel(40, 60), qRgb(0, 0, 255));
        EXPECT_EQ(drawn.pixel(120, 60), qRgb(0, 0, 255));
    }
    // The icon: its lower mask half is all black, so GDI leaves a black square behind it (and
    // the PNG showed white where the SVG, which draws no raster operations, showed black).
    const QString icon =
        test::sharedDataDir() + "/metafile-corpus/wmf/poi__attachment_msg_pdf__raw_67712.wmf";
    if (QFile::exists(icon)) {
        const QImage drawn = test::renderMetafile(test::readFileBytes(icon), QSize(64, 64));
        EXPECT_EQ(drawn.pixel(2, 61), qRgb(0, 0, 0));
    }
}

// Hostile bitmaps inside an otherwise good WMF: a DIB claiming 2 GB of pixels, a colour
// table far beyond the record, a run-length bitmap claiming a huge size. Each is left out;
// the rectangle drawn after them still appears, directly and converted.
TEST(WmfRenderTest, HostileBitmapsAreLeftOut) {
    auto header = [](int32_t width, int32_t height, int bits, uint32_t compression,
                     uint32_t colors) {
        QByteArray h(40, '\0');
        auto put = [&h](int at, uint32_t v) {
            for (int i = 0; i < 4; ++i) h[at + i] = static_cast<char>(v >> (8 * i));
        };
        put(0, 40);
        put(4, static_cast<uint32_t>(width));
        put(8, static_cast<uint32_t>(height));
        put(12, 1 | (static_cast<uint32_t>(bits) << 16));
        put(16, compression);
        put(32, colors);
        return h;
    };
    WmfBuilder w;
    w.stretchDib(0, 0, 160, 120, 0, 0, 46341, 46341,
                 header(46341, 46341, 8, 0, 0) + QByteArray(64, 'x'))
        .stretchDib(0, 0, 160, 120, 0, 0, 10, 10,
                    header(10, 10, 8, 0, 0x7FFFFFFF) + QByteArray(16, 'x'))
        .dibStretchBlt(0, 0, 160, 120, 0, 0, 16000, 8000,
                       header(16000, 8000, 8, 1, 0) + QByteArray(8, '\0'))
        .createBrush(0, 0x00FF0000)
        .selectObject(0)
        .rectangle(40, 30, 120, 90);
    const QByteArray wmf = w.placeable(0, 0, 160, 120, 96);
    const auto parsed = parseMetafile(wmf);
    ASSERT_TRUE(std::holds_alternative<DocumentPtr>(parsed));
    for (const QImage& drawn :
         {test::renderMetafile(wmf, kCanvas),
          test::renderMetafile(std::get<DocumentPtr>(parsed)->toEmf(), kCanvas)}) {
        EXPECT_EQ(drawn.pixel(80, 60), qRgb(0, 0, 255));
        EXPECT_EQ(drawn.pixel(10, 10), qRgb(255, 255, 255));
    }
}

// The GDI-made placeable WMF against GDI's own rendering, at its own size and at 800 × 600.
// Residual measured when this test was written: 2.6 % (own size) and 2.4 % (800 × 600) of the
// pixels beyond a channel difference of 48: glyph edges, and GDI's wider (whole-pixel) advances
// for text drawn without a Dx array. Tolerance 3.5 %.
TEST(WmfRenderTest, GdiReferenceFile) {
    const QString dir = test::sharedDataDir() + "/metafile-refs/";
    const QByteArray wmf = test::readFileBytes(dir + "36_wmf_compatible.wmf");
    for (const auto& [sub, size] : {std::pair{QStringLiteral("own"), QSize(480, 360)},
                                    std::pair{QStringLiteral("800x600"), QSize(800, 600)}}) {
        const QImage gdi(dir + sub + "/36_wmf_compatible.wmf.png");
        ASSERT_FALSE(gdi.isNull());
        ASSERT_EQ(gdi.size(), size);
        const QImage ours = test::renderMetafile(wmf, size);
        const double share = test::compareImages(ours, gdi, 48).share();
        RecordProperty(("residual_" + sub).toStdString(), QString::number(share).toStdString());
        if (share > 0.035) {
            // GDI's rendering beside ours, for looking at what differs.
            QImage both(size.width() * 2, size.height(), QImage::Format_RGB32);
            QPainter painter(&both);
            painter.drawImage(0, 0, gdi);
            painter.drawImage(size.width(), 0, ours);
            painter.end();
            const QString out = QDir::current().filePath("wmf_reference_" + sub + ".png");
            both.save(out);
            ADD_FAILURE() << sub.toStdString() << ": " << share << " of the pixels differ; see "
                          << out.toStdString();
        }
    }
}

// The clipboard captures render to something (not a blank page), directly and converted.
TEST(WmfRenderTest, ClipboardCapturesRenderAndConvert) {
    const QString dir = test::sharedDataDir() + "/clipboard-captures/";
    for (const QString& name : {QStringLiteral("inkscape-1.2-placeable.wmf"),
                                QStringLiteral("libreoffice-draw-7.4.wmf")}) {
        const QByteArray wmf = test::readFileBytes(dir + name);
        const auto parsed = parseMetafile(wmf);
        ASSERT_TRUE(std::holds_alternative<DocumentPtr>(parsed)) << name.toStdString();
        const DocumentPtr doc = std::get<DocumentPtr>(parsed);
        const QSizeF own = doc->sizeAtDpi(96);
        EXPECT_GT(own.width(), 50) << name.toStdString();
        EXPECT_GT(own.height(), 50) << name.toStdString();
        const QImage direct = test::renderMetafile(wmf, QSize(320, 240));
        const QImage viaEmf = test::renderMetafile(doc->toEmf(), QSize(320, 240));
        for (const QImage& image : {direct, viaEmf}) {
            QImage white(image.size(), QImage::Format_RGB32);
            white.fill(Qt::white);
            EXPECT_GT(test::compareImages(image, white, 16).share(), 0.01) << name.toStdString();
        }
    }
}

// Every WMF of the corpus and the captures draws the same directly and converted by the EMF
// writer (the embedded EMF of LibreOffice's WMF left aside, so that the writer is tested).
// Measured when this test was written: the largest difference 0.4 % of the pixels.
TEST(WmfRenderTest, CorpusDrawsTheSameConverted) {
    const QString dir = test::sharedDataDir();
    QStringList files = {dir + "/clipboard-captures/inkscape-1.2-placeable.wmf",
                         dir + "/clipboard-captures/libreoffice-draw-7.4.wmf",
                         dir + "/metafile-refs/36_wmf_compatible.wmf"};
    for (const QString& name : QDir(dir + "/metafile-corpus/wmf").entryList(QDir::Files))
        files << dir + "/metafile-corpus/wmf/" + name;
    int compared = 0;
    for (const QString& path : files) {
        const QByteArray wmf = test::readFileBytes(path);
        const auto bytes = std::span<const uint8_t>(
            reinterpret_cast<const uint8_t*>(wmf.constData()), static_cast<size_t>(wmf.size()));
        auto read = readWmf(bytes);
        if (!std::holds_alternative<WmfFile>(read)) continue;
        WmfFile file = std::get<WmfFile>(std::move(read));
        // A WMF that carries a whole EMF draws that EMF; the others their own records.
        const QByteArray whole = file.scan.embeddedEmfWhole ? file.scan.embeddedEmf : QByteArray();
        file.scan.embeddedEmf.clear();
        const QByteArray emf = whole.isEmpty() ? convertWmfToEmf(bytes, file) : whole;
        const QImage direct = test::renderMetafile(wmf, QSize(300, 200));
        const QImage converted = test::renderMetafile(emf, QSize(300, 200));
        EXPECT_LE(test::compareImages(direct, converted, 24).share(), 0.01) << path.toStdString();
        ++compared;
    }
    EXPECT_GE(compared, 120);
}

// A clip region moved by OffsetClipRgn, drawn at twice the picture's size. A WMF is stretched
// by the viewport, which scales the offset too; an EMF is stretched under its world transform,
// which leaves the offset in output pixels, as GDI plays them.
TEST(WmfRenderTest, ClipOffsetsScaleWithAWmfButNotWithAnEmf) {
    WmfBuilder w;
    w.createBrush(0, 0x00FF0000)
        .selectObject(0)
        .intersectClipRect(0, 0, 40, 40)
        .words(0x0220, {0, 40})  // META_OFFSETCLIPRGN: y, x
        .rectangle(-1, -1, 161, 121);
    const QImage wmf = test::renderMetafile(w.placeable(0, 0, 160, 120, 96), QSize(320, 240));

    test::EmfBuilder e(160, 120);
    e.createBrush(1, 0, 0x00FF0000)
        .selectObject(1)
        .intersectClipRect(0, 0, 40, 40)
        .record(26, {40, 0})  // EMR_OFFSETCLIPRGN: x, y
        .rectangle(-1, -1, 161, 121);
    const QImage emf = test::renderMetafile(e.build(), QSize(320, 240));

    const QRgb blue = qRgb(0, 0, 255);
    // WMF: the clip 0..80 output pixels wide, moved by 80.
    EXPECT_NE(wmf.pixel(60, 40), blue);
    EXPECT_EQ(wmf.pixel(100, 40), blue);
    EXPECT_EQ(wmf.pixel(150, 40), blue);
    // EMF: the clip 0..80 moved by 40 pixels.
    EXPECT_NE(emf.pixel(30, 40), blue);
    EXPECT_EQ(emf.pixel(60, 40), blue);
    EXPECT_NE(emf.pixel(150, 40), blue);
}

// SelectClipRgn(NULL), which a WMF records as region 0 and an EMF as a clip region record
// without data, makes the whole picture the clip again, whatever slot 0 holds; an empty region
// selected with RGN_COPY leaves nothing to draw in.
TEST(WmfRenderTest, ClipRegionZeroResetsTheClip) {
    WmfBuilder w;
    w.createBrush(0, 0x00FF0000)  // slot 0 holds a brush
        .selectObject(0)
        .intersectClipRect(0, 0, 0, 0)
        .selectClipRegion(0)
        .rectangle(10, 10, 70, 50)
        .createRegion({{60, 110}}, {{{90, 150}}})  // slot 1
        .selectClipRegion(1)
        .selectClipRegion(0)
        .rectangle(80, 60, 150, 110);
    const QByteArray wmf = w.placeable(0, 0, 160, 120, 96);
    const auto parsed = parseMetafile(wmf);
    ASSERT_TRUE(std::holds_alternative<DocumentPtr>(parsed));
    const QRgb blue = qRgb(0, 0, 255), white = qRgb(255, 255, 255);
    for (const QByteArray& bytes : {wmf, std::get<DocumentPtr>(parsed)->toEmf()}) {
        const QImage image = test::renderMetafile(bytes, kCanvas);
        EXPECT_EQ(image.pixel(40, 30), blue);
        EXPECT_EQ(image.pixel(85, 65), blue);  // outside the region once selected
        EXPECT_EQ(image.pixel(120, 85), blue);
    }

    test::EmfBuilder e(160, 120);
    e.createBrush(1, 0, 0x00FF0000)
        .selectObject(1)
        .intersectClipRect(0, 0, 0, 0)
        .extSelectClipRgn({}, 5)  // no region, RGN_COPY
        .rectangle(10, 10, 70, 50)
        .record(75, {32, 5, 32, 1, 0, 0, 0, 0, 0, 0})  // an empty region, RGN_COPY
        .rectangle(80, 60, 150, 110);
    const QImage emf = test::renderMetafile(e.build(), kCanvas);
    EXPECT_EQ(emf.pixel(40, 30), blue);
    EXPECT_EQ(emf.pixel(120, 85), white);
}

}  // namespace
// A WMF that Windows converted from an EMF carries the EMF in comment pieces; when every piece
// is there and the checksum holds, the EMF is drawn, else the WMF's own records.
TEST(WmfRenderTest, WholeEmbeddedEmfIsDrawnInsteadOfTheWmf) {
    const QByteArray emf = test::EmfBuilder(160, 120)
                               .createBrush(1, 0, 0x00FF0000)  // blue
                               .selectObject(1)
                               .rectangle(40, 30, 120, 90)
                               .build();
    const auto wmf = [&](int pieceSize, bool checksum, qsizetype cut) {
        WmfBuilder w;
        w.setWindowExt(160, 120).createBrush(0, 0x000000FF).selectObject(0);  // red
        w.embeddedEmf(cut ? emf.left(cut) : emf, pieceSize, checksum);
        w.rectangle(40, 30, 120, 90);
        return w.raw();
    };
    const auto centre = [](const QByteArray& bytes) {
        return test::renderMetafile(bytes, QSize(160, 120)).pixel(80, 60);
    };
    EXPECT_EQ(centre(wmf(100, true, 0)), qRgb(0, 0, 255));
    EXPECT_EQ(centre(wmf(8192, true, 0)), qRgb(0, 0, 255));
    EXPECT_EQ(centre(wmf(100, false, 0)), qRgb(255, 0, 0)) << "checksum not made";
    EXPECT_EQ(centre(wmf(100, true, emf.size() - 20)), qRgb(255, 0, 0)) << "EMF cut short";
    QByteArray damaged = wmf(100, true, 0);
    damaged[damaged.size() - 40] = char(damaged[damaged.size() - 40] ^ 1);  // in the last piece
    EXPECT_EQ(centre(damaged), qRgb(255, 0, 0)) << "a piece changed";
}

}  // namespace plume::metafile
