#include "platform/metafile/format/FontText.h"

#include "platform/base/CodePage.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QRawFont>
#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace plume::metafile {
namespace {

// The Windows code page of each character set (MS-WMF 2.1.1.5). The single-byte ones are
// decoded through a 256-entry table built once; the double-byte ones (Japanese, Korean,
// Chinese) go through the platform's converter each time.
struct CodePage {
    unsigned number;
    bool doubleByte;
};

std::optional<CodePage> codePageFor(uint8_t charSet) {
    switch (charSet) {
        case charset::kShiftJis:
            return CodePage{932, true};
        case charset::kHangul:
            return CodePage{949, true};
        case charset::kJohab:
            return CodePage{1361, true};
        case charset::kGb2312:
            return CodePage{936, true};
        case charset::kChineseBig5:
            return CodePage{950, true};
        case charset::kGreek:
            return CodePage{1253, false};
        case charset::kTurkish:
            return CodePage{1254, false};
        case charset::kVietnamese:
            return CodePage{1258, false};
        case charset::kHebrew:
            return CodePage{1255, false};
        case charset::kArabic:
            return CodePage{1256, false};
        case charset::kBaltic:
            return CodePage{1257, false};
        case charset::kRussian:
            return CodePage{1251, false};
        case charset::kThai:
            return CodePage{874, false};
        case charset::kEastEurope:
            return CodePage{1250, false};
        case charset::kMac:
            return CodePage{10000, false};
        case charset::kOem:
            return CodePage{437, false};
        case charset::kSymbol:
            return std::nullopt;
        default:
            return CodePage{1252, false};  // ANSI, DEFAULT and anything unknown
    }
}

using ByteTable = std::array<char16_t, 256>;

// The byte-to-character table of a single-byte code page. A byte the code page leaves
// undefined keeps its own value, as Windows' conversion does for CP1252's holes.
const ByteTable& singleByteTable(unsigned codePage) {
    static std::mutex mutex;
    static QHash<unsigned, ByteTable> tables;
    const std::lock_guard lock(mutex);
    const unsigned key = codePage;
    auto it = tables.find(key);
    if (it != tables.end()) return *it;
    ByteTable table;
    for (int b = 0; b < 256; ++b) {
        const uint8_t byte = static_cast<uint8_t>(b);
        const std::optional<QString> one = decodeCodePageLossy(codePage, {&byte, 1});
        table[b] = one && one->size() == 1 && one->at(0) != QChar(0xFFFD)
                       ? one->at(0).unicode()
                       : static_cast<char16_t>(b);
    }
    return *tables.insert(key, table);
}

// What the Symbol font draws at each byte from 0x20 on, in Unicode (Adobe Symbol encoding
// with the Windows euro at 0xA0). Zero marks a position the font leaves empty.
constexpr char16_t kSymbolToUnicode[224] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B,  // 20
    0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,  // 28
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 38
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,  // 40
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,  // 48
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,  // 50
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,  // 58
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,  // 60
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,  // 68
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,  // 70
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0,       // 78
    0,      0,      0,      0,      0,      0,      0,      0,       // 80
    0,      0,      0,      0,      0,      0,      0,      0,       // 88
    0,      0,      0,      0,      0,      0,      0,      0,       // 90
    0,      0,      0,      0,      0,      0,      0,      0,       // 98
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,  // A0
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,  // A8
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,  // B0
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,  // B8
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,  // C0
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,  // C8
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,  // D0
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,  // D8
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,  // E0
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,  // E8
    0,      0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,  // F0
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0,       // F8
};

