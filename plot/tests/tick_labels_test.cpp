// Tick labels, the spacing of ticks and the vertical y label.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tick_labels.h"

namespace plot32 {
namespace {

std::string Label(double value, int decimals, std::size_t size = kLabelChars) {
    char text[kLabelChars + 1] = "untouched";
    FormatTickLabel(value, decimals, text, size);
    return text;
}

struct LabelCase {
    double value;
    int decimals;
    const char* text;
};

TEST(FormatTickLabel, RoundsHalfUpOnTheMagnitude) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const LabelCase cases[] = {
        {0.5, 0, "1"},   {12.345, 2, "12.35"},    {-0.25, 1, "-0.3"}, {0, 0, "0"},
        {0, 2, "0.00"},  {-0.0, 1, "0.0"},        {0.04, 1, "0.0"},   {9.96, 1, "10.0"},
        {-7, 0, "-7"},   {1234567, 0, "1234567"}, {0.999, 2, "1.00"}, {3.14159, 4, "3.1416"},
        {kNaN, 0, "-"},  {kNaN, 2, "-"},          {kInfinity, 1, ""}, {-kInfinity, 0, "-"},
        {2.5, -1, "3."},  // a negative count of decimals: the point without digits
    };
    for (const LabelCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " with " + std::to_string(c.decimals));
        EXPECT_EQ(Label(c.value, c.decimals), c.text);
    }
}

TEST(FormatTickLabel, LongLabelsAreCutAtTheBuffer) {
    // 1e100 has 101 digits; 500 decimals would be 502 characters.
    const std::string digits = Label(1e100, 0);
    EXPECT_EQ(digits.size(), kLabelChars - 1);
    EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos);
    const std::string decimals = Label(0.25, 500);
    EXPECT_EQ(decimals.size(), kLabelChars - 1);
    EXPECT_EQ(decimals.substr(0, 4), "0.25");
    EXPECT_EQ(Label(-12.5, 1, 4), "-12");
    EXPECT_EQ(Label(5, 0, 1), "");
    EXPECT_EQ(Label(5, 0, 0), "untouched");  // no room even for the NUL
    EXPECT_EQ(Label(std::numeric_limits<double>::max(), 0).size(), kLabelChars - 1);
}

struct StrideCase {
    const char* what;
    double min, max, step, scale;
    int charSize;
    TickDirection direction;
    double multiplier, first, last;
};

TEST(ChooseTickStride, FirstLastAndTheStepsThatLeaveRoomForALabel) {
    constexpr auto kX = TickDirection::Horizontal;
    constexpr auto kY = TickDirection::Vertical;
    const StrideCase cases[] = {
        // Labels "1" and "10" need 8 x 3 = 24 units; a step is 50.
        {"every step", 0, 10, 1, 50, 8, kX, 1, 1, 10},
        {"no tick at the minimum itself", 2, 10, 2, 50, 8, kX, 1, 4, 10},
        {"first and last inside the range", 0.5, 9.5, 1, 50, 8, kX, 1, 1, 9},
        // A step of 10 units: 24 needs 3 steps.
        {"every third step", 0, 10, 1, 10, 8, kX, 3, 1, 10},
        // Vertical: a line of 18 and one unit; 19 / 6.5 is 2.9.
        {"vertical room is a line", 0, 10, 1, 6.5, 18, kY, 3, 1, 10},
        {"just enough", 0, 10, 1, 19, 18, kY, 1, 1, 10},
        {"a plot of no width: one tick", 0, 10, 1, 0, 8, kX, 1, 1, 1},
    };
    for (const StrideCase& c : cases) {
        SCOPED_TRACE(c.what);
        const auto stride =
            ChooseTickStride(c.min, c.max, c.step, c.scale, c.charSize, 0, c.direction);
        ASSERT_TRUE(stride.has_value());
        EXPECT_EQ(stride->multiplier, c.multiplier);
        EXPECT_DOUBLE_EQ(stride->first, c.first);
        EXPECT_DOUBLE_EQ(stride->last, c.last);
    }
}

TEST(ChooseTickStride, ATinyStepIsFoundWithoutCountingUpToIt) {
    // Labels "1" and "1000000" need 8 x 8 = 64 units; a step is 1e-12 of one: some 6.4e13 steps.
    constexpr double kPerStep = 1e-12;
    constexpr double kRoom = 64;
    const auto stride = ChooseTickStride(0, 1000000, 1, kPerStep, 8, 0, TickDirection::Horizontal);
    ASSERT_TRUE(stride.has_value());
    EXPECT_GE(std::trunc(kPerStep * stride->multiplier), kRoom);
    EXPECT_LT(std::trunc(kPerStep * (stride->multiplier - 1)), kRoom);
}

TEST(ChooseTickStride, NoStrideWithoutAUsableStepOrScale) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* what;
        double min, max, step, scale;
    } cases[] = {
        {"a step of 0", 0, 10, 0, 50},
        {"a negative step", 0, 10, -1, 50},
        {"a reversed range", 10, 0, 1, -50},
        {"a range of no length", 5, 5, 1, kInfinity},
        {"a step not a number", 0, 10, kNaN, 50},
        {"an infinite maximum", 0, kInfinity, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(
            ChooseTickStride(c.min, c.max, c.step, c.scale, 8, 0, TickDirection::Horizontal)
                .has_value());
    }
}

TEST(MakeVerticalLabel, EachCharacterOnItsOwnLineAtMost39) {
    char column[kLabelChars];
    EXPECT_EQ(MakeVerticalLabel("Volts", column, sizeof column), 5);
    EXPECT_STREQ(column, "V\no\nl\nt\ns\n");
    const std::string longLabel(60, 'y');
    EXPECT_EQ(MakeVerticalLabel(longLabel.c_str(), column, sizeof column), 39);
    EXPECT_EQ(std::string(column).size(), 78u);
    EXPECT_EQ(MakeVerticalLabel("", column, sizeof column), 0);
    EXPECT_STREQ(column, "");
}

}  // namespace
}  // namespace plot32
