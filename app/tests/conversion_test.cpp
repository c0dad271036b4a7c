// Code/volts conversion in both encodings, and the wrappers' errors.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "hxdsp32.h"
#include "hxmem32.h"
#include "modules/hxdadefs.h"
#include "modules/hxdspdefs.h"
#include "modules/hxmemdefs.h"
#include "registry/testing.h"
#include "uilang/declared_entry.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

using hxdadefs::Scale;

constexpr Scale kTwelveBitBipolar{12, 0, -10.0f, 10.0f};
constexpr Scale kTwelveBitUnipolar{12, 0, 0.0f, 10.0f};
constexpr Scale kSixteenBitTwos{16, 1, -10.0f, 10.0f};

TEST(ConversionTest, VoltsToCodeClampsRoundsHalfToEvenAndPullsTheTopBack) {
    const struct {
        Scale scale;
        float volts;
        std::int32_t code;
    } cases[] = {
        {kTwelveBitBipolar, 10.0f, 4095},  // 4096 pulled back
        {kTwelveBitBipolar, -10.0f, 0},
        {kTwelveBitBipolar, 20.0f, 4095},  // clamped
        {kTwelveBitBipolar, 0.0f, 2048},
        {kTwelveBitUnipolar, 0.001220703125f, 0},  // half a code: to even
        {kTwelveBitUnipolar, 0.003662109375f, 2},  // one and a half codes: to even
        {kTwelveBitUnipolar, -3.0f, 0},
        {kSixteenBitTwos, 10.0f, 32767},    // 32768 pulled back
        {kSixteenBitTwos, -10.0f, -32768},  // signed, not masked
        {kSixteenBitTwos, 0.0f, 0},
        {kSixteenBitTwos, -0.000305f, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hxdadefs::VoltsToCode(c.scale, c.volts), c.code)
            << c.volts << " V at " << c.scale.resolution << " bits";
}

TEST(ConversionTest, CodeToVoltsMasksTwosComplementAndExtrapolatesOffsetBinary) {
    const struct {
        Scale scale;
        std::int32_t code;
        float volts;
    } cases[] = {
        {kTwelveBitBipolar, 4095, 9.99512f},
        {kTwelveBitBipolar, 2048, 0.0f},
        {kTwelveBitBipolar, 0, -10.0f},
        {kTwelveBitBipolar, 4096, 10.0f},       // beyond the codes: no clamping
        {kSixteenBitTwos, 0xFFFF, -0.000305f},  // masked to 16 bits, sign-extended
        {kSixteenBitTwos, 32768, -10.0f},
        {kSixteenBitTwos, -1, -0.000305f},
        {kSixteenBitTwos, 0x17FFF, 9.99969f},  // bits above 16 are dropped
    };
    for (const auto& c : cases)
        EXPECT_NEAR(hxdadefs::CodeToVolts(c.scale, c.code), c.volts, 1e-5)
            << "code " << c.code << " at " << c.scale.resolution << " bits";
}

TEST(ConversionTest, AnEmptyRangeRaisesDivisionByZero) {
    try {
        hxdadefs::VoltsToCode(Scale{12, 0, 5.0f, 5.0f}, 5.0f);
        FAIL() << "an empty range converted";
    } catch (const uilang::RuntimeError& error) {
        EXPECT_EQ(error.Number(), uilang::kErrDivisionByZero);
    }
    EXPECT_FLOAT_EQ(hxdadefs::CodeToVolts(Scale{12, 0, 5.0f, 5.0f}, 100), 5.0f);
}

using WrapperTest = ::testing::Test;

bool Freed(hxmemdefs::Handle buffer) {
    std::uint32_t bytes = 0;
    return hxDmGetBufferSize(static_cast<HBUF>(buffer), &bytes) == HXINVALIDHBUF;
}

TEST_F(WrapperTest, BuffersRoundTripThroughTheWrappers) {
    auto buffer = hxmemdefs::CallocBuffer(0, 0, 4, 2);
    EXPECT_NE(buffer, 0);
    std::vector<std::int16_t> in = {1, -2, 3, -4};
    hxmemdefs::CopyToBuffer(buffer, in.data(), 4);
    std::vector<std::int16_t> out(4);
    hxmemdefs::CopyFromBuffer(buffer, out.data(), 4);
    EXPECT_EQ(out, in);
    hxmemdefs::FreeBuffer(buffer);
    auto longs = hxmemdefs::CallocBuffer(0, 0, 2, 4);
    std::vector<std::int32_t> wide = {100000, -100000};
    hxmemdefs::CopyLongToBuffer(longs, wide.data(), 2);
    std::vector<std::int32_t> back(2);
    hxmemdefs::CopyLongFromBuffer(longs, back.data(), 2);
    EXPECT_EQ(back, wide);
    hxmemdefs::FreeBuffer(longs);
    EXPECT_TRUE(Freed(buffer));
    EXPECT_TRUE(Freed(longs));
}

TEST_F(WrapperTest, AFailureIsRaisedWithTheStatusTheLibrarysTextAndTheWrappersName) {
    auto buffer = hxmemdefs::AllocBuffer(0, 8);
    hxmemdefs::FreeBuffer(buffer);
    char expected[80] = {};
    hxDmGetErrorString(HXINVALIDHBUF, expected, 80);
    const struct {
        const char* source;
        void (*call)(hxmemdefs::Handle);
    } cases[] = {
        {"FreeBuffer", [](hxmemdefs::Handle h) { hxmemdefs::FreeBuffer(h); }},
        {"CopyToBuffer",
         [](hxmemdefs::Handle h) {
             std::int16_t value = 0;
             hxmemdefs::CopyToBuffer(h, &value, 1);
         }},
        {"CopyLongFromBuffer",
         [](hxmemdefs::Handle h) {
             std::int32_t value = 0;
             hxmemdefs::CopyLongFromBuffer(h, &value, 1);
         }},
    };
    for (const auto& c : cases) {
        try {
            c.call(buffer);
            ADD_FAILURE() << c.source << " took a freed handle";
        } catch (const uilang::RuntimeError& error) {
            EXPECT_EQ(error.Number(), -2147221504 + HXINVALIDHBUF);
            EXPECT_EQ(error.Source(), c.source);
            EXPECT_EQ(error.Description(), expected);
        }
    }
    try {
        hxmemdefs::CallocBuffer(0, 0, 4, 3);  // no such sample size
        ADD_FAILURE() << "a 3-byte sample was allocated";
    } catch (const uilang::RuntimeError& error) {
        EXPECT_EQ(error.Number(), -2147221504 + HXBADSAMPLESIZE);
        EXPECT_EQ(error.Source(), "CallocBuffer");
    }
}

TEST_F(WrapperTest, MemErrorStringIsCutToItsLength) {
    std::string full = hxmemdefs::MemErrorString(HXINVALIDHBUF, 255);
    ASSERT_GT(full.size(), 5u);
    EXPECT_EQ(hxmemdefs::MemErrorString(HXINVALIDHBUF, 6), full.substr(0, 5));
    EXPECT_EQ(hxmemdefs::MemErrorString(HXINVALIDHBUF, 1000), full);
}

TEST_F(WrapperTest, ASignalProcessingFailureIsRaisedWithItsStatusTextAndRoutine) {
    auto floats = hxmemdefs::CallocBuffer(0, 0, 8, 4);
    auto freed = hxmemdefs::AllocBuffer(0, 8);
    hxmemdefs::FreeBuffer(freed);
    const std::int32_t values[8] = {};
    hxmemdefs::CopyLongToBuffer(floats, values, 8);
    constexpr std::int32_t kNoSuchWindow = 6;
    constexpr std::int16_t kNotAPowerOfTwo = 12;
    constexpr Scale kNoSuchEncoding{12, 2, -10.0f, 10.0f};
    const struct {
        const char* source;
        std::uint32_t status;
        std::function<void()> call;
    } cases[] = {
        {"hxDspInputToVolts", HXDSP_BADENCODING,
         [&] { hxdspdefs::InputToVolts(kNoSuchEncoding, floats, floats); }},
        {"hxDspWindow", HXDSP_BADWINDOW,
         [&] { hxdspdefs::Window(floats, floats, 8, kNoSuchWindow, 2, 0); }},
        {"hxDspRealFFT", HXDSP_BADLENGTH,
         [&] { hxdspdefs::RealFFT(floats, floats, 0, kNotAPowerOfTwo); }},
        {"hxDspMagToDB", HXDSP_INVALIDBUFFER, [&] { hxdspdefs::MagToDB(freed, freed); }},
    };
    for (const auto& c : cases) {
        char expected[130] = {};
        hxDspGetErrorString(c.status, expected, 129);
        try {
            c.call();
            ADD_FAILURE() << c.source << " raised nothing";
        } catch (const uilang::RuntimeError& error) {
            EXPECT_EQ(error.Number(), -2147221504 + static_cast<std::int32_t>(c.status));
            EXPECT_EQ(error.Source(), c.source);
            EXPECT_EQ(error.Description(), expected);
        }
    }
    // A status of 0 raises nothing.
    hxdspdefs::Window(floats, floats, 8, 0, 2, 0);
    hxmemdefs::FreeBuffer(floats);
}

TEST_F(WrapperTest, TheApplicationsOwnReleaseRefusesAnUnknownHandle) {
    registry::ScopedMachine machine;
    constexpr std::int32_t kInvalidSubsystemHandle = 40;
    EXPECT_EQ(hxdadefs::ReleaseDASS(0), kInvalidSubsystemHandle);
}

}  // namespace
}  // namespace larkspur
