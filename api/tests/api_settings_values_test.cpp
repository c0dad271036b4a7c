// Settings whose values need more than a word compare: trigger sources, clock and retrigger
// frequencies (clamped, kept as 32.32 and f32), gains (nearest table entry), and range pairs for
// the subsystem and single channels.
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "api_test_support.h"

namespace hxda::test {
namespace {

using SourceSetter = HXSTATUS (*)(HDASS, UINT);

// The three sources share their values; each setter gets the capability it needs of its own.
struct SourceSetting {
    const char* name;
    SourceSetter set;
    std::uint32_t ownCapability;
};

const SourceSetting kSources[] = {
    {"Trigger", hxDaSetTrigger, HXSSC_TRIGGER_SOFTWARE},
    {"Pretrigger", hxDaSetPretriggerSource, HXSSC_DATAFLOW_CONTPRETRIG},
    {"Retrigger", hxDaSetRetrigger, HXSSC_RETRIGGER_EXTRA},
};

using TriggerSources = ApiFixture;

TEST_F(TriggerSources, EveryTriggerCapability) {
    for (const std::uint32_t code :
         {HXSSC_TRIGGER_SOFTWARE, HXSSC_TRIGGER_EXTERNAL, HXSSC_TRIGGER_THRESHOLDPOS,
          HXSSC_TRIGGER_THRESHOLDNEG, HXSSC_TRIGGER_ANALOGEVENT, HXSSC_TRIGGER_DIGITALEVENT,
          HXSSC_TRIGGER_TIMEREVENT, HXSSC_DATAFLOW_CONTPRETRIG, HXSSC_RETRIGGER_EXTRA})
        tables.set(code, 1);
    tables.set(HXSSC_NUMEXTRATRIGGERS, 2);
    const std::vector<std::pair<UINT, HXSTATUS>> cases = {
        {0, HXINVALIDTRIGGER},    {299, HXINVALIDTRIGGER},
        {300, HXNOERROR},         {301, HXNOERROR},
        {302, HXINVALIDTRIGGER},  {303, HXNOERROR},
        {304, HXNOERROR},         {305, HXNOERROR},
        {306, HXNOERROR},         {307, HXNOERROR},
        {308, HXINVALIDTRIGGER},  {1199, HXINVALIDTRIGGER},
        {1200, HXNOERROR},        {1201, HXNOERROR},
        {1202, HXINVALIDTRIGGER}, {0xFFFFFFFF, HXINVALIDTRIGGER}};
    const HDASS hDass = open(HXSS_AD, false);
    for (const SourceSetting& source : kSources)
        for (const auto& [value, status] : cases)
            EXPECT_EQ(source.set(hDass, value), status) << source.name << " " << value;
}

TEST_F(TriggerSources, OnlySoftwareTrigger) {
    tables.set(HXSSC_TRIGGER_SOFTWARE, 1);
    tables.set(HXSSC_DATAFLOW_CONTPRETRIG, 1);
    tables.set(HXSSC_RETRIGGER_EXTRA, 1);
    const std::vector<std::pair<UINT, HXSTATUS>> cases = {
        {300, HXNOERROR},      {301, HXNOTSUPPORTED},   {302, HXINVALIDTRIGGER},
        {303, HXNOTSUPPORTED}, {304, HXNOTSUPPORTED},   {305, HXNOTSUPPORTED},
        {306, HXNOTSUPPORTED}, {307, HXINVALIDTRIGGER}, {1200, HXNOTSUPPORTED},
        {1201, HXNOTSUPPORTED}};
    const HDASS hDass = open(HXSS_AD, false);
    for (const SourceSetting& source : kSources)
        for (const auto& [value, status] : cases)
            EXPECT_EQ(source.set(hDass, value), status) << source.name << " " << value;
}

TEST_F(TriggerSources, EachSourceIsKeptApart) {
    tables.set(HXSSC_TRIGGER_SOFTWARE, 1);
    tables.set(HXSSC_TRIGGER_EXTERNAL, 1);
    tables.set(HXSSC_TRIGGER_THRESHOLDNEG, 1);
    tables.set(HXSSC_NUMEXTRATRIGGERS, 1);
    tables.set(HXSSC_DATAFLOW_CONTABOUTTRIG, 1);
    tables.set(HXSSC_RETRIGGER_EXTRA, 1);
    const HDASS hDass = open(HXSS_AD, false);
    ASSERT_EQ(hxDaSetTrigger(hDass, HXTRIG_EXTERNAL), HXNOERROR);
    ASSERT_EQ(hxDaSetPretriggerSource(hDass, HXTRIG_THRESHOLDNEG), HXNOERROR);
    ASSERT_EQ(hxDaSetRetrigger(hDass, HXTRIG_EXTRA), HXNOERROR);
    UINT trigger = 0, pretrigger = 0, retrigger = 0;
    EXPECT_EQ(hxDaGetTrigger(hDass, &trigger), HXNOERROR);
    EXPECT_EQ(hxDaGetPretriggerSource(hDass, &pretrigger), HXNOERROR);
    EXPECT_EQ(hxDaGetRetrigger(hDass, &retrigger), HXNOERROR);
    EXPECT_EQ(trigger, HXTRIG_EXTERNAL);
    EXPECT_EQ(pretrigger, HXTRIG_THRESHOLDNEG);
    EXPECT_EQ(retrigger, HXTRIG_EXTRA);
    EXPECT_EQ(block(hDass).triggerSource, HXTRIG_EXTERNAL);
    EXPECT_EQ(block(hDass).pretriggerSource, HXTRIG_THRESHOLDNEG);
    EXPECT_EQ(block(hDass).retriggerSource, HXTRIG_EXTRA);
}

// The board's clock limits (from the shared tables): 1 .. 100000.75 Hz for the sample clock,
// 10 .. 1000 Hz for the retrigger clock, base clock 1 MHz.
struct FrequencySetting {
    const char* name;
    HXSTATUS (*set)(HDASS, double);
    HXSTATUS (*get)(HDASS, double*);
    FixedPoint ConfigurationBlock::*pair;
    float ConfigurationBlock::*single;
    std::uint16_t ConfigurationBlock::*form;
    double minimum, maximum;
};

const FrequencySetting kFrequencies[] = {
    {"Clock", hxDaSetClockFrequency, hxDaGetClockFrequency, &ConfigurationBlock::clockFrequency,
     &ConfigurationBlock::clockFrequencyFloat, &ConfigurationBlock::clockFrequencyForm, 1.0,
     100000.75},
    {"Retrigger", hxDaSetRetriggerFrequency, hxDaGetRetriggerFrequency,
     &ConfigurationBlock::retriggerFrequency, &ConfigurationBlock::retriggerFrequencyFloat,
     &ConfigurationBlock::retriggerFrequencyForm, 10.0, 1000.0},
};

bool samePair(FixedPoint a, FixedPoint b) {
    return a.integer == b.integer && a.fraction == b.fraction;
}

using Frequencies = ApiFixture;

TEST_F(Frequencies, ClampedIntoTheLimitsAndKeptInBothForms) {
    tables.set(HXSSC_CLOCK_INTERNAL, 1);
    tables.set(HXSSC_TRIGGEREDSCAN, 1);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const FrequencySetting& f : kFrequencies) {
        const double within = (f.minimum + f.maximum) / 2 + 0.5;
        const std::pair<double, double> cases[] = {
            {within, within},    {f.maximum, f.maximum}, {f.maximum * 1e4, f.maximum},
            {inf, f.maximum},    {f.minimum, f.minimum}, {f.minimum / 2, f.minimum},
            {-250.0, f.minimum}, {-inf, f.minimum},      {nan, f.minimum},
        };
        const HDASS hDass = open(HXSS_AD, false);
        for (const auto& [given, stored] : cases) {
            SCOPED_TRACE(::testing::Message() << f.name << " " << given);
            block(hDass).state = HXSTATE_READY;
            block(hDass).*f.form = 1;
            EXPECT_EQ(f.set(hDass, given), HXNOERROR);
            EXPECT_TRUE(samePair(block(hDass).*f.pair, encodeFixedPoint(stored)));
            EXPECT_EQ(block(hDass).*f.single, static_cast<float>(stored));
            EXPECT_EQ(block(hDass).*f.form, 0);
            EXPECT_EQ(block(hDass).state, HXSTATE_NEEDSCONFIG);
            double read = 0;
            EXPECT_EQ(f.get(hDass, &read), HXNOERROR);
            EXPECT_EQ(read, decodeFixedPoint(encodeFixedPoint(stored)));
        }
        // The same value again still needs a new configuration.
        block(hDass).state = HXSTATE_READY;
        EXPECT_EQ(f.set(hDass, f.minimum), HXNOERROR);
        EXPECT_EQ(block(hDass).state, HXSTATE_NEEDSCONFIG);

        block(hDass).state = HXSTATE_RUNNING;
        EXPECT_EQ(f.set(hDass, within), HXSUBSYSRUNNING);
        EXPECT_TRUE(samePair(block(hDass).*f.pair, encodeFixedPoint(f.minimum)));
        hxDaReleaseDASS(hDass);
    }
}

TEST_F(Frequencies, ClockFrequencyResetsTheBaseClock) {
    tables.set(HXSSC_CLOCK_INTERNAL, 1);
    const HDASS hDass = open(HXSS_AD, false);
    block(hDass).baseClock = 7;
    EXPECT_EQ(hxDaSetClockFrequency(hDass, 5000.0), HXNOERROR);
    EXPECT_EQ(block(hDass).baseClock, 1000000u);
}

// The value a driver wrote back as f32 (form flag 1) is what a Get answers.
TEST_F(Frequencies, GetAnswersTheDriversSingleWhenFlagged) {
    tables.set(HXSSC_CLOCK_INTERNAL, 1);
    for (const FrequencySetting& f : kFrequencies) {
        const HDASS hDass = open(HXSS_AD, false);
        block(hDass).*f.pair = encodeFixedPoint(20.0);
        block(hDass).*f.single = 33.25f;
        block(hDass).*f.form = 1;
        double read = 0;
        EXPECT_EQ(f.get(hDass, &read), HXNOERROR);
        EXPECT_EQ(read, 33.25) << f.name;
        block(hDass).*f.form = 0;
        EXPECT_EQ(f.get(hDass, &read), HXNOERROR);
        EXPECT_EQ(read, 20.0) << f.name;
    }
}

// Without the capability the clamped value must equal the stored one.
TEST_F(Frequencies, WithoutCapabilityOnlyTheStoredValue) {
    tables.set(HXSSC_CLOCK_INTERNAL, 1);  // the retrigger clock also needs triggered scans
    tables.set(HXSSC_TRIGGEREDSCAN, 0);
    const HDASS retrigger = open(HXSS_AD, false);
    block(retrigger).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaSetRetriggerFrequency(retrigger, 10.0), HXNOERROR);
    EXPECT_EQ(hxDaSetRetriggerFrequency(retrigger, 1.0), HXNOERROR);  // clamped to 10
    EXPECT_EQ(hxDaSetRetriggerFrequency(retrigger, 11.0), HXNOTSUPPORTED);
    EXPECT_EQ(block(retrigger).state, HXSTATE_RUNNING);
    double read = 0;
    EXPECT_EQ(hxDaGetRetriggerFrequency(retrigger, &read), HXNOERROR);
    EXPECT_EQ(read, 10.0);