// Wingdings pictures that Unicode has as characters (bullets, check marks, arrows, circled
// numbers, signs of the zodiac), so that common bullets draw with any font. The others keep
// their private-use code.
char16_t wingdingsCharacter(uint8_t byte) {
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        const std::pair<uint8_t, char16_t> pairs[] = {
            {0x22, 0x2702}, {0x28, 0x260E}, {0x36, 0x231B}, {0x37, 0x2328}, {0x41, 0x270C},
            {0x45, 0x261C}, {0x46, 0x261E}, {0x47, 0x261D}, {0x48, 0x261F}, {0x4A, 0x263A},
            {0x4C, 0x2639}, {0x4E, 0x2620}, {0x51, 0x2708}, {0x52, 0x263C}, {0x54, 0x2744},
            {0x58, 0x2720}, {0x59, 0x2721}, {0x5A, 0x262A}, {0x5B, 0x262F}, {0x5D, 0x2638},
            {0x6C, 0x25CF}, {0x6E, 0x25A0}, {0x6F, 0x25A1}, {0x71, 0x2751}, {0x72, 0x2752},
            {0x75, 0x25C6}, {0x76, 0x2756}, {0x9F, 0x2022}, {0xA1, 0x25CB}, {0xA7, 0x25AA},
            {0xA8, 0x25FB}, {0xAB, 0x2605}, {0xD8, 0x27A2}, {0xE8, 0x2794}, {0xEF, 0x21E6},
            {0xF0, 0x21E8}, {0xF1, 0x21E7}, {0xF2, 0x21E9}, {0xFB, 0x2717}, {0xFC, 0x2713},
            {0xFD, 0x2612}, {0xFE, 0x2611}};
        for (const auto& [b, u] : pairs) t[b] = u;
        for (int i = 0; i < 12; ++i) t[0x5E + i] = static_cast<char16_t>(0x2648 + i);  // ♈..♓
        for (int i = 0; i < 10; ++i) {
            t[0x81 + i] = static_cast<char16_t>(0x2460 + i);  // ①..⑩
            t[0x8C + i] = static_cast<char16_t>(0x2776 + i);  // ❶..❿
        }
        return t;
    }();
    return table[byte] ? table[byte] : static_cast<char16_t>(0xF000 + byte);
}

// MathType's "MT Extra": embellishments (drawn as separate characters above a letter, so
// their spacing forms here), relations, arrows, ellipses, blackboard-bold letters. Bytes
// Unicode has no character for keep their private-use code.
char16_t mtExtraCharacter(uint8_t byte) {
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        const std::pair<uint8_t, char16_t> pairs[] = {
            {0x20, 0x0020}, {0x23, 0x02CB}, {0x24, 0x02C6}, {0x25, 0x02DC}, {0x26, 0x02D9},
            {0x28, 0x2323}, {0x29, 0x2322}, {0x3A, 0x223C}, {0x3B, 0x2243}, {0x3C, 0x22B2},
            {0x3D, 0x226A}, {0x3E, 0x22B3}, {0x3F, 0x226B}, {0x40, 0x225C}, {0x41, 0x2259},
            {0x42, 0x2250}, {0x43, 0x2210}, {0x44, 0x019B}, {0x49, 0x2229}, {0x4A, 0x2127},
            {0x4B, 0x2026}, {0x4C, 0x22EF}, {0x4D, 0x22EE}, {0x4E, 0x22F0}, {0x4F, 0x22F1},
            {0x50, 0x2225}, {0x51, 0x2235}, {0x52, 0x2221}, {0x53, 0x2222}, {0x55, 0x222A},
            {0x56, 0x25B3}, {0x57, 0x25A1}, {0x58, 0x25AD}, {0x59, 0x25B1}, {0x5A, 0x2197},
            {0x5B, 0x2199}, {0x5D, 0x2198}, {0x5E, 0x2196}, {0x60, 0x2035}, {0x61, 0x21A6},
            {0x62, 0x2195}, {0x63, 0x21D5}, {0x64, 0x25CB}, {0x65, 0x2299}, {0x66, 0x227B},
            {0x68, 0x210F}, {0x6C, 0x2113}, {0x6D, 0x2213}, {0x6F, 0x2218}, {0x70, 0x227A},
            {0x80, 0x21C4}, {0x83, 0x21CC}, {0x86, 0x21C0}, {0x87, 0x21BD}, {0xA1, 0x211D},
            {0xA2, 0x2124}, {0xA3, 0x2102}, {0xA4, 0x211A}, {0xA5, 0x2115}, {0xA7, 0x301A},
            {0xA8, 0x301B}, {0xE8, 0x0160}, {0xE9, 0x00DD}, {0xEA, 0x00DE}, {0xEB, 0x00D0},
            {0xEC, 0x0161}, {0xED, 0x00FD}, {0xEE, 0x00FE}, {0xEF, 0x00F0}, {0xF0, 0xFB01},
            {0xF1, 0xFB02}, {0xF2, 0x0131}, {0xF3, 0x00B9}, {0xF4, 0x00B2}, {0xF5, 0x00B3},
            {0xF6, 0x00BD}, {0xF7, 0x00BC}, {0xF8, 0x00BE}, {0xF9, 0x2044}, {0xFA, 0x00A6},
            {0xFB, 0x02DD}, {0xFC, 0x02D8}, {0xFD, 0x02C7}, {0xFE, 0x02DA}, {0xFF, 0x02DB}};
        for (const auto& [b, u] : pairs) t[b] = u;
        return t;
    }();
    return table[byte] ? table[byte] : static_cast<char16_t>(0xF000 + byte);
}

