// The MQ5130 family's model and digital-bank tables, read through the module.
#include "extension_module.h"

namespace boardext::testing {
namespace {

const std::vector<double> kDigitalClock = {0, 0, 0, 0, 1, 1, 0};
const std::vector<double> kResolutions = {8, 16, 24, 32};

class Mq5130Tables : public ::testing::Test {
  protected:
    ExtensionModule module_{"Mq5130"};
};

TEST_F(Mq5130Tables, BoardInfoAnswersTheOneModel) {
    BoardInfo info = AskBoardInfo(module_, 0x5130);
    EXPECT_EQ(info.result, 1);
    EXPECT_EQ(info.Name(), "MQ5130");
    EXPECT_EQ(info.CountList(), (Counts{0, 0, 12, 8, 0, 0}));
    for (UINT unknown : {0u, 0x5131u, 0x5201u})
        EXPECT_EQ(AskBoardInfo(module_, unknown).result, 0) << unknown;
}

TEST_F(Mq5130Tables, EveryBankAnswersItsDigitalTables) {
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> dinCaps = {
        {HXSSC_NUMDICHANNELS, 1},
        {HXSSC_NUMFILTERS, 1},
        {HXSSC_NUMGAINS, 1},
        {HXSSC_NUMCHANNELS, 1},
        {HXSSC_NUMRESOLUTIONS, 4},
        {CodeOfEntry(11), 1},
        {HXSSC_CHANTYPE_DIFFERENTIAL, 1},
        {HXSSC_ENCODING_BINARY, 1},
        {HXSSC_TRIGGER_SOFTWARE, 1},
        {HXSSC_SWRESOLUTION, 1},
        {HXSSC_DATAFLOW_CONTINUOUS, 1},
        {HXSSC_DATAFLOW_SINGLEVALUE, 1},
        {HXSSC_NOTIFICATIONS, 1},
        {HXSSC_LISTSIZE, 0},
        {HXSSC_NUMSECHANNELS, 0}};
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> doutCaps = {
        {HXSSC_NUMRESOLUTIONS, 4}, {HXSSC_SWRESOLUTION, 1},     {HXSSC_DATAFLOW_SINGLEVALUE, 1},
        {CodeOfEntry(11), 0},      {HXSSC_TRIGGER_SOFTWARE, 0}, {HXSSC_DATAFLOW_CONTINUOUS, 0},
        {HXSSC_NOTIFICATIONS, 0}};
    const std::vector<TablesCase> cases = {
        {0x5130, HXSS_DIN, 0, {1}, {}, kResolutions, kDigitalClock, dinCaps},
        {0x5130, HXSS_DIN, 11, {1}, {}, kResolutions, kDigitalClock, dinCaps},
        {0x5130, HXSS_DOUT, 0, {1}, {}, kResolutions, kDigitalClock, doutCaps},
        {0x5130, HXSS_DOUT, 7, {1}, {}, kResolutions, kDigitalClock, doutCaps},
    };
    for (const TablesCase& c : cases)
        ExpectTables(module_, c);
}

TEST_F(Mq5130Tables, AnalogAndCounterSubsystemsHaveNoTables) {
    for (UINT subsystem : {HXSS_AD, HXSS_DA, HXSS_CT}) {
        PersonalityRecord record{};
        EXPECT_EQ(module_.Personality()(0x5130, "", subsystem, 0, &record), 0) << subsystem;
        EXPECT_EQ(record.capabilities, nullptr);
    }
}

}  // namespace
}  // namespace boardext::testing