    tables.set(HXSSC_CLOCK_INTERNAL, 0);
    const HDASS clock = open(HXSS_AD, false);
    EXPECT_EQ(hxDaSetClockFrequency(clock, 1000.0), HXNOERROR);
    EXPECT_EQ(hxDaSetClockFrequency(clock, 2000.0), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaSetClockFrequency(clock, std::numeric_limits<double>::quiet_NaN()),
              HXNOTSUPPORTED);
    EXPECT_TRUE(samePair(block(clock).clockFrequency, encodeFixedPoint(1000.0)));
}

using GainList = ApiFixture;

TEST_F(GainList, GainBecomesTheNearestTableEntry) {
    tables.set(HXSSC_GAINLIST, 1);
    const HDASS hDass = open(HXSS_AD, false);
    const std::pair<double, double> cases[] = {{3.0, 2.0}, {100.0, 8.0}, {-1.0, 1.0}, {5.9, 4.0},
                                               {6.0, 4.0}, {6.1, 8.0},   {1.0, 1.0}};
    for (const auto& [given, stored] : cases) {
        SCOPED_TRACE(given);
        block(hDass).state = HXSTATE_READY;
        double before = 0;
        ASSERT_EQ(hxDaGetGainListEntry(hDass, 3, &before), HXNOERROR);
        EXPECT_EQ(hxDaSetGainListEntry(hDass, 3, given), HXNOERROR);
        double read = 0;
        EXPECT_EQ(hxDaGetGainListEntry(hDass, 3, &read), HXNOERROR);
        EXPECT_EQ(read, stored);
        EXPECT_EQ(block(hDass).state, before == stored ? HXSTATE_READY : HXSTATE_NEEDSCONFIG);
    }
    EXPECT_EQ(hxDaSetGainListEntry(hDass, 4, 1.0), HXINVALIDLISTENTRY);
    double read = 0;
    EXPECT_EQ(hxDaGetGainListEntry(hDass, 4, &read), HXINVALIDLISTENTRY);
    block(hDass).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaSetGainListEntry(hDass, 0, 8.0), HXSUBSYSRUNNING);
    EXPECT_EQ(hxDaGetGainListEntry(hDass, 0, &read), HXNOERROR);
    EXPECT_EQ(read, 1.0);
}

