#include "hxda/fixed_point.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using hxda::decodeFixedPoint;
using hxda::encodeFixedPoint;
using hxda::FixedPoint;

// The pair a truncating integer part gives; must agree with ours wherever it is sound.
FixedPoint truncatingEncode(double v) {
    const auto whole = static_cast<std::int32_t>(v);
    return {static_cast<std::uint32_t>((v - whole) * 4294967295.0), whole};
}

struct Case {
    double value;
    std::uint32_t fraction;
    std::int32_t integer;
};

TEST(FixedPoint, EncodesTableOfValues) {
    const Case cases[] = {
        {0.0, 0, 0},
        {1000.0, 0, 1000},
        {2.5, 2147483647u, 2},
        {0.75, 3221225471u, 0},
        {-10.0, 0, -10},
        {-5.0, 0, -5},
        {-2.5, 2147483647u, -3},
        {-0.5, 2147483647u, -1},
        {-0.25, 3221225471u, -1},
    };
    for (const auto& c : cases) {
        const FixedPoint p = encodeFixedPoint(c.value);
        EXPECT_EQ(p.fraction, c.fraction) << c.value;
        EXPECT_EQ(p.integer, c.integer) << c.value;
    }
}

TEST(FixedPoint, FullFractionWordIsOneUnit) {
    EXPECT_EQ(decodeFixedPoint({0xFFFFFFFFu, 1}), 2.0);
    EXPECT_EQ(decodeFixedPoint({0xFFFFFFFFu, -1}), 0.0);
    EXPECT_EQ(decodeFixedPoint({0, -10}), -10.0);
}

TEST(FixedPoint, RoundTripKeepsSignOfNegativeNonIntegers) {
    for (double v : {-2.5, -0.5, -9.999, -0.0001, -1234.567, 2.44, 0.00419, 18e6, 0.75}) {
        EXPECT_NEAR(decodeFixedPoint(encodeFixedPoint(v)), v, 1e-9) << v;
    }
    // A negative range minimum keeps a negative integer word.
    EXPECT_LT(encodeFixedPoint(-0.5).integer, 0);
}

TEST(FixedPoint, BitIdenticalToTruncationForNonNegativesAndIntegers) {
    for (double v : {0.0, 0.75, 2.44, 2.5, 10.0, 1000.0, 0.00419, 500000.0, 18e6, 9e6, -10.0, -5.0,
                     -1.0, -2147483648.0}) {
        const FixedPoint ours = encodeFixedPoint(v);
        const FixedPoint old = truncatingEncode(v);
        EXPECT_EQ(ours.fraction, old.fraction) << v;
        EXPECT_EQ(ours.integer, old.integer) << v;
    }
}

TEST(FixedPoint, OutOfRangeAndNanAreDefined) {
    EXPECT_EQ(encodeFixedPoint(std::nan("")).integer, 0);
    EXPECT_EQ(encodeFixedPoint(std::nan("")).fraction, 0u);
    EXPECT_EQ(encodeFixedPoint(1e12).integer, INT32_MAX);
    EXPECT_EQ(encodeFixedPoint(-1e12).integer, INT32_MIN);
    EXPECT_EQ(encodeFixedPoint(-1e12).fraction, 0u);
    static_assert(encodeFixedPoint(2.5).integer == 2);
}

}  // namespace
