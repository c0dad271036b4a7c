// The MQ5200 family's models, subsystem tables and channel map, read through the module.
#include <cstring>

#include "extension_module.h"

namespace boardext::testing {
namespace {

const std::vector<double> kAdClock = {100000, 0.75, 100000, 0.75, 1, 1, 12000000};
const std::vector<double> kAdSlowClock = {50000, 0.75, 50000, 0.75, 1, 1, 12000000};
const std::vector<double> kDaClock = {1, 1, 0, 0, 1, 1, 0};
const std::vector<double> kDigitalClock = {0, 0, 0, 0, 1, 1, 0};
const std::vector<double> kCounterClock = {750000, 0.0028, 0, 0, 65536, 2, 12000000};
const std::vector<double> kAdGains = {1, 2, 4, 8};
const Ranges kBipolar10 = {{-10, 10}};
const Ranges kAd12BitRanges = {{-10, 10}, {0, 10}};

class Mq5200Tables : public ::testing::Test {
  protected:
    ExtensionModule module_{"Mq5200"};
};

TEST_F(Mq5200Tables, BoardInfoAnswersModelAndCountsPerProductCode) {
    const Counts withoutDa = {1, 0, 1, 1, 0, 2};
    const Counts withDa = {1, 1, 1, 1, 0, 2};
    struct Case {
        UINT type;
        const char* model;
        Counts counts;
    } cases[] = {
        {0x5201, "MQ5201", withoutDa}, {0x5202, "MQ5202", withDa},    {0x5203, "MQ5203", withoutDa},
        {0x5204, "MQ5204", withDa},    {0x5205, "MQ5205", withoutDa}, {0x5206, "MQ5206", withDa},
    };
    for (const Case& c : cases) {
        BoardInfo info = AskBoardInfo(module_, c.type);
        EXPECT_EQ(info.result, 1) << c.type;
        EXPECT_EQ(info.Name(), c.model) << c.type;
        EXPECT_EQ(info.CountList(), c.counts) << c.type;
    }
    for (UINT unknown : {0u, 0x5200u, 0x5207u, 0x15201u})
        EXPECT_EQ(AskBoardInfo(module_, unknown).result, 0) << unknown;
}

TEST_F(Mq5200Tables, PersonalityAnswersEachSubsystemsTables) {
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> adCaps = {
        {HXSSC_NUMSECHANNELS, 16},      {HXSSC_NUMDICHANNELS, 8}, {HXSSC_LISTSIZE, 32},
        {HXSSC_NUMCHANNELS, 17},        {HXSSC_EXTRACHANNEL, 16}, {HXSSC_GAINLIST, 1},
        {HXSSC_DATAFLOW_CONTINUOUS, 1}, {HXSSC_NOTIFICATIONS, 1}, {HXSSC_CLOCK_INTERNAL, 1}};
    const std::vector<TablesCase> cases = {
        {0x5201, HXSS_AD, 0, kAdGains, kAd12BitRanges, {12}, kAdClock, adCaps},
        {0x5204, HXSS_AD, 0, kAdGains, kBipolar10, {16}, kAdClock, adCaps},
        {0x5206, HXSS_AD, 0, {1, 10, 100, 500}, kBipolar10, {16}, kAdSlowClock, adCaps},
        {0x5202,
         HXSS_DA,
         0,
         {1},
         {{-10, 10}, {0, 10}, {-5, 5}, {0, 5}},
         {12},
         kDaClock,
         {{HXSSC_NUMCHANNELS, 2}, {HXSSC_DATAFLOW_SINGLEVALUE, 1}, {HXSSC_DATAFLOW_CONTINUOUS, 0}}},
        {0x5206, HXSS_DA, 0, {1}, kBipolar10, {16}, kDaClock, {{HXSSC_NUMCHANNELS, 2}}},
        {0x5203,
         HXSS_DIN,
         0,
         {1},
         {},
         {8},
         kDigitalClock,
         {{HXSSC_NUMCHANNELS, 1}, {HXSSC_NOTIFICATIONS, 0}}},
        {0x5205, HXSS_DOUT, 0, {1}, {}, {8}, kDigitalClock, {{HXSSC_NOTIFICATIONS, 1}}},
        {0x5202,
         HXSS_CT,
         1,
         {},
         {},
         {16},
         kCounterClock,
         {{HXSSC_CTMODE_RATE, 1},
          {HXSSC_GATE_FALLINGEDGE, 1},
          {HXSSC_CTMODE_UPDOWN, 0},
          {HXSSC_CTMODE_EDGETOEDGE, 0}},
         {}},
    };
    for (const TablesCase& c : cases)
        ExpectTables(module_, c);
}

// The D/A of a board without one answers only its gain, filter and clock limits.
TEST_F(Mq5200Tables, MissingDaAnswersOnlyGainFilterAndClock) {
    for (UINT type : {0x5201u, 0x5203u, 0x5205u}) {
        PersonalityRecord record{};
        ASSERT_EQ(module_.Personality()(type, "", HXSS_DA, 0, &record), 1) << type;
        ASSERT_NE(record.gains, nullptr);
        EXPECT_EQ(record.gains[0], 1.0);
        ASSERT_NE(record.filters, nullptr);
        EXPECT_EQ(record.filters[0], 0.0);
        ASSERT_NE(record.clockLimits, nullptr);
        EXPECT_EQ(record.clockLimits->maxClockFrequency, 1.0);
        EXPECT_EQ(record.rangeMinima, nullptr);
        EXPECT_EQ(record.rangeMaxima, nullptr);
        EXPECT_EQ(record.resolutions, nullptr);
        EXPECT_EQ(record.capabilities, nullptr);
    }
}

TEST_F(Mq5200Tables, UnknownProductCodesHaveNoTables) {
    for (UINT subsystem = 0; subsystem < 6; ++subsystem) {
        PersonalityRecord record;
        std::memset(&record, 0x5A, sizeof record);
        PersonalityRecord before = record;
        EXPECT_EQ(module_.Personality()(0x5207, "", subsystem, 0, &record), 0) << subsystem;
        EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << subsystem;
    }
}

TEST_F(Mq5200Tables, ChannelMapOfTheAdOnly) {
    ChannelMap map{};
    ASSERT_EQ(module_.ChannelMapping()(0x5203, "", HXSS_AD, 0, &map), 1);
    ASSERT_EQ(map.count, 1u);
    EXPECT_EQ(map.entries[0].subsystemType, static_cast<std::int32_t>(HXSS_DIN));
    EXPECT_EQ(map.entries[0].element, 0);
    EXPECT_EQ(map.entries[0].part, kChannelMapWholeValue);
    EXPECT_EQ(map.entries[0].channel, 16);
    for (UINT subsystem : {1u, 2u, 3u, 5u}) {
        ChannelMap untouched{7, nullptr};
        EXPECT_EQ(module_.ChannelMapping()(0x5203, "", subsystem, 0, &untouched), 0);
        EXPECT_EQ(untouched.count, 7u);
    }
}

// Two A/D subsystems of the same kind with different range tables: the first keeps its own.
TEST_F(Mq5200Tables, OpeningAnotherAdNeverChangesAnEarlierRecordsRanges) {
    Personality twoRanges(module_, 0x5201, HXSS_AD, 0);
    Personality oneRange(module_, 0x5203, HXSS_AD, 0);
    Personality fourRanges(module_, 0x5202, HXSS_DA, 0);
    EXPECT_EQ(twoRanges.RangeList(), kAd12BitRanges);
    EXPECT_EQ(oneRange.RangeList(), kBipolar10);
    EXPECT_EQ(fourRanges.RangeList().size(), 4u);
    EXPECT_NE(*twoRanges.record().rangeMinima, *oneRange.record().rangeMinima);
}

}  // namespace
}  // namespace boardext::testing
