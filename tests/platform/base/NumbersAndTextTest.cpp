#include "platform/base/Cp932.h"
#include "platform/base/Numbers.h"
#include "platform/base/Paths.h"

#include <gtest/gtest.h>

namespace plume {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(2.5), 2.0);
    EXPECT_EQ(roundHalfEven(3.5), 4.0);
    EXPECT_EQ(roundHalfEven(-2.5), -2.0);
    EXPECT_EQ(roundHalfEven(-3.5), -4.0);
    EXPECT_EQ(roundHalfEven(0.5), 0.0);
    EXPECT_EQ(roundHalfEven(1.4999), 1.0);
    EXPECT_EQ(roundHalfEven(1.5001), 2.0);
    EXPECT_EQ(roundHalfEven(1536.0), 1536.0);
}

TEST(RoundHalfEven, ConversionsClampToTheirRange) {
    EXPECT_EQ(toInt32HalfEven(1e12), INT32_MAX);
    EXPECT_EQ(toInt32HalfEven(-1e12), INT32_MIN);
    EXPECT_EQ(toInt32HalfEven(std::nan("")), 0);
    EXPECT_EQ(toInt16HalfEven(40000.0), INT16_MAX);
    EXPECT_EQ(toInt16HalfEven(-32768.4), INT16_MIN);
    EXPECT_EQ(toInt32HalfEven(102.5), 102);
}

TEST(Cp932, JapaneseNamesRoundTripAsShiftJisBytes) {
    const QString text = QStringLiteral("<運用>位置ﾌｧｲﾙ");
    const QByteArray bytes = encodeCp932(text);
    EXPECT_EQ(bytes.left(6), QByteArray("<\x89\x5e\x97\x70>"));
    // Half-width katakana are single bytes in CP932.
    EXPECT_EQ(bytes.right(4), QByteArray("\xcc\xa7\xb2\xd9"));
    ASSERT_TRUE(decodeCp932(bytes).has_value());
    EXPECT_EQ(*decodeCp932(bytes), text);
}

TEST(Cp932, CharactersWithoutACodeBecomeQuestionMarks) {
    EXPECT_EQ(encodeCp932(QStringLiteral("a😀b\u0101c")), QByteArray("a?b?c"));
}

TEST(Cp932, WhatCp932CannotHoldBecomesOneReferencePerCharacter) {
    // Korean, accented Latin, an emoji (one reference, not two surrogates), and characters
    // whose CP932 code would read back as another character (wave dash, yen sign).
    EXPECT_EQ(encodeCp932WithReferences(QStringLiteral("한é😀〜¥")),
              QByteArray("&#xD55C;&#xE9;&#x1F600;&#x301C;&#xA5;"));
    EXPECT_EQ(encodeCp932WithReferences(QStringLiteral("図～\\~")),
              QByteArray("\x90\x7d\x81\x60\\~"));
    // Only an "&" that a "#" follows is escaped.
    EXPECT_EQ(encodeCp932WithReferences(QStringLiteral("a&b &#x41; &&#")),
              QByteArray("a&b &#x26;#x41; &&#x26;#"));
}

TEST(Cp932, ReferencesReadBackAndEverythingElseStaysAsItIs) {
    EXPECT_EQ(resolveCharacterReferences(QStringLiteral("&#xd55c;&#XAE00;&#65;&#x1F600;")),
              QStringLiteral("한글A😀"));
    for (const char* literal : {"&", "&#", "&#x;", "&#xZZ;", "&#x41", "&#0;", "&#x110000;",
                                "&#x000000041;", "&amp;", "& #x41;"})
        EXPECT_EQ(resolveCharacterReferences(QString::fromLatin1(literal)),
                  QString::fromLatin1(literal));
    const QChar lone(0xD800);
    for (const QString& text :
         {QStringLiteral("&#x26;#x41; & &&## &#"), QStringLiteral("한 é 😀 作業 ﾌｧｲﾙ"),
          QString(lone) + "x", QStringLiteral("&#x26;")}) {
        ASSERT_TRUE(decodeCp932(encodeCp932WithReferences(text)).has_value());
        EXPECT_EQ(resolveCharacterReferences(*decodeCp932(encodeCp932WithReferences(text))), text);
    }
}

