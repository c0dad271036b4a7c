#include "ops/configuration_defaults.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "core/capabilities.h"
#include "ops/subsystem_state.h"

namespace hxda {
namespace {

double firstRangeEntry(const double* const* table, std::uint32_t count) {
    if (!table || !table[0] || count == 0)
        return 0.0;
    return table[0][0];
}

}  // namespace

std::uint32_t configurationEntries(const PersonalityRecord& personality) {
    const std::uint32_t filters = capability(personality, HXSSC_NUMFILTERS) != 0 &&
                                          capability(personality, HXSSC_FILTERPERCHANNEL) != 0
                                      ? capability(personality, HXSSC_NUMCHANNELS)
                                      : capability(personality, HXSSC_NUMFILTERS);
    return std::max(capability(personality, HXSSC_LISTSIZE), filters);
}

void writeConfigurationDefaults(SubsystemRecord& subsystem) {
    const PersonalityRecord& p = subsystem.personality;
    ConfigurationStorage& storage = *subsystem.configuration;
    ConfigurationBlock& block = *storage.block();
    // The copy thread may still write the state word on its way out of a transfer: it is left out
    // of the clearing and set atomically at the end.
    auto* const bytes = reinterpret_cast<std::byte*>(&block);
    constexpr std::size_t kStateOffset = offsetof(ConfigurationBlock, state);
    constexpr std::size_t kAfterState = kStateOffset + sizeof block.state;
    std::memset(bytes, 0, kStateOffset);
    std::memset(bytes + kAfterState, 0, configurationBlockBytes(storage.entries()) - kAfterState);

    block.subsystemType = subsystem.type;
    block.element = subsystem.element;
    block.dmaInUse = capability(p, HXSSC_NUMDMACHANNELS) != 0 ? 1 : 0;
    block.channelListSize = capability(p, HXSSC_LISTSIZE) != 0 ? 1 : 0;
    block.numberOfChannels = static_cast<std::uint16_t>(capability(p, HXSSC_NUMCHANNELS));
    block.channelType =
        capability(p, HXSSC_NUMDICHANNELS) != 0 ? HXCHANTYPE_DIFFERENTIAL : HXCHANTYPE_SINGLEENDED;
    block.encoding =
        capability(p, HXSSC_ENCODING_TWOSCOMP) != 0 ? HXENCODING_TWOSCOMP : HXENCODING_BINARY;
    const bool haveResolutions = p.resolutions && capability(p, HXSSC_NUMRESOLUTIONS) != 0;
    block.resolution = haveResolutions ? static_cast<std::uint16_t>(p.resolutions[0]) : 0;
    block.wrapMode = HXWRAP_NONE;
    block.dataFlow =
        capability(p, HXSSC_DATAFLOW_CONTINUOUS) != 0 ? HXDF_CONTINUOUS : HXDF_SINGLEVALUE;
    block.clockSource = HXCLK_INTERNAL;
    block.clockFrequencyForm = 0;
    block.baseClock = static_cast<std::uint32_t>(clockLimit(p, HXSSC_BASECLOCK - HXSSC_MAXFREQ));
    block.externalClockDivider =
        static_cast<std::uint32_t>(clockLimit(p, HXSSC_MINDIVIDER - HXSSC_MAXFREQ));
    block.clockFrequencyFloat = 1000.0f;
    block.clockFrequency = encodeFixedPoint(1000.0);
    block.triggerSource = HXTRIG_SOFTWARE;
    block.retriggerMode = HXRETRIGGER_SCANPERTRIGGER;
    block.retriggerFrequencyForm = 0;
    block.pretriggerSource = HXTRIG_SOFTWARE;
    block.multiscanCount = capability(p, HXSSC_MAXMULTISCAN) != 0 ? 1 : 0;
    block.retriggerSource = HXTRIG_SOFTWARE;
    const double minRetrigger = clockLimit(p, HXSSC_MINRETRIGGERFREQ - HXSSC_MAXFREQ);
    block.retriggerFrequencyFloat = static_cast<float>(minRetrigger);
    block.retriggerFrequency = encodeFixedPoint(minRetrigger);
    const std::uint32_t ranges = capability(p, HXSSC_NUMRANGES);
    block.rangeMinimum = encodeFixedPoint(firstRangeEntry(p.rangeMinima, ranges));
    block.rangeMaximum = encodeFixedPoint(firstRangeEntry(p.rangeMaxima, ranges));
    block.quadratureClockPrescale = 1;
    block.quadratureX4Scaling = 0;
    block.quadratureIndexMode = HXQUADINDEX_DISABLED;
    block.gateType = HXGATE_NONE;
    block.pulseType =
        capability(p, HXSSC_PULSE_ACTIVEHIGH) != 0 ? HXPULSE_ACTIVEHIGH : HXPULSE_ACTIVELOW;
    block.pulseWidth = 50;
    block.counterMode = HXCTMODE_COUNTEVENTS;
    block.cascadeMode = HXCASCADE_SINGLE;
    block.measureStartEdge = HXEDGE_GATERISING;
    block.measureStopEdge = HXEDGE_GATEFALLING;
    for (std::uint32_t i = 0; i < storage.entries(); ++i)
        listEntry(&block, i)->gain = encodeFixedPoint(1.0);
    storeState(subsystem, HXSTATE_NEEDSCONFIG);
}

}  // namespace hxda