TEST_F(GainList, FixedGainListTakesOnlyTheStoredGain) {
    tables.set(HXSSC_GAINLIST, 0);
    const HDASS hDass = open(HXSS_AD, false);
    block(hDass).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaSetGainListEntry(hDass, 1, 1.0), HXNOERROR);
    EXPECT_EQ(hxDaSetGainListEntry(hDass, 1, 1.4), HXNOERROR);  // nearest entry 1.0
    EXPECT_EQ(hxDaSetGainListEntry(hDass, 1, 2.0), HXNOTSUPPORTED);
    EXPECT_EQ(block(hDass).state, HXSTATE_RUNNING);
}

TEST_F(GainList, WithoutGainTableTheGainIsKeptAsGiven) {
    tables.set(HXSSC_GAINLIST, 1);
    tables.set(HXSSC_NUMGAINS, 0);
    const HDASS hDass = open(HXSS_AD, false);
    EXPECT_EQ(hxDaSetGainListEntry(hDass, 2, 2.5), HXNOERROR);
    EXPECT_TRUE(samePair(listEntry(&block(hDass), 2)->gain, encodeFixedPoint(2.5)));
}

// Three ranges: (-10, 10), (-5, 5), (0, 10) as (minimum, maximum).
class Ranges : public ApiFixture {
  protected:
    void SetUp() override {
        ApiFixture::SetUp();
        tables.set(HXSSC_NUMRANGES, 3);
        tables.set(HXSSC_CHANNELRANGE, 1);
        personality = tables.personality();
        personality.rangeMinima = minimaCell;
        personality.rangeMaxima = maximaCell;
    }
    HDASS openWithRanges() { return open(HXSS_AD, false, &personality); }

