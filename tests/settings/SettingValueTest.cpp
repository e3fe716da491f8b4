// Values to text and text to numbers, as the settings file stores them.
#include "settings/SettingValue.h"

#include <gtest/gtest.h>

namespace plume {
namespace {

TEST(ValueToText, NumbersArePlainDecimalsWithTheirPrecision) {
    EXPECT_EQ(SettingValue(1440.0f).toText(), "1440");
    EXPECT_EQ(SettingValue(-120.0).toText(), "-120");
    EXPECT_EQ(SettingValue(int16_t{3}).toText(), "3");
    EXPECT_EQ(SettingValue(int32_t{-70000}).toText(), "-70000");
    EXPECT_EQ(SettingValue(0.0).toText(), "0");
    // Single precision keeps 7 significant digits, double 15.
    EXPECT_EQ(SettingValue(1536.4f).toText(), "1536.4");
    EXPECT_EQ(SettingValue(1.0f / 3.0f).toText(), "0.3333333");
    EXPECT_EQ(SettingValue(1.0 / 3.0).toText(), "0.333333333333333");
    EXPECT_EQ(SettingValue(123456789.0f).toText(), "123456800");
    EXPECT_EQ(SettingValue(0.000012345).toText(), "0.000012345");
    EXPECT_EQ(SettingValue(1e20).toText(), "100000000000000000000");
    EXPECT_EQ(SettingValue(-2.5e-3f).toText(), "-0.0025");
}

TEST(ValueToText, TruthAndTextAndKindNames) {
    EXPECT_EQ(SettingValue(true).toText(), "True");
    EXPECT_EQ(SettingValue(false).toText(), "False");
    EXPECT_EQ(SettingValue(" a b ").toText(), " a b ");
    EXPECT_EQ(SettingValue("x").typeName(), "string");
    EXPECT_EQ(SettingValue(true).typeName(), "boolean");
    EXPECT_EQ(SettingValue(QDateTime()).typeName(), "date");
    EXPECT_EQ(SettingValue(int16_t{1}).typeName(), "integer");
    EXPECT_EQ(SettingValue(int32_t{1}).typeName(), "long");
    EXPECT_EQ(SettingValue(1.0f).typeName(), "single");
    EXPECT_EQ(SettingValue(1.0).typeName(), "double");
}

TEST(LeadingNumber, ReadsTheNumberAtTheStartAndStopsAtTheFirstStranger) {
    EXPECT_EQ(leadingNumber(" 12.5abc"), 12.5);
    EXPECT_EQ(leadingNumber("1e3"), 1000.0);
    EXPECT_EQ(leadingNumber("-"), 0.0);
    EXPECT_EQ(leadingNumber("abc"), 0.0);
    EXPECT_EQ(leadingNumber(""), 0.0);
    EXPECT_EQ(leadingNumber("-1.5e-2x"), -0.015);
    EXPECT_EQ(leadingNumber("+7"), 7.0);
    EXPECT_EQ(leadingNumber(".5"), 0.5);
    EXPECT_EQ(leadingNumber("3."), 3.0);
    EXPECT_EQ(leadingNumber("1e"), 1.0);
    EXPECT_EQ(leadingNumber("2e+"), 2.0);
    EXPECT_EQ(leadingNumber("1.2.3"), 1.2);
    EXPECT_EQ(leadingNumber("--1"), 0.0);
    // Blanks are skipped wherever they stand, other characters end the number.
    EXPECT_EQ(leadingNumber("1 2\t3\n4"), 1234.0);
    EXPECT_EQ(leadingNumber("1\r2"), 1.0);
    EXPECT_EQ(leadingNumber("1,5"), 1.0);  // "." is the decimal point whatever the locale
    EXPECT_EQ(leadingNumber("1e999"), HUGE_VAL);
}

TEST(TextToTruth, WordsInAnyCaseAndNumbers) {
    EXPECT_EQ(textToTruth("True"), true);
    EXPECT_EQ(textToTruth("fALSE"), false);
    EXPECT_EQ(textToTruth(" -1 "), true);
    EXPECT_EQ(textToTruth("0"), false);
    EXPECT_EQ(textToTruth("0.0"), false);
    EXPECT_EQ(textToTruth("2.5"), true);
    EXPECT_EQ(textToTruth("yes"), std::nullopt);
    EXPECT_EQ(textToTruth(""), std::nullopt);
}

}  // namespace
}  // namespace plume
