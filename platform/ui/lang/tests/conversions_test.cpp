// Number conversions: reading numbers from text, the two number-text forms, rounding and range.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace {

using namespace uilang;

struct ValCase {
    const char* text;
    double value;
};

TEST(ValTest, ReadsTheLeadingNumberAndStopsAtTheFirstOtherCharacter) {
    const ValCase cases[] = {
        {"1000.7", 1000.7}, {"  -2.5e3x", -2500},
        {"+.5", 0.5},       {"12abc", 12},
        {"abc", 0},         {"", 0},
        {"-", 0},           {".", 0},
        {"1e", 1},          {"1e+", 1},
        {"2D2", 200},       {"1e12", 1e12},
        {"&HFF", 255},      {"&hffffffff", -1},
        {"&O17", 15},       {"&Hz", 0},
        {"3.5.1", 3.5},     {"\t7", 7},
        {"1,5", 1},         {" .1", 0.1},
    };
    for (const ValCase& c : cases)
        EXPECT_DOUBLE_EQ(Val(c.text), c.value) << '"' << c.text << '"';
}

TEST(ValTest, IgnoresTheHostLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no comma-decimal locale installed";
    EXPECT_DOUBLE_EQ(Val("2.25"), 2.25);
    EXPECT_EQ(CStr(2.25), "2.25");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ValTest, NumericTestAndStrictConversion) {
    EXPECT_TRUE(IsNumeric(" 6500 "));
    EXPECT_TRUE(IsNumeric("-1.5E+3"));
    EXPECT_FALSE(IsNumeric("65x"));
    EXPECT_FALSE(IsNumeric(""));
    EXPECT_DOUBLE_EQ(CDbl("1000"), 1000);
    try {
        CDbl("corrupt");
        FAIL() << "no error raised";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), kErrTypeMismatch);
        EXPECT_EQ(error.Description(), "Type mismatch");
    }
}

struct TextCase {
    double value;
    const char* leadingBlank;
    const char* plain;
};

TEST(NumberTextTest, DoubleTextsInBothForms) {
    const TextCase cases[] = {
        {0, " 0", "0"},
        {0.1, " .1", "0.1"},
        {-0.5, "-.5", "-0.5"},
        {10, " 10", "10"},
        {2.5, " 2.5", "2.5"},
        {100000, " 100000", "100000"},
        {1000.70, " 1000.7", "1000.7"},
        {0.0001, " .0001", "0.0001"},
        {0.00001, " 1E-05", "1E-05"},
        {123456789012345.0, " 123456789012345", "123456789012345"},
        {1e15, " 1E+15", "1E+15"},
        {-1.5e20, "-1.5E+20", "-1.5E+20"},
        {1.0 / 3.0, " .333333333333333", "0.333333333333333"},
        {2.0 / 3.0, " .666666666666667", "0.666666666666667"},
        {1e-100, " 1E-100", "1E-100"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(Str(c.value), c.leadingBlank) << c.value;
        EXPECT_EQ(CStr(c.value), c.plain) << c.value;
    }
}

TEST(NumberTextTest, SinglesKeepSevenDigitsAndSwitchToExponentsAtTenMillion) {
    const TextCase cases[] = {
        {0.1f, " .1", "0.1"},
        {2.0f, " 2", "2"},
        {1.0f / 3.0f, " .3333333", "0.3333333"},
        {9999999.0f, " 9999999", "9999999"},
        {10000000.0f, " 1E+07", "1E+07"},
        {0.00001f, " 1E-05", "1E-05"},
        {-0.4f, "-.4", "-0.4"},
        // Rounded to seven digits, 9999999.5 is ten million.
        {9999999.5f, " 1E+07", "1E+07"},
    };
    for (const TextCase& c : cases) {
        float single = static_cast<float>(c.value);
        EXPECT_EQ(Str(single), c.leadingBlank) << c.value;
        EXPECT_EQ(CStr(single), c.plain) << c.value;
    }
}

TEST(NumberTextTest, TextReadsBackToTheSameNumber) {
    for (double value : {0.1, -2.75, 1e-5, 123456.789, 1e20, 65535.0})
        EXPECT_DOUBLE_EQ(Val(Str(value)), value) << value;
}

struct RoundCase {
    double value;
    long expected;
};

TEST(RoundingTest, IntegerConversionsRoundHalfToEven) {
    const RoundCase cases[] = {
        {0.5, 0},       {1.5, 2},       {2.5, 2},       {-0.5, 0},  {-1.5, -2},
        {1000.7, 1001}, {2500.5, 2500}, {2501.5, 2502}, {-2.4, -2}, {32767.4, 32767},
    };
    for (const RoundCase& c : cases) {
        EXPECT_EQ(CInt(c.value), c.expected) << c.value;
        EXPECT_EQ(CLng(c.value), c.expected) << c.value;
    }
}

void ExpectOverflow(void (*convert)(double), double value) {
    try {
        convert(value);
        ADD_FAILURE() << value << " converted without overflow";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), kErrOverflow) << value;
    }
}

TEST(RoundingTest, ValuesThatDoNotFitRaiseOverflow) {
    auto toInt = [](double v) { (void)CInt(v); };
    auto toLong = [](double v) { (void)CLng(v); };
    auto toSingle = [](double v) { (void)CSng(v); };
    for (double value : {32767.5, -32768.6, 1e12, double(NAN)})
        ExpectOverflow(toInt, value);
    EXPECT_EQ(CInt(-32768.4), -32768);
    for (double value : {2147483647.5, -2147483649.0, 1e12, double(NAN)})
        ExpectOverflow(toLong, value);
    EXPECT_EQ(CLng(2147483647.4), 2147483647);
    EXPECT_EQ(CLng(-2147483648.0), -2147483647 - 1);
    ExpectOverflow(toSingle, 1e39);
    EXPECT_FLOAT_EQ(CSng(0.1), 0.1f);
}

TEST(HexTest, UpperCaseDigitsOfTheThirtyTwoBitValue) {
    EXPECT_EQ(Hex(0), "0");
    EXPECT_EQ(Hex(255), "FF");
    EXPECT_EQ(Hex(0x00010203), "10203");
    EXPECT_EQ(Hex(-1), "FFFFFFFF");
    EXPECT_EQ(Hex(-32768), "FFFF8000");
}

TEST(FormatTest, AtMostTwoDecimalsWithoutTrailingZeros) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {3.14159, "3.14"}, {2.5, "2.5"},  {7, "7"},        {0.005, "0.01"}, {0.004, "0"},
        {-1.256, "-1.26"}, {-0.001, "0"}, {99.999, "100"}, {0.1, "0.1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatZeroDotTwo(c.value), c.text) << c.value;
}

}  // namespace
