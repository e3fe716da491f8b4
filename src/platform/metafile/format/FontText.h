#pragma once

// Text and fonts of metafiles: bytes in a font's character set decoded to Unicode, Windows
// face names mapped onto the fonts installed here, and a LogFont made into a QFont whose
// advances follow GDI's.

#include "platform/metafile/format/LogFont.h"

#include <QFont>
#include <QString>
#include <cstdint>
#include <span>
#include <vector>

namespace plume::metafile {

// Character sets of LogFont.charSet (CharacterSet, MS-WMF 2.1.1.5).
namespace charset {
inline constexpr uint8_t kAnsi = 0;
inline constexpr uint8_t kDefault = 1;
inline constexpr uint8_t kSymbol = 2;
inline constexpr uint8_t kMac = 77;
inline constexpr uint8_t kShiftJis = 128;
inline constexpr uint8_t kHangul = 129;
inline constexpr uint8_t kJohab = 130;
inline constexpr uint8_t kGb2312 = 134;
inline constexpr uint8_t kChineseBig5 = 136;
inline constexpr uint8_t kGreek = 161;
inline constexpr uint8_t kTurkish = 162;
inline constexpr uint8_t kVietnamese = 163;
inline constexpr uint8_t kHebrew = 177;
inline constexpr uint8_t kArabic = 178;
inline constexpr uint8_t kBaltic = 186;
inline constexpr uint8_t kRussian = 204;
inline constexpr uint8_t kThai = 222;
inline constexpr uint8_t kEastEurope = 238;
inline constexpr uint8_t kOem = 255;
}  // namespace charset

// Decodes 8-bit text (ExtTextOutA, the WMF text records) in the code page of the font's
// character set: SHIFTJIS_CHARSET through CP932, ANSI and DEFAULT as CP1252, the other
// charsets by their Windows code pages. SYMBOL_CHARSET bytes become the Unicode characters
// the Symbol font draws for them (Greek letters, mathematical signs). Bytes a code page has
// no character for become U+FFFD; a truncated double-byte character at the end too.
QString decodeAnsiText(std::span<const uint8_t> bytes, uint8_t charSet);

// DEFAULT_CHARSET means the writer's own system code page, which the file does not say: a
// face that belongs to one script (SimSun, Microsoft YaHei: GB2312; MingLiU: Big5; Gulim,
// Malgun Gothic: Hangul; the MS Japanese faces: Shift-JIS) implies it. Other charsets and
// unknown faces are returned unchanged.
uint8_t impliedCharSet(uint8_t charSet, const QString& faceName);

// As above, with the charset implied by the face (impliedCharSet). Wingdings bytes become
// the Unicode characters of their pictures where Unicode has them (bullets, check marks,
// arrows); SYMBOL_CHARSET text in a face
// other than Symbol (Wingdings, Webdings, ...) becomes U+F000 + byte, the private-use codes those
// fonts use for their pictures.
QString decodeAnsiText(std::span<const uint8_t> bytes, uint8_t charSet, const QString& faceName);

// 8-bit text with its per-byte advances (ExtTextOutA and META_EXTTEXTOUT carry one advance
// per byte) turned into Unicode text with one advance per UTF-16 code unit: the advances of
// the two bytes of a double-byte character are added together. `advancesPerByte` is 1, or 2
// for x and y pairs (ETO_PDY). Advances that do not match the bytes are dropped.
struct AnsiTextRun {
    QString text;
    std::vector<int32_t> dx;
};
AnsiTextRun decodeAnsiTextRun(std::span<const uint8_t> bytes, std::span<const int32_t> dx,
                              uint8_t charSet, const QString& faceName, int advancesPerByte = 1);

// Unicode text drawn in a symbol font (ExtTextOutW with the Symbol face) often uses the
// font's private-use codes U+F020..U+F0FF, or plain Latin codes that the font shows as
// Greek. For the Symbol face both become the Unicode characters meant; Wingdings' private-use
// codes become their pictures' characters where Unicode has them; other text is kept.
QString symbolFontToUnicode(const QString& text, const QString& faceName);

// The other way: Unicode text meant for the Symbol or Wingdings face as the font's own
// private-use codes U+F020..U+F0FF, which every player of the text reads the same way (plain
// Latin codes in the Symbol face would turn into Greek). Characters the font does not have
// and text in other faces are kept.
QString unicodeToSymbolFont(const QString& text, const QString& faceName);

// The Symbol face's stand-in here (URW's Standard Symbols PS, with the Symbol font's widths)
// holds its glyphs at the Symbol font's byte codes, not at Unicode, as the Symbol face itself
// does: true when `font` is either.
bool drawsSymbolCodes(const QFont& font);

// Unicode text as the Symbol font's byte codes (U+0020..U+00FF), for that stand-in;
// characters the Symbol font has no glyph for are kept.
QString unicodeToSymbolCodes(const QString& text);

// True for the faces whose glyphs sit at symbol positions rather than Unicode ones.
bool isSymbolFace(const QString& faceName);

// The installed family that draws a Windows face: the face itself when it is installed (on
// Windows), otherwise its stand-in: the Japanese MS/Meiryo/Yu faces to the IPA fonts, Arial/Times New Roman/Courier New to Liberation, Calibri and Cambria to
// Carlito and Caladea. An unknown face is kept when it is installed; otherwise Liberation
// Sans (IPA P Gothic or Mincho for a face with Japanese in its name).
QString substituteFace(const QString& windowsFace);

// A QFont for a logical font drawn `pixelHeight` device pixels high: a negative
// LogFont.height asks for that character (em) height, a positive one for that cell height
// (ascent + descent), which is converted through the font's metrics; zero takes GDI's
// default of 12 pixels. Weight, italic, underline, strike-out and the average character
// width (as a stretch) follow the LogFont. Hinting is off and kerning too, so that advances
// scale linearly and match GDI's unkerned ones. Qt sizes fonts in whole pixels: callers
// that need finer sizes draw a larger font under a scaled painter.
QFont fontForLogFont(const LogFont& font, double pixelHeight);

}  // namespace plume::metafile
