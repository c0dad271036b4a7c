// The MQ5130 is a digital board: twelve input and eight output banks, read and written as 8, 16,
// 24 or 32 bits at a time.
#include "mq5130_tables.h"

#include "hxdacodes.h"

namespace mq5130 {
namespace {

using namespace boardext;

constexpr SubsystemCounts kCounts{{0, 0, 12, 8, 0, 0}};

constexpr ModelRow kModels[] = {
    {0x5130, "MQ5130", &kCounts},
};

constexpr double kUnityGain[] = {1.0};
constexpr double kNoFilter[] = {0.0};
constexpr double kResolutions[] = {8.0, 16.0, 24.0, 32.0};

constexpr ClockLimits kDigitalClock{0.0, 0.0, 0.0, 0.0, 1.0, 1.0, 0.0};

constexpr CapabilityValue kDoutValues[] = {{HXSSC_NUMRESOLUTIONS, 4}};
constexpr std::uint32_t kDoutFeatures[] = {
    HXSSC_NUMDICHANNELS,
    HXSSC_NUMFILTERS,
    HXSSC_NUMGAINS,
    HXSSC_NUMCHANNELS,
    HXSSC_CHANTYPE_DIFFERENTIAL,
    HXSSC_ENCODING_BINARY,
    HXSSC_SWRESOLUTION,
    HXSSC_DATAFLOW_SINGLEVALUE,
};
constexpr CapabilityTable kDoutCaps = Capabilities(kDoutValues, kDoutFeatures);
// Inputs also interrupt on change and stream.
constexpr std::uint32_t kDinExtraFeatures[] = {EntryCode(11), HXSSC_TRIGGER_SOFTWARE,
                                               HXSSC_DATAFLOW_CONTINUOUS, HXSSC_NOTIFICATIONS};
constexpr CapabilityTable kDinCaps = Capabilities({}, kDinExtraFeatures, kDoutCaps);

constexpr SubsystemTables kDin{.gains = kUnityGain,
                               .filters = kNoFilter,
                               .resolutions = kResolutions,
                               .capabilities = &kDinCaps,
                               .clockLimits = &kDigitalClock};
constexpr SubsystemTables kDout{.gains = kUnityGain,
                                .filters = kNoFilter,
                                .resolutions = kResolutions,
                                .capabilities = &kDoutCaps,
                                .clockLimits = &kDigitalClock};

constexpr PersonalityRow kPersonalities[] = {
    {{HXSS_DIN, kAnyElement, {}}, &kDin},
    {{HXSS_DOUT, kAnyElement, {}}, &kDout},
};

static_assert(ListsCoverCounts(kPersonalities));

constexpr FamilyTables kFamily{kModels, kPersonalities, {}};

}  // namespace

const boardext::FamilyTables& Family() {
    return kFamily;
}

}  // namespace mq5130
