// MQ5310 board types 0-3. Every type has its own tables (channel counts, the 0..2.44 V type's
// gains, range and straight-binary encoding, the MQ5320's 4-bit digital ports), so an answer for
// one type never depends on what was asked before. Unknown types get type 0's tables.
#include "mq5310_tables.h"

#include "hxdacodes.h"

namespace mq5310 {
namespace {

using namespace boardext;

constexpr SubsystemCounts kCountsWithDigital{{1, 1, 1, 1, 0, 1}};
constexpr SubsystemCounts kCountsAnalogOnly{{1, 1, 0, 0, 0, 1}};

constexpr ModelRow kModels[] = {
    {0, "MQ5310-10V", &kCountsWithDigital},
    {1, "MQ5310-2_5V", &kCountsWithDigital},
    {2, "MQ5320", &kCountsWithDigital},
    {3, "MQ5330", &kCountsAnalogOnly},
};

constexpr double kAdGains[] = {1.0, 2.0, 4.0, 8.0};
constexpr double kLowRangeAdGains[] = {1.0, 2.0, 4.0, 8.0, 16.0};
constexpr double kUnityGain[] = {1.0};
constexpr double kNoFilter[] = {0.0};
constexpr double kResolution4[] = {4.0};
constexpr double kResolution8[] = {8.0};
constexpr double kResolution12[] = {12.0};
constexpr double kResolution16[] = {16.0};

constexpr RangePair kBipolar10Pairs[] = {{-10.0, 10.0}};
constexpr RangePair kUnipolarLowPairs[] = {{0.0, 2.44}};
constexpr auto kBipolar10Arrays = SplitRanges(kBipolar10Pairs);
constexpr auto kUnipolarLowArrays = SplitRanges(kUnipolarLowPairs);
constexpr RangeTable kBipolar10 = CellsOf(kBipolar10Arrays);
constexpr RangeTable kUnipolarLow = CellsOf(kUnipolarLowArrays);

constexpr ClockLimits kAnalogClock{50000.0, 30.0, 0.0, 0.0, 1.0, 1.0, 24000000.0};
constexpr ClockLimits kDigitalClock{0.0, 0.0, 0.0, 0.0, 1.0, 1.0, 0.0};
constexpr ClockLimits kCounterClock{12000000.0, 15.0, 0.0, 0.0, 65536.0, 2.0, 24000000.0};

// A/D of the +-10 V MQ5310: eight single-ended inputs, two's complement codes.
constexpr CapabilityValue kAd8Values[] = {
    {HXSSC_NUMSECHANNELS, 8}, {HXSSC_LISTSIZE, 32},   {HXSSC_NUMFILTERS, 1},    {HXSSC_NUMGAINS, 4},
    {HXSSC_NUMRANGES, 1},     {HXSSC_NUMCHANNELS, 8}, {HXSSC_NUMRESOLUTIONS, 1}};
constexpr std::uint32_t kAdFeatures[] = {
    HXSSC_CHANTYPE_SINGLEENDED,
    HXSSC_ENCODING_TWOSCOMP,
    HXSSC_TRIGGER_SOFTWARE,
    HXSSC_TRIGGER_EXTERNAL,
    HXSSC_CLOCK_INTERNAL,
    HXSSC_CLOCK_EXTERNAL,
    HXSSC_GAINLIST,
    HXSSC_DATAFLOW_CONTINUOUS,
    HXSSC_DATAFLOW_SINGLEVALUE,
    HXSSC_WRAP_MULTIPLE,
    HXSSC_WRAP_SINGLE,
    HXSSC_NOTIFICATIONS,
};
constexpr CapabilityTable kAd8Caps = Capabilities(kAd8Values, kAdFeatures);

// The 0..2.44 V type: five gains, straight binary codes.
constexpr CapabilityValue kLowRangeAdValues[] = {
    {HXSSC_NUMGAINS, 5}, {HXSSC_ENCODING_BINARY, 1}, {HXSSC_ENCODING_TWOSCOMP, 0}};
constexpr CapabilityTable kAdLowRangeCaps = Capabilities(kLowRangeAdValues, {}, kAd8Caps);

constexpr CapabilityValue kAd16Values[] = {{HXSSC_NUMSECHANNELS, 16}, {HXSSC_NUMCHANNELS, 16}};
constexpr CapabilityTable kAd16Caps = Capabilities(kAd16Values, {}, kAd8Caps);
constexpr CapabilityValue kAd24Values[] = {{HXSSC_NUMSECHANNELS, 24}, {HXSSC_NUMCHANNELS, 24}};
constexpr CapabilityTable kAd24Caps = Capabilities(kAd24Values, {}, kAd8Caps);

// D/A: two channels.
constexpr CapabilityValue kDaValues[] = {{HXSSC_LISTSIZE, 2},    {HXSSC_NUMFILTERS, 1},
                                         {HXSSC_NUMGAINS, 1},    {HXSSC_NUMRANGES, 1},
                                         {HXSSC_NUMCHANNELS, 2}, {HXSSC_NUMRESOLUTIONS, 1}};
constexpr std::uint32_t kDaFeatures[] = {HXSSC_CHANTYPE_SINGLEENDED, HXSSC_ENCODING_TWOSCOMP,
                                         HXSSC_TRIGGER_SOFTWARE,     HXSSC_CLOCK_INTERNAL,
                                         HXSSC_DATAFLOW_CONTINUOUS,  HXSSC_DATAFLOW_SINGLEVALUE,
                                         HXSSC_WRAP_MULTIPLE,        HXSSC_NOTIFICATIONS};
constexpr CapabilityTable kDaCaps = Capabilities(kDaValues, kDaFeatures);
constexpr CapabilityValue kStraightBinary[] = {{HXSSC_ENCODING_BINARY, 1},
                                               {HXSSC_ENCODING_TWOSCOMP, 0}};
constexpr CapabilityTable kDaLowRangeCaps = Capabilities(kStraightBinary, {}, kDaCaps);

// DIN and DOUT: one port each, single values only.
constexpr std::uint32_t kDigitalFeatures[] = {
    HXSSC_NUMFILTERS,      HXSSC_NUMGAINS,         HXSSC_NUMCHANNELS,         HXSSC_NUMRESOLUTIONS,
    HXSSC_ENCODING_BINARY, HXSSC_TRIGGER_SOFTWARE, HXSSC_DATAFLOW_SINGLEVALUE};
constexpr CapabilityTable kDigitalCaps = Capabilities({}, kDigitalFeatures);

constexpr std::uint32_t kCounterFeatures[] = {
    HXSSC_NUMCHANNELS,          HXSSC_NUMRESOLUTIONS,
    HXSSC_ENCODING_BINARY,      HXSSC_TRIGGER_SOFTWARE,
    HXSSC_TRIGGER_EXTERNAL,     HXSSC_CLOCK_INTERNAL,
    HXSSC_CLOCK_EXTERNAL,       HXSSC_DATAFLOW_SINGLEVALUE,
    HXSSC_NOTIFICATIONS,        HXSSC_CTMODE_COUNTEVENTS,
    HXSSC_CTMODE_RATE,          HXSSC_CTMODE_ONESHOT,
    HXSSC_CTMODE_REPEATONESHOT, HXSSC_PULSE_ACTIVELOW,
    HXSSC_PULSE_ACTIVEHIGH,     HXSSC_GATE_NONE,
    HXSSC_GATE_HIGHLEVEL,       HXSSC_GATE_LOWLEVEL,
    HXSSC_GATE_RISINGEDGE,      HXSSC_GATE_FALLINGEDGE,
};
constexpr CapabilityTable kCounterCaps = Capabilities({}, kCounterFeatures);

constexpr SubsystemTables kAd8{.gains = kAdGains,
                               .ranges = &kBipolar10,
                               .filters = kNoFilter,
                               .resolutions = kResolution12,
                               .capabilities = &kAd8Caps,
                               .clockLimits = &kAnalogClock};
constexpr SubsystemTables kAdLowRange{.gains = kLowRangeAdGains,
                                      .ranges = &kUnipolarLow,
                                      .filters = kNoFilter,
                                      .resolutions = kResolution12,
                                      .capabilities = &kAdLowRangeCaps,
                                      .clockLimits = &kAnalogClock};
constexpr SubsystemTables kAd16{.gains = kAdGains,
                                .ranges = &kBipolar10,
                                .filters = kNoFilter,
                                .resolutions = kResolution12,
                                .capabilities = &kAd16Caps,
                                .clockLimits = &kAnalogClock};
constexpr SubsystemTables kAd24{.gains = kAdGains,
                                .ranges = &kBipolar10,
                                .filters = kNoFilter,
                                .resolutions = kResolution12,
                                .capabilities = &kAd24Caps,
                                .clockLimits = &kAnalogClock};
constexpr SubsystemTables kDa{.gains = kUnityGain,
                              .ranges = &kBipolar10,
                              .filters = kNoFilter,
                              .resolutions = kResolution12,
                              .capabilities = &kDaCaps,
                              .clockLimits = &kAnalogClock};
constexpr SubsystemTables kDaLowRange{.gains = kUnityGain,
                                      .ranges = &kUnipolarLow,
                                      .filters = kNoFilter,
                                      .resolutions = kResolution12,
                                      .capabilities = &kDaLowRangeCaps,
                                      .clockLimits = &kAnalogClock};
constexpr SubsystemTables kDigital8{.gains = kUnityGain,
                                    .filters = kNoFilter,
                                    .resolutions = kResolution8,
                                    .capabilities = &kDigitalCaps,
                                    .clockLimits = &kDigitalClock};
constexpr SubsystemTables kDigital4{.gains = kUnityGain,
                                    .filters = kNoFilter,
                                    .resolutions = kResolution4,
                                    .capabilities = &kDigitalCaps,
                                    .clockLimits = &kDigitalClock};
constexpr SubsystemTables kCounter{.gains = kUnityGain,
                                   .filters = kNoFilter,
                                   .resolutions = kResolution16,
                                   .capabilities = &kCounterCaps,
                                   .clockLimits = &kCounterClock};

constexpr std::uint32_t kType10V[] = {0};
constexpr std::uint32_t kTypeLowRange[] = {1};
constexpr std::uint32_t kType5320[] = {2};
constexpr std::uint32_t kType5330[] = {3};

constexpr PersonalityRow kPersonalities[] = {
    {{HXSS_AD, kAnyElement, kType10V}, &kAd8},
    {{HXSS_AD, kAnyElement, kTypeLowRange}, &kAdLowRange},
    {{HXSS_AD, kAnyElement, kType5320}, &kAd16},
    {{HXSS_AD, kAnyElement, kType5330}, &kAd24},
    {{HXSS_AD, kAnyElement, {}}, &kAd8},
    {{HXSS_DA, kAnyElement, kTypeLowRange}, &kDaLowRange},
    {{HXSS_DA, kAnyElement, {}}, &kDa},
    {{HXSS_DIN, kAnyElement, kType5320}, &kDigital4},
    {{HXSS_DIN, kAnyElement, {}}, &kDigital8},
    {{HXSS_DOUT, kAnyElement, kType5320}, &kDigital4},
    {{HXSS_DOUT, kAnyElement, {}}, &kDigital8},
    {{HXSS_CT, kAnyElement, {}}, &kCounter},
};

static_assert(ListsCoverCounts(kPersonalities));

constexpr FamilyTables kFamily{kModels, kPersonalities, {}};

}  // namespace

const boardext::FamilyTables& Family() {
    return kFamily;
}

}  // namespace mq5310
