// The channel list and the lists that run beside it: gains, inhibit flags and synchronous digital
// I/O values, one per list entry; also the channel filters, which are accepted and not stored.
#include "core/capabilities.h"
#include "core/message_codes.h"
#include "settings/setting_rules.h"
#include "settings/setting_topics.h"

namespace hxda {
namespace {

std::uint32_t listCapacity(const SubsystemRecord& subsystem) {
    return capability(subsystem.personality, HXSSC_LISTSIZE);
}

ChannelListEntry& entryOf(SubsystemRecord& subsystem, std::uint32_t entry) {
    return *listEntry(&subsystem.block(), entry);
}

std::uint32_t setListSize(SubsystemRecord& subsystem, std::uint32_t size) {
    const std::uint32_t capacity = listCapacity(subsystem);
    if (capacity != 0 && (size < 1 || size > capacity))
        return HXINVALIDLISTSIZE;
    return storeIfCapable(subsystem, capacity != 0, subsystem.block().channelListSize, size);
}

std::uint32_t setChannel(SubsystemRecord& subsystem, const MessageRecord& message) {
    const std::uint32_t capacity = listCapacity(subsystem);
    if (capacity == 0)
        return HXNOTSUPPORTED;
    if (message.w[0] >= capacity)
        return HXINVALIDLISTENTRY;
    if (message.w[1] >= capability(subsystem.personality, HXSSC_NUMCHANNELS))
        return HXINVALIDCHANNEL;
    return storeSetting(subsystem, entryOf(subsystem, message.w[0]).channel, message.w[1]);
}

// The Gets of the per-entry lists: 36 without the list, 6 for an entry beyond it.
std::uint32_t checkEntryForGet(const SubsystemRecord& subsystem, bool listPresent,
                               std::uint32_t entry) {
    if (!listPresent || listCapacity(subsystem) == 0)
        return HXNOTSUPPORTED;
    return entry < listCapacity(subsystem) ? HXNOERROR : HXINVALIDLISTENTRY;
}

// The gain becomes the nearest entry of the gain table (as given without a table) and is kept as
// 32.32. Without a programmable gain list only the stored gain is accepted.
std::uint32_t setGain(SubsystemRecord& subsystem, const MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    if (message.w[0] >= listCapacity(subsystem))
        return HXINVALIDLISTENTRY;
    double gain = message.getDouble(2);
    const std::uint32_t gains = capability(p, HXSSC_NUMGAINS);
    if (gains != 0 && p.gains)
        gain = p.gains[nearestEntry(p.gains, gains, gain)];
    const FixedPoint wanted = encodeFixedPoint(gain);
    FixedPoint& stored = entryOf(subsystem, message.w[0]).gain;
    const bool same = stored.integer == wanted.integer && stored.fraction == wanted.fraction;
    if (capability(p, HXSSC_GAINLIST) == 0)
        return same ? HXNOERROR : HXNOTSUPPORTED;
    if (isRunning(subsystem))
        return HXSUBSYSRUNNING;
    if (!same) {
        stored = wanted;
        needsConfiguration(subsystem);
    }
    return HXNOERROR;
}

bool hasInhibitList(const PersonalityRecord& p) {
    return capability(p, HXSSC_INHIBITLIST) != 0;
}

bool hasDigitalIOList(const PersonalityRecord& p) {
    return capability(p, HXSSC_SYNCDIO) != 0;
}

std::uint32_t setInhibit(SubsystemRecord& subsystem, const MessageRecord& message) {
    if (listCapacity(subsystem) == 0 || !hasInhibitList(subsystem.personality))
        return HXNOTSUPPORTED;
    if (message.w[0] >= listCapacity(subsystem))
        return HXINVALIDLISTENTRY;
    return storeSetting(subsystem, entryOf(subsystem, message.w[0]).inhibited,
                        message.w[1] != 0 ? 1u : 0u);
}

// The value is tested before the entry. It must also fit the entry's 16-bit field.
std::uint32_t setDigitalIOValue(SubsystemRecord& subsystem, const MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    if (listCapacity(subsystem) == 0 || !hasDigitalIOList(p))
        return HXNOTSUPPORTED;
    const std::uint32_t value = message.w[1];
    if (value > capability(p, HXSSC_MAXSYNCDIOVALUE) || value > 0xFFFFu)
        return HXINVALIDSYNCDIOVALUE;
    if (message.w[0] >= listCapacity(subsystem))
        return HXINVALIDLISTENTRY;
    return storeSetting(subsystem, entryOf(subsystem, message.w[0]).synchronousDigitalIOValue,
                        value);
}

}  // namespace

std::uint32_t listSetting(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    ConfigurationBlock& block = subsystem.block();
    const std::uint32_t entry = message.w[0];
    switch (code) {
        case HXDRV_SETCHANNELLISTSIZE:
            return setListSize(subsystem, message.w[0]);
        case HXDRV_GETCHANNELLISTSIZE:
            return answerWord(message, listCapacity(subsystem) != 0 ? block.channelListSize : 0);
        case HXDRV_SETCHANNELLISTENTRY:
            return setChannel(subsystem, message);
        case HXDRV_GETCHANNELLISTENTRY:
            if (const std::uint32_t status = checkEntryForGet(subsystem, true, entry))
                return status;
            message.w[1] = entryOf(subsystem, entry).channel;
            return HXNOERROR;
        case HXDRV_SETGAINLISTENTRY:
            return setGain(subsystem, message);
        case HXDRV_GETGAINLISTENTRY:
            if (const std::uint32_t status = checkEntryForGet(subsystem, true, entry))
                return status;
            message.setDouble(2, decodeFixedPoint(entryOf(subsystem, entry).gain));
            return HXNOERROR;
        case HXDRV_SETCHANNELFILTER:
            return HXNOERROR;
        case HXDRV_GETCHANNELFILTER:
            message.setDouble(2, 0.0);
            return HXNOERROR;
        case HXDRV_SETCHANNELLISTINHIBIT:
            return setInhibit(subsystem, message);
        case HXDRV_GETCHANNELLISTINHIBIT:
            if (const std::uint32_t status = checkEntryForGet(subsystem, hasInhibitList(p), entry))
                return status;
            message.w[1] = entryOf(subsystem, entry).inhibited;
            return HXNOERROR;
        case HXDRV_SETDIGITALIOLISTENTRY:
            return setDigitalIOValue(subsystem, message);
        case HXDRV_GETDIGITALIOLISTENTRY:
            if (const std::uint32_t status =
                    checkEntryForGet(subsystem, hasDigitalIOList(p), entry))
                return status;
            message.w[1] = entryOf(subsystem, entry).synchronousDigitalIOValue;
            return HXNOERROR;
        case HXDRV_SETSYNCHRONOUSDIOUSAGE:
            return storeIfCapable(subsystem, hasDigitalIOList(p), block.synchronousDigitalIOInUse,
                                  message.w[0] != 0 ? 1u : 0u);
        case HXDRV_GETSYNCHRONOUSDIOUSAGE:
            return answerWord(message, hasDigitalIOList(p) ? block.synchronousDigitalIOInUse : 0);
        default:
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
