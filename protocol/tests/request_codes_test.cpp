#include "hxda/protocol.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(RequestCodes, MatchThePublishedValues) {
    struct Row {
        std::uint32_t code;
        std::uint32_t expected;
    };
    const Row rows[] = {
        {IOCTL_HXDA_READEVENTS, 0x222408},     {IOCTL_HXDA_SETSINGLEVALUE, 0x22240C},
        {IOCTL_HXDA_GETSINGLEVALUE, 0x222410}, {IOCTL_HXDA_CONFIG, 0x222414},
        {IOCTL_HXDA_START, 0x222418},          {IOCTL_HXDA_STOP, 0x22241C},
        {IOCTL_HXDA_PAUSE, 0x222420},          {IOCTL_HXDA_CONTINUE, 0x222424},
        {IOCTL_HXDA_RESET, 0x222428},          {IOCTL_HXDA_ABORT, 0x22242C},
        {IOCTL_HXDA_PRESTART, 0x222434},       {IOCTL_HXDA_SIMULSTART, 0x222438},
        {IOCTL_HXDA_WRITEREG, 0x22243C},       {IOCTL_HXDA_READREG, 0x222440},
        {IOCTL_HXDA_SETHWINFO, 0x222444},      {IOCTL_HXDA_GETHWINFO, 0x222448},
        {IOCTL_HXDA_WAITEVENT, 0x22244C},      {IOCTL_HXDA_FLUSHINPROCESS, 0x222452},
        {IOCTL_HXDA_RESERVED, 0x222458},       {IOCTL_HXDA_WRITECALPOT, 0x222464},
        {IOCTL_HXDA_READCALPOT, 0x222468},     {IOCTL_HXDA_GETSINGLEVALUES, 0x22246C},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.code, r.expected) << std::hex << r.expected;
        EXPECT_EQ(r.code >> 16, 0x22u);
        EXPECT_EQ((r.code >> 14) & 3u, 0u);  // any access
        const std::uint32_t method = r.expected == 0x222452 ? hxda::kMethodOutDirect : 0u;
        EXPECT_EQ(r.code & 3u, method) << std::hex << r.expected;
    }
}

TEST(ConfigurationBlock, ListEntriesFollowTheHeadAt24ByteSteps) {
    constexpr std::uint32_t kEntries = 4;
    alignas(8) std::uint8_t storage[hxda::configurationBlockBytes(kEntries)] = {};
    static_assert(sizeof(storage) == 320 + 24 * 4);
    auto* block = reinterpret_cast<hxda::ConfigurationBlock*>(storage);
    for (std::uint32_t i = 0; i <= kEntries; ++i) {
        hxda::listEntry(block, i)->channel = static_cast<std::uint16_t>(0x100 + i);
        hxda::listEntry(block, i)->gain = hxda::encodeFixedPoint(1.0);
    }
    EXPECT_EQ(&block->listEntries[0], hxda::listEntry(block, 0));
    for (std::uint32_t i = 0; i <= kEntries; ++i) {
        std::uint16_t channel;
        std::memcpy(&channel, storage + 296 + 24 * i, sizeof channel);
        EXPECT_EQ(channel, 0x100 + i);
        std::int32_t gainInteger;
        std::memcpy(&gainInteger, storage + 296 + 24 * i + 12, sizeof gainInteger);
        EXPECT_EQ(gainInteger, 1);
    }
}

TEST(DriverRequest, SingleValuesFillTheRecordToItsEnd) {
    hxda::DriverRequest request{};
    request.parameters.singleValues.values[hxda::kMaxSingleValues - 1] = 0xA5A5A5A5u;
    std::uint32_t last;
    std::memcpy(&last, reinterpret_cast<const std::uint8_t*>(&request) + 332, sizeof last);
    EXPECT_EQ(last, 0xA5A5A5A5u);
    EXPECT_EQ(hxda::kMaxSingleValues, 78u);
}

}  // namespace
