// The MQ5120 family's models, subsystem tables and channel maps, read through the module.
#include <tuple>

#include "extension_module.h"

namespace boardext::testing {
namespace {

const std::vector<double> kAnalogClock = {500000, 0.75, 250000, 0.75, 1, 1, 18000000};
const std::vector<double> kDigitalClock = {0, 0, 0, 0, 1, 1, 0};
const std::vector<double> kCounterClock = {9000000, 0.00419, 0, 0, 2147483647, 2, 18000000};
const std::vector<double> kNoClock = {0, 0, 0, 0, 0, 0, 0};
const std::vector<double> kAdGains = {1, 2, 4, 8};
const Ranges kBipolar10 = {{-10, 10}};
const Ranges kByteCodes = {{0, 255}};

class Mq5120Tables : public ::testing::Test {
  protected:
    ExtensionModule module_{"Mq5120"};
};

TEST_F(Mq5120Tables, BoardInfoAnswersModelAndCountsPerBoardType) {
    const Counts full = {1, 2, 1, 1, 0, 5};
    const Counts noAnalogInputs = {0, 1, 1, 1, 0, 5};
    const Counts noAnalogOutputs = {1, 1, 1, 1, 0, 5};
    struct Case {
        UINT type;
        const char* model;
        Counts counts;
    } cases[] = {
        {0, "MQ5120-16-04-12", full},
        {1, "MQ5120-00-04-12", noAnalogInputs},
        {2, "MQ5120-16-00-12", noAnalogOutputs},
        {4, "MQ5120-16-04-16", full},
        {5, "MQ5120-00-04-16", noAnalogInputs},
        {6, "MQ5120-16-00-16", noAnalogOutputs},
        {8, "MQ5120-32-04-12", full},
        {9, "MQ5120-00-04-12", noAnalogInputs},
        {10, "MQ5120-32-00-12", noAnalogOutputs},
        {12, "MQ5120-32-04-16", full},
        {13, "MQ5120-00-04-16", noAnalogInputs},
        {14, "MQ5120-32-00-16", noAnalogOutputs},
    };
    for (const Case& c : cases) {
        BoardInfo info = AskBoardInfo(module_, c.type);
        EXPECT_EQ(info.result, 1) << c.type;
        EXPECT_EQ(info.Name(), c.model) << c.type;
        EXPECT_EQ(info.CountList(), c.counts) << c.type;
    }
    for (UINT unknown : {3u, 7u, 11u, 15u, 16u, 0x5201u}) {
        BoardInfo info = AskBoardInfo(module_, unknown);
        EXPECT_EQ(info.result, 0) << unknown;
        EXPECT_EQ(info.counts, nullptr) << unknown;
    }
}

TEST_F(Mq5120Tables, TwinTypesShareOneNameAndOneCountsRecord) {
    for (auto [a, b] : {std::pair{1u, 9u}, std::pair{5u, 13u}}) {
        BoardInfo first = AskBoardInfo(module_, a);
        BoardInfo second = AskBoardInfo(module_, b);
        EXPECT_EQ(first.modelName, second.modelName);
        EXPECT_EQ(first.counts, second.counts);
    }
}

TEST_F(Mq5120Tables, PersonalityAnswersEachSubsystemsTables) {
    const std::vector<TablesCase> cases = {
        {4,
         HXSS_AD,
         0,
         kAdGains,
         kBipolar10,
         {16},
         kAnalogClock,
         {{HXSSC_NUMSECHANNELS, 16},       {HXSSC_NUMDICHANNELS, 8},
          {HXSSC_LISTSIZE, 1024},          {HXSSC_NUMCHANNELS, 27},
          {HXSSC_NUMEXTRATRIGGERS, 1},     {HXSSC_ENCODING_BINARY, 1},
          {HXSSC_ENCODING_TWOSCOMP, 0},    {HXSSC_TRIGGER_THRESHOLDPOS, 1},
          {HXSSC_TRIGGER_THRESHOLDNEG, 0}, {HXSSC_GAINLIST, 1},
          {HXSSC_DATAFLOW_CONTINUOUS, 1},  {HXSSC_NOTIFICATIONS, 1},
          {HXSSC_MAXSYNCDIOVALUE, 1},      {HXSSC_PAUSE, 0},
          {HXSSC_FLUSHINPROCESS, 1},       {HXSSC_RETRIGGER_INTERNAL, 1},
          {HXSSC_MAXMULTISCAN, 256},       {HXSSC_RETRIGGER_EXTRA, 1},
          {HXSSC_EXTRACHANNEL, 16},        {CodeOfEntry(79), 1},
          {HXSSC_FIXEDPULSEWIDTH, 0}}},
        {0, HXSS_AD, 0, kAdGains, kBipolar10, {12}, kAnalogClock, {{HXSSC_NUMCHANNELS, 27}}},
        {10,
         HXSS_AD,
         0,
         kAdGains,
         kBipolar10,
         {12},
         kAnalogClock,
         {{HXSSC_NUMSECHANNELS, 32}, {HXSSC_NUMDICHANNELS, 16}, {HXSSC_NUMCHANNELS, 43}}},
        {12,
         HXSS_AD,
         0,
         kAdGains,
         kBipolar10,
         {16},
         kAnalogClock,
         {{HXSSC_NUMSECHANNELS, 32},
          {HXSSC_NUMCHANNELS, 43},
          {HXSSC_FIXEDPULSEWIDTH, 16},
          {HXSSC_MAXMULTISCAN, 256}}},
        // Without analog inputs the counts are gone, so the lists read as empty.
        {5,
         HXSS_AD,
         0,
         {},
         {},
         {},
         kNoClock,
         {{HXSSC_NUMCHANNELS, 0},
          {HXSSC_LISTSIZE, 0},
          {HXSSC_NUMGAINS, 0},
          {HXSSC_DATAFLOW_CONTINUOUS, 0},
          {HXSSC_NOTIFICATIONS, 0},
          {HXSSC_DATAFLOW_SINGLEVALUE, 1},
          {HXSSC_TRIGGER_SOFTWARE, 1}},
         {}},
        // A type outside the model table gets the 16-bit, 16-input tables.
        {7, HXSS_AD, 0, kAdGains, kBipolar10, {16}, kAnalogClock, {{HXSSC_NUMCHANNELS, 27}}},
        {4,
         HXSS_DA,
         0,
         {1},
         kBipolar10,
         {16},
         kAnalogClock,
         {{HXSSC_NUMDICHANNELS, 4},
          {HXSSC_LISTSIZE, 5},
          {HXSSC_NUMCHANNELS, 5},
          {HXSSC_CHANTYPE_SINGLEENDED, 0},
          {HXSSC_DATAFLOW_CONTINUOUS, 1},
          {HXSSC_MAXSYNCDIOVALUE, 65535},
          {HXSSC_SIMULTANEOUSSTART, 1},
          {CodeOfEntry(86), 128},
          {CodeOfEntry(87), 1},
          {HXSSC_GAINLIST, 0}}},
        {13, HXSS_DA, 0, {1}, kBipolar10, {16}, kAnalogClock, {{HXSSC_NUMCHANNELS, 5}}},
        {8, HXSS_DA, 0, {1}, kBipolar10, {12}, kAnalogClock, {{HXSSC_NUMCHANNELS, 5}}},
        {9, HXSS_DA, 0, {1}, kBipolar10, {12}, kAnalogClock, {{HXSSC_NUMCHANNELS, 5}}},
        {6,
         HXSS_DA,
         0,
         {1},
         kByteCodes,
         {8},
         kNoClock,
         {{HXSSC_NUMCHANNELS, 1},
          {HXSSC_DATAFLOW_CONTINUOUS, 0},
          {HXSSC_DATAFLOW_SINGLEVALUE, 1},
          {HXSSC_CLOCK_INTERNAL, 0}}},
        {4, HXSS_DA, 1, {1}, kByteCodes, {8}, kNoClock, {{HXSSC_NUMCHANNELS, 1}}},
        {4,
         HXSS_DIN,
         0,
         {1},
         {},
         {16},
         kDigitalClock,
         {{HXSSC_LISTSIZE, 1},
          {HXSSC_NUMRANGES, 0},
          {HXSSC_CLOCK_INTERNAL, 1},
          {HXSSC_DATAFLOW_CONTINUOUS, 1},
          {HXSSC_NOTIFICATIONS, 0},
          {CodeOfEntry(11), 0}}},
        {1,
         HXSS_DOUT,
         0,
         {1},
         {},
         {16},
         kDigitalClock,
         {{HXSSC_NOTIFICATIONS, 1}, {CodeOfEntry(11), 1}, {HXSSC_DATAFLOW_SINGLEVALUE, 1}}},
        // Counters list neither gains nor filters.
        {4,
         HXSS_CT,
         3,
         {},
         {},
         {16},
         kCounterClock,
         {{HXSSC_NUMCHANNELS, 1},
          {HXSSC_NUMGAINS, 0},
          {HXSSC_CTMODE_COUNTEVENTS, 1},
          {HXSSC_CTMODE_REPEATONESHOT, 1},
          {HXSSC_CASCADE, 0},
          {HXSSC_PULSE_ACTIVELOW, 1},
          {HXSSC_PULSE_ACTIVEHIGH, 1},
          {HXSSC_GATE_NONE, 1},
          {HXSSC_GATE_FALLINGEDGE, 1},
          {HXSSC_GATE_LEVELCHANGE, 0},
          {HXSSC_CTMODE_UPDOWN, 1},
          {HXSSC_CTMODE_EDGETOEDGE, 15},
          {HXSSC_QUADDECODER, 0},
          {HXSSC_CTMODE_CONTMEASURE, 0}},
         {}},
    };
    for (const TablesCase& c : cases)
        ExpectTables(module_, c);
}

TEST_F(Mq5120Tables, FieldsWithoutTablesKeepTheCallersValues) {
    // Digital ports and counters have no ranges: the range fields stay as the caller set them.
    static const double* const callerCell = nullptr;
    PersonalityRecord record{};
    record.rangeMinima = &callerCell;
    record.rangeMaxima = &callerCell;
    ASSERT_EQ(module_.Personality()(4, "", HXSS_CT, 0, &record), 1);
    EXPECT_EQ(record.rangeMinima, &callerCell);
    EXPECT_EQ(record.rangeMaxima, &callerCell);
}

TEST_F(Mq5120Tables, ChannelMapsOfTheExtraChannels) {
    const std::vector<ChannelMapEntry> adMap = {
        {HXSS_DIN, 0, -1, 16}, {HXSS_CT, 0, 0, 17}, {HXSS_CT, 0, 1, 18}, {HXSS_CT, 1, 0, 19},
        {HXSS_CT, 1, 1, 20},   {HXSS_CT, 2, 0, 21}, {HXSS_CT, 2, 1, 22}, {HXSS_CT, 3, 0, 23},
        {HXSS_CT, 3, 1, 24},   {HXSS_CT, 4, 0, 25}, {HXSS_CT, 4, 1, 26},
    };
    const std::vector<ChannelMapEntry> daMap = {{HXSS_DOUT, 0, -1, 4}};
    struct Case {
        UINT type, subsystem, element;
        const std::vector<ChannelMapEntry>* expected;  // null: no map
    } cases[] = {
        {4, HXSS_AD, 0, &adMap},   {12, HXSS_AD, 1, &adMap},  {4, HXSS_DA, 0, &daMap},
        {9, HXSS_DA, 0, &daMap},   {2, HXSS_DA, 0, nullptr},  {6, HXSS_DA, 0, nullptr},
        {10, HXSS_DA, 0, nullptr}, {14, HXSS_DA, 0, nullptr}, {4, HXSS_DA, 1, nullptr},
        {4, HXSS_DIN, 0, nullptr}, {4, HXSS_CT, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type << " subsystem " << c.subsystem
                                          << " element " << c.element);
        ChannelMap map{0xDEAD, nullptr};
        BOOL result = module_.ChannelMapping()(c.type, "", c.subsystem, c.element, &map);
        if (c.expected == nullptr) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(map.count, 0xDEADu);
            EXPECT_EQ(map.entries, nullptr);
            continue;
        }
        ASSERT_EQ(result, 1);
        ASSERT_EQ(map.count, c.expected->size());
        for (std::size_t i = 0; i < map.count; ++i) {
            const ChannelMapEntry& got = map.entries[i];
            const ChannelMapEntry& want = (*c.expected)[i];
            EXPECT_EQ(std::tie(got.subsystemType, got.element, got.part, got.channel),
                      std::tie(want.subsystemType, want.element, want.part, want.channel))
                << "entry " << i;
        }
    }
}

TEST_F(Mq5120Tables, OpeningAnotherSubsystemNeverChangesAnEarlierRecordsRanges) {
    Personality daAnalog(module_, 4, HXSS_DA, 0);
    Personality ad(module_, 4, HXSS_AD, 0);
    Personality daByte(module_, 4, HXSS_DA, 1);
    Personality daByteOfOtherBoard(module_, 6, HXSS_DA, 0);
    EXPECT_EQ(daAnalog.RangeList(), kBipolar10);
    EXPECT_EQ(ad.RangeList(), kBipolar10);
    EXPECT_EQ(daByte.RangeList(), kByteCodes);
    EXPECT_EQ(daByteOfOtherBoard.RangeList(), kByteCodes);
    EXPECT_NE(daAnalog.record().rangeMinima, daByte.record().rangeMinima);
}

}  // namespace
}  // namespace boardext::testing
