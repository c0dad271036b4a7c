// Raw codes to volts, and magnitudes to decibels.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "dsp_buffers.h"
#include "hxdsp32.h"

namespace {

using hxdsp32_test::FloatsOf;
using hxdsp32_test::OwnedBuffer;

struct VoltsCase {
    const char* name;
    std::uint32_t encoding;
    float minRange;
    float maxRange;
    std::int16_t resolution;
    std::vector<std::uint32_t> codes;
    std::vector<float> volts;
};

template <class Code>
std::vector<float> ToVolts(const VoltsCase& c) {
    std::vector<Code> codes(c.codes.begin(), c.codes.end());
    OwnedBuffer raw(static_cast<std::uint32_t>(codes.size()), sizeof(Code));
    OwnedBuffer volts(static_cast<std::uint32_t>(codes.size()), sizeof(float));
    hxdsp32_test::Fill(raw, codes);
    EXPECT_EQ(
        hxDspInputToVolts(raw.get(), volts.get(), c.encoding, c.minRange, c.maxRange, c.resolution),
        0u)
        << c.name;
    return FloatsOf(volts);
}

TEST(InputToVoltsTest, ConvertsEachEncodingAndWidth) {
    const VoltsCase twelveBit = {
        "12-bit offset binary",         HXDSP_ENCODING_OFFSETBINARY, -10.0f, 10.0f, 12,
        {0, 2048, 4095, 0xF800},  // the top bits are not the sample's
        {-10.0f, 0.0f, 9.995117f, 0.0f}};
    const VoltsCase sixteenBit = {"16-bit two's complement",
                                  HXDSP_ENCODING_TWOSCOMPLEMENT,
                                  -10.0f,
                                  10.0f,
                                  16,
                                  {0, 0xFFFF, 0x8000, 0x7FFF},
                                  {0.0f, -0.00030517578f, -10.0f, 9.999695f}};
    const VoltsCase unipolar = {"16-bit two's complement 0..10 V",
                                HXDSP_ENCODING_TWOSCOMPLEMENT,
                                0.0f,
                                10.0f,
                                16,
                                {0, 0x8000},
                                {5.0f, 0.0f}};
    for (const VoltsCase* c : {&twelveBit, &sixteenBit, &unipolar}) {
        const std::vector<float> volts = ToVolts<std::uint16_t>(*c);
        ASSERT_EQ(volts.size(), c->volts.size()) << c->name;
        for (std::size_t i = 0; i < volts.size(); ++i)
            EXPECT_NEAR(volts[i], c->volts[i], 1e-5) << c->name << " code " << c->codes[i];
    }
    const VoltsCase twentyFour = {"24-bit two's complement in 4 bytes",
                                  HXDSP_ENCODING_TWOSCOMPLEMENT,
                                  -5.0f,
                                  5.0f,
                                  24,
                                  {0xFFFFFF, 0x800000, 0x400000, 0xFF000001},
                                  {-5.96e-7f, -5.0f, 2.5f, 5.96e-7f}};
    const std::vector<float> wide = ToVolts<std::uint32_t>(twentyFour);
    ASSERT_EQ(wide.size(), twentyFour.volts.size());
    for (std::size_t i = 0; i < wide.size(); ++i)
        EXPECT_NEAR(wide[i], twentyFour.volts[i], 1e-8) << "code " << twentyFour.codes[i];
    const VoltsCase eightBit = {"8-bit offset binary", HXDSP_ENCODING_OFFSETBINARY, 0.0f, 2.56f, 8,
                                {0, 1, 255},           {0.0f, 0.01f, 2.55f}};
    const std::vector<float> narrow = ToVolts<std::uint8_t>(eightBit);
    ASSERT_EQ(narrow.size(), 3u);
    for (std::size_t i = 0; i < narrow.size(); ++i)
        EXPECT_NEAR(narrow[i], eightBit.volts[i], 1e-6);
}

TEST(InputToVoltsTest, ConvertsInPlaceIntoAWiderSampleSize) {
    // Two-byte codes in a buffer whose bytes hold them as floats: its data width becomes 4.
    OwnedBuffer buffer(4, sizeof(std::uint16_t));
    hxdsp32_test::Fill(buffer, std::vector<std::uint16_t>{0, 4095});
    ASSERT_EQ(hxDspInputToVolts(buffer.get(), buffer.get(), HXDSP_ENCODING_OFFSETBINARY, 0.0f,
                                4.096f, 12),
              0u);
    const std::vector<float> volts = FloatsOf(buffer);
    ASSERT_EQ(volts.size(), 2u);
    EXPECT_NEAR(volts[0], 0.0f, 1e-6f);
    EXPECT_NEAR(volts[1], 4.095f, 1e-6f);
}

TEST(MagToDbTest, GivesTwentyLogTenOfTheMagnitudeWithAFloor) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> magnitudes = {1.0f, 10.0f, -0.1f, 1280.0f, 1e-10f, 9e-11f, 0.0f, nan};
    const std::vector<float> expected = {
        0.0f,    20.0f,           -20.0f,          62.144199f,
        -200.0f, HXDSP_MINIMUMDB, HXDSP_MINIMUMDB, HXDSP_MINIMUMDB};
    OwnedBuffer buffer(static_cast<std::uint32_t>(magnitudes.size()), sizeof(float));
    hxdsp32_test::Fill(buffer, magnitudes);
    ASSERT_EQ(hxDspMagToDB(buffer.get(), buffer.get()), 0u);
    const std::vector<float> db = FloatsOf(buffer);
    ASSERT_EQ(db.size(), expected.size());
    for (std::size_t i = 0; i < db.size(); ++i)
        EXPECT_NEAR(db[i], expected[i], 1e-4) << "magnitude " << magnitudes[i];
}

}  // namespace
