#include "settings/settings_half.h"

#include "core/capabilities.h"
#include "core/message_codes.h"
#include "settings/buffer_queues.h"
#include "win32/messages.h"

namespace hxda {
namespace {

// Rules 3 and 4 of every Set: refused while running; a changed value needs a new configuration.
template <typename Field>
std::uint32_t store(SubsystemRecord& subsystem, Field& field, std::uint32_t value) {
    if (subsystem.block().state > HXSTATE_READY)
        return HXSUBSYSRUNNING;
    if (field == static_cast<Field>(value))
        return HXNOERROR;
    field = static_cast<Field>(value);
    subsystem.block().state = HXSTATE_NEEDSCONFIG;
    return HXNOERROR;
}

// Rule 2: without the capability only the stored value is accepted.
template <typename Field>
std::uint32_t storeIfCapable(SubsystemRecord& subsystem, bool capable, Field& field,
                             std::uint32_t value) {
    if (!capable)
        return field == static_cast<Field>(value) ? HXNOERROR : HXNOTSUPPORTED;
    return store(subsystem, field, value);
}

std::uint32_t setChannelListSize(SubsystemRecord& subsystem, std::uint32_t size) {
    const std::uint32_t capacity = capability(subsystem.personality, HXSSC_LISTSIZE);
    if (capacity != 0 && (size < 1 || size > capacity))
        return HXINVALIDLISTSIZE;
    return storeIfCapable(subsystem, capacity != 0, subsystem.block().channelListSize, size);
}

std::uint32_t setChannelListEntry(SubsystemRecord& subsystem, MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    const std::uint32_t capacity = capability(p, HXSSC_LISTSIZE);
    if (capacity == 0)
        return HXNOTSUPPORTED;
    if (message.w[0] >= capacity)
        return HXINVALIDLISTENTRY;
    if (message.w[1] >= capability(p, HXSSC_NUMCHANNELS))
        return HXINVALIDCHANNEL;
    return store(subsystem, listEntry(&subsystem.block(), message.w[0])->channel, message.w[1]);
}

std::uint32_t getChannelListEntry(SubsystemRecord& subsystem, MessageRecord& message) {
    const std::uint32_t capacity = capability(subsystem.personality, HXSSC_LISTSIZE);
    if (capacity == 0)
        return HXNOTSUPPORTED;
    if (message.w[0] >= capacity)
        return HXINVALIDLISTENTRY;
    message.w[1] = listEntry(&subsystem.block(), message.w[0])->channel;
    return HXNOERROR;
}

bool hasAnyDataFlow(const PersonalityRecord& p) {
    return capability(p, HXSSC_DATAFLOW_CONTINUOUS) != 0 ||
           capability(p, HXSSC_DATAFLOW_SINGLEVALUE) != 0 ||
           capability(p, HXSSC_DATAFLOW_CONTPRETRIG) != 0 ||
           capability(p, HXSSC_DATAFLOW_CONTABOUTTRIG) != 0;
}

std::uint32_t setDataFlow(SubsystemRecord& subsystem, std::uint32_t flow) {
    const PersonalityRecord& p = subsystem.personality;
    if (flow < HXDF_CONTINUOUS || flow > HXDF_CONTABOUTTRIG)
        return HXINVALIDDATAFLOW;
    bool capable = false;
    switch (flow) {
        case HXDF_CONTINUOUS:
            capable = capability(p, HXSSC_DATAFLOW_CONTINUOUS) != 0;
            break;
        case HXDF_SINGLEVALUE:
            capable = capability(p, HXSSC_DATAFLOW_SINGLEVALUE) != 0;
            break;
        case HXDF_CONTPRETRIG:
            capable = capability(p, HXSSC_DATAFLOW_CONTPRETRIG) != 0;
            break;
        case HXDF_CONTABOUTTRIG:
            capable = capability(p, HXSSC_DATAFLOW_CONTABOUTTRIG) != 0;
            break;
        default:
            break;
    }
    return storeIfCapable(subsystem, capable, subsystem.block().dataFlow, flow);
}

bool hasStreamingFlow(const PersonalityRecord& p) {
    return capability(p, HXSSC_DATAFLOW_CONTINUOUS) != 0 ||
           capability(p, HXSSC_DATAFLOW_CONTPRETRIG) != 0 ||
           capability(p, HXSSC_DATAFLOW_CONTABOUTTRIG) != 0;
}

std::uint32_t setWrapMode(SubsystemRecord& subsystem, std::uint32_t mode) {
    const PersonalityRecord& p = subsystem.personality;
    if (subsystem.type == HXSS_CT)
        return HXNOTSUPPORTED;
    if (mode < HXWRAP_NONE || mode > HXWRAP_SINGLE)
        return HXINVALIDWRAPMODE;
    if (!hasStreamingFlow(p))
        return HXNOTSUPPORTED;
    const bool capable = mode == HXWRAP_NONE ||
                         (mode == HXWRAP_MULTIPLE && capability(p, HXSSC_WRAP_MULTIPLE) != 0) ||
                         (mode == HXWRAP_SINGLE && capability(p, HXSSC_WRAP_SINGLE) != 0);
    return storeIfCapable(subsystem, capable, subsystem.block().wrapMode, mode);
}

std::uint32_t setWindow(SubsystemRecord& subsystem, MessageRecord& message) {
    if (capability(subsystem.personality, HXSSC_NOTIFICATIONS) == 0)
        return HXNOTSUPPORTED;
    const auto window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(message.w[0]));
    if (window != nullptr && !IsWindow(window))
        return HXINVALIDWINDOWHANDLE;
    if (subsystem.block().state > HXSTATE_READY)
        return HXSUBSYSRUNNING;
    subsystem.window = window;
    subsystem.windowWParam = message.w[1];
    subsystem.windowLParam = static_cast<LPARAM>(static_cast<std::int32_t>(message.w[2]));
    subsystem.block().state = HXSTATE_NEEDSCONFIG;
    return HXNOERROR;
}

std::uint32_t setNotifyProcedure(SubsystemRecord& subsystem, MessageRecord& message) {
    if (capability(subsystem.personality, HXSSC_NOTIFICATIONS) == 0)
        return HXNOTSUPPORTED;
    if (subsystem.block().state > HXSTATE_READY)
        return HXSUBSYSRUNNING;
    subsystem.notifyProcedure = reinterpret_cast<NotifyProc>(message.pointer);
    subsystem.procedureFirstValue = message.w[1];
    subsystem.procedureSecondValue = static_cast<LPARAM>(static_cast<std::int32_t>(message.w[2]));
    subsystem.block().state = HXSTATE_NEEDSCONFIG;
    return HXNOERROR;
}

std::uint32_t answer(MessageRecord& message, std::uint32_t value) {
    message.w[0] = value;
    return HXNOERROR;
}

}  // namespace