    const double minima[3] = {-10, -5, 0};
    const double maxima[3] = {10, 5, 10};
    const double* minimaCell[1] = {minima};
    const double* maximaCell[1] = {maxima};
    PersonalityRecord personality;
};

TEST_F(Ranges, PairMustStandAtOneIndex) {
    const HDASS hDass = openWithRanges();
    struct {
        double maximum, minimum;
        HXSTATUS expected;
    } const cases[] = {
        {5, -5, HXNOERROR},       {10, 0, HXNOERROR},       {10, -10, HXNOERROR},
        {10, -5, HXINVALIDRANGE}, {5, -10, HXINVALIDRANGE}, {-10, 10, HXINVALIDRANGE},
        {5, 0, HXINVALIDRANGE},
    };
    double maximum = 10, minimum = -10;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.minimum << " " << c.maximum);
        block(hDass).state = HXSTATE_READY;
        EXPECT_EQ(hxDaSetRange(hDass, c.maximum, c.minimum), c.expected);
        if (c.expected == HXNOERROR) {
            maximum = c.maximum;
            minimum = c.minimum;
        }
        // An accepted pair needs a new configuration even when it is the stored one.
        EXPECT_EQ(block(hDass).state,
                  c.expected == HXNOERROR ? HXSTATE_NEEDSCONFIG : HXSTATE_READY);
        double readMaximum = 0, readMinimum = 0;
        EXPECT_EQ(hxDaGetRange(hDass, &readMaximum, &readMinimum), HXNOERROR);
        EXPECT_EQ(readMaximum, maximum);
        EXPECT_EQ(readMinimum, minimum);
    }
    block(hDass).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaSetRange(hDass, 5, -5), HXSUBSYSRUNNING);
}

TEST_F(Ranges, MissingRangesOrTables) {
    tables.set(HXSSC_NUMRANGES, 0);
    const HDASS none = open(HXSS_AD, false);
    EXPECT_EQ(hxDaSetRange(none, 0, 0), HXNOERROR);  // the stored pair
    EXPECT_EQ(hxDaSetRange(none, 10, -10), HXNOTSUPPORTED);
    double maximum = 0, minimum = 0;
    EXPECT_EQ(hxDaGetRange(none, &maximum, &minimum), HXNOTSUPPORTED);

    tables.set(HXSSC_NUMRANGES, 1);
    PersonalityRecord tableless = tables.personality();
    tableless.rangeMaxima = nullptr;
    const HDASS missing = open(HXSS_AD, false, &tableless);
    EXPECT_EQ(hxDaSetRange(missing, 10, -10), HXNORANGELIST);
    EXPECT_EQ(hxDaGetRange(missing, &maximum, &minimum), HXNORANGELIST);
    EXPECT_EQ(hxDaSetChannelRange(missing, 0, 10, -10), HXNORANGELIST);
    EXPECT_EQ(hxDaGetChannelRange(missing, 0, &maximum, &minimum), HXNORANGELIST);
}

