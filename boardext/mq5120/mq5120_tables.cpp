// MQ5120 board types are variant bits: bit 0 no analog inputs, bit 1 no analog outputs, bit 2
// 16-bit converters, bit 3 32 single-ended inputs.
#include "mq5120_tables.h"

#include "hxdacodes.h"

namespace mq5120 {
namespace {

using namespace boardext;

// Models. Types 1 and 9, and 5 and 13, share one name and one counts record.
constexpr SubsystemCounts kCountsFull{{1, 2, 1, 1, 0, 5}};
constexpr SubsystemCounts kCountsNoAnalogInputs{{0, 1, 1, 1, 0, 5}};
constexpr SubsystemCounts kCountsNoAnalogOutputs{{1, 1, 1, 1, 0, 5}};

constexpr char kModel16_04_12[] = "MQ5120-16-04-12";
constexpr char kModel00_04_12[] = "MQ5120-00-04-12";
constexpr char kModel16_00_12[] = "MQ5120-16-00-12";
constexpr char kModel16_04_16[] = "MQ5120-16-04-16";
constexpr char kModel00_04_16[] = "MQ5120-00-04-16";
constexpr char kModel16_00_16[] = "MQ5120-16-00-16";
constexpr char kModel32_04_12[] = "MQ5120-32-04-12";
constexpr char kModel32_00_12[] = "MQ5120-32-00-12";
constexpr char kModel32_04_16[] = "MQ5120-32-04-16";
constexpr char kModel32_00_16[] = "MQ5120-32-00-16";

constexpr ModelRow kModels[] = {
    {0, kModel16_04_12, &kCountsFull},
    {1, kModel00_04_12, &kCountsNoAnalogInputs},
    {2, kModel16_00_12, &kCountsNoAnalogOutputs},
    {4, kModel16_04_16, &kCountsFull},
    {5, kModel00_04_16, &kCountsNoAnalogInputs},
    {6, kModel16_00_16, &kCountsNoAnalogOutputs},
    {8, kModel32_04_12, &kCountsFull},
    {9, kModel00_04_12, &kCountsNoAnalogInputs},
    {10, kModel32_00_12, &kCountsNoAnalogOutputs},
    {12, kModel32_04_16, &kCountsFull},
    {13, kModel00_04_16, &kCountsNoAnalogInputs},
    {14, kModel32_00_16, &kCountsNoAnalogOutputs},
};

// Lists shared by the subsystems.
constexpr double kAdGains[] = {1.0, 2.0, 4.0, 8.0};
constexpr double kUnityGain[] = {1.0};
constexpr double kNoFilter[] = {0.0};
constexpr double kResolution8[] = {8.0};
constexpr double kResolution12[] = {12.0};
constexpr double kResolution16[] = {16.0};

constexpr RangePair kBipolar10Pairs[] = {{-10.0, 10.0}};
constexpr RangePair kByteCodePairs[] = {{0.0, 255.0}};
constexpr auto kBipolar10Arrays = SplitRanges(kBipolar10Pairs);
constexpr auto kByteCodeArrays = SplitRanges(kByteCodePairs);
constexpr RangeTable kBipolar10 = CellsOf(kBipolar10Arrays);
constexpr RangeTable kByteCode = CellsOf(kByteCodeArrays);

constexpr ClockLimits kAnalogClock{500000.0, 0.75, 250000.0, 0.75, 1.0, 1.0, 18000000.0};
constexpr ClockLimits kDigitalClock{0.0, 0.0, 0.0, 0.0, 1.0, 1.0, 0.0};
constexpr ClockLimits kCounterClock{9000000.0, 0.00419, 0.0, 0.0, 2147483647.0, 2.0, 18000000.0};
constexpr ClockLimits kNoClock{};

// Capability tables.
constexpr CapabilityValue kAd16Values[] = {
    {HXSSC_NUMSECHANNELS, 16},  {HXSSC_NUMDICHANNELS, 8},    {HXSSC_LISTSIZE, 1024},
    {HXSSC_NUMFILTERS, 1},      {HXSSC_NUMGAINS, 4},         {HXSSC_NUMRANGES, 1},
    {HXSSC_NUMCHANNELS, 27},    {HXSSC_NUMEXTRATRIGGERS, 1}, {HXSSC_NUMRESOLUTIONS, 1},
    {HXSSC_MAXSYNCDIOVALUE, 1}, {HXSSC_MAXMULTISCAN, 256},   {HXSSC_EXTRACHANNEL, 16}};
constexpr std::uint32_t kAd16Features[] = {
    HXSSC_CHANTYPE_SINGLEENDED,
    HXSSC_CHANTYPE_DIFFERENTIAL,
    HXSSC_ENCODING_BINARY,
    HXSSC_TRIGGER_SOFTWARE,
    HXSSC_TRIGGER_EXTERNAL,
    HXSSC_TRIGGER_THRESHOLDPOS,
    HXSSC_TRIGGEREDSCAN,
    HXSSC_CLOCK_INTERNAL,
    HXSSC_CLOCK_EXTERNAL,
    EntryCode(26),
    HXSSC_GAINLIST,
    EntryCode(33),
    HXSSC_DATAFLOW_CONTINUOUS,
    HXSSC_DATAFLOW_SINGLEVALUE,
    HXSSC_WRAP_MULTIPLE,
    HXSSC_WRAP_SINGLE,
    HXSSC_NOTIFICATIONS,
    HXSSC_INHIBITLIST,
    HXSSC_SYNCDIO,
    HXSSC_SIMULTANEOUSSTART,
    HXSSC_FLUSHINPROCESS,
    EntryCode(55),
    EntryCode(56),
    EntryCode(57),
    EntryCode(58),
    HXSSC_RETRIGGER_INTERNAL,
    HXSSC_RETRIGGER_SCANPERTRIGGER,
    EntryCode(79),
    HXSSC_RETRIGGER_EXTRA,
};
constexpr CapabilityTable kAd16Caps = Capabilities(kAd16Values, kAd16Features);

constexpr CapabilityValue kAd32Values[] = {{HXSSC_NUMSECHANNELS, 32},
                                           {HXSSC_NUMDICHANNELS, 16},
                                           {HXSSC_NUMCHANNELS, 43},
                                           {EntryCode(93), 16}};
constexpr CapabilityTable kAd32Caps = Capabilities(kAd32Values, {}, kAd16Caps);

// Boards without analog inputs: no channels and no lists, no continuous transfers.
constexpr std::uint32_t kAdAbsentMissing[] = {
    HXSSC_NUMSECHANNELS,  HXSSC_NUMDICHANNELS,    HXSSC_LISTSIZE,       HXSSC_NUMFILTERS,
    HXSSC_NUMGAINS,       HXSSC_NUMRANGES,        HXSSC_NUMDMACHANNELS, HXSSC_NUMCHANNELS,
    HXSSC_NUMEXTRACLOCKS, HXSSC_NUMEXTRATRIGGERS, HXSSC_NUMRESOLUTIONS, HXSSC_DATAFLOW_CONTINUOUS,
    HXSSC_NOTIFICATIONS};
constexpr CapabilityTable kAdAbsentCaps = Without(kAd16Caps, kAdAbsentMissing);

constexpr CapabilityValue kDaAnalogValues[] = {
    {HXSSC_NUMDICHANNELS, 4},    {HXSSC_LISTSIZE, 5},       {HXSSC_NUMFILTERS, 1},
    {HXSSC_NUMGAINS, 1},         {HXSSC_NUMRANGES, 1},      {HXSSC_NUMCHANNELS, 5},
    {HXSSC_NUMEXTRATRIGGERS, 1}, {HXSSC_NUMRESOLUTIONS, 1}, {HXSSC_MAXSYNCDIOVALUE, 65535},
    {EntryCode(86), 128}};
constexpr std::uint32_t kDaAnalogFeatures[] = {
    HXSSC_CHANTYPE_DIFFERENTIAL,
    HXSSC_ENCODING_BINARY,
    HXSSC_TRIGGER_SOFTWARE,
    HXSSC_TRIGGER_EXTERNAL,
    HXSSC_CLOCK_INTERNAL,
    HXSSC_CLOCK_EXTERNAL,
    EntryCode(26),
    EntryCode(33),
    HXSSC_DATAFLOW_CONTINUOUS,
    HXSSC_DATAFLOW_SINGLEVALUE,
    HXSSC_WRAP_MULTIPLE,
    HXSSC_WRAP_SINGLE,
    HXSSC_NOTIFICATIONS,
    HXSSC_SIMULTANEOUSSTART,
    EntryCode(56),
    EntryCode(57),
    EntryCode(58),
    EntryCode(79),
    EntryCode(85),
    EntryCode(87),
};
constexpr CapabilityTable kDaAnalogCaps = Capabilities(kDaAnalogValues, kDaAnalogFeatures);

constexpr std::uint32_t kDaByteFeatures[] = {HXSSC_NUMDICHANNELS,       HXSSC_LISTSIZE,
                                             HXSSC_NUMFILTERS,          HXSSC_NUMGAINS,
                                             HXSSC_NUMRANGES,           HXSSC_NUMCHANNELS,
                                             HXSSC_NUMRESOLUTIONS,      HXSSC_CHANTYPE_DIFFERENTIAL,
                                             HXSSC_ENCODING_BINARY,     HXSSC_TRIGGER_SOFTWARE,
                                             HXSSC_DATAFLOW_SINGLEVALUE};
constexpr CapabilityTable kDaByteCaps = Capabilities({}, kDaByteFeatures);

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
    HXSSC_CLOCK_INTERNAL,
    EntryCode(33),
    HXSSC_DATAFLOW_CONTINUOUS,
    HXSSC_DATAFLOW_SINGLEVALUE,
};
constexpr CapabilityTable kDinCaps = Capabilities({}, kDinFeatures);

constexpr std::uint32_t kDoutExtraFeatures[] = {EntryCode(11), HXSSC_NOTIFICATIONS};
constexpr CapabilityTable kDoutCaps = Capabilities({}, kDoutExtraFeatures, kDinCaps);

constexpr CapabilityValue kCounterValues[] = {{HXSSC_CTMODE_EDGETOEDGE, 15}};
constexpr std::uint32_t kCounterFeatures[] = {
    HXSSC_NUMDICHANNELS,
    HXSSC_NUMCHANNELS,
    HXSSC_NUMRESOLUTIONS,
    EntryCode(11),
    HXSSC_CHANTYPE_DIFFERENTIAL,
    HXSSC_ENCODING_BINARY,
    HXSSC_TRIGGER_SOFTWARE,
    HXSSC_TRIGGER_EXTERNAL,
    HXSSC_CLOCK_INTERNAL,
    HXSSC_CLOCK_EXTERNAL,
    EntryCode(33),
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
    HXSSC_CTMODE_UPDOWN,
};
constexpr CapabilityTable kCounterCaps = Capabilities(kCounterValues, kCounterFeatures);

// Per-subsystem table sets.
constexpr SubsystemTables kAd12x16{.gains = kAdGains,
                                   .ranges = &kBipolar10,
                                   .filters = kNoFilter,
                                   .resolutions = kResolution12,
                                   .capabilities = &kAd16Caps,
                                   .clockLimits = &kAnalogClock};
constexpr SubsystemTables kAd16x16{.gains = kAdGains,
                                   .ranges = &kBipolar10,
                                   .filters = kNoFilter,
                                   .resolutions = kResolution16,
                                   .capabilities = &kAd16Caps,
                                   .clockLimits = &kAnalogClock};
constexpr SubsystemTables kAd12x32{.gains = kAdGains,
                                   .ranges = &kBipolar10,
                                   .filters = kNoFilter,
                                   .resolutions = kResolution12,
                                   .capabilities = &kAd32Caps,
                                   .clockLimits = &kAnalogClock};
constexpr SubsystemTables kAd16x32{.gains = kAdGains,
                                   .ranges = &kBipolar10,
                                   .filters = kNoFilter,
                                   .resolutions = kResolution16,
                                   .capabilities = &kAd32Caps,
                                   .clockLimits = &kAnalogClock};
constexpr SubsystemTables kAdAbsent{.gains = kAdGains,
                                    .ranges = &kBipolar10,
                                    .filters = kNoFilter,
                                    .resolutions = kResolution12,
                                    .capabilities = &kAdAbsentCaps,
                                    .clockLimits = &kNoClock};
constexpr SubsystemTables kDaAnalog12{.gains = kUnityGain,
                                      .ranges = &kBipolar10,
                                      .filters = kNoFilter,
                                      .resolutions = kResolution12,
                                      .capabilities = &kDaAnalogCaps,
                                      .clockLimits = &kAnalogClock};
constexpr SubsystemTables kDaAnalog16{.gains = kUnityGain,
                                      .ranges = &kBipolar10,
                                      .filters = kNoFilter,
                                      .resolutions = kResolution16,
                                      .capabilities = &kDaAnalogCaps,
                                      .clockLimits = &kAnalogClock};
constexpr SubsystemTables kDaByte{.gains = kUnityGain,
                                  .ranges = &kByteCode,
                                  .filters = kNoFilter,
                                  .resolutions = kResolution8,
                                  .capabilities = &kDaByteCaps,
                                  .clockLimits = &kNoClock};
constexpr SubsystemTables kDin{.gains = kUnityGain,
                               .filters = kNoFilter,
                               .resolutions = kResolution16,
                               .capabilities = &kDinCaps,
                               .clockLimits = &kDigitalClock};
constexpr SubsystemTables kDout{.gains = kUnityGain,
                                .filters = kNoFilter,
                                .resolutions = kResolution16,
                                .capabilities = &kDoutCaps,
                                .clockLimits = &kDigitalClock};
constexpr SubsystemTables kCounter{.gains = kUnityGain,
                                   .filters = kNoFilter,
                                   .resolutions = kResolution16,
                                   .capabilities = &kCounterCaps,
                                   .clockLimits = &kCounterClock};

// Board types by what decides their tables.
constexpr std::uint32_t kAd12Bit16Inputs[] = {0, 2};
constexpr std::uint32_t kAd16Bit16Inputs[] = {4, 6};
constexpr std::uint32_t kAd12Bit32Inputs[] = {8, 10};
constexpr std::uint32_t kAd16Bit32Inputs[] = {12, 14};
constexpr std::uint32_t kNoAnalogInputs12[] = {1, 5};
// Type 9 is a 12-bit variant (bit 2 clear), so its D/A gets 12 bits like types 1 and 8.
constexpr std::uint32_t kDa12Bit[] = {0, 1, 8, 9};
constexpr std::uint32_t kNoAnalogOutputs[] = {2, 6, 10, 14};

constexpr PersonalityRow kPersonalities[] = {
    {{HXSS_AD, kAnyElement, kAd12Bit16Inputs}, &kAd12x16},
    {{HXSS_AD, kAnyElement, kAd16Bit16Inputs}, &kAd16x16},
    {{HXSS_AD, kAnyElement, kAd12Bit32Inputs}, &kAd12x32},
    {{HXSS_AD, kAnyElement, kAd16Bit32Inputs}, &kAd16x32},
    {{HXSS_AD, kAnyElement, kNoAnalogInputs12}, &kAdAbsent},
    {{HXSS_AD, kAnyElement, {}}, &kAd16x16},
    {{HXSS_DA, 0, kNoAnalogOutputs}, &kDaByte},
    {{HXSS_DA, 0, kDa12Bit}, &kDaAnalog12},
    {{HXSS_DA, 0, {}}, &kDaAnalog16},
    {{HXSS_DA, kAnyElement, {}}, &kDaByte},
    {{HXSS_DIN, kAnyElement, {}}, &kDin},
    {{HXSS_DOUT, kAnyElement, {}}, &kDout},
    {{HXSS_CT, kAnyElement, {}}, &kCounter},
};

// Extra channels of the A/D channel list (16-26): the DIN port, then the low and high halves of
// each counter/timer. Extra D/A channel 4 is the DOUT port.
constexpr ChannelMapEntry kAdExtraChannels[] = {
    {HXSS_DIN, 0, kChannelMapWholeValue, 16}, {HXSS_CT, 0, kChannelMapLowHalf, 17},
    {HXSS_CT, 0, kChannelMapHighHalf, 18},    {HXSS_CT, 1, kChannelMapLowHalf, 19},
    {HXSS_CT, 1, kChannelMapHighHalf, 20},    {HXSS_CT, 2, kChannelMapLowHalf, 21},
    {HXSS_CT, 2, kChannelMapHighHalf, 22},    {HXSS_CT, 3, kChannelMapLowHalf, 23},
    {HXSS_CT, 3, kChannelMapHighHalf, 24},    {HXSS_CT, 4, kChannelMapLowHalf, 25},
    {HXSS_CT, 4, kChannelMapHighHalf, 26},
};
constexpr ChannelMapEntry kDaExtraChannels[] = {{HXSS_DOUT, 0, kChannelMapWholeValue, 4}};

constexpr ChannelMap kAdMap{11, kAdExtraChannels};
constexpr ChannelMap kDaMap{1, kDaExtraChannels};

constexpr ChannelMapRow kChannelMaps[] = {
    {{HXSS_AD, kAnyElement, {}}, &kAdMap},
    {{HXSS_DA, 0, kNoAnalogOutputs}, nullptr},
    {{HXSS_DA, 0, {}}, &kDaMap},
};

static_assert(ListsCoverCounts(kPersonalities));

constexpr FamilyTables kFamily{kModels, kPersonalities, kChannelMaps};

}  // namespace

const boardext::FamilyTables& Family() {
    return kFamily;
}

}  // namespace mq5120
