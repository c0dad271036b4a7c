// The real FFT against transforms known in closed form or computed term by term.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "dsp_buffers.h"
#include "hxdsp32.h"

namespace {

using hxdsp32_test::FloatsOf;
using hxdsp32_test::OwnedBuffer;

std::vector<float> Sine(std::uint32_t length, double amplitude, double cyclesPerLength,
                        double phase = 0.0) {
    std::vector<float> x(length);
    for (std::uint32_t n = 0; n < length; ++n)
        x[n] = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * cyclesPerLength * n / length + phase));
    return x;
}

TEST(RealFftTest, ASineOnABinGivesHalfItsAmplitudeTimesTheLengthThereAndNothingElsewhere) {
    constexpr std::uint32_t kLength = 256;
    constexpr std::uint32_t kBin = 17;
    constexpr double kAmplitude = 3.0;
    OwnedBuffer buffer(kLength, sizeof(float));
    hxdsp32_test::Fill(buffer, Sine(kLength, kAmplitude, kBin, 0.4));
    ASSERT_EQ(hxDspRealFFT(buffer.get(), buffer.get(), HXDSP_SPECTRUM_MAGNITUDE, kLength), 0u);
    const std::vector<float> magnitude = FloatsOf(buffer);
    ASSERT_EQ(magnitude.size(), kLength / 2);
    for (std::uint32_t k = 0; k < kLength / 2; ++k) {
        const double expected = k == kBin ? kAmplitude * kLength / 2 : 0.0;
        EXPECT_NEAR(magnitude[k], expected, 1e-3) << "bin " << k;
    }
}

TEST(RealFftTest, PackedFormMatchesTheTransformComputedTermByTerm) {
    const std::vector<float> x = {1.5f, -2.0f, 0.25f, 4.0f, -1.0f, 3.5f, 0.0f, -0.75f};
    const auto length = static_cast<std::uint32_t>(x.size());
    OwnedBuffer input(length, sizeof(float));
    OwnedBuffer output(length, sizeof(float));
    hxdsp32_test::Fill(input, x);
    ASSERT_EQ(hxDspRealFFT(input.get(), output.get(), HXDSP_SPECTRUM_PACKED, length), 0u);
    const std::vector<float> packed = FloatsOf(output);
    ASSERT_EQ(packed.size(), length);

    auto dft = [&](std::uint32_t k) {
        std::complex<double> sum;
        for (std::uint32_t n = 0; n < length; ++n)
            sum +=
                static_cast<double>(x[n]) * std::polar(1.0, -2 * std::numbers::pi * k * n / length);
        return sum;
    };
    EXPECT_NEAR(packed[0], dft(0).real(), 1e-5);
    EXPECT_NEAR(packed[1], dft(length / 2).real(), 1e-5);
    for (std::uint32_t k = 1; k < length / 2; ++k) {
        EXPECT_NEAR(packed[2 * k], dft(k).real(), 1e-5) << "bin " << k;
        EXPECT_NEAR(packed[2 * k + 1], dft(k).imag(), 1e-5) << "bin " << k;
    }
    // The input is left as it was.
    EXPECT_EQ(FloatsOf(input), x);
}

TEST(RealFftTest, EnergyIsKeptAsParsevalSays) {
    constexpr std::uint32_t kLength = 1024;
    std::vector<float> x(kLength);
    for (std::uint32_t n = 0; n < kLength; ++n)
        x[n] = static_cast<float>(std::sin(0.37 * n) + 0.5 * std::cos(1.91 * n * n / kLength) +
                                  0.1 * (n % 7));
    double timeEnergy = 0;
    for (float v : x)
        timeEnergy += static_cast<double>(v) * v;

    OwnedBuffer buffer(kLength, sizeof(float));
    hxdsp32_test::Fill(buffer, x);
    ASSERT_EQ(hxDspRealFFT(buffer.get(), buffer.get(), HXDSP_SPECTRUM_PACKED, kLength), 0u);
    const std::vector<float> p = FloatsOf(buffer);
    // The bins above length/2 mirror those below it.
    double frequencyEnergy = static_cast<double>(p[0]) * p[0] + static_cast<double>(p[1]) * p[1];
    for (std::uint32_t k = 1; k < kLength / 2; ++k)
        frequencyEnergy += 2 * (static_cast<double>(p[2 * k]) * p[2 * k] +
                                static_cast<double>(p[2 * k + 1]) * p[2 * k + 1]);
    EXPECT_NEAR(frequencyEnergy / kLength, timeEnergy, timeEnergy * 1e-5);
}