TEST(Cp932, Utf8IsRecognisedOnlyWhenWellFormed) {
    EXPECT_TRUE(isUtf8(QStringLiteral("한글 é 😀").toUtf8()));
    EXPECT_TRUE(isUtf8("plain"));
    for (const char* bad :
         {"\xc0\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe3\x81", "\x89\x5e\x97\x70", "\xff"})
        EXPECT_FALSE(isUtf8(QByteArray(bad))) << bad;
    EXPECT_FALSE(hasNonAsciiByte("plain"));
    EXPECT_TRUE(hasNonAsciiByte("\x80"));
}

TEST(Cp932, InvalidBytesAreRefusedOrReplaced) {
    EXPECT_FALSE(decodeCp932(QByteArray("ok\x81", 3)).has_value());  // lead byte at the end
    EXPECT_FALSE(decodeCp932(QByteArray("\xa0\xfd", 2)).has_value());
    EXPECT_EQ(decodeCp932Lossy(QByteArray("a\x81", 2)), QStringLiteral("a\uFFFD"));
}

// One table for every platform's converter (iconv on Linux, code page 932 on Windows): the
// same text gives the same bytes and the same bytes the same text, NEC's and IBM's extra
// characters and the characters CP932 cannot hold or holds only as others included.
TEST(Cp932, EveryPlatformConvertsTheTableAlike) {
    const struct {
        const char16_t* text;
        const char* bytes;
    } encoded[] = {
        {u"A~\\", "A~\\"},
        {u"あア図", "\x82\xa0\x83\x41\x90\x7d"},
        {u"ｱﾟ", "\xb1\xdf"},                                         // half-width katakana
        {u"①Ⅰ㈱", "\x87\x40\x87\x54\x87\x8a"},                    // NEC's row 13
        {u"ⅰ髙纊", "\xfa\x40\xfb\xfc\xfa\x5c"},                    // IBM's extension
        {u"∵≒～－￢∥", "\x81\xe6\x81\xe0\x81\x60\x81\x7c\x81\xca\x81\x61"},
        {u"〜‖−¢£¬¥‾", "&#x301C;&#x2016;&#x2212;&#xA2;&#xA3;&#xAC;&#xA5;&#x203E;"},
        {u"é한😀\u0080", "&#xE9;&#xD55C;&#x1F600;&#x80;"},
    };
    for (const auto& row : encoded) {
        const QString text = QString::fromUtf16(row.text);
        EXPECT_EQ(encodeCp932WithReferences(text), QByteArray(row.bytes)) << text.toStdString();
        const std::optional<QString> back = decodeCp932(QByteArray(row.bytes));
        ASSERT_TRUE(back.has_value()) << text.toStdString();
        EXPECT_EQ(resolveCharacterReferences(*back), text);
    }
    // Codes that CP932 holds twice read as the character that is written.
    const struct {
        const char* bytes;
        const char16_t* text;
    } decoded[] = {
        {"\x87\x9a\x87\x90", u"∵≒"},  // NEC's row 13 copies of row 2
        {"\xed\x40\xee\xf9", u"纊￢"},  // NEC's copies of IBM's extension
        {"\xfa\x54\xfa\x5b", u"￢∵"},  // IBM's copies of row 2
    };
    for (const auto& row : decoded)
        EXPECT_EQ(decodeCp932(QByteArray(row.bytes)), QString::fromUtf16(row.text)) << row.bytes;
    for (const char* bad : {"\x81", "a\x81\x20", "\x85\x40", "\xa0", "\xfd", "\x80"})
        EXPECT_FALSE(decodeCp932(QByteArray(bad)).has_value()) << bad;
    EXPECT_EQ(encodeCp932(QStringLiteral("é😀ｱ")), QByteArray("??\xb1"));
}

TEST(Paths, JoinPutsExactlyOneSeparator) {
    const QString sep = pathSeparator();
    EXPECT_EQ(joinPath("a", "b"), "a" + sep + "b");
    EXPECT_EQ(joinPath("a" + sep, "b"), "a" + sep + "b");
    EXPECT_EQ(withTrailingSeparator("/"), "/");
    EXPECT_EQ(joinPath("", "b"), "b");
}

}  // namespace
}  // namespace plume
