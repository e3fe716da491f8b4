// Text drawn from glyph indices (ETO_GLYPH_INDEX), text made into a path, and the symbol faces,
// against GDI's own renderings (references/gdi, made with ../shared/tools/gdiref under Wine 8).

#include "builders/EmfBuilder.h"
#include "platform/metafile/format/EmfReader.h"
#include "platform/metafile/format/FontText.h"
#include "platform/metafile/format/GlyphIndexText.h"
#include "support/RecordingSink.h"
#include "support/ReferenceImage.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QRawFont>
#include <cmath>

namespace plume::metafile {
namespace {

using test::EmfBuilder;

constexpr uint32_t kEtoGlyphIndex = 0x10;

LogFont logFont(const QString& face, int weight = 400) {
    LogFont lf;
    lf.faceName = face;
    lf.height = -20;
    lf.weight = weight;
    return lf;
}

QString glyphs(std::initializer_list<char16_t> indices) {
    QString s;
    for (char16_t g : indices) s.append(QChar(g));
    return s;
}

TEST(TextGlyphs, GlyphIndicesBecomeTheCharactersOfTheWritersFace) {
    // Arial's glyphs as Windows writes them: the standard Macintosh order first (space 3,
    // "A" 36, "é" 112, "—" 179), its Hebrew letters from 672 (a chart title of a real file,
    // in drawing order). Liberation Sans stands in with glyphs in another order.
    EXPECT_EQ(glyphIndicesToText(glyphs({3, 36, 112, 179}), logFont(QStringLiteral("Arial"))),
              QString::fromUtf16(u" Aé—"));
    EXPECT_EQ(glyphIndicesToText(glyphs({698, 681, 673, 696, 675}),
                                 logFont(QStringLiteral("Arial"), 700)),
              QString::fromUtf16(u"תיברד"));
    EXPECT_EQ(glyphIndicesToText(glyphs({55, 85}), logFont(QStringLiteral("Courier New"))),
              QStringLiteral("Tr"));
    // A face installed here is read through its own character map, whatever its order.
    for (const QString& face : {QStringLiteral("DejaVu Sans"), QStringLiteral("Carlito")}) {
        const QRawFont raw = QRawFont::fromFont(fontForLogFont(logFont(face), 20));
        const QList<quint32> indices = raw.glyphIndexesForString(QString::fromUtf16(u"Aé∑"));
        ASSERT_EQ(indices.size(), 3);
        QString run;
        for (quint32 g : indices) run.append(QChar(char16_t(g)));
        EXPECT_EQ(glyphIndicesToText(run, logFont(face)), QString::fromUtf16(u"Aé∑"))
            << face.toStdString();
    }
    // Other faces draw the stand-in's glyph at that index, as GDI does with a substitute; a
    // glyph with no character (0 is .notdef) leaves a space.
    EXPECT_EQ(glyphIndicesToText(glyphs({0, 36}), logFont(QStringLiteral("Nonexistent Face"))),
              QStringLiteral(" A"));
}

TEST(TextGlyphs, GlyphIndicesReachTheSinkUnchanged) {
    // The reader leaves glyph indices alone, even in the Symbol face whose character codes it
    // turns into Unicode: 0x53 stays 0x53 rather than becoming Σ.
    EmfBuilder b(40, 40);
    b.createFont(1, -20, 400, QStringLiteral("Symbol"), 0, 2).selectObject(1);
    b.extTextOutW(1, 2, QStringLiteral("S"), kEtoGlyphIndex);
    b.extTextOutW(1, 2, QStringLiteral("S"));
    const auto file = readEmf(b.build());
    ASSERT_TRUE(std::holds_alternative<EmfFile>(file));
    test::RecordingSink sink;
    playEmf(std::get<EmfFile>(file), sink);
    EXPECT_TRUE(sink.calls.contains(QStringLiteral("text 1,2 \"S\" options 16 rect 0,0,0,0 dx ")))
        << sink.calls.join('\n').toStdString();
    EXPECT_TRUE(
        sink.calls.contains(QString::fromUtf16(u"text 1,2 \"Σ\" options 0 rect 0,0,0,0 dx ")));
}

TEST(TextGlyphs, GlyphIndexTextDrawsAsGdiDoes) {
    // "Glyphs 2024" as characters, then as glyph indices (ASCII code - 29 in Arial's and the
    // stand-in's order alike) without and with advances.
    // Wine draws the indices of its own stand-in (Liberation Sans 2), so only glyphs both
    // orders share are compared; letters beyond ASCII would differ under Wine, not Windows.
    EmfBuilder b(240, 110);
    b.createFont(1, -20, 400, QStringLiteral("Arial")).selectObject(1);
    const QString text = QStringLiteral("Glyphs 2024");
    QString indices;
    for (QChar c : text) indices.append(QChar(char16_t(c.unicode() - 29)));
    b.extTextOutW(10, 10, text);
    b.extTextOutW(10, 40, indices, kEtoGlyphIndex);
    std::vector<int> dx(size_t(text.size()), 14);
    b.extTextOutW(10, 70, indices, kEtoGlyphIndex, dx);
    const QImage gdi = test::gdiReference(QStringLiteral("glyph_index"), b.build());
    ASSERT_FALSE(gdi.isNull()) << "no GDI reference for glyph indices";
    const QImage ours = test::renderMetafile(b.build(), gdi.size());
    // Liberation Sans 1 here against Wine's Liberation Sans 2: the same advances, outlines
    // that part by a pixel at the edges of some strokes. The line of characters alone differs
    // by 2.2 %, the lines of glyph indices by 1.7 %.
    EXPECT_LE(test::compareImages(gdi, ours, 48, {}, 1, 1).share(), 0.025);
    // Here the indices draw what the characters draw, pixel for pixel.
    const auto line = [&](int n) { return ours.copy(0, 5 + 30 * n, 240, 30); };
    EXPECT_EQ(test::compareImages(line(0), line(1)).differing, 0);
    EXPECT_GT(test::compareImages(line(0), line(2), 48, {}, 1, 1).differing, 0);
}

TEST(TextGlyphs, GlyphIndicesKeepTheirDrawingOrder) {
    // Shaped right-to-left text comes in drawing order: Arial's dalet, then alef, reads "אד"
    // and must not be turned around. Drawn as one run without advances, the dalet stays first:
    // the run's left part is the dalet drawn alone.
    EXPECT_EQ(glyphIndicesToText(glyphs({675, 672}), logFont(QStringLiteral("Arial"))),
              QString::fromUtf16(u"דא"));
    const auto draw = [&](const QString& run) {
        EmfBuilder b(80, 40);
        b.createFont(1, -20, 400, QStringLiteral("Arial")).selectObject(1);
        b.extTextOutW(10, 8, run, kEtoGlyphIndex);
        return test::renderMetafile(b.build(), {80, 40});
    };
    const QImage run = draw(glyphs({675, 672})), dalet = draw(glyphs({675}));
    const QRect left(0, 0, 20, 40);
    EXPECT_GT(test::compareImages(dalet, draw(glyphs({672})), 48, left).differing, 20)
        << "the test's two letters look alike";
    EXPECT_EQ(test::compareImages(run, dalet, 48, left).differing, 0);
}

TEST(TextGlyphs, TextInAPathBecomesItsOutlines) {
    // Big bold letters recorded into a path bracket, then stroked and filled; below, the same
    // letters' path made the clip of a striped rectangle; right, a small run as SMALLTEXTOUT
    // filled. Nothing of the text is drawn while the bracket is open: no background box
    // although the background mode is opaque.
    constexpr uint32_t kRed = 0x1E1EDC, kYellow = 0x3CDCFA, kBlue = 0xC83C1E;
    EmfBuilder b(300, 170);
    b.setBkMode(2).setBkColor(0x00FF00);
    b.createFont(1, -64, 700, QStringLiteral("Arial")).selectObject(1);
    b.createPen(2, 0, 3, kRed).selectObject(2).createBrush(3, 0, kYellow).selectObject(3);
    b.beginPath().extTextOutW(8, 0, QStringLiteral("Path")).endPath().strokeAndFillPath();
    b.beginPath().extTextOutW(8, 80, QStringLiteral("Clip")).endPath().selectClipPath(5);
    b.createBrush(4, 0, kBlue).selectObject(4).selectObject(0x80000008);
    for (int y = 80; y < 160; y += 8) b.rectangle(0, y, 200, y + 5);
    b.extSelectClipRgn({}, 5);
    b.createFont(5, -24, 400, QStringLiteral("Times New Roman")).selectObject(5);
    b.beginPath().smallTextOut(200, 20, QStringLiteral("text"), 0x100).endPath().fillPath();
    const QImage gdi = test::gdiReference(QStringLiteral("text_path"), b.build());
    ASSERT_FALSE(gdi.isNull()) << "no GDI reference for text in a path";
    const QImage ours = test::renderMetafile(b.build(), gdi.size());
    // 0.2 % apart: Liberation 1 here, Wine's Liberation 2 there, outlines a pixel apart.
    EXPECT_LE(test::compareImages(gdi, ours, 48, {}, 1, 1).share(), 0.005);
}

TEST(TextGlyphs, SymbolFacesDrawTheirOwnGlyphs) {
    // No GDI reference: Wine 8 has no Symbol or MT Extra glyphs to draw with (its font mapper
    // gives boxes, or Marlett's pictures when another symbol font is offered), so this holds
    // the player to the fonts' published encodings and the Symbol font's widths instead.
    // Symbol text as equation editors write it ("S" is Σ, "t" τ, B3 ≥), 8-bit and as the
    // font's private-use codes, draws the same glyphs, at Symbol's advances (Σ 0.592 em).
    EmfBuilder b(260, 120);
    b.setBkMode(1);
    b.createFont(1, -48, 400, QStringLiteral("Symbol"), 0, 2).selectObject(1);
    b.extTextOutA(8, 4, QByteArray("Stab>\xb3"));
    b.extTextOutW(8, 64, QString::fromUtf16(u"\uF053\uF074\uF061\uF062\uF03E\uF0B3"));
    const QImage ours = test::renderMetafile(b.build(), {260, 120});
    EXPECT_EQ(test::compareImages(ours.copy(0, 0, 260, 60), ours.copy(0, 60, 260, 60)).differing,
              0);
    LogFont symbol = logFont(QStringLiteral("Symbol"));
    symbol.charSet = charset::kSymbol;
    symbol.height = -1000;
    const QFont font = fontForLogFont(symbol, 1000);
    ASSERT_TRUE(drawsSymbolCodes(font)) << "Standard Symbols PS (fonts-urw-base35) is missing";
    const uint8_t bytes[] = {'S', 0xB3};
    const QString decoded = decodeAnsiText(bytes, charset::kSymbol, QStringLiteral("Symbol"));
    EXPECT_EQ(decoded, QString::fromUtf16(u"Σ≥"));
    EXPECT_EQ(unicodeToSymbolCodes(decoded), QString::fromUtf16(u"S\u00B3"));
    EXPECT_NEAR(QFontMetricsF(font).horizontalAdvance(unicodeToSymbolCodes(decoded.left(1))), 592,
                2);
    // MT Extra's embellishments (drawn by MathType as characters of their own above a letter)
    // become their spacing forms; the EMF writer gives the font's codes back.
    const uint8_t hat = 0x24;
    EXPECT_EQ(decodeAnsiText({&hat, 1}, charset::kSymbol, QStringLiteral("MT Extra")),
              QString::fromUtf16(u"\u02C6"));
    EXPECT_EQ(symbolFontToUnicode(QString::fromUtf16(u"\uF024\uF06C"), QStringLiteral("MT Extra")),
              QString::fromUtf16(u"\u02C6\u2113"));
    EXPECT_EQ(unicodeToSymbolFont(QString::fromUtf16(u"\u02C6"), QStringLiteral("MT Extra")),
              QString::fromUtf16(u"\uF024"));
}

}  // namespace
}  // namespace plume::metafile