std::uint32_t settingsHalf(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    ConfigurationBlock& block = subsystem.block();
    switch (code) {
        case HXDRV_GETSSCAPS:
            return getSubsystemCapability(subsystem, message);
        case HXDRV_SETCHANNELLISTSIZE:
            return setChannelListSize(subsystem, message.w[0]);
        case HXDRV_GETCHANNELLISTSIZE:
            return answer(message, capability(p, HXSSC_LISTSIZE) != 0 ? block.channelListSize : 0);
        case HXDRV_SETCHANNELLISTENTRY:
            return setChannelListEntry(subsystem, message);
        case HXDRV_GETCHANNELLISTENTRY:
            return getChannelListEntry(subsystem, message);
        case HXDRV_SETDATAFLOW:
            return setDataFlow(subsystem, message.w[0]);
        case HXDRV_GETDATAFLOW:
            return hasAnyDataFlow(p) ? answer(message, block.dataFlow) : HXNOTSUPPORTED;
        case HXDRV_SETWRAPMODE:
            return setWrapMode(subsystem, message.w[0]);
        case HXDRV_GETWRAPMODE:
            if (subsystem.type == HXSS_CT || !hasStreamingFlow(p))
                return HXNOTSUPPORTED;
            return answer(message, block.wrapMode);
        case HXDRV_SETWINDOWHANDLE:
            return setWindow(subsystem, message);
        case HXDRV_GETWINDOWHANDLE:
            if (capability(p, HXSSC_NOTIFICATIONS) == 0)
                return HXNOTSUPPORTED;
            return answer(message, static_cast<std::uint32_t>(
                                       reinterpret_cast<std::uintptr_t>(subsystem.window)));
        case HXDRV_SETNOTIFYPROC:
            return setNotifyProcedure(subsystem, message);
        case HXDRV_GETNOTIFYPROC:
            if (capability(p, HXSSC_NOTIFICATIONS) == 0)
                return HXNOTSUPPORTED;
            message.pointer = reinterpret_cast<void*>(subsystem.notifyProcedure);
            return HXNOERROR;
        case HXDRV_PUTBUFFER:
        case HXDRV_GETBUFFER:
        case HXDRV_GETQUEUESIZES:
        case HXDRV_FLUSHBUFFERS:
            return bufferQueueMessage(subsystem, code, message);
        default:
            // The remaining settings are validated and stored by the settings module still to come.
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
