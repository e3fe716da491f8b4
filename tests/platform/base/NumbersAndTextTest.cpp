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

TEST(Paths, JoinPutsExactlyOneSeparator) {
    const QString sep = pathSeparator();
    EXPECT_EQ(joinPath("a", "b"), "a" + sep + "b");
    EXPECT_EQ(joinPath("a" + sep, "b"), "a" + sep + "b");
    EXPECT_EQ(withTrailingSeparator("/"), "/");
    EXPECT_EQ(joinPath("", "b"), "b");
}

}  // namespace
}  // namespace plume
