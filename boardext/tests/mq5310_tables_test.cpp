// The MQ5310 family's models and per-type tables, read through the module.
#include "extension_module.h"

namespace boardext::testing {
namespace {

const std::vector<double> kAnalogClock = {50000, 30, 0, 0, 1, 1, 24000000};
const std::vector<double> kDigitalClock = {0, 0, 0, 0, 1, 1, 0};
const std::vector<double> kCounterClock = {12000000, 15, 0, 0, 65536, 2, 24000000};
const std::vector<double> kAdGains = {1, 2, 4, 8};
const Ranges kBipolar10 = {{-10, 10}};
const Ranges kUnipolarLow = {{0, 2.44}};

class Mq5310Tables : public ::testing::Test {
  protected:
    ExtensionModule module_{"MQ5310"};
};

TEST_F(Mq5310Tables, BoardInfoAnswersModelAndCountsPerBoardType) {
    const Counts withDigital = {1, 1, 1, 1, 0, 1};
    struct Case {
        UINT type;
        const char* model;
        Counts counts;
    } cases[] = {
        {0, "MQ5310-10V", withDigital},
        {1, "MQ5310-2_5V", withDigital},
        {2, "MQ5320", withDigital},
        {3, "MQ5330", {1, 1, 0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        BoardInfo info = AskBoardInfo(module_, c.type);
        EXPECT_EQ(info.result, 1) << c.type;
        EXPECT_EQ(info.Name(), c.model) << c.type;
        EXPECT_EQ(info.CountList(), c.counts) << c.type;
    }
    for (UINT unknown : {4u, 0x5310u})
        EXPECT_EQ(AskBoardInfo(module_, unknown).result, 0) << unknown;
}

TEST_F(Mq5310Tables, PersonalityAnswersEachTypesOwnTables) {
    const std::vector<TablesCase> cases = {
        {0,
         HXSS_AD,
         0,
         kAdGains,
         kBipolar10,
         {12},
         kAnalogClock,
         {{HXSSC_NUMSECHANNELS, 8},
          {HXSSC_NUMCHANNELS, 8},
          {HXSSC_LISTSIZE, 32},
          {HXSSC_ENCODING_BINARY, 0},
          {HXSSC_ENCODING_TWOSCOMP, 1}}},
        {1,
         HXSS_AD,
         0,
         {1, 2, 4, 8, 16},
         kUnipolarLow,
         {12},
         kAnalogClock,
         {{HXSSC_NUMCHANNELS, 8},
          {HXSSC_NUMGAINS, 5},
          {HXSSC_ENCODING_BINARY, 1},
          {HXSSC_ENCODING_TWOSCOMP, 0}}},
        {2, HXSS_AD, 0, kAdGains, kBipolar10, {12}, kAnalogClock, {{HXSSC_NUMCHANNELS, 16}}},
        {3, HXSS_AD, 0, kAdGains, kBipolar10, {12}, kAnalogClock, {{HXSSC_NUMCHANNELS, 24}}},
        {0,
         HXSS_DA,
         0,
         {1},
         kBipolar10,
         {12},
         kAnalogClock,
         {{HXSSC_NUMCHANNELS, 2}, {HXSSC_ENCODING_TWOSCOMP, 1}}},
        {1,
         HXSS_DA,
         0,
         {1},
         kUnipolarLow,
         {12},
         kAnalogClock,
         {{HXSSC_ENCODING_BINARY, 1}, {HXSSC_ENCODING_TWOSCOMP, 0}}},
        {0, HXSS_DIN, 0, {1}, {}, {8}, kDigitalClock, {{HXSSC_NUMCHANNELS, 1}}},
        {2, HXSS_DIN, 0, {1}, {}, {4}, kDigitalClock, {{HXSSC_NUMCHANNELS, 1}}},
        {2, HXSS_DOUT, 0, {1}, {}, {4}, kDigitalClock, {{HXSSC_NUMCHANNELS, 1}}},
        {1, HXSS_DOUT, 0, {1}, {}, {8}, kDigitalClock, {{HXSSC_NUMCHANNELS, 1}}},
        {3,
         HXSS_CT,
         0,
         {},
         {},
         {16},
         kCounterClock,
         {{HXSSC_CTMODE_ONESHOT, 1}, {HXSSC_GATE_RISINGEDGE, 1}},
         {}},
    };
    for (const TablesCase& c : cases)
        ExpectTables(module_, c);
}

// Each type's answer is its own, whatever was asked before, and an earlier record is never
// changed by a later one.
TEST_F(Mq5310Tables, AnswersDoNotDependOnEarlierRequests) {
    Personality type2(module_, 2, HXSS_AD, 0);
    Personality type0(module_, 0, HXSS_AD, 0);
    Personality type1(module_, 1, HXSS_AD, 0);
    Personality type1Da(module_, 1, HXSS_DA, 0);
    Personality type0Da(module_, 0, HXSS_DA, 0);
    Personality type2Din(module_, 2, HXSS_DIN, 0);
    Personality type0Din(module_, 0, HXSS_DIN, 0);

    EXPECT_EQ(type0.Cap(HXSSC_NUMCHANNELS), 8u);
    EXPECT_EQ(type2.Cap(HXSSC_NUMCHANNELS), 16u);
    EXPECT_EQ(type0.RangeList(), kBipolar10);
    EXPECT_EQ(type0.Gains(), kAdGains);
    EXPECT_EQ(type0.Cap(HXSSC_ENCODING_TWOSCOMP), 1u);
    EXPECT_EQ(type1.RangeList(), kUnipolarLow);
    EXPECT_EQ(type1.Cap(HXSSC_NUMGAINS), 5u);
    EXPECT_EQ(type1Da.RangeList(), kUnipolarLow);
    EXPECT_EQ(type0Da.RangeList(), kBipolar10);
    EXPECT_EQ(type2Din.Resolutions(), (std::vector<double>{4}));
    EXPECT_EQ(type0Din.Resolutions(), (std::vector<double>{8}));
}

TEST_F(Mq5310Tables, UnknownTypesGetTheBaseTables) {
    Personality unknown(module_, 9, HXSS_AD, 0);
    ASSERT_EQ(unknown.result(), 1);
    EXPECT_EQ(unknown.Cap(HXSSC_NUMCHANNELS), 8u);
    EXPECT_EQ(unknown.RangeList(), kBipolar10);
}

}  // namespace
}  // namespace boardext::testing