using ByteToCharacter = char16_t (*)(uint8_t);

// The characters of a symbol face other than Symbol whose pictures Unicode has (Wingdings,
// MT Extra), or null for the others.
ByteToCharacter pictureCharacters(const QString& normalized) {
    if (normalized == QLatin1String("wingdings")) return wingdingsCharacter;
    if (normalized == QLatin1String("mtextra")) return mtExtraCharacter;
    return nullptr;
}

// The Symbol font's character for a byte; bytes it has none for keep their private-use
// code, so that nothing is silently turned into a different letter.
char16_t symbolCharacter(uint8_t byte) {
    if (byte >= 0x20 && kSymbolToUnicode[byte - 0x20] != 0) return kSymbolToUnicode[byte - 0x20];
    return static_cast<char16_t>(0xF000 + byte);
}

// Face names compared as Windows does (case-insensitively) and regardless of full-width
// letters and spaces, so "ＭＳ Ｐゴシック", "MS PGothic"-like spellings and "ＭＳＰゴシック" meet.
QString normalizedFace(const QString& face) {
    QString n = face.normalized(QString::NormalizationForm_KC).toCaseFolded();
    n.remove(QLatin1Char(' '));
    return n;
}

// "Symbol" and its MathType twin "MT Symbol", whose glyphs the Symbol table describes.
bool isTheSymbolFace(const QString& face) {
    const QString n = normalizedFace(face);
    return n == QLatin1String("symbol") || n == QLatin1String("mtsymbol");
}

constexpr const char* kSymbolStandIn = "Standard Symbols PS";

struct FaceSubstitute {
    const char16_t* windowsFace;
    const char* family;
};

