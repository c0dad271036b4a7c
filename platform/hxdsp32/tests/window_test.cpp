// Window coefficients, read by windowing a run of ones.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "dsp_buffers.h"
#include "hxdsp32.h"

namespace {

using hxdsp32_test::FloatsOf;
using hxdsp32_test::OwnedBuffer;

std::vector<float> Coefficients(std::uint32_t count, std::uint32_t window, std::uint32_t scaling,
                                std::uint32_t form) {
    OwnedBuffer buffer(count, sizeof(float));
    hxdsp32_test::Fill(buffer, std::vector<float>(count, 1.0f));
    EXPECT_EQ(hxDspWindow(buffer.get(), buffer.get(), count, window, scaling, form), 0u);
    return FloatsOf(buffer);
}

struct KnownWindow {
    std::uint32_t code;
    double first;    // w(0) = a0 - a1 + a2 - a3
    double middle;   // w(count / 2) of the periodic form = a0 + a1 + a2 + a3
    double quarter;  // w(count / 4) of the periodic form = a0 - a2
};

TEST(WindowTest, EachCodeHasItsCosineSum) {
    constexpr std::uint32_t kCount = 64;
    const KnownWindow windows[] = {
        {HXDSP_WINDOW_RECTANGLE, 1.0, 1.0, 1.0},
        {HXDSP_WINDOW_HANNING, 0.0, 1.0, 0.5},
        {HXDSP_WINDOW_HAMMING, 0.08, 1.0, 0.54},
        {HXDSP_WINDOW_BLACKMAN, 0.0, 1.0, 0.34},
        {HXDSP_WINDOW_BLACKMANHARRIS67, 0.0049, 1.0, 0.34401},
        {HXDSP_WINDOW_BLACKMANHARRIS92, 0.00006, 1.0, 0.21747},
    };
    for (const KnownWindow& known : windows) {
        const std::vector<float> w =
            Coefficients(kCount, known.code, HXDSP_SCALE_NONE, HXDSP_FORM_PERIODIC);
        ASSERT_EQ(w.size(), kCount);
        EXPECT_NEAR(w[0], known.first, 1e-6) << "window " << known.code;
        EXPECT_NEAR(w[kCount / 2], known.middle, 1e-6) << "window " << known.code;
        EXPECT_NEAR(w[kCount / 4], known.quarter, 1e-6) << "window " << known.code;
        // Periodic: symmetric about the middle, w(n) = w(count - n).
        for (std::uint32_t n = 1; n < kCount / 2; ++n)
            EXPECT_NEAR(w[n], w[kCount - n], 1e-6) << "window " << known.code << " n " << n;
    }
}

TEST(WindowTest, SymmetricFormEndsWhereItStarts) {
    constexpr std::uint32_t kCount = 33;
    const std::vector<float> w =
        Coefficients(kCount, HXDSP_WINDOW_HANNING, HXDSP_SCALE_NONE, HXDSP_FORM_SYMMETRIC);
    EXPECT_NEAR(w.front(), 0.0, 1e-6);
    EXPECT_NEAR(w.back(), 0.0, 1e-6);
    EXPECT_NEAR(w[kCount / 2], 1.0, 1e-6);
    // One value has no period to span: it is 1.
    EXPECT_EQ(Coefficients(1, HXDSP_WINDOW_BLACKMAN, HXDSP_SCALE_NONE, HXDSP_FORM_SYMMETRIC),
              std::vector<float>{1.0f});
}

TEST(WindowTest, ScalingKeepsTheMeanOrTheMeanSquare) {
    constexpr std::uint32_t kCount = 512;
    for (std::uint32_t code = HXDSP_WINDOW_RECTANGLE; code <= HXDSP_WINDOW_BLACKMANHARRIS92;
         ++code) {
        const std::vector<float> amplitude =
            Coefficients(kCount, code, HXDSP_SCALE_AMPLITUDE, HXDSP_FORM_PERIODIC);
        EXPECT_NEAR(std::accumulate(amplitude.begin(), amplitude.end(), 0.0) / kCount, 1.0, 1e-5)
            << "window " << code;
        const std::vector<float> energy =
            Coefficients(kCount, code, HXDSP_SCALE_ENERGY, HXDSP_FORM_PERIODIC);
        EXPECT_NEAR(std::inner_product(energy.begin(), energy.end(), energy.begin(), 0.0) / kCount,
                    1.0, 1e-5)
            << "window " << code;
    }
    // Blackman's mean is a0, so its amplitude-kept peak is 1 / 0.42.
    const std::vector<float> blackman =
        Coefficients(kCount, HXDSP_WINDOW_BLACKMAN, HXDSP_SCALE_AMPLITUDE, HXDSP_FORM_PERIODIC);
    EXPECT_NEAR(blackman[kCount / 2], 1.0 / 0.42, 1e-5);
}

TEST(WindowTest, WindowsOnlyTheFirstCountValuesOfTheInput) {
    const std::vector<float> x = {2.0f, 4.0f, 6.0f, 8.0f, 9.0f, 9.0f};
    OwnedBuffer input(static_cast<std::uint32_t>(x.size()), sizeof(float));
    OwnedBuffer output(8, sizeof(float));
    hxdsp32_test::Fill(input, x);
    ASSERT_EQ(hxDspWindow(input.get(), output.get(), 4, HXDSP_WINDOW_HANNING, HXDSP_SCALE_NONE,
                          HXDSP_FORM_PERIODIC),
              0u);
    const std::vector<float> w = FloatsOf(output);
    ASSERT_EQ(w.size(), 4u);
    // Hanning over 4: 0, 0.5, 1, 0.5.
    EXPECT_NEAR(w[0], 0.0f, 1e-6f);
    EXPECT_NEAR(w[1], 2.0f, 1e-6f);
    EXPECT_NEAR(w[2], 6.0f, 1e-6f);
    EXPECT_NEAR(w[3], 4.0f, 1e-6f);
    EXPECT_EQ(FloatsOf(input), x);
}

}  // namespace
