// Random configuration blocks, mostly near the valid ones, through the A/D program: a block it
// accepts programs a divider the board can run and a list of words in which no channel spills
// into other bits; a block it refuses leaves nothing programmed. Bounded by count.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "board/ad_program.h"
#include "hxdacodes.h"

namespace board_test {
namespace {

using board::AdProgram;

template <class T>
T Pick(std::mt19937& random, std::initializer_list<T> values) {
    return *(values.begin() + random() % values.size());
}

TEST(AdProgramFuzz, AcceptedBlocksProgramOnlyWhatTheBoardCanTake) {
    constexpr int kRounds = 50'000;
    constexpr std::uint32_t kMaxEntries = 64;
    const std::set<std::uint16_t> extraWords = {0x400, 0x800, 0xC00, 0x880, 0xC80, 0x900,
                                                0xD00, 0x980, 0xD80, 0xA00, 0xE00};
    std::mt19937 random(5120);
    std::vector<std::uint8_t> bytes(hxda::configurationBlockBytes(kMaxEntries));
    auto program = std::make_unique<AdProgram>();
    int accepted = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::fill(bytes.begin(), bytes.end(), 0);
        auto& b = *reinterpret_cast<hxda::ConfigurationBlock*>(bytes.data());
        const std::uint32_t entries = random() % (kMaxEntries + 1);
        b.channelListSize = static_cast<std::uint16_t>(entries);
        b.numberOfChannels =
            random() % 4 ? Pick<std::uint16_t>(random, {0, 5, 11, 12, 16, 26, 27, 28, 43, 44})
                         : static_cast<std::uint16_t>(random());
        b.channelType =
            Pick<std::uint16_t>(random, {HXCHANTYPE_SINGLEENDED, HXCHANTYPE_DIFFERENTIAL, 7});
        b.resolution = Pick<std::uint16_t>(random, {12, 16});
        b.dataFlow = Pick<std::uint16_t>(random, {HXDF_CONTINUOUS, HXDF_SINGLEVALUE,
                                                  HXDF_CONTPRETRIG, HXDF_CONTABOUTTRIG, 802, 0});
        b.clockSource = Pick<std::uint16_t>(random, {HXCLK_INTERNAL, HXCLK_EXTERNAL});
        b.clockFrequency = hxda::encodeFixedPoint(Pick<double>(
            random, {0.0, -1.0, 0.001, 1.0, 1000.0, 7000.0, 500e3, 18e6, 18e6 + 1, 1e9}));
        b.triggeredScanInUse = static_cast<std::uint8_t>(random() % 2);
        b.triggerSource = Pick<std::uint16_t>(
            random, {HXTRIG_SOFTWARE, HXTRIG_EXTERNAL, HXTRIG_EXTRA, HXTRIG_THRESHOLDPOS, 302});
        b.retriggerMode = Pick<std::uint16_t>(
            random, {HXRETRIGGER_INTERNAL, HXRETRIGGER_SCANPERTRIGGER, HXRETRIGGER_EXTRA, 0});
        b.retriggerSource = Pick<std::uint16_t>(
            random, {HXTRIG_SOFTWARE, HXTRIG_EXTERNAL, HXTRIG_EXTRA, HXTRIG_THRESHOLDPOS, 5});
        b.retriggerFrequency =
            hxda::encodeFixedPoint(Pick<double>(random, {0.0, 0.5, 100.0, 1e6, 2e7}));
        b.multiscanCount = static_cast<std::uint16_t>(random() % 300);
        for (std::uint32_t i = 0; i < entries; ++i) {
            hxda::ChannelListEntry* e = hxda::listEntry(&b, i);
            e->channel = static_cast<std::uint16_t>(random() % 3 ? random() % 48 : random());
            e->gain = hxda::encodeFixedPoint(Pick<double>(random, {1, 2, 4, 8, 1.5, 3, 0, 16}));
            e->inhibited = static_cast<std::uint8_t>(random() % 4 == 0);
            e->synchronousDigitalIOValue = static_cast<std::uint16_t>(random() % 4 == 0);
        }
        const std::uint32_t inputs = random() % 2 ? 16 : 32;

        AdProgram::Registers r;
        r.control = 0xABCD;
        const hxda::ApiStatus status = AdProgram::Prepare(b, inputs, 0x1200, &r);
        if (status != HXNOERROR) {
            EXPECT_EQ(r.control, 0xABCD) << "round " << round;
            continue;
        }
        ++accepted;
        if (b.clockSource == HXCLK_INTERNAL) {
            ASSERT_NE(r.divider, 0u) << "round " << round;
            const double back = b.clockFrequency.integer + b.clockFrequency.fraction / 4294967296.0;
            ASSERT_GT(back, 0.0) << "round " << round;
            ASSERT_LE(back, 18e6 + 1e-3) << "round " << round;
        }
        ASSERT_EQ(r.control & board::kAdControlProgram, board::kAdControlProgram)
            << "round " << round;
        program->Take(b, entries);
        ASSERT_GE(program->analogChannels, 1u) << "round " << round;
        ASSERT_LE(program->analogChannels, inputs) << "round " << round;
        if (b.dataFlow == HXDF_SINGLEVALUE)
            continue;
        for (std::uint32_t i = 0; i < program->listCount; ++i) {
            std::uint16_t word = 0;
            if (!program->ListWord(i, &word))
                continue;
            const std::uint16_t base = word & 0x0FFF;
            if (extraWords.count(base) == 0) {
                ASSERT_LT(base & 0x1F, program->analogChannels) << "round " << round;
                ASSERT_EQ(base & ~0x7F, 0) << "round " << round << " word " << word;
            }
        }
    }
    // The walk reached the accepting paths often enough to mean something.
    EXPECT_GT(accepted, kRounds / 50);
}

}  // namespace
}  // namespace board_test