constexpr FaceSubstitute kFaceSubstitutes[] = {
    // Japanese faces: fixed-pitch ones to IPA Gothic/Mincho, proportional ones to the P forms.
    {u"MS Gothic", "IPAGothic"},
    {u"ＭＳ ゴシック", "IPAGothic"},
    {u"MS PGothic", "IPAPGothic"},
    {u"ＭＳ Ｐゴシック", "IPAPGothic"},
    {u"MS UI Gothic", "IPAPGothic"},
    {u"Meiryo", "IPAPGothic"},
    {u"Meiryo UI", "IPAPGothic"},
    {u"メイリオ", "IPAPGothic"},
    {u"Yu Gothic", "IPAPGothic"},
    {u"Yu Gothic UI", "IPAPGothic"},
    {u"游ゴシック", "IPAPGothic"},
    {u"MS Mincho", "IPAMincho"},
    {u"ＭＳ 明朝", "IPAMincho"},
    {u"MS PMincho", "IPAPMincho"},
    {u"ＭＳ Ｐ明朝", "IPAPMincho"},
    {u"Yu Mincho", "IPAPMincho"},
    {u"游明朝", "IPAPMincho"},
    // Western faces to their metric-compatible stand-ins where there is one.
    {u"Arial", "Liberation Sans"},
    {u"Helvetica", "Liberation Sans"},
    {u"Arial Unicode MS", "Liberation Sans"},
    {u"Microsoft Sans Serif", "Liberation Sans"},
    {u"MS Sans Serif", "Liberation Sans"},
    {u"MS Shell Dlg", "Liberation Sans"},
    {u"MS Shell Dlg 2", "Liberation Sans"},
    {u"Tahoma", "Liberation Sans"},
    {u"Verdana", "DejaVu Sans"},
    {u"Segoe UI", "Liberation Sans"},
    {u"System", "Liberation Sans"},
    {u"Arial Narrow", "Liberation Sans Narrow"},
    {u"Times New Roman", "Liberation Serif"},
    {u"Times", "Liberation Serif"},
    {u"MS Serif", "Liberation Serif"},
    {u"Georgia", "Liberation Serif"},
    {u"Courier New", "Liberation Mono"},
    {u"Courier", "Liberation Mono"},
    {u"Consolas", "Liberation Mono"},
    {u"Lucida Console", "Liberation Mono"},
    {u"Fixedsys", "Liberation Mono"},
    {u"Terminal", "Liberation Mono"},
    {u"Calibri", "Carlito"},
    {u"Cambria", "Caladea"},
    {u"Cambria Math", "Caladea"},
    // Symbol text is turned into real Unicode (Greek, mathematics). URW's Standard Symbols PS
    // has the Symbol font's glyphs and widths at its byte codes, and the player hands it those
    // (drawsSymbolCodes); without it a Unicode serif face draws the characters.
    {u"Symbol", kSymbolStandIn},
    {u"MT Symbol", kSymbolStandIn},
};

const QHash<QString, QString>& substituteTable() {
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        for (const FaceSubstitute& s : kFaceSubstitutes)
            t.insert(normalizedFace(QString::fromUtf16(s.windowsFace)),
                     QString::fromLatin1(s.family));
        return t;
    }();
    return table;
}

bool isInstalled(const QString& family) {
    static const QSet<QString> installed = [] {
        QSet<QString> s;
        for (const QString& f : QFontDatabase::families()) s.insert(f.toCaseFolded());
        return s;
    }();
    return installed.contains(family.toCaseFolded());
}

// Qt names URW's fonts with their foundry ("Standard Symbols PS [URW ]") when fonts of one
// family come from more than one foundry.
bool symbolStandInInstalled() {
    static const bool installed = [] {
        const QStringList families = QFontDatabase::families();
        return std::any_of(families.begin(), families.end(), [](const QString& f) {
            return f.startsWith(QLatin1String(kSymbolStandIn));
        });
    }();
    return installed;
}

// The family for a face of the table (the face itself when installed, else its stand-in), or
// a guess from Japanese words in the name.
std::optional<QString> knownSubstitute(const QString& face) {
    const QString key = normalizedFace(face);
    const auto& table = substituteTable();
    if (auto it = table.find(key); it != table.end()) {
        // The face itself wherever it is installed (a Windows system has them); its stand-in
        // where it is not.
        if (const QString named = face.trimmed(); isInstalled(named)) return named;
        if (*it == QLatin1String(kSymbolStandIn) && !symbolStandInInstalled())
            return QStringLiteral("DejaVu Serif");
        return *it;
    }
    if (key.contains(u"明朝") || key.contains(QLatin1String("mincho")))
        return QStringLiteral("IPAPMincho");
    if (key.contains(u"ゴシック") || key.contains(QLatin1String("gothic")))
        return QStringLiteral("IPAPGothic");
    return std::nullopt;
}

bool hasJapanese(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x3040 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF) ||
               (u >= 0xFF61 && u <= 0xFF9F);
    });
}