TEST_F(Ranges, ChannelRangeIsKeptPerChannel) {
    const HDASS hDass = openWithRanges();
    block(hDass).state = HXSTATE_READY;
    EXPECT_EQ(hxDaSetChannelRange(hDass, 3, 5, -5), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_NEEDSCONFIG);
    block(hDass).state = HXSTATE_READY;
    EXPECT_EQ(hxDaSetChannelRange(hDass, 3, 5, -5), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_READY);
    EXPECT_EQ(hxDaSetChannelRange(hDass, 15, 10, 0), HXNOERROR);

    double maximum = 0, minimum = 0;
    EXPECT_EQ(hxDaGetChannelRange(hDass, 3, &maximum, &minimum), HXNOERROR);
    EXPECT_EQ(maximum, 5.0);
    EXPECT_EQ(minimum, -5.0);
    EXPECT_EQ(hxDaGetChannelRange(hDass, 15, &maximum, &minimum), HXNOERROR);
    EXPECT_EQ(maximum, 10.0);
    EXPECT_EQ(minimum, 0.0);
    // A channel without a range of its own follows the subsystem range.
    EXPECT_EQ(hxDaGetChannelRange(hDass, 4, &maximum, &minimum), HXNOERROR);
    EXPECT_EQ(maximum, 10.0);
    EXPECT_EQ(minimum, -10.0);

    block(hDass).state = HXSTATE_READY;
    EXPECT_EQ(hxDaSetChannelRange(hDass, 16, 5, -5), HXINVALIDCHANNEL);
    EXPECT_EQ(hxDaGetChannelRange(hDass, 16, &maximum, &minimum), HXINVALIDCHANNEL);
    EXPECT_EQ(hxDaSetChannelRange(hDass, 3, 10, -5), HXINVALIDRANGE);
    EXPECT_EQ(block(hDass).state, HXSTATE_READY);
    block(hDass).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaSetChannelRange(hDass, 3, 10, -10), HXSUBSYSRUNNING);
}

// Every channel's range lands where no other setting lives.
TEST_F(Ranges, ChannelRangesLeaveTheOtherSettingsAlone) {
    tables.set(HXSSC_NUMCHANNELS, 130);
    personality = tables.personality();
    personality.rangeMinima = minimaCell;
    personality.rangeMaxima = maximaCell;
    const HDASS hDass = openWithRanges();
    const std::size_t bytes = configurationBlockBytes(4);
    std::vector<std::uint8_t> before(bytes);
    std::memcpy(before.data(), &block(hDass), bytes);
    for (UINT channel = 0; channel < 130; ++channel)
        ASSERT_EQ(hxDaSetChannelRange(hDass, channel, 5, -5), HXNOERROR) << channel;
    std::vector<std::uint8_t> after(bytes);
    std::memcpy(after.data(), &block(hDass), bytes);
    for (std::size_t offset = 0; offset < bytes; ++offset) {
        if (offset >= 8 && offset < 12)  // the state
            continue;
        if (offset >= 112 && offset < 242)
            continue;
        EXPECT_EQ(after[offset], before[offset]) << "offset " << offset;
    }
    double maximum = 0, minimum = 0;
    EXPECT_EQ(hxDaGetRange(hDass, &maximum, &minimum), HXNOERROR);
    EXPECT_EQ(maximum, 10.0);
    EXPECT_EQ(minimum, -10.0);
}

TEST_F(Ranges, ChannelRangeNeedsItsCapability) {
    tables.set(HXSSC_CHANNELRANGE, 0);
    personality = tables.personality();
    const HDASS hDass = open(HXSS_AD, false, &personality);
    double maximum = 0, minimum = 0;
    EXPECT_EQ(hxDaSetChannelRange(hDass, 0, 10, -10), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaGetChannelRange(hDass, 0, &maximum, &minimum), HXNOTSUPPORTED);
}

}  // namespace
}  // namespace hxda::test
