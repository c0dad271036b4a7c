// Refused arguments: each gives its status and leaves the output as it was; every status has a
// text.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dsp_buffers.h"
#include "hxdsp32.h"

namespace {

using hxdsp32_test::OwnedBuffer;

constexpr std::uint32_t kSamples = 16;
constexpr HBUF kForeignHandle = 0x7FFF1234;

struct Buffers {
    OwnedBuffer codes{kSamples, sizeof(std::uint16_t)};
    OwnedBuffer floats{kSamples, sizeof(float)};
    OwnedBuffer empty{kSamples, sizeof(float)};
    OwnedBuffer small{2, sizeof(float)};
    OwnedBuffer output{kSamples, sizeof(std::uint16_t)};

    Buffers() {
        hxdsp32_test::Fill(codes, std::vector<std::uint16_t>(kSamples, 100));
        hxdsp32_test::Fill(floats, std::vector<float>(kSamples, 1.0f));
        hxdsp32_test::Fill(output, std::vector<std::uint16_t>(3, 7));
    }
};

struct RefusedCall {
    const char* name;
    std::uint32_t status;
    std::function<std::uint32_t(const Buffers&)> call;
};

TEST(StatusTest, RefusedArgumentsGiveTheirStatusAndLeaveTheOutputAlone) {
    constexpr float kMin = -10.0f;
    constexpr float kMax = 10.0f;
    constexpr std::uint32_t kOffset = HXDSP_ENCODING_OFFSETBINARY;
    const RefusedCall calls[] = {
        {"volts: foreign input", HXDSP_INVALIDBUFFER,
         [](const Buffers& b) {
             return hxDspInputToVolts(kForeignHandle, b.output.get(), kOffset, kMin, kMax, 12);
         }},
        {"volts: foreign output", HXDSP_INVALIDBUFFER,
         [](const Buffers& b) {
             return hxDspInputToVolts(b.codes.get(), kForeignHandle, kOffset, kMin, kMax, 12);
         }},
        {"volts: no valid samples", HXDSP_NOVALIDSAMPLES,
         [](const Buffers& b) {
             return hxDspInputToVolts(b.empty.get(), b.output.get(), kOffset, kMin, kMax, 12);
         }},
        {"volts: encoding 2", HXDSP_BADENCODING,
         [](const Buffers& b) {
             return hxDspInputToVolts(b.codes.get(), b.output.get(), 2, kMin, kMax, 12);
         }},
        {"volts: resolution 0", HXDSP_BADRESOLUTION,
         [](const Buffers& b) {
             return hxDspInputToVolts(b.codes.get(), b.output.get(), kOffset, kMin, kMax, 0);
         }},
        {"volts: 17 bits in 2 bytes", HXDSP_BADRESOLUTION,
         [](const Buffers& b) {
             return hxDspInputToVolts(b.codes.get(), b.output.get(), kOffset, kMin, kMax, 17);
         }},
        {"volts: empty range", HXDSP_BADRANGE,
         [](const Buffers& b) {
             return hxDspInputToVolts(b.codes.get(), b.output.get(), kOffset, kMax, kMax, 12);
         }},
        {"volts: output too small", HXDSP_OUTPUTTOOSMALL,
         [](const Buffers& b) {
             return hxDspInputToVolts(b.codes.get(), b.small.get(), kOffset, kMin, kMax, 12);
         }},
        {"window: raw codes", HXDSP_BADSAMPLESIZE,
         [](const Buffers& b) { return hxDspWindow(b.codes.get(), b.output.get(), 4, 0, 2, 0); }},
        {"window: count 0", HXDSP_BADLENGTH,
         [](const Buffers& b) { return hxDspWindow(b.floats.get(), b.output.get(), 0, 0, 2, 0); }},
        {"window: count above the valid samples", HXDSP_TOOFEWSAMPLES,
         [](const Buffers& b) {
             return hxDspWindow(b.floats.get(), b.output.get(), kSamples + 1, 0, 2, 0);
         }},
        {"window: code 6", HXDSP_BADWINDOW,
         [](const Buffers& b) { return hxDspWindow(b.floats.get(), b.output.get(), 4, 6, 2, 0); }},
        {"window: scaling 3", HXDSP_BADWINDOWOPTION,
         [](const Buffers& b) { return hxDspWindow(b.floats.get(), b.output.get(), 4, 0, 3, 0); }},
        {"window: form 2", HXDSP_BADWINDOWOPTION,
         [](const Buffers& b) { return hxDspWindow(b.floats.get(), b.output.get(), 4, 0, 2, 2); }},
        {"window: output too small", HXDSP_OUTPUTTOOSMALL,
         [](const Buffers& b) { return hxDspWindow(b.floats.get(), b.small.get(), 4, 0, 2, 0); }},
        {"fft: foreign input", HXDSP_INVALIDBUFFER,
         [](const Buffers& b) { return hxDspRealFFT(kForeignHandle, b.output.get(), 0, 8); }},
        {"fft: no valid samples", HXDSP_NOVALIDSAMPLES,
         [](const Buffers& b) { return hxDspRealFFT(b.empty.get(), b.output.get(), 0, 8); }},
        {"fft: raw codes", HXDSP_BADSAMPLESIZE,
         [](const Buffers& b) { return hxDspRealFFT(b.codes.get(), b.output.get(), 0, 8); }},
        {"fft: length 12", HXDSP_BADLENGTH,
         [](const Buffers& b) { return hxDspRealFFT(b.floats.get(), b.output.get(), 0, 12); }},
        {"fft: length 1", HXDSP_BADLENGTH,
         [](const Buffers& b) { return hxDspRealFFT(b.floats.get(), b.output.get(), 0, 1); }},
        {"fft: length above the longest", HXDSP_BADLENGTH,
         [](const Buffers& b) {
             return hxDspRealFFT(b.floats.get(), b.output.get(), 0, 2 * HXDSP_MAXFFTLENGTH);
         }},
        {"fft: length above the valid samples", HXDSP_TOOFEWSAMPLES,
         [](const Buffers& b) {
             return hxDspRealFFT(b.floats.get(), b.output.get(), 0, 2 * kSamples);
         }},
        {"fft: form 2", HXDSP_BADSPECTRUMFORM,
         [](const Buffers& b) { return hxDspRealFFT(b.floats.get(), b.output.get(), 2, 8); }},
        {"fft: output too small", HXDSP_OUTPUTTOOSMALL,
         [](const Buffers& b) { return hxDspRealFFT(b.floats.get(), b.small.get(), 0, 8); }},
        {"dB: foreign output", HXDSP_INVALIDBUFFER,
         [](const Buffers& b) { return hxDspMagToDB(b.floats.get(), kForeignHandle); }},
        {"dB: raw codes", HXDSP_BADSAMPLESIZE,
         [](const Buffers& b) { return hxDspMagToDB(b.codes.get(), b.output.get()); }},
        {"dB: output too small", HXDSP_OUTPUTTOOSMALL,
         [](const Buffers& b) { return hxDspMagToDB(b.floats.get(), b.small.get()); }},
    };
    for (const RefusedCall& refused : calls) {
        const Buffers buffers;
        EXPECT_EQ(refused.call(buffers), refused.status) << refused.name;
        std::uint32_t width = 0;
        std::uint32_t valid = 0;
        std::vector<std::uint16_t> kept(3);
        EXPECT_EQ(hxDmGetDataWidth(buffers.output.get(), &width), 0u);
        EXPECT_EQ(hxDmGetValidSamples(buffers.output.get(), &valid), 0u);
        EXPECT_EQ(hxDmCopyFromBuffer(buffers.output.get(), kept.data(), 3), 0u);
        EXPECT_EQ(width, sizeof(std::uint16_t)) << refused.name;
        EXPECT_EQ(valid, 3u) << refused.name;
        EXPECT_EQ(kept, std::vector<std::uint16_t>(3, 7)) << refused.name;
        valid = 0;
        EXPECT_EQ(hxDmGetValidSamples(buffers.small.get(), &valid), 0u);
        EXPECT_EQ(valid, 0u) << refused.name;
    }
}

std::string TextOf(std::uint32_t status, std::uint32_t size = 130) {
    std::vector<char> text(size, 'x');
    EXPECT_EQ(hxDspGetErrorString(status, text.data(), size), 0u);
    return std::string(text.data());
}

TEST(StatusTest, EveryStatusHasItsOwnTextCutToTheSizeGiven) {
    std::set<std::string> texts;
    for (std::uint32_t status = HXDSP_INVALIDBUFFER; status <= HXDSP_NOMEMORY; ++status) {
        const std::string text = TextOf(status);
        EXPECT_GT(text.size(), 10u) << status;
        EXPECT_LT(text.size(), 129u) << status;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), HXDSP_NOMEMORY - HXDSP_INVALIDBUFFER + 1u);
    EXPECT_EQ(TextOf(HXDSP_NOERROR), "No Error");
    EXPECT_EQ(TextOf(299), "HXDSP Unknown Error: 0x12B");
    EXPECT_EQ(TextOf(HXDSP_BADWINDOW, 6), TextOf(HXDSP_BADWINDOW).substr(0, 5));

    char text[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(hxDspGetErrorString(HXDSP_BADWINDOW, nullptr, 4), HXDSP_OUTPUTTOOSMALL);
    EXPECT_EQ(hxDspGetErrorString(HXDSP_BADWINDOW, text, 0), HXDSP_OUTPUTTOOSMALL);
    EXPECT_EQ(std::memcmp(text, "abcd", 4), 0);
}

}  // namespace