// Pitch and family of LogFont.pitchAndFamily (MS-WMF 2.2.2.14, 2.1.1.8).
constexpr uint8_t kFixedPitch = 1;
constexpr uint8_t kFamilyRoman = 1 << 4;
constexpr uint8_t kFamilySwiss = 2 << 4;
constexpr uint8_t kFamilyModern = 3 << 4;
constexpr uint8_t kFamilyScript = 4 << 4;
constexpr uint8_t kFamilyDecorative = 5 << 4;

// The family for a LogFont whose face is neither known nor installed: by character set and
// by the pitch and family bits, as GDI's font mapper weighs them.
QString fallbackFamily(const LogFont& font) {
    if (font.charSet == charset::kShiftJis)
        return (font.pitchAndFamily & 0xF0) == kFamilyRoman ? QStringLiteral("IPAPMincho")
                                                            : QStringLiteral("IPAPGothic");
    if (font.charSet == charset::kSymbol) return QStringLiteral("DejaVu Serif");
    if ((font.pitchAndFamily & 0xF0) == kFamilyModern || (font.pitchAndFamily & 3) == kFixedPitch)
        return QStringLiteral("Liberation Mono");
    if ((font.pitchAndFamily & 0xF0) == kFamilyRoman) return QStringLiteral("Liberation Serif");
    return QStringLiteral("Liberation Sans");
}

QFont::StyleHint styleHintFor(uint8_t pitchAndFamily) {
    switch (pitchAndFamily & 0xF0) {
        case kFamilyRoman:
            return QFont::Serif;
        case kFamilySwiss:
            return QFont::SansSerif;
        case kFamilyModern:
            return QFont::TypeWriter;
        case kFamilyScript:
            return QFont::Cursive;
        case kFamilyDecorative:
            return QFont::Decorative;
        default:
            return QFont::AnyStyle;
    }
}

constexpr double kDefaultPixelHeight = 12.0;

// The average character width GDI stretches lfWidth against (tmAveCharWidth), in pixels of
// `font`: the face's OS/2 xAvgCharWidth. Liberation Sans, Serif and Mono have the advances
// of Arial, Times New Roman and Courier New but count their average over every glyph, where
// those faces weigh the lowercase letters and the space by their frequency in English (the
// rule of the first OS/2 versions); standing in for them, the average is worked out by that
// rule, which gives the value the Windows face has and the writer of the file measured.
double averageCharWidth(const QFont& font, bool standsInForWindowsFace) {
    const QFontMetricsF metrics(font);
    if (standsInForWindowsFace) {
        static constexpr int kWeights[27] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6, 35, 20, 56,
                                             56, 17, 4,  49, 56, 71,  31, 10, 18, 3,  18, 2, 166};
        double sum = 0;
        for (int i = 0; i < 26; ++i)
            sum += kWeights[i] * metrics.horizontalAdvance(QChar(char16_t(u'a' + i)));
        sum += kWeights[26] * metrics.horizontalAdvance(QLatin1Char(' '));
        return sum / 1000;
    }
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray os2 = raw.isValid() ? raw.fontTable("OS/2") : QByteArray();
    if (os2.size() >= 4 && raw.unitsPerEm() > 0) {
        const auto* b = reinterpret_cast<const uint8_t*>(os2.constData());
        const int16_t average = static_cast<int16_t>(b[2] << 8 | b[3]);
        if (average > 0) return average * raw.pixelSize() / raw.unitsPerEm();
    }
    return metrics.averageCharWidth();
}

}  // namespace

bool isSymbolFace(const QString& faceName) {
    static const QSet<QString> faces = {
        QStringLiteral("symbol"),     QStringLiteral("wingdings"),
        QStringLiteral("wingdings2"), QStringLiteral("wingdings3"),
        QStringLiteral("webdings"),   QStringLiteral("marlett"),
        QStringLiteral("mtextra"),    QStringLiteral("msreferencespecialty"),
        QStringLiteral("mtsymbol"),   QStringLiteral("fences")};
    return faces.contains(normalizedFace(faceName));
}

