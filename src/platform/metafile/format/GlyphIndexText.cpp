#include "platform/metafile/format/GlyphIndexText.h"

#include "platform/metafile/format/FontText.h"

#include <QHash>
#include <QFontInfo>
#include <QRawFont>

#include <mutex>
#include <vector>

namespace plume::metafile {
namespace {

// The standard Macintosh glyph order (the 'post' table's 258 standard names), as characters.
// The core Windows TrueType faces keep their first 258 glyphs in this order.
constexpr char16_t kMacStandardGlyphs[258] = {
    0x0000, 0x0000, 0x0000, 0x0020, 0x0021, 0x0022, 0x0023, 0x0024,  // 0
    0x0025, 0x0026, 0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x002C,  // 8
    0x002D, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034,  // 16
    0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C,  // 24
    0x003D, 0x003E, 0x003F, 0x0040, 0x0041, 0x0042, 0x0043, 0x0044,  // 32
    0x0045, 0x0046, 0x0047, 0x0048, 0x0049, 0x004A, 0x004B, 0x004C,  // 40
    0x004D, 0x004E, 0x004F, 0x0050, 0x0051, 0x0052, 0x0053, 0x0054,  // 48
    0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A, 0x005B, 0x005C,  // 56
    0x005D, 0x005E, 0x005F, 0x0060, 0x0061, 0x0062, 0x0063, 0x0064,  // 64
    0x0065, 0x0066, 0x0067, 0x0068, 0x0069, 0x006A, 0x006B, 0x006C,  // 72
    0x006D, 0x006E, 0x006F, 0x0070, 0x0071, 0x0072, 0x0073, 0x0074,  // 80
    0x0075, 0x0076, 0x0077, 0x0078, 0x0079, 0x007A, 0x007B, 0x007C,  // 88
    0x007D, 0x007E, 0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6,  // 96
    0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7,  // 104
    0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF,  // 112
    0x00F1, 0x00F3, 0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9,  // 120
    0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022,  // 128
    0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260,  // 136
    0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5,  // 144
    0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9,  // 152
    0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248,  // 160
    0x0394, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,  // 168
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019,  // 176
    0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x00A4, 0x2039, 0x203A,  // 184
    0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2,  // 192
    0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC,  // 200
    0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131,  // 208
    0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD,  // 216
    0x02DB, 0x02C7, 0x0141, 0x0142, 0x0160, 0x0161, 0x017D, 0x017E,  // 224
    0x00A6, 0x00D0, 0x00F0, 0x00DD, 0x00FD, 0x00DE, 0x00FE, 0x2212,  // 232
    0x00D7, 0x00B9, 0x00B2, 0x00B3, 0x00BD, 0x00BC, 0x00BE, 0x20A3,  // 240
    0x011E, 0x011F, 0x0130, 0x015E, 0x015F, 0x0106, 0x0107, 0x010C,  // 248
    0x010D, 0x0111,                                                  // 256
};

// Arial's Hebrew letters (alef to tav, finals included) follow one another in Unicode order.
constexpr uint16_t kArialHebrewFirst = 672, kArialHebrewLast = 698;

QString foldedFace(const QString& face) {
    QString n = face.toCaseFolded();
    n.remove(QLatin1Char(' '));
    return n;
}

// The character the writer's own face draws for `glyph`, where its glyph order is known.
char16_t writerCharacter(const QString& folded, uint16_t glyph) {
    const bool arial = folded == QLatin1String("arial");
    const bool core = arial || folded == QLatin1String("arialnarrow") ||
                      folded == QLatin1String("timesnewroman") ||
                      folded == QLatin1String("couriernew");
    if (!core) return 0;
    if (glyph < 258) return kMacStandardGlyphs[glyph];
    if (arial && glyph >= kArialHebrewFirst && glyph <= kArialHebrewLast)
        return char16_t(0x05D0 + (glyph - kArialHebrewFirst));
    return 0;
}

// Glyph index -> character of an installed face (the lowest code point that maps to the glyph,
// a private-use one only when nothing else does). Made once per face and style, which
// `matched` names (the raw font's own names are empty on Windows).
const std::vector<char16_t>& characterMap(const QRawFont& raw, const QFontInfo& matched) {
    static std::mutex mutex;
    static QHash<QString, std::vector<char16_t>> maps;
    const QString key = matched.family() + QLatin1Char('/') + matched.styleName();
    const std::lock_guard lock(mutex);
    if (auto it = maps.constFind(key); it != maps.constEnd()) return *it;
    QString all;
    all.reserve(0xFFE0);
    for (char32_t c = 0x20; c <= 0xFFFD; ++c)
        if (c < 0xD800 || c > 0xDFFF) all.append(QChar(char16_t(c)));
    std::vector<quint32> glyphs(size_t(all.size()));
    int count = int(all.size());
    std::vector<char16_t> map;
    if (raw.glyphIndexesForChars(all.constData(), count, glyphs.data(), &count)) {
        const auto isPrivate = [](char16_t c) { return c >= 0xE000 && c <= 0xF8FF; };
        for (int i = 0; i < count; ++i) {
            const quint32 g = glyphs[size_t(i)];
            if (g == 0 || g > 0xFFFF) continue;
            if (g >= map.size()) map.resize(g + 1, 0);
            const char16_t c = all[i].unicode();
            if (map[g] == 0 || (isPrivate(map[g]) && !isPrivate(c))) map[g] = c;
        }
    }
    return *maps.insert(key, std::move(map));
}

}  // namespace

QString glyphIndicesToText(const QString& glyphs, const LogFont& font) {
    // The size does not matter for the character map; a small one is quick to make.
    const QFont qfont = fontForLogFont(font, 16);
    const QRawFont raw = QRawFont::fromFont(qfont);
    const QFontInfo matched(qfont);
    const QString face = foldedFace(font.faceName);
    const bool sameFace = raw.isValid() && foldedFace(matched.family()) == face;
    static const std::vector<char16_t> none;
    const std::vector<char16_t>& installed = raw.isValid() ? characterMap(raw, matched) : none;
    QString text;
    text.reserve(glyphs.size());
    for (QChar g : glyphs) {
        const uint16_t glyph = g.unicode();
        char16_t c = sameFace ? 0 : writerCharacter(face, glyph);
        if (c == 0 && glyph < installed.size()) c = installed[glyph];
        text.append(QChar(c != 0 ? c : u' '));
    }
    return text;
}

}  // namespace plume::metafile
