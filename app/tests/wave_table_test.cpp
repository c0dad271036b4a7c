// The waveform generator's table: the length that holds whole periods, and the codes of each
// shape in both encodings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "modules/wave_table.h"

namespace larkspur::wave {
namespace {

constexpr float kClock = 100000;

TEST(WaveTableTest, TheLengthHoldsWholePeriodsOrTheNearestToWhole) {
    const struct {
        float wave;
        std::int32_t length;
        float played;
    } cases[] = {
        {1000, 5000, 1000},  // 50 periods in the shortest table exactly
        {1234, 8671, 100000.0f * 107 / 8671},
        {333, 6006, 100000.0f * 20 / 6006},
        {7, 10000, 10},        // 0.7 periods at best: one whole period is played
        {20000, 5000, 10000},  // above a tenth of the clock: the tenth
        {4, 5000, 0},          // no table holds half a period: nothing to play
        {0.1f, 5000, 0},       // a two-hundredth of a period is no whole period either
        {0, 5000, 0},
    };
    for (const auto& c : cases) {
        Fit fit = FitTable(c.wave, kClock);
        EXPECT_EQ(fit.length, c.length) << c.wave << " Hz";
        EXPECT_FLOAT_EQ(fit.frequency, c.played) << c.wave << " Hz";
    }
    EXPECT_NEAR(FitTable(1234, kClock).frequency, 1233.998f, 0.0005f);
}

// Codes as an offset binary output reads them, centred on mid-scale.
std::vector<std::int32_t> Codes(const std::vector<std::int16_t>& table, int bits) {
    std::vector<std::int32_t> codes;
    for (std::int16_t entry : table)
        codes.push_back(static_cast<std::uint16_t>(entry) & ((1 << bits) - 1));
    return codes;
}

TEST(WaveTableTest, EveryShapeSwingsByItsAmplitudeAroundMidScaleAtItsFrequency) {
    constexpr std::int32_t kLength = 5000;
    constexpr double kCycles = 50.0 / kLength;  // 50 periods, 100 samples each
    constexpr double kAmplitude = 16384;        // half of the 16-bit half range
    constexpr std::int32_t kMid = 32768;
    for (Shape shape : {Shape::Sine, Shape::Square, Shape::Triangle}) {
        SCOPED_TRACE(static_cast<int>(shape));
        auto codes = Codes(BuildTable(shape, kLength, kAmplitude, kCycles, {16, 0}), 16);
        ASSERT_EQ(codes.size(), static_cast<std::size_t>(kLength));
        auto [low, high] = std::minmax_element(codes.begin(), codes.end());
        EXPECT_NEAR(*high - kMid, kAmplitude, 1);
        EXPECT_NEAR(kMid - *low, kAmplitude, 1);
        int crossings = 0;
        for (std::size_t i = 1; i < codes.size(); ++i)
            crossings += (codes[i - 1] >= kMid) != (codes[i] >= kMid);
        EXPECT_NEAR(crossings, 100, 1);
        for (std::size_t i = 0; i + 100 < codes.size(); i += 37)
            EXPECT_NEAR(codes[i], codes[i + 100], 2) << "periodic, sample " << i;
    }
    // Where each starts: the sine at its top, the square's high half, the triangle rising from
    // the middle by two amplitudes a half period.
    EXPECT_EQ(Codes(BuildTable(Shape::Sine, kLength, kAmplitude, kCycles, {16, 0}), 16)[0],
              kMid + 16384);
    auto square = Codes(BuildTable(Shape::Square, kLength, kAmplitude, kCycles, {16, 0}), 16);
    EXPECT_EQ(std::count(square.begin(), square.begin() + 100, kMid + 16384), 50);
    auto triangle = Codes(BuildTable(Shape::Triangle, kLength, kAmplitude, kCycles, {16, 0}), 16);
    EXPECT_EQ(triangle[0], kMid);
    EXPECT_NEAR(triangle[10] - triangle[0], 2 * kAmplitude * 10 / 50, 1);
}

TEST(WaveTableTest, APeakAtTheRangeLimitIsHeldAtTheTopCodeInEitherEncoding) {
    constexpr std::int32_t kLength = 5000;
    constexpr double kCycles = 50.0 / kLength;
    const struct {
        Scale scale;
        std::int32_t lowest;
        std::int32_t highest;
    } cases[] = {
        {{12, 0}, 0, 4095},  // offset binary: 4096 would read as the bottom code in 12 bits
        {{16, 0}, 0, 65535},
        {{12, 1}, -2048, 2047},
        {{16, 1}, -32768, 32767},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale.resolution);
        double fullScale = std::pow(2.0, c.scale.resolution - 1);
        for (Shape shape : {Shape::Sine, Shape::Triangle}) {
            std::vector<std::int16_t> table =
                BuildTable(shape, kLength, fullScale, kCycles, c.scale);
            std::vector<std::int32_t> codes;
            for (std::int16_t entry : table)
                codes.push_back(c.scale.encoding == 1 ? entry : static_cast<std::uint16_t>(entry));
            auto [low, high] = std::minmax_element(codes.begin(), codes.end());
            EXPECT_EQ(*low, c.lowest);
            EXPECT_EQ(*high, c.highest);
            if (shape == Shape::Sine) {
                EXPECT_EQ(codes[0], c.highest);  // the top sample: the top code, not one past it
            }
        }
    }
}

}  // namespace
}  // namespace larkspur::wave