QString decodeAnsiText(std::span<const uint8_t> bytes, uint8_t charSet) {
    return decodeAnsiText(bytes, charSet,
                          charSet == charset::kSymbol ? QStringLiteral("Symbol") : QString());
}

uint8_t impliedCharSet(uint8_t charSet, const QString& faceName) {
    if (charSet != charset::kDefault) return charSet;
    static const QHash<QString, uint8_t> faces = [] {
        QHash<QString, uint8_t> t;
        for (const char16_t* f :
             {u"SimSun", u"NSimSun", u"宋体", u"新宋体", u"SimHei", u"黑体", u"Microsoft YaHei",
              u"Microsoft YaHei UI", u"微软雅黑", u"KaiTi", u"楷体", u"FangSong", u"仿宋",
              u"DengXian", u"等线", u"LiSu", u"隶书"})
            t.insert(normalizedFace(QString::fromUtf16(f)), charset::kGb2312);
        for (const char16_t* f : {u"PMingLiU", u"MingLiU", u"新細明體", u"細明體",
                                  u"Microsoft JhengHei", u"Microsoft JhengHei UI", u"微軟正黑體"})
            t.insert(normalizedFace(QString::fromUtf16(f)), charset::kChineseBig5);
        for (const char16_t* f : {u"Gulim", u"GulimChe", u"Dotum", u"DotumChe", u"Batang",
                                  u"BatangChe", u"Gungsuh", u"Malgun Gothic", u"굴림", u"굴림체",
                                  u"돋움", u"돋움체", u"바탕", u"바탕체", u"궁서", u"맑은 고딕"})
            t.insert(normalizedFace(QString::fromUtf16(f)), charset::kHangul);
        for (const FaceSubstitute& s : kFaceSubstitutes)
            if (QLatin1String(s.family).startsWith(QLatin1String("IPA")))
                t.insert(normalizedFace(QString::fromUtf16(s.windowsFace)), charset::kShiftJis);
        return t;
    }();
    const QString key = normalizedFace(faceName);
    if (const auto it = faces.constFind(key); it != faces.constEnd()) return *it;
    // A face named in a script says which system wrote it.
    for (QChar c : key) {
        const char16_t u = c.unicode();
        if (u >= 0xAC00 && u <= 0xD7A3) return charset::kHangul;
        if (u >= 0x3040 && u <= 0x30FF) return charset::kShiftJis;
    }
    return charSet;
}

QString decodeAnsiText(std::span<const uint8_t> bytes, uint8_t charSet, const QString& faceName) {
    charSet = impliedCharSet(charSet, faceName);
    // The Symbol face draws symbols whatever charset the LogFont names (writers often say
    // DEFAULT_CHARSET); other symbol faces only with SYMBOL_CHARSET.
    const bool symbolFont = isTheSymbolFace(faceName);
    if (charSet == charset::kSymbol || symbolFont) {
        QString text;
        text.reserve(static_cast<qsizetype>(bytes.size()));
        const ByteToCharacter pictures = pictureCharacters(normalizedFace(faceName));
        for (uint8_t b : bytes)
            text.append(QChar(symbolFont ? symbolCharacter(b)
                              : pictures ? pictures(b)
                                         : static_cast<char16_t>(0xF000 + b)));
        return text;
    }
    const std::optional<CodePage> page = codePageFor(charSet);
    if (page && page->doubleByte) {
        if (std::optional<QString> text = decodeCodePageLossy(page->number, bytes)) return *text;
    } else if (page) {
        const ByteTable& table = singleByteTable(page->number);
        QString text;
        text.reserve(static_cast<qsizetype>(bytes.size()));
        for (uint8_t b : bytes) text.append(QChar(table[b]));
        return text;
    }
    // A code page this system cannot convert: Latin-1 keeps at least the ASCII letters.
    return QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                               static_cast<qsizetype>(bytes.size()));
}

