// Table tests of the number conversions.
#include "format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <string>

#include "text_convert.h"

using namespace tarnu;

TEST(MoneyText, Amounts) {
    struct Case {
        double amount;
        const char *text;
    } cases[] = {
        {0.5, "伍角整"},
        {1.05, "壹元零伍分"},
        {10, "壹拾元整"},
        {10.5, "壹拾元零伍角整"},
        {105.5, "壹佰零伍元伍角整"},
        {1001, "壹仟零壹元整"},
        {100000, "壹拾万元整"},
        {100010000, "壹亿零壹万元整"},
        {1000000000, "壹拾亿元整"},
        {123456789.12, "壹亿贰仟叁佰肆拾伍万陆仟柒佰捌拾玖元壹角贰分"},
        {1.5, "壹元伍角整"},
        {0.001, "零"},
        {0, "零"},
        {-3, "负叁元整"},
        {1e13, "溢出"},
        {-1e13, "溢出"},
        {9999999999999.99, "玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分"},
        {0.005, "壹分"},
        {20000, "贰万元整"},
        {1000000, "壹佰万元整"},
        {10000000000, "壹佰亿元整"},
    };
    for (const Case &c : cases) EXPECT_EQ(MoneyText(c.amount), c.text) << c.amount;
}

TEST(MoneyText, NonFiniteIsOverflow) {
    EXPECT_EQ(MoneyText(INFINITY), "溢出");
    EXPECT_EQ(MoneyText(-INFINITY), "溢出");
    EXPECT_EQ(MoneyText(NAN), "溢出");
}

TEST(RoundHalfUp, HalvesAwayFromZero) {
    EXPECT_EQ(RoundHalfUp(2.5, 0), 3);
    EXPECT_EQ(RoundHalfUp(-2.5, 0), -3);
    EXPECT_EQ(RoundHalfUp(1234, -2), 1200);
    EXPECT_EQ(RoundHalfUp(1250, -2), 1300);
    EXPECT_DOUBLE_EQ(RoundHalfUp(0.125, 2), 0.13);
    EXPECT_DOUBLE_EQ(RoundHalfUp(1.0 / 3, 2), 0.33);
    EXPECT_EQ(RoundHalfUp(0, 3), 0);
}

TEST(RoundHalfUp, NegativeValuesRoundingToZeroShowNoSign) {
    EXPECT_EQ(NumberToText(RoundHalfUp(-0.01, 1)), "0");
    EXPECT_EQ(NumberToText(RoundHalfUp(-0.4, 0)), "0");
    EXPECT_EQ(NumberToText(RoundHalfUp(-40, -2)), "0");
    EXPECT_EQ(FixedDecimals(-0.001, 2), "0.00");
    EXPECT_EQ(FixedDecimals(-0.005, 2), "-0.01");
}

TEST(RoundHalfUp, ExtremeDigitsKeepTheValue) {
    EXPECT_EQ(RoundHalfUp(1.5, 400), 1.5);
    EXPECT_EQ(RoundHalfUp(1.5, -400), 0);
    EXPECT_TRUE(std::isinf(RoundHalfUp(INFINITY, 2)));
    EXPECT_TRUE(std::isnan(RoundHalfUp(NAN, 2)));
}

TEST(RoundHalfUp, AnyDigitCountAndTheLargestValues) {
    EXPECT_EQ(RoundHalfUp(1.5, INT_MIN), 0);
    EXPECT_EQ(RoundHalfUp(-327.952, INT_MIN), 0);
    EXPECT_EQ(RoundHalfUp(1.5, INT_MAX), 1.5);
    // Rounding to millions near the largest double stays finite.
    EXPECT_EQ(RoundHalfUp(DBL_MAX, -6), DBL_MAX);
    EXPECT_EQ(RoundHalfUp(-DBL_MAX, -308), -DBL_MAX);  // 2e308 is no double
}

TEST(FixedDecimals, PadsWithZeros) {
    EXPECT_EQ(FixedDecimals(1, 2), "1.00");
    EXPECT_EQ(FixedDecimals(0.5, 3), "0.500");
    EXPECT_EQ(FixedDecimals(2.345, 2), "2.35");
    EXPECT_EQ(FixedDecimals(2.5, 0), "3");
    EXPECT_EQ(FixedDecimals(-1.2, 3), "-1.200");
}

TEST(FixedDecimals, ExponentAndNonFiniteTextsStayWhole) {
    EXPECT_EQ(FixedDecimals(1e20, 2), "1e+020");
    EXPECT_EQ(FixedDecimals(INFINITY, 2), "inf");
    EXPECT_EQ(FixedDecimals(NAN, 2), "nan");
}

TEST(NumberToText, ThirteenDigits) {
    EXPECT_EQ(NumberToText(1.0 / 3), "0.3333333333333");
    EXPECT_EQ(NumberToText(0.1 + 0.2), "0.3");
    EXPECT_EQ(NumberToText(3), "3");
    EXPECT_EQ(NumberToText(-2.5), "-2.5");
    EXPECT_EQ(NumberToText(1234567890123.0), "1234567890123");
    EXPECT_EQ(NumberToText(12345678901234.0), "1.234567890123e+013");
    EXPECT_EQ(NumberToText(1e-9), "1e-009");
    EXPECT_EQ(NumberToText(0.0001), "0.0001");
    EXPECT_EQ(NumberToText(0.00001), "1e-005");
    EXPECT_EQ(NumberToText(1e300), "1e+300");
    EXPECT_EQ(NumberToText(INFINITY), "inf");
    EXPECT_EQ(NumberToText(-INFINITY), "-inf");
    EXPECT_EQ(NumberToText(NAN), "nan");
}

