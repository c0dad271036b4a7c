#include "ops/single_values.h"

#include <algorithm>
#include <cmath>

#include "core/capabilities.h"
#include "core/message_layouts.h"
#include "driver/driver_requests.h"
#include "hxda/api_status.h"
#include "hxda/request_codes.h"
#include "ops/subsystem_state.h"

namespace hxda {
namespace {

// Capability entry of the several-values request (code 104) and the two entries that the
// extension tables never reach (read as 0).
constexpr std::uint32_t kAutoRangeEntry = 94;
constexpr std::uint32_t kSingleValuesEntry = 99;

ApiStatus checkState(SubsystemRecord& subsystem) {
    const ConfigurationBlock& block = subsystem.block();
    if (block.dataFlow != HXDF_SINGLEVALUE)
        return HXDATAFLOWMISMATCH;
    if (loadState(subsystem) != HXSTATE_SINGLEVALUE)
        return HXNOTCONFIGURED;
    return HXNOERROR;
}

ApiStatus checkChannel(const SubsystemRecord& subsystem, std::uint32_t channel) {
    const PersonalityRecord& p = subsystem.personality;
    if (channel == capability(p, HXSSC_EXTRACHANNEL))
        return HXNOERROR;
    const std::uint32_t type = subsystem.configuration->block()->channelType;
    if (type == HXCHANTYPE_SINGLEENDED && capability(p, HXSSC_CHANTYPE_SINGLEENDED) != 0 &&
        channel >= capability(p, HXSSC_NUMSECHANNELS))
        return HXINVALIDCHANNEL;
    if (type == HXCHANTYPE_DIFFERENTIAL && capability(p, HXSSC_CHANTYPE_DIFFERENTIAL) != 0 &&
        channel >= capability(p, HXSSC_NUMDICHANNELS))
        return HXINVALIDCHANNEL;
    return HXNOERROR;
}

// The gain table's entry nearest to `gain`, or `gain` itself without a table.
double snapGain(const SubsystemRecord& subsystem, double gain) {
    const std::uint32_t count = capability(subsystem.personality, HXSSC_NUMGAINS);
    if (count == 0 || !subsystem.personality.gains)
        return gain;
    return subsystem.personality.gains[nearestEntry(subsystem.personality.gains, count, gain)];
}

}  // namespace

double codeToVolts(const ConfigurationBlock& block, double gain, std::int32_t code) {
    const double minimum = decodeFixedPoint(block.rangeMinimum);
    const double maximum = decodeFixedPoint(block.rangeMaximum);
    const double span = maximum - minimum;
    if (gain <= 0 || block.resolution == 0 || block.resolution > 32)
        return 0.0;
    if (block.encoding == HXENCODING_TWOSCOMP)
        return ((minimum + maximum) / 2 + code / std::ldexp(1.0, block.resolution - 1) * span / 2) /
               gain;
    return (minimum + code / std::ldexp(1.0, block.resolution) * span) / gain;
}

ApiStatus putSingleValue(SubsystemRecord& subsystem, MessageRecord& message) {
    if (capability(subsystem.personality, HXSSC_DATAFLOW_SINGLEVALUE) == 0)
        return HXNOTSUPPORTED;
    if (const ApiStatus status = checkState(subsystem); status != HXNOERROR)
        return status;
    const std::uint32_t channel = message.get(SingleValueWords::kChannel);
    if (const ApiStatus status = checkChannel(subsystem, channel); status != HXNOERROR)
        return status;
    DriverRequest request = makeRequest();
    request.parameters.singleValue.channel = channel;
    request.parameters.singleValue.value = message.get(SingleValueWords::kValue);
    request.parameters.singleValue.gain =
        encodeFixedPoint(snapGain(subsystem, message.get(SingleValueWords::kGain)));
    return sendSubsystemRequest(subsystem, IOCTL_HXDA_SETSINGLEVALUE, request);
}

ApiStatus getSingleValue(SubsystemRecord& subsystem, MessageRecord& message) {
    const bool autoRange = message.get(SingleValueWords::kAutoRange) != 0;
    if (capability(subsystem.personality, HXSSC_DATAFLOW_SINGLEVALUE) == 0 ||
        (autoRange && capabilityEntry(subsystem.personality, kAutoRangeEntry) == 0))
        return HXNOTSUPPORTED;
    if (const ApiStatus status = checkState(subsystem); status != HXNOERROR)
        return status;
    const std::uint32_t channel = message.get(SingleValueWords::kChannel);
    if (const ApiStatus status = checkChannel(subsystem, channel); status != HXNOERROR)
        return status;
    double gain = snapGain(subsystem, message.get(SingleValueWords::kGain));
    DriverRequest request = makeRequest();
    request.parameters.singleValue.channel = channel;
    request.parameters.singleValue.gain = encodeFixedPoint(gain);
    request.parameters.singleValue.autoRange = autoRange ? 1 : 0;
    const ApiStatus status = sendSubsystemRequest(subsystem, IOCTL_HXDA_GETSINGLEVALUE, request);
    if (status != HXNOERROR)
        return status;
    if (autoRange)
        gain = decodeFixedPoint(request.parameters.singleValue.gain);
    const std::uint32_t value = request.parameters.singleValue.value;
    message.set(SingleValueWords::kValue, value);
    message.set(SingleValueWords::kGain, gain);
    message.set(SingleValueWords::kVolts,
                codeToVolts(subsystem.block(), gain, static_cast<std::int32_t>(value)));
    return HXNOERROR;
}

ApiStatus getSingleValues(SubsystemRecord& subsystem, MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    if (capability(p, HXSSC_SINGLEVALUES) == 0 && capabilityEntry(p, kSingleValuesEntry) == 0)
        return HXNOTSUPPORTED;
    if (const ApiStatus status = checkState(subsystem); status != HXNOERROR)
        return status;
    DriverRequest request = makeRequest();
    request.parameters.singleValues.gain =
        encodeFixedPoint(snapGain(subsystem, message.get(SingleValuesWords::kGain)));
    const ApiStatus status = sendSubsystemRequest(subsystem, IOCTL_HXDA_GETSINGLEVALUES, request);
    if (status != HXNOERROR)
        return status;
    // The reply holds at most 78 values, whatever the channel count says.
    const auto count = std::min<std::uint32_t>(capability(p, HXSSC_NUMCHANNELS),
                                               static_cast<std::uint32_t>(kMaxSingleValues));
    static_assert(kMaxSingleValues <= SingleValuesWords::kMaximumValues);
    message.set(SingleValuesWords::kCount, count);
    std::copy_n(request.parameters.singleValues.values, count,
                message.wordsFrom(SingleValuesWords::kFirstValue));
    return HXNOERROR;
}

}  // namespace hxda
