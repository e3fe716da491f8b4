#include "platform/metafile/format/FontText.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetricsF>
#include <limits>
#include <vector>

namespace plume::metafile {
namespace {

using Bytes = std::vector<uint8_t>;

QString decoded(const Bytes& bytes, uint8_t charSet) {
    return decodeAnsiText(bytes, charSet);
}

TEST(FontTextTest, CharacterSetsDecodeThroughTheirCodePages) {
    struct Case {
        uint8_t charSet;
        Bytes bytes;
        const char16_t* expected;
    };
    const Case cases[] = {
        {charset::kShiftJis, {0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, 0x41, 0xB1}, u"日本語Aｱ"},
        {charset::kAnsi, {0x80, 0x93, 0x41, 0xE9}, u"€“Aé"},
        {charset::kDefault, {0x80}, u"€"},
        {charset::kRussian, {0xC0, 0xFF}, u"Ая"},
        {charset::kGreek, {0xE1, 0xD9}, u"αΩ"},
        {charset::kEastEurope, {0x8A, 0xE8}, u"Šč"},
        {charset::kTurkish, {0xF0}, u"ğ"},
        {charset::kHebrew, {0xE0}, u"א"},
        {charset::kArabic, {0xC7}, u"ا"},
        {charset::kBaltic, {0xE0}, u"ą"},
        {charset::kThai, {0xA1}, u"ก"},
        {charset::kHangul, {0xC7, 0xD1}, u"한"},
        {charset::kGb2312, {0xD6, 0xD0}, u"中"},
        {charset::kChineseBig5, {0xA4, 0xA4}, u"中"},
        {charset::kMac, {0x8E}, u"é"},
        // A lead byte with nothing after it is one replacement character, not lost text.
        {charset::kShiftJis, {0x41, 0x93}, u"A\uFFFD"},
        // CP1252 leaves 0x81 undefined; Windows passes it through as U+0081.
        {charset::kAnsi, {0x81}, u"\u0081"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decoded(c.bytes, c.charSet), QString::fromUtf16(c.expected))
            << "charset " << int(c.charSet);
}

TEST(FontTextTest, DoubleByteAdvancesAddUpAndStayInRange) {
    // "日A" in CP932 is three bytes with three advances: the two of 日 become one. Advances
    // at the ends of the 32-bit range (a damaged file) are clamped, not wrapped.
    const Bytes bytes = {0x93, 0xFA, 0x41};
    const std::vector<int32_t> dx = {7, 5, 6};
    const AnsiTextRun run = decodeAnsiTextRun(bytes, dx, charset::kShiftJis, QString());
    EXPECT_EQ(run.text, QString::fromUtf16(u"日A"));
    EXPECT_EQ(run.dx, (std::vector<int32_t>{12, 6}));
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(
        decodeAnsiTextRun(bytes, std::vector<int32_t>{kMax, kMax, 1}, charset::kShiftJis, QString())
            .dx,
        (std::vector<int32_t>{kMax, 1}));
    // x and y pairs (ETO_PDY) add up component by component.
    EXPECT_EQ(decodeAnsiTextRun(bytes, std::vector<int32_t>{kMin, -1, -1, kMin, 2, 3},
                                charset::kShiftJis, QString(), 2)
                  .dx,
              (std::vector<int32_t>{kMin, kMin, 2, 3}));
}

TEST(FontTextTest, SymbolCharsetFollowsTheFace) {
    const Bytes bytes = {0x61, 0x62, 0x57, 0xB3, 0x20};
    EXPECT_EQ(decoded(bytes, charset::kSymbol), QString::fromUtf16(u"αβΩ≥ "));
    EXPECT_EQ(decodeAnsiText(bytes, charset::kSymbol, QStringLiteral("SYMBOL")),
              QString::fromUtf16(u"αβΩ≥ "));
    // The Symbol face (and MathType's copy) draws symbols even when the LogFont names
    // another charset.
    EXPECT_EQ(decodeAnsiText(Bytes{0x70}, charset::kDefault, QStringLiteral("Symbol")),
              QString::fromUtf16(u"π"));
    EXPECT_EQ(decodeAnsiText(Bytes{0x70}, charset::kSymbol, QStringLiteral("MT Symbol")),
              QString::fromUtf16(u"π"));
    EXPECT_EQ(decodeAnsiText(Bytes{0x70}, charset::kAnsi, QStringLiteral("Arial")),
              QStringLiteral("p"));
    // DEFAULT_CHARSET text follows the script its face belongs to.
    EXPECT_EQ(decodeAnsiText(Bytes{0xD0, 0xC2, 0xBD, 0xA8}, charset::kDefault,
                             QStringLiteral("Microsoft YaHei UI")),
              QString::fromUtf16(u"新建"));
    EXPECT_EQ(
        decodeAnsiText(Bytes{0x93, 0xfa}, charset::kDefault, QString::fromUtf16(u"ＭＳ 明朝")),
        QString::fromUtf16(u"日"));
    EXPECT_EQ(decodeAnsiText(Bytes{0xC7, 0xD1}, charset::kDefault, QString::fromUtf16(u"굴림")),
              QString::fromUtf16(u"한"));
    EXPECT_EQ(decodeAnsiText(Bytes{0xE9}, charset::kDefault, QStringLiteral("Arial")),
              QString::fromUtf16(u"é"));
    EXPECT_EQ(decodeAnsiText(Bytes{0xE9}, charset::kAnsi, QStringLiteral("SimSun")),
              QString::fromUtf16(u"é"));  // an explicit charset wins
    // Wingdings draws pictures at private-use codes U+F000 + byte.
    // Its common bullets and marks become their Unicode characters.
    EXPECT_EQ(decodeAnsiText(Bytes{0x24, 0x4A, 0xFC, 0xA7, 0x82}, charset::kSymbol,
                             QStringLiteral("Wingdings")),
              QString::fromUtf16(u"\uF024☺✓▪②"));
    EXPECT_EQ(decodeAnsiText(Bytes{0x4A}, charset::kSymbol, QStringLiteral("Webdings")),
              QString::fromUtf16(u"\uF04A"));
    EXPECT_EQ(symbolFontToUnicode(QString::fromUtf16(u"\uF0D8x"), QStringLiteral("Wingdings")),
              QString::fromUtf16(u"➢x"));
    // Wide text in the Symbol face: private-use and Latin codes both mean Symbol glyphs.
    EXPECT_EQ(symbolFontToUnicode(QString::fromUtf16(u"\uF070a"), QStringLiteral("Symbol")),
              QString::fromUtf16(u"πα"));
    EXPECT_EQ(symbolFontToUnicode(QStringLiteral("pa"), QStringLiteral("Arial")),
              QStringLiteral("pa"));
    // Back again, as a WMF's Symbol text converted to EMF is written: the fonts' own codes,
    // so that "×" (Symbol byte B4) does not come back as Symbol's "⋅" (byte D7 = U+00D7).
    const QString meant = QString::fromUtf16(u"α×∑0 ");
    const QString codes = unicodeToSymbolFont(meant, QStringLiteral("Symbol"));
    EXPECT_EQ(codes, QString::fromUtf16(u"\uF061\uF0B4\uF0E5\uF030\uF020"));
    EXPECT_EQ(symbolFontToUnicode(codes, QStringLiteral("Symbol")), meant);
    EXPECT_EQ(unicodeToSymbolFont(QString::fromUtf16(u"☺x"), QStringLiteral("Wingdings")),
              QString::fromUtf16(u"\uF04Ax"));
    EXPECT_EQ(unicodeToSymbolFont(meant, QStringLiteral("Arial")), meant);
    // The face standing in for Symbol really has glyphs for what Symbol text becomes.
    LogFont symbol;
    symbol.faceName = QStringLiteral("Symbol");
    symbol.charSet = charset::kSymbol;
    symbol.height = -20;
    // (The Symbol stand-in takes the Symbol font's byte codes.)
    const QFont symbolFont = fontForLogFont(symbol, 20);
    const QFontMetricsF metrics(symbolFont);
    for (QChar c : QString::fromUtf16(u"αβγδπΣΩ∀∃∈∞≤≥±×÷∑∫√∂≠≈")) {
        const QString drawn =
            drawsSymbolCodes(symbolFont) ? unicodeToSymbolCodes(QString(c)) : QString(c);
        EXPECT_TRUE(metrics.inFont(drawn[0])) << int(c.unicode());
    }
    EXPECT_TRUE(isSymbolFace(QStringLiteral("Wingdings 2")));
    EXPECT_FALSE(isSymbolFace(QStringLiteral("Arial")));
}

TEST(FontTextTest, WindowsFacesMapOntoInstalledStandIns) {
    const std::pair<const char16_t*, const char*> table[] = {
        {u"ＭＳ ゴシック", "IPAGothic"},
        {u"MS Gothic", "IPAGothic"},
        {u"ＭＳ Ｐゴシック", "IPAPGothic"},
        {u"ＭＳＰゴシック", "IPAPGothic"},
        {u"MS UI Gothic", "IPAPGothic"},
        {u"Meiryo", "IPAPGothic"},
        {u"メイリオ", "IPAPGothic"},
        {u"Yu Gothic", "IPAPGothic"},
        {u"ＭＳ 明朝", "IPAMincho"},
        {u"MS Mincho", "IPAMincho"},
        {u"ＭＳ Ｐ明朝", "IPAPMincho"},
        {u"arial", "Liberation Sans"},
        {u"Helvetica", "Liberation Sans"},
        {u"Times New Roman", "Liberation Serif"},
        {u"Courier New", "Liberation Mono"},
        {u"Calibri", "Carlito"},
        {u"Cambria", "Caladea"},
        {u"HGP創英角ゴシックUB", "IPAPGothic"},
        {u"HG明朝E", "IPAPMincho"},
        {u"Some Unknown Face", "Liberation Sans"},
        {u"", "Liberation Sans"},
        {u"DejaVu Serif", "DejaVu Serif"},
    };
    for (const auto& [face, family] : table) {
        const QString substitute = substituteFace(QString::fromUtf16(face));
        EXPECT_EQ(substitute, QLatin1String(family)) << QString::fromUtf16(face).toStdString();
        // Every stand-in named must really be installed, or text would fall back silently.
        QFont font(substitute);
        EXPECT_EQ(QFontInfo(font).family(), substitute);
    }
}

TEST(FontTextTest, LogFontHeightsAndStyles) {
    LogFont lf;
    lf.faceName = QStringLiteral("Arial");
    lf.height = -40;
    lf.weight = 700;
    lf.italic = 1;
    lf.underline = 1;
    lf.strikeOut = 1;
    QFont font = fontForLogFont(lf, 40);
    EXPECT_EQ(font.family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(font.pixelSize(), 40);
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_TRUE(font.italic());
    EXPECT_TRUE(font.underline());
    EXPECT_TRUE(font.strikeOut());
    EXPECT_FALSE(font.kerning());
    EXPECT_EQ(font.hintingPreference(), QFont::PreferNoHinting);

    // A positive height is the cell height: the em is smaller and ascent + descent match.
    lf = LogFont{};
    lf.faceName = QStringLiteral("Times New Roman");
    lf.height = 100;
    font = fontForLogFont(lf, 100);
    EXPECT_LT(font.pixelSize(), 100);
    const QFontMetricsF metrics(font);
    EXPECT_NEAR(metrics.ascent() + metrics.descent(), 100.0, 1.5);

    // Zero height and nonsense pixel heights fall back to GDI's default.
    lf.height = 0;
    EXPECT_EQ(fontForLogFont(lf, 0).pixelSize(), 12);
    lf.height = -10;
    EXPECT_EQ(fontForLogFont(lf, std::numeric_limits<double>::quiet_NaN()).pixelSize(), 12);

    // lfWidth twice Arial's average width (904/2048 em, 22 pixels at 50) stretches its
    // stand-in to about 200 %.
    lf = LogFont{};
    lf.faceName = QStringLiteral("Arial");
    lf.height = -50;
    lf.width = 44;
    EXPECT_NEAR(fontForLogFont(lf, 50).stretch(), 200, 4);
}

TEST(FontTextTest, UnknownFacesFallBackByCharsetAndFamily) {
    LogFont lf;
    lf.height = -20;
    lf.faceName = QStringLiteral("NoSuchFace");
    lf.charSet = charset::kShiftJis;
    EXPECT_EQ(fontForLogFont(lf, 20).family(), QStringLiteral("IPAPGothic"));
    lf.charSet = charset::kAnsi;
    lf.pitchAndFamily = 0x10;  // FF_ROMAN
    EXPECT_EQ(fontForLogFont(lf, 20).family(), QStringLiteral("Liberation Serif"));
    lf.pitchAndFamily = 0x31;  // FF_MODERN | FIXED_PITCH
    EXPECT_EQ(fontForLogFont(lf, 20).family(), QStringLiteral("Liberation Mono"));
    lf.pitchAndFamily = 0;
    EXPECT_EQ(fontForLogFont(lf, 20).family(), QStringLiteral("Liberation Sans"));
}

}  // namespace
}  // namespace plume::metafile