TEST(RealFftTest, TransformsOnlyTheFirstLengthValuesAndCoversTheLengthRange) {
    for (std::uint32_t length : {2u, 4u, 4096u, static_cast<std::uint32_t>(HXDSP_MAXFFTLENGTH)}) {
        // A constant 1 for the first `length` values, then values that must not be read.
        std::vector<float> x(length, 1.0f);
        x.resize(std::size_t{length} + 5, 1000.0f);
        OwnedBuffer buffer(static_cast<std::uint32_t>(x.size()), sizeof(float));
        hxdsp32_test::Fill(buffer, x);
        ASSERT_EQ(hxDspRealFFT(buffer.get(), buffer.get(), HXDSP_SPECTRUM_MAGNITUDE, length), 0u)
            << length;
        const std::vector<float> magnitude = FloatsOf(buffer);
        ASSERT_EQ(magnitude.size(), length / 2);
        EXPECT_FLOAT_EQ(magnitude[0], static_cast<float>(length));
        if (length > 2) {
            EXPECT_NEAR(magnitude[1], 0.0f, 1e-3f) << length;
        }
    }
}

// The chain an analyser runs on raw codes: volts, an amplitude-kept window, the transform and
// decibels. A full-scale sine of a 12-bit offset-binary -10..10 V converter sits 20 log10(10 N/2)
// dB up, at its bin, whatever the window.
TEST(RealFftTest, TheAnalyserChainPutsAFullScaleSineAtItsBinAndLevel) {
    constexpr std::uint32_t kLength = 256;
    constexpr std::uint32_t kBin = 32;
    constexpr int kResolution = 12;
    constexpr double kMidCode = 2048;
    for (std::uint32_t window = HXDSP_WINDOW_RECTANGLE; window <= HXDSP_WINDOW_BLACKMANHARRIS92;
         ++window) {
        std::vector<std::uint16_t> codes(kLength);
        for (std::uint32_t n = 0; n < kLength; ++n)
            codes[n] = static_cast<std::uint16_t>(
                std::lround(kMidCode + 2047 * std::sin(2 * std::numbers::pi * kBin * n / kLength)));
        OwnedBuffer raw(kLength, sizeof(std::uint16_t));
        OwnedBuffer spectrum(2 * kLength, sizeof(std::uint16_t));
        hxdsp32_test::Fill(raw, codes);
        ASSERT_EQ(hxDspInputToVolts(raw.get(), spectrum.get(), HXDSP_ENCODING_OFFSETBINARY, -10.0f,
                                    10.0f, kResolution),
                  0u);
        ASSERT_EQ(hxDspWindow(spectrum.get(), spectrum.get(), kLength, window,
                              HXDSP_SCALE_AMPLITUDE, HXDSP_FORM_PERIODIC),
                  0u);
        ASSERT_EQ(hxDspRealFFT(spectrum.get(), spectrum.get(), HXDSP_SPECTRUM_MAGNITUDE, kLength),
                  0u);
        ASSERT_EQ(hxDspMagToDB(spectrum.get(), spectrum.get()), 0u);
        const std::vector<float> db = FloatsOf(spectrum);
        ASSERT_EQ(db.size(), kLength / 2);
        std::uint32_t peak = 0;
        for (std::uint32_t k = 1; k < db.size(); ++k)
            if (db[k] > db[peak])
                peak = k;
        EXPECT_EQ(peak, kBin) << "window " << window;
        const double amplitude = 2047.0 / 2048.0 * 10.0;
        EXPECT_NEAR(db[peak], 20 * std::log10(amplitude * kLength / 2), 0.01)
            << "window " << window;
        // Far from the peak, every window leaves the sine's leakage well down.
        EXPECT_LT(db[kBin + 20], db[peak] - 60) << "window " << window;
    }
}

}  // namespace