AnsiTextRun decodeAnsiTextRun(std::span<const uint8_t> bytes, std::span<const int32_t> dx,
                              uint8_t charSet, const QString& faceName, int advancesPerByte) {
    charSet = impliedCharSet(charSet, faceName);
    AnsiTextRun run;
    run.text = decodeAnsiText(bytes, charSet, faceName);
    const size_t stride = advancesPerByte == 2 ? 2 : 1;
    if (dx.size() < bytes.size() * stride) return run;
    const std::optional<CodePage> page = codePageFor(charSet);
    if (!page || !page->doubleByte) {
        // One character per byte, and U+FFFD never doubles up in a single-byte code page.
        if (run.text.size() == static_cast<qsizetype>(bytes.size()))
            run.dx.assign(dx.begin(),
                          dx.begin() + static_cast<std::ptrdiff_t>(bytes.size() * stride));
        return run;
    }
    // Group the bytes into characters by the code page's lead bytes, then merge their
    // advances. When the decoder's view differs (invalid sequences), each group is decoded
    // on its own so that text and advances stay in step.
    auto isLead = [charSet](uint8_t b) {
        switch (charSet) {
            case charset::kShiftJis:
                return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
            case charset::kJohab:
                return (b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xDE) ||
                       (b >= 0xE0 && b <= 0xF9);
            default:
                return b >= 0x81 && b <= 0xFE;
        }
    };
    std::vector<std::pair<size_t, size_t>> groups;  // first byte, byte count
    for (size_t i = 0; i < bytes.size();) {
        const size_t len = isLead(bytes[i]) && i + 1 < bytes.size() ? 2 : 1;
        groups.emplace_back(i, len);
        i += len;
    }
    // Summed wide and clamped: a damaged file's advances near the ends of the range would
    // otherwise overflow.
    auto advanceOf = [&](const std::pair<size_t, size_t>& g, size_t component) {
        int64_t sum = 0;
        for (size_t k = 0; k < g.second; ++k) sum += dx[(g.first + k) * stride + component];
        return static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    };
    if (run.text.size() != static_cast<qsizetype>(groups.size())) {
        QString text;
        for (const auto& g : groups) {
            QString piece = decodeAnsiText(bytes.subspan(g.first, g.second), charSet, faceName);
            if (piece.size() != 1) piece = QString(QChar(0xFFFD));
            text += piece;
        }
        run.text = text;
    }
    run.dx.reserve(groups.size() * stride);
    for (const auto& g : groups)
        for (size_t c = 0; c < stride; ++c) run.dx.push_back(advanceOf(g, c));
    return run;
}

QString symbolFontToUnicode(const QString& text, const QString& faceName) {
    if (const ByteToCharacter pictures = pictureCharacters(normalizedFace(faceName))) {
        QString out = text;
        for (QChar& c : out)
            if (c.unicode() >= 0xF020 && c.unicode() <= 0xF0FF)
                c = QChar(pictures(static_cast<uint8_t>(c.unicode() - 0xF000)));
        return out;
    }
    if (!isTheSymbolFace(faceName)) return text;
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= 0xF020 && u <= 0xF0FF)
            c = QChar(symbolCharacter(static_cast<uint8_t>(u - 0xF000)));
        else if (u >= 0x20 && u <= 0xFF)
            c = QChar(symbolCharacter(static_cast<uint8_t>(u)));
    }
    return out;
}

QString unicodeToSymbolFont(const QString& text, const QString& faceName) {
    const ByteToCharacter pictures = pictureCharacters(normalizedFace(faceName));
    if (!pictures && !isTheSymbolFace(faceName)) return text;
    using Inverse = std::unordered_map<char16_t, char16_t>;
    const auto invert = [](char16_t (*forward)(uint8_t)) {
        Inverse inverse;
        for (int b = 0x20; b <= 0xFF; ++b) {
            const char16_t u = forward(static_cast<uint8_t>(b));
            if (u != 0xF000 + b) inverse.emplace(u, static_cast<char16_t>(0xF000 + b));
        }
        return inverse;
    };
    static const Inverse fromSymbol = invert(symbolCharacter);
    static const Inverse fromWingdings = invert(wingdingsCharacter);
    static const Inverse fromMtExtra = invert(mtExtraCharacter);
    const Inverse& inverse = pictures == wingdingsCharacter ? fromWingdings
                             : pictures == mtExtraCharacter ? fromMtExtra
                                                            : fromSymbol;
    QString out = text;
    for (QChar& c : out)
        if (const auto it = inverse.find(c.unicode()); it != inverse.end()) c = QChar(it->second);
    return out;
}

