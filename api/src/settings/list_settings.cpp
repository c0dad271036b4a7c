// The channel list and the lists that run beside it: gains, inhibit flags and synchronous digital
// I/O values, one per list entry; also the channel filters, which are accepted and not stored.
#include "core/capabilities.h"
#include "core/message_codes.h"
#include "core/message_layouts.h"
#include "hxda/api_status.h"
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

ApiStatus setListSize(SubsystemRecord& subsystem, std::uint32_t size) {
    const std::uint32_t capacity = listCapacity(subsystem);
    if (capacity != 0 && (size < 1 || size > capacity))
        return HXINVALIDLISTSIZE;
    return storeIfCapable(subsystem, capacity != 0, subsystem.block().channelListSize, size);
}

ApiStatus setChannel(SubsystemRecord& subsystem, const MessageRecord& message) {
    const std::uint32_t capacity = listCapacity(subsystem);
    if (capacity == 0)
        return HXNOTSUPPORTED;
    const std::uint32_t entry = message.get(EntryWords::kEntry);
    const std::uint32_t channel = message.get(EntryWords::kValue);
    if (entry >= capacity)
        return HXINVALIDLISTENTRY;
    if (channel >= capability(subsystem.personality, HXSSC_NUMCHANNELS))
        return HXINVALIDCHANNEL;
    return storeSetting(subsystem, entryOf(subsystem, entry).channel, channel);
}

// The Gets of the per-entry lists: HXNOTSUPPORTED without the list, HXINVALIDLISTENTRY for an
// entry beyond it.
ApiStatus checkEntryForGet(const SubsystemRecord& subsystem, bool listPresent,
                           std::uint32_t entry) {
    if (!listPresent || listCapacity(subsystem) == 0)
        return HXNOTSUPPORTED;
    return entry < listCapacity(subsystem) ? ApiStatus(HXNOERROR) : ApiStatus(HXINVALIDLISTENTRY);
}

// The gain becomes the nearest entry of the gain table (as given without a table) and is kept as
// 32.32. Without a programmable gain list only the stored gain is accepted.
ApiStatus setGain(SubsystemRecord& subsystem, const MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    const std::uint32_t entry = message.get(EntryDoubleWords::kEntry);
    if (entry >= listCapacity(subsystem))
        return HXINVALIDLISTENTRY;
    double gain = message.get(EntryDoubleWords::kValue);
    const std::uint32_t gains = capability(p, HXSSC_NUMGAINS);
    if (gains != 0 && p.gains)
        gain = p.gains[nearestEntry(p.gains, gains, gain)];
    const FixedPoint wanted = encodeFixedPoint(gain);
    FixedPoint& stored = entryOf(subsystem, entry).gain;
    const bool same = stored.integer == wanted.integer && stored.fraction == wanted.fraction;
    if (capability(p, HXSSC_GAINLIST) == 0)
        return same ? ApiStatus(HXNOERROR) : ApiStatus(HXNOTSUPPORTED);
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

ApiStatus setInhibit(SubsystemRecord& subsystem, const MessageRecord& message) {
    if (listCapacity(subsystem) == 0 || !hasInhibitList(subsystem.personality))
        return HXNOTSUPPORTED;
    const std::uint32_t entry = message.get(EntryWords::kEntry);
    if (entry >= listCapacity(subsystem))
        return HXINVALIDLISTENTRY;
    return storeSetting(subsystem, entryOf(subsystem, entry).inhibited,
                        message.get(EntryWords::kValue) != 0 ? 1u : 0u);
}

// The value is tested before the entry. It must also fit the entry's 16-bit field.
ApiStatus setDigitalIOValue(SubsystemRecord& subsystem, const MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    if (listCapacity(subsystem) == 0 || !hasDigitalIOList(p))
        return HXNOTSUPPORTED;
    const std::uint32_t entry = message.get(EntryWords::kEntry);
    const std::uint32_t value = message.get(EntryWords::kValue);
    if (value > capability(p, HXSSC_MAXSYNCDIOVALUE) || value > 0xFFFFu)
        return HXINVALIDSYNCDIOVALUE;
    if (entry >= listCapacity(subsystem))
        return HXINVALIDLISTENTRY;
    return storeSetting(subsystem, entryOf(subsystem, entry).synchronousDigitalIOValue, value);
}

}  // namespace

ApiStatus listSetting(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    ConfigurationBlock& block = subsystem.block();
    const std::uint32_t entry = message.get(EntryWords::kEntry);
    static_assert(EntryDoubleWords::kEntry.word == EntryWords::kEntry.word);
    switch (code) {
        case HXDRV_SETCHANNELLISTSIZE:
            return setListSize(subsystem, message.get(SettingWords::kValue));
        case HXDRV_GETCHANNELLISTSIZE:
            return answerWord(message, listCapacity(subsystem) != 0 ? block.channelListSize : 0);
        case HXDRV_SETCHANNELLISTENTRY:
            return setChannel(subsystem, message);
        case HXDRV_GETCHANNELLISTENTRY:
            if (const ApiStatus status = checkEntryForGet(subsystem, true, entry))
                return status;
            message.set(EntryWords::kValue, entryOf(subsystem, entry).channel);
            return HXNOERROR;
        case HXDRV_SETGAINLISTENTRY:
            return setGain(subsystem, message);
        case HXDRV_GETGAINLISTENTRY:
            if (const ApiStatus status = checkEntryForGet(subsystem, true, entry))
                return status;
            message.set(EntryDoubleWords::kValue, decodeFixedPoint(entryOf(subsystem, entry).gain));
            return HXNOERROR;
        case HXDRV_SETCHANNELFILTER:
            return HXNOERROR;
        case HXDRV_GETCHANNELFILTER:
            message.set(EntryDoubleWords::kValue, 0.0);
            return HXNOERROR;
        case HXDRV_SETCHANNELLISTINHIBIT:
            return setInhibit(subsystem, message);
        case HXDRV_GETCHANNELLISTINHIBIT:
            if (const ApiStatus status = checkEntryForGet(subsystem, hasInhibitList(p), entry))
                return status;
            message.set(EntryWords::kValue, entryOf(subsystem, entry).inhibited);
            return HXNOERROR;
        case HXDRV_SETDIGITALIOLISTENTRY:
            return setDigitalIOValue(subsystem, message);
        case HXDRV_GETDIGITALIOLISTENTRY:
            if (const ApiStatus status = checkEntryForGet(subsystem, hasDigitalIOList(p), entry))
                return status;
            message.set(EntryWords::kValue, entryOf(subsystem, entry).synchronousDigitalIOValue);
            return HXNOERROR;
        case HXDRV_SETSYNCHRONOUSDIOUSAGE:
            return storeIfCapable(subsystem, hasDigitalIOList(p), block.synchronousDigitalIOInUse,
                                  message.get(SettingWords::kValue) != 0 ? 1u : 0u);
        case HXDRV_GETSYNCHRONOUSDIOUSAGE:
            return answerWord(message, hasDigitalIOList(p) ? block.synchronousDigitalIOInUse : 0);
        default:
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
