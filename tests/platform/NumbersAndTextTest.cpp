#include "platform/Cp932.h"
#include "platform/Numbers.h"
#include "platform/Paths.h"

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
