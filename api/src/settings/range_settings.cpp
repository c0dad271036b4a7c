// The input range of the subsystem and of single channels. A range is accepted only as a pair
// that stands at one index of the range tables; the subsystem range is kept as two 32.32 values.
//
// Per-channel ranges live in the block's free bytes at offsets 112-241: byte c holds channel c's
// range as its table index + 1, or 0 when the channel follows the subsystem range. The index
// keeps every channel's choice in one byte without overlapping any other field; a driver reads
// the pair from the same range table. The extension hands out a single table (the record's
// first cell), which serves every channel: the cells behind it are not range tables.
#include <cstddef>

#include "core/capabilities.h"
#include "core/message_codes.h"
#include "core/message_layouts.h"
#include "hxda/api_status.h"
#include "settings/setting_rules.h"
#include "settings/setting_topics.h"

namespace hxda {
namespace {

constexpr std::uint32_t kChannelRangeSlots = sizeof(ConfigurationBlock::unused112);
static_assert(offsetof(ConfigurationBlock, unused112) == 112 && kChannelRangeSlots == 130);

struct RangeTable {
    const double* minima = nullptr;
    const double* maxima = nullptr;
    std::uint32_t count = 0;

    bool present() const { return minima && maxima; }
    // The index of the pair (minimum, maximum), or count when no index holds both.
    std::uint32_t find(double minimum, double maximum) const {
        for (std::uint32_t i = 0; i < count; ++i)
            if (minima[i] == minimum && maxima[i] == maximum)
                return i;
        return count;
    }
};

RangeTable rangeTable(const PersonalityRecord& p) {
    RangeTable table;
    table.minima = p.rangeMinima ? p.rangeMinima[0] : nullptr;
    table.maxima = p.rangeMaxima ? p.rangeMaxima[0] : nullptr;
    table.count = capability(p, HXSSC_NUMRANGES);
    return table;
}

bool samePair(FixedPoint a, FixedPoint b) {
    return a.integer == b.integer && a.fraction == b.fraction;
}

void answerPair(MessageRecord& message, double minimum, double maximum) {
    message.set(RangeWords::kMinimum, minimum);
    message.set(RangeWords::kMaximum, maximum);
}

// The state becomes HXSTATE_NEEDSCONFIG even when the pair is the stored one.
ApiStatus setRange(SubsystemRecord& subsystem, const MessageRecord& message) {
    ConfigurationBlock& block = subsystem.block();
    const double minimum = message.get(RangeWords::kMinimum);
    const double maximum = message.get(RangeWords::kMaximum);
    const RangeTable table = rangeTable(subsystem.personality);
    if (table.count == 0) {
        const bool stored = samePair(block.rangeMinimum, encodeFixedPoint(minimum)) &&
                            samePair(block.rangeMaximum, encodeFixedPoint(maximum));
        return stored ? ApiStatus(HXNOERROR) : ApiStatus(HXNOTSUPPORTED);
    }
    if (!table.present())
        return HXNORANGELIST;
    if (table.find(minimum, maximum) == table.count)
        return HXINVALIDRANGE;
    if (isRunning(subsystem))
        return HXSUBSYSRUNNING;
    block.rangeMinimum = encodeFixedPoint(minimum);
    block.rangeMaximum = encodeFixedPoint(maximum);
    needsConfiguration(subsystem);
    return HXNOERROR;
}

ApiStatus getRange(SubsystemRecord& subsystem, MessageRecord& message) {
    const RangeTable table = rangeTable(subsystem.personality);
    if (table.count == 0)
        return HXNOTSUPPORTED;
    if (!table.present())
        return HXNORANGELIST;
    answerPair(message, decodeFixedPoint(subsystem.block().rangeMinimum),
               decodeFixedPoint(subsystem.block().rangeMaximum));
    return HXNOERROR;
}

// HXNOTSUPPORTED without per-channel ranges, HXINVALIDCHANNEL for a channel the subsystem (or the
// block) has no place for, HXNORANGELIST without range tables.
ApiStatus checkChannel(const SubsystemRecord& subsystem, std::uint32_t channel) {
    const PersonalityRecord& p = subsystem.personality;
    if (capability(p, HXSSC_NUMRANGES) == 0 || capability(p, HXSSC_CHANNELRANGE) == 0)
        return HXNOTSUPPORTED;
    if (channel >= capability(p, HXSSC_NUMCHANNELS) || channel >= kChannelRangeSlots)
        return HXINVALIDCHANNEL;
    return rangeTable(p).present() ? ApiStatus(HXNOERROR) : ApiStatus(HXNORANGELIST);
}

ApiStatus setChannelRange(SubsystemRecord& subsystem, const MessageRecord& message) {
    const std::uint32_t channel = message.get(RangeWords::kEntry);
    if (const ApiStatus status = checkChannel(subsystem, channel))
        return status;
    const RangeTable table = rangeTable(subsystem.personality);
    const std::uint32_t index =
        table.find(message.get(RangeWords::kMinimum), message.get(RangeWords::kMaximum));
    if (index == table.count || index >= 0xFF)  // the slot holds index + 1 in one byte
        return HXINVALIDRANGE;
    return storeSetting(subsystem, subsystem.block().unused112[channel], index + 1);
}

ApiStatus getChannelRange(SubsystemRecord& subsystem, MessageRecord& message) {
    const std::uint32_t channel = message.get(RangeWords::kEntry);
    if (const ApiStatus status = checkChannel(subsystem, channel))
        return status;
    const RangeTable table = rangeTable(subsystem.personality);
    const std::uint32_t slot = subsystem.block().unused112[channel];
    if (slot == 0 || slot > table.count)
        return getRange(subsystem, message);
    answerPair(message, table.minima[slot - 1], table.maxima[slot - 1]);
    return HXNOERROR;
}

}  // namespace

ApiStatus rangeSetting(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message) {
    switch (code) {
        case HXDRV_SETRANGE:
            return setRange(subsystem, message);
        case HXDRV_GETRANGE:
            return getRange(subsystem, message);
        case HXDRV_SETCHANNELRANGE:
            return setChannelRange(subsystem, message);
        case HXDRV_GETCHANNELRANGE:
            return getChannelRange(subsystem, message);
        default:
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
