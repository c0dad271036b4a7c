// MQ5200 board types are the boards' 16-bit product codes 0x5201-0x5206; odd codes have no D/A.
#include "mq5200_tables.h"

#include "hxdacodes.h"

namespace mq5200 {
namespace {

using namespace boardext;

constexpr SubsystemCounts kCountsWithoutDa{{1, 0, 1, 1, 0, 2}};
constexpr SubsystemCounts kCountsWithDa{{1, 1, 1, 1, 0, 2}};

constexpr ModelRow kModels[] = {
    {0x5201, "MQ5201", &kCountsWithoutDa}, {0x5202, "MQ5202", &kCountsWithDa},
    {0x5203, "MQ5203", &kCountsWithoutDa}, {0x5204, "MQ5204", &kCountsWithDa},
    {0x5205, "MQ5205", &kCountsWithoutDa}, {0x5206, "MQ5206", &kCountsWithDa},
};

constexpr double kAdGains[] = {1.0, 2.0, 4.0, 8.0};
constexpr double kAdHighGains[] = {1.0, 10.0, 100.0, 500.0};
constexpr double kUnityGain[] = {1.0};
constexpr double kNoFilter[] = {0.0};
constexpr double kResolution8[] = {8.0};
constexpr double kResolution12[] = {12.0};
constexpr double kResolution16[] = {16.0};

constexpr RangePair kAd12BitPairs[] = {{-10.0, 10.0}, {0.0, 10.0}};
constexpr RangePair kBipolar10Pairs[] = {{-10.0, 10.0}};
constexpr RangePair kDa12BitPairs[] = {{-10.0, 10.0}, {0.0, 10.0}, {-5.0, 5.0}, {0.0, 5.0}};
constexpr auto kAd12BitArrays = SplitRanges(kAd12BitPairs);
constexpr auto kBipolar10Arrays = SplitRanges(kBipolar10Pairs);
constexpr auto kDa12BitArrays = SplitRanges(kDa12BitPairs);
constexpr RangeTable kAd12BitRanges = CellsOf(kAd12BitArrays);
constexpr RangeTable kBipolar10 = CellsOf(kBipolar10Arrays);
constexpr RangeTable kDa12BitRanges = CellsOf(kDa12BitArrays);

constexpr ClockLimits kAdClock{100000.0, 0.75, 100000.0, 0.75, 1.0, 1.0, 12000000.0};
constexpr ClockLimits kAdSlowClock{50000.0, 0.75, 50000.0, 0.75, 1.0, 1.0, 12000000.0};
constexpr ClockLimits kDaClock{1.0, 1.0, 0.0, 0.0, 1.0, 1.0, 0.0};
constexpr ClockLimits kDigitalClock{0.0, 0.0, 0.0, 0.0, 1.0, 1.0, 0.0};
constexpr ClockLimits kCounterClock{750000.0, 0.0028, 0.0, 0.0, 65536.0, 2.0, 12000000.0};

// A/D: 16 single-ended or 8 differential inputs and one extra channel (16, the DIN port).
constexpr CapabilityValue kAdValues[] = {{HXSSC_NUMSECHANNELS, 16}, {HXSSC_NUMDICHANNELS, 8},
                                         {HXSSC_LISTSIZE, 32},      {HXSSC_NUMFILTERS, 1},
                                         {HXSSC_NUMGAINS, 4},       {HXSSC_NUMRANGES, 1},
                                         {HXSSC_NUMCHANNELS, 17},   {HXSSC_NUMRESOLUTIONS, 1},
                                         {HXSSC_MAXMULTISCAN, 256}, {HXSSC_EXTRACHANNEL, 16}};
constexpr std::uint32_t kAdFeatures[] = {
    HXSSC_CHANTYPE_SINGLEENDED, HXSSC_CHANTYPE_DIFFERENTIAL, HXSSC_ENCODING_BINARY,
    HXSSC_TRIGGER_SOFTWARE,     HXSSC_TRIGGER_EXTERNAL,      HXSSC_TRIGGEREDSCAN,
    HXSSC_CLOCK_INTERNAL,       HXSSC_CLOCK_EXTERNAL,        HXSSC_GAINLIST,
    HXSSC_DATAFLOW_CONTINUOUS,  HXSSC_DATAFLOW_SINGLEVALUE,  HXSSC_WRAP_MULTIPLE,
    HXSSC_WRAP_SINGLE,          HXSSC_NOTIFICATIONS,         HXSSC_SIMULTANEOUSSTART,
    HXSSC_FLUSHINPROCESS,       HXSSC_RETRIGGER_INTERNAL,    HXSSC_RETRIGGER_SCANPERTRIGGER};
constexpr CapabilityTable kAdCaps = Capabilities(kAdValues, kAdFeatures);
constexpr CapabilityValue kTwoRanges[] = {{HXSSC_NUMRANGES, 2}};
constexpr CapabilityTable kAdTwoRangeCaps = Capabilities(kTwoRanges, {}, kAdCaps);

// D/A: two channels written as single values.
constexpr CapabilityValue kDaValues[] = {
    {HXSSC_NUMDICHANNELS, 2}, {HXSSC_LISTSIZE, 2},    {HXSSC_NUMFILTERS, 1},    {HXSSC_NUMGAINS, 1},
    {HXSSC_NUMRANGES, 1},     {HXSSC_NUMCHANNELS, 2}, {HXSSC_NUMRESOLUTIONS, 1}};
constexpr std::uint32_t kDaFeatures[] = {HXSSC_CHANTYPE_DIFFERENTIAL, HXSSC_ENCODING_BINARY,
                                         HXSSC_TRIGGER_SOFTWARE, HXSSC_DATAFLOW_SINGLEVALUE};
constexpr CapabilityTable kDaCaps = Capabilities(kDaValues, kDaFeatures);
constexpr CapabilityValue kFourRanges[] = {{HXSSC_NUMRANGES, 4}};
constexpr CapabilityTable kDaFourRangeCaps = Capabilities(kFourRanges, {}, kDaCaps);

constexpr std::uint32_t kDinFeatures[] = {
    HXSSC_NUMDICHANNELS,
    HXSSC_LISTSIZE,
    HXSSC_NUMFILTERS,
    HXSSC_NUMGAINS,
    HXSSC_NUMCHANNELS,
    HXSSC_NUMRESOLUTIONS,
    HXSSC_CHANTYPE_DIFFERENTIAL,
    HXSSC_ENCODING_BINARY,
    HXSSC_TRIGGER_SOFTWARE,
    HXSSC_DATAFLOW_SINGLEVALUE,
};
constexpr CapabilityTable kDinCaps = Capabilities({}, kDinFeatures);
constexpr std::uint32_t kDoutExtraFeatures[] = {HXSSC_NOTIFICATIONS};
constexpr CapabilityTable kDoutCaps = Capabilities({}, kDoutExtraFeatures, kDinCaps);

// C/T: 16-bit counters without up/down or edge-to-edge measurement.
constexpr std::uint32_t kCounterFeatures[] = {
    HXSSC_NUMDICHANNELS,
    HXSSC_NUMCHANNELS,
    HXSSC_NUMRESOLUTIONS,
    HXSSC_CHANTYPE_DIFFERENTIAL,
    HXSSC_ENCODING_BINARY,
    HXSSC_TRIGGER_SOFTWARE,
    HXSSC_TRIGGER_EXTERNAL,
    HXSSC_CLOCK_INTERNAL,
    HXSSC_CLOCK_EXTERNAL,
    HXSSC_DATAFLOW_CONTINUOUS,
    HXSSC_DATAFLOW_SINGLEVALUE,
    HXSSC_NOTIFICATIONS,
    HXSSC_CTMODE_COUNTEVENTS,
    HXSSC_CTMODE_RATE,
    HXSSC_CTMODE_ONESHOT,
    HXSSC_CTMODE_REPEATONESHOT,
    HXSSC_PULSE_ACTIVELOW,
    HXSSC_PULSE_ACTIVEHIGH,
    HXSSC_GATE_NONE,
    HXSSC_GATE_HIGHLEVEL,
    HXSSC_GATE_LOWLEVEL,
    HXSSC_GATE_RISINGEDGE,
    HXSSC_GATE_FALLINGEDGE,
};
constexpr CapabilityTable kCounterCaps = Capabilities({}, kCounterFeatures);

constexpr SubsystemTables kAd12Bit{.gains = kAdGains,
                                   .ranges = &kAd12BitRanges,
                                   .filters = kNoFilter,
                                   .resolutions = kResolution12,
                                   .capabilities = &kAdTwoRangeCaps,
                                   .clockLimits = &kAdClock};
constexpr SubsystemTables kAd16Bit{.gains = kAdGains,
                                   .ranges = &kBipolar10,
                                   .filters = kNoFilter,
                                   .resolutions = kResolution16,
                                   .capabilities = &kAdCaps,
                                   .clockLimits = &kAdClock};
constexpr SubsystemTables kAd16BitHighGain{.gains = kAdHighGains,
                                           .ranges = &kBipolar10,
                                           .filters = kNoFilter,
                                           .resolutions = kResolution16,
                                           .capabilities = &kAdCaps,
                                           .clockLimits = &kAdSlowClock};
constexpr SubsystemTables kDa12Bit{.gains = kUnityGain,
                                   .ranges = &kDa12BitRanges,
                                   .filters = kNoFilter,
                                   .resolutions = kResolution12,
                                   .capabilities = &kDaFourRangeCaps,
                                   .clockLimits = &kDaClock};
constexpr SubsystemTables kDa16Bit{.gains = kUnityGain,
                                   .ranges = &kBipolar10,
                                   .filters = kNoFilter,
                                   .resolutions = kResolution16,
                                   .capabilities = &kDaCaps,
                                   .clockLimits = &kDaClock};
// Boards without a D/A still answer its gain, filter and clock limits (the API never opens it).
constexpr SubsystemTables kDaAbsent{
    .gains = kUnityGain, .filters = kNoFilter, .clockLimits = &kDaClock};
constexpr SubsystemTables kDin{.gains = kUnityGain,
                               .filters = kNoFilter,
                               .resolutions = kResolution8,
                               .capabilities = &kDinCaps,
                               .clockLimits = &kDigitalClock};
constexpr SubsystemTables kDout{.gains = kUnityGain,
                                .filters = kNoFilter,
                                .resolutions = kResolution8,
                                .capabilities = &kDoutCaps,
                                .clockLimits = &kDigitalClock};
constexpr SubsystemTables kCounter{.gains = kUnityGain,
                                   .filters = kNoFilter,
                                   .resolutions = kResolution16,
                                   .capabilities = &kCounterCaps,
                                   .clockLimits = &kCounterClock};

constexpr std::uint32_t kAllModels[] = {0x5201, 0x5202, 0x5203, 0x5204, 0x5205, 0x5206};
constexpr std::uint32_t kModels12Bit[] = {0x5201, 0x5202};
constexpr std::uint32_t kModels16Bit[] = {0x5203, 0x5204};
constexpr std::uint32_t kModelsHighGain[] = {0x5205, 0x5206};
constexpr std::uint32_t kModelsWithoutDa[] = {0x5201, 0x5203, 0x5205};
constexpr std::uint32_t kModelsDa12Bit[] = {0x5202};
constexpr std::uint32_t kModelsDa16Bit[] = {0x5204, 0x5206};

constexpr PersonalityRow kPersonalities[] = {
    {{HXSS_AD, kAnyElement, kModels12Bit}, &kAd12Bit},
    {{HXSS_AD, kAnyElement, kModels16Bit}, &kAd16Bit},
    {{HXSS_AD, kAnyElement, kModelsHighGain}, &kAd16BitHighGain},
    {{HXSS_DA, kAnyElement, kModelsWithoutDa}, &kDaAbsent},
    {{HXSS_DA, kAnyElement, kModelsDa12Bit}, &kDa12Bit},
    {{HXSS_DA, kAnyElement, kModelsDa16Bit}, &kDa16Bit},
    {{HXSS_DIN, kAnyElement, kAllModels}, &kDin},
    {{HXSS_DOUT, kAnyElement, kAllModels}, &kDout},
    {{HXSS_CT, kAnyElement, kAllModels}, &kCounter},
};

// A/D extra channel 16 is the DIN port.
constexpr ChannelMapEntry kAdExtraChannels[] = {{HXSS_DIN, 0, kChannelMapWholeValue, 16}};
constexpr ChannelMap kAdMap{1, kAdExtraChannels};

constexpr ChannelMapRow kChannelMaps[] = {
    {{HXSS_AD, kAnyElement, {}}, &kAdMap},
};

static_assert(ListsCoverCounts(kPersonalities));

constexpr FamilyTables kFamily{kModels, kPersonalities, kChannelMaps};

}  // namespace

const boardext::FamilyTables& Family() {
    return kFamily;
}

}  // namespace mq5200