TEST(TextToNumber, AtofRules) {
    EXPECT_EQ(TextToNumber("abc"), 0);
    EXPECT_EQ(TextToNumber("3="), 3);
    EXPECT_EQ(TextToNumber("  -12.5e1x"), -125);
    EXPECT_EQ(TextToNumber("+.5"), 0.5);
    EXPECT_EQ(TextToNumber("5."), 5);
    EXPECT_EQ(TextToNumber("2e"), 2);
    EXPECT_EQ(TextToNumber("2e+"), 2);
    EXPECT_EQ(TextToNumber("."), 0);
    EXPECT_EQ(TextToNumber(""), 0);
    EXPECT_EQ(TextToNumber("infinite"), HUGE_VAL);
    EXPECT_EQ(TextToNumber(" -INF"), -HUGE_VAL);
    EXPECT_TRUE(std::isnan(TextToNumber("nan")));
    EXPECT_EQ(TextToNumber("in"), 0);
    EXPECT_EQ(TextToNumber("0x10"), 0);
    EXPECT_TRUE(std::isinf(TextToNumber("1e999")));
    EXPECT_EQ(TextToNumber("1e-999"), 0);
}

// Out of range either way: the digits before the point count as much as the exponent.
TEST(TextToNumber, OutOfRangeByMagnitudeNotByExponentSign) {
    EXPECT_EQ(TextToNumber("1" + std::string(400, '0') + "e-4"), HUGE_VAL);
    EXPECT_EQ(TextToNumber("-" + std::string(400, '9') + ".5e-10"), -HUGE_VAL);
    EXPECT_EQ(TextToNumber("0." + std::string(400, '0') + "1e+5"), 0);
    EXPECT_EQ(TextToNumber("1e-400"), 0);
    EXPECT_EQ(TextToNumber("4.9e-324"), 4.9e-324);  // the smallest subnormal is no underflow
}

TEST(TextToNumber, ReadsBackNonFiniteTexts) {
    for (double x : {HUGE_VAL, -HUGE_VAL}) EXPECT_EQ(TextToNumber(NumberToText(x)), x);
    EXPECT_TRUE(std::isnan(TextToNumber(NumberToText(std::nan("")))));
    EXPECT_EQ(MoneyText(TextToNumber(NumberToText(HUGE_VAL))), "溢出");
}

TEST(TextToNumber, FullWidthFolding) {
    EXPECT_EQ(TextToNumber("１２．５"), 12.5);
    EXPECT_EQ(TextToNumber("　－３ｅ２"), -300);
    EXPECT_EQ(TextToNumber("＋７"), 7);
    EXPECT_EQ(TextToNumber("七"), 0);
}

TEST(TextToNumber, ThroughTextKeepsNonFinite) {
    EXPECT_TRUE(std::isinf(ThroughText(INFINITY)));
    EXPECT_EQ(ThroughText(1.0 / 3), 0.3333333333333);
}

namespace {

std::string gbToUtf8(const std::string &gb) {
    std::string out;
    return convertText("UTF-8", "GB18030", gb, out, true, "") ? out : "";
}

}  // namespace

// The folding must give what the byte rules give on GB2312 text: every character of
// row 0xA3 becomes (second byte & 0x7F), and four of row 0xA1 fold too.
TEST(TextToNumber, FoldingMatchesTheGbByteRules) {
    for (int b = 0xA1; b <= 0xFE; ++b) {
        std::string gb = {'\xA3', static_cast<char>(b)};
        std::string utf8 = gbToUtf8(gb);
        ASSERT_FALSE(utf8.empty()) << b;
        EXPECT_EQ(FoldFullWidth(utf8), std::string(1, static_cast<char>(b & 0x7F))) << b;
    }
    EXPECT_EQ(FoldFullWidth(gbToUtf8("\xA1\xA1\xA1\xAB\xA1\xEE\xA1\xEF")), " ~**");
    EXPECT_EQ(FoldFullWidth("七＄"), "七＄");                // not in GB2312's full-width row
    EXPECT_EQ(TextToNumber(gbToUtf8("\xA1\xA1") + "4"), 4);  // ideographic space
    EXPECT_EQ(TextToNumber("１" + gbToUtf8("\xA3\xC5") + "２"), 100);  // full-width E
}

TEST(ConvertOperators, ReplacesOnlyAsciiOperators) {
    EXPECT_EQ(ConvertOperators("2*3/4"), "2×3÷4");
    EXPECT_EQ(ConvertOperators("6*7/2"), "6×7÷2");
    // Characters whose encodings carry 0x2A/0x2F-like bytes in other code pages stay whole.
    EXPECT_EQ(ConvertOperators("数*值"), "数×值");
    EXPECT_EQ(ConvertOperators(""), "");
}