bool drawsSymbolCodes(const QFont& font) {
    // The Symbol face itself, where it is installed, has its glyphs at the same codes.
    return font.family() == QLatin1String(kSymbolStandIn) || isTheSymbolFace(font.family());
}

QString unicodeToSymbolCodes(const QString& text) {
    QString codes = unicodeToSymbolFont(text, QStringLiteral("Symbol"));
    for (QChar& c : codes)
        if (c.unicode() >= 0xF020 && c.unicode() <= 0xF0FF)
            c = QChar(char16_t(c.unicode() - 0xF000));
    return codes;
}

QString substituteFace(const QString& windowsFace) {
    if (std::optional<QString> known = knownSubstitute(windowsFace)) return *known;
    const QString trimmed = windowsFace.trimmed();
    if (!trimmed.isEmpty() && isInstalled(trimmed)) return trimmed;
    return hasJapanese(trimmed) ? QStringLiteral("IPAPGothic") : QStringLiteral("Liberation Sans");
}

QFont fontForLogFont(const LogFont& lf, double pixelHeight) {
    QString family;
    if (std::optional<QString> known = knownSubstitute(lf.faceName))
        family = *known;
    else if (const QString trimmed = lf.faceName.trimmed();
             !trimmed.isEmpty() && isInstalled(trimmed))
        family = trimmed;
    else if (hasJapanese(lf.faceName))
        family = QStringLiteral("IPAPGothic");
    else
        family = fallbackFamily(lf);

    QFont font(family);
    font.setStyleHint(styleHintFor(lf.pitchAndFamily), QFont::PreferOutline);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    // lfWeight 0 is FW_DONTCARE, drawn as normal; OpenType and GDI share the 1..1000 scale.
    font.setWeight(static_cast<QFont::Weight>(lf.weight <= 0 ? 400 : std::min(lf.weight, 1000)));
    font.setItalic(lf.italic != 0);
    font.setUnderline(lf.underline != 0);
    font.setStrikeOut(lf.strikeOut != 0);

    double height = std::isfinite(pixelHeight) && pixelHeight > 0 ? pixelHeight : 0.0;
    if (lf.height == 0 || height == 0) height = kDefaultPixelHeight;
    double emHeight = height;
    if (lf.height > 0) {
        // A positive height is the cell (ascent + descent); the em is smaller by the
        // font's own proportion, measured at a large size for precision.
        QFont probe = font;
        probe.setPixelSize(256);
        const QFontMetricsF metrics(probe);
        const double cell = metrics.ascent() + metrics.descent();
        if (cell > 0) emHeight = height * 256.0 / cell;
    }
    emHeight = std::clamp(emHeight, 1.0, 32'767.0);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(emHeight))));

    if (lf.width != 0 && lf.height != 0) {
        // lfWidth is the average character width in the same units as lfHeight.
        const double wanted = std::abs(double(lf.width)) * height / std::abs(double(lf.height));
        const bool standIn = family.startsWith(QLatin1String("Liberation")) &&
                             !lf.faceName.trimmed().startsWith(QLatin1String("Liberation"),
                                                               Qt::CaseInsensitive);
        // TEXTMETRIC holds the average in whole pixels, and GDI stretches against that.
        const double natural = std::max(1.0, std::round(averageCharWidth(font, standIn)));
        if (natural > 0)
            font.setStretch(std::clamp(int(std::lround(100.0 * wanted / natural)), 1, 4000));
    }
    return font;
}

}  // namespace plume::metafile
