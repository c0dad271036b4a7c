#include "ops/operations.h"

#include <algorithm>

#include "core/capabilities.h"
#include "core/message_codes.h"
#include "core/message_layouts.h"
#include "driver/driver_requests.h"
#include "hxda/api_status.h"
#include "hxda/request_codes.h"
#include "ops/configuration_defaults.h"
#include "ops/single_values.h"
#include "ops/subsystem_state.h"

namespace hxda {
namespace {

bool isStreamingFlow(std::uint32_t flow) {
    return flow == HXDF_CONTINUOUS || flow == HXDF_CONTPRETRIG || flow == HXDF_CONTABOUTTRIG;
}

ApiStatus simpleRequest(SubsystemRecord& subsystem, std::uint32_t code) {
    DriverRequest request = makeRequest();
    request.state = loadState(subsystem);
    return sendSubsystemRequest(subsystem, code, request);
}

// Every list entry must name an existing channel outside the gap between the differential and
// the single-ended channel counts.
ApiStatus checkChannelList(SubsystemRecord& subsystem) {
    const PersonalityRecord& p = subsystem.personality;
    ConfigurationBlock& block = subsystem.block();
    const std::uint32_t singleEnded = capability(p, HXSSC_NUMSECHANNELS);
    const std::uint32_t differential = capability(p, HXSSC_NUMDICHANNELS);
    const std::int64_t last =
        static_cast<std::int64_t>(block.channelType == HXCHANTYPE_DIFFERENTIAL ? differential
                                                                               : singleEnded) -
        1;
    const std::int64_t gapEnd = std::max(singleEnded, differential);
    const std::uint32_t entries =
        std::min<std::uint32_t>(block.channelListSize, subsystem.configuration->entries() + 1);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::int64_t channel = listEntry(&block, i)->channel;
        if (channel >= block.numberOfChannels || (last < channel && channel < gapEnd))
            return HXINVALIDCHANNEL;
    }
    return HXNOERROR;
}

ApiStatus configure(SubsystemRecord& subsystem) {
    ConfigurationBlock& block = subsystem.block();
    const std::int32_t state = loadState(subsystem);
    if (state < HXSTATE_NEEDSCONFIG || state > HXSTATE_READY)
        return HXSUBSYSRUNNING;
    std::int32_t configured = HXSTATE_SINGLEVALUE;
    if (isStreamingFlow(block.dataFlow)) {
        if (const ApiStatus status = checkChannelList(subsystem); status != HXNOERROR)
            return status;
        configured = HXSTATE_READY;
    }
    storeState(subsystem, configured);
    const ApiStatus status = sendConfiguration(subsystem);
    storeState(subsystem, status == HXNOERROR ? configured : HXSTATE_NEEDSCONFIG);
    return status;
}

ApiStatus start(SubsystemRecord& subsystem, bool prestart) {
    ConfigurationBlock& block = subsystem.block();
    if (!isStreamingFlow(block.dataFlow))
        return HXDATAFLOWMISMATCH;
    const std::int32_t state = loadState(subsystem);
    if (state > HXSTATE_READY)
        return HXSUBSYSRUNNING;
    if (state != HXSTATE_READY && state != HXSTATE_SINGLEVALUE)
        return HXNOTCONFIGURED;
    // Only the analog subsystems own a ready list; the others start without buffers.
    if (subsystem.hasBufferLists()) {
        std::uint32_t ready = 0;
        hxDmGetListCount(subsystem.readyList, &ready);
        if (ready == 0)
            return HXNOREADYBUFFERS;
    }
    // The copy thread sets the running (or prestarted) state before its first read can complete,
    // and the ready state again when the transfer ends, which may happen before the driver's
    // start request below returns.
    if (const ApiStatus status =
            commandCopyThread(subsystem, prestart ? HXDRV_PRESTART : HXDRV_START);
        status != HXNOERROR)
        return status;
    const ApiStatus status =
        simpleRequest(subsystem, prestart ? IOCTL_HXDA_PRESTART : IOCTL_HXDA_START);
    if (status != HXNOERROR) {
        // The copy thread's abort collects the reads it queued.
        recoverFromRefusedStart(subsystem);
        storeState(subsystem, HXSTATE_READY);
    }
    return status;
}

ApiStatus simultaneousStart(SubsystemRecord& subsystem) {
    ConfigurationBlock& block = subsystem.block();
    if (!isStreamingFlow(block.dataFlow))
        return HXDATAFLOWMISMATCH;
    const std::int32_t state = loadState(subsystem);
    if (state != HXSTATE_PRESTARTED)
        return state > HXSTATE_READY ? ApiStatus(HXSUBSYSRUNNING) : ApiStatus(HXNOTPRESTARTED);
    const ApiStatus status = simpleRequest(subsystem, IOCTL_HXDA_SIMULSTART);
    if (status == HXNOERROR)
        moveState(subsystem, HXSTATE_PRESTARTED, HXSTATE_RUNNING);
    return status;
}

// Stop ends the transfer after the buffers in process; abort ends it now.
ApiStatus stopOrAbort(SubsystemRecord& subsystem, bool abort) {
    ConfigurationBlock& block = subsystem.block();
    if (capability(subsystem.personality, HXSSC_DATAFLOW_CONTINUOUS) == 0)
        return HXNOTSUPPORTED;
    if (!abort && !isStreamingFlow(block.dataFlow))
        return HXDATAFLOWMISMATCH;
    if (loadState(subsystem) <= HXSTATE_READY)
        return HXSUBSYSNOTRUNNING;
    if (subsystem.copyThread) {
        // The copy thread sends the driver's request and sets the state once it is done. A stop
        // it did not acknowledge in time is still under way: an abort or a release ends it.
        return commandCopyThread(subsystem, abort ? HXDRV_ABORT : HXDRV_STOP);
    }
    const ApiStatus status = simpleRequest(subsystem, abort ? IOCTL_HXDA_ABORT : IOCTL_HXDA_STOP);
    storeState(subsystem, HXSTATE_READY);
    return status;
}

ApiStatus pause(SubsystemRecord& subsystem) {
    ConfigurationBlock& block = subsystem.block();
    if (capability(subsystem.personality, HXSSC_PAUSE) == 0)
        return HXNOTSUPPORTED;
    if (!isStreamingFlow(block.dataFlow))
        return HXDATAFLOWMISMATCH;
    if (loadState(subsystem) != HXSTATE_RUNNING)
        return HXSUBSYSNOTRUNNING;
    const ApiStatus status = simpleRequest(subsystem, IOCTL_HXDA_PAUSE);
    if (status == HXNOERROR)
        moveState(subsystem, HXSTATE_RUNNING, HXSTATE_PAUSED);
    return status;
}

ApiStatus resume(SubsystemRecord& subsystem) {
    ConfigurationBlock& block = subsystem.block();
    if (capability(subsystem.personality, HXSSC_PAUSE) == 0)
        return HXNOTSUPPORTED;
    if (!isStreamingFlow(block.dataFlow))
        return HXDATAFLOWMISMATCH;
    const std::int32_t state = loadState(subsystem);
    if (state == HXSTATE_RUNNING)
        return HXSUBSYSRUNNING;
    if (state != HXSTATE_PAUSED)
        return HXSUBSYSNOTRUNNING;
    const ApiStatus status = simpleRequest(subsystem, IOCTL_HXDA_CONTINUE);
    if (status == HXNOERROR)
        moveState(subsystem, HXSTATE_PAUSED, HXSTATE_RUNNING);
    return status;
}

ApiStatus reset(SubsystemRecord& subsystem) {
    // A transfer the copy thread did not end in time is left running for an abort or a release,
    // rather than reset under reads the driver still holds.
    if (loadState(subsystem) > HXSTATE_READY && subsystem.copyThread) {
        if (const ApiStatus status = commandCopyThread(subsystem, HXDRV_RESET); status != HXNOERROR)
            return status;
    }
    const ApiStatus status = simpleRequest(subsystem, IOCTL_HXDA_RESET);
    if (status == HXNOERROR)
        writeConfigurationDefaults(subsystem);
    return status;
}

ApiStatus flushInProcess(SubsystemRecord& subsystem, MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    ConfigurationBlock& block = subsystem.block();
    if (capability(p, HXSSC_DATAFLOW_CONTINUOUS) == 0 || capability(p, HXSSC_FLUSHINPROCESS) == 0)
        return HXNOTSUPPORTED;
    if (!isStreamingFlow(block.dataFlow))
        return HXDATAFLOWMISMATCH;
    const std::int32_t state = loadState(subsystem);
    if (state <= HXSTATE_READY || state == HXSTATE_PRESTARTED)
        return HXSUBSYSNOTRUNNING;
    if (block.wrapMode != HXWRAP_NONE)
        return HXWRAPMODEMISMATCH;
    // The target receives what the read in process has gathered so far: it must be a buffer in
    // the caller's hands, which goes in process until the copy thread hands it back (a buffer in
    // process already, on a list, or no buffer at all is refused with the buffer manager's status).
    const HBUF target = message.get(FlushWords::kBuffer);
    if (const std::uint32_t status = hxDmSetBufferInProcess(target); status != 0)
        return ApiStatus::FromCode(status);
    hxDmSetValidSamples(target, 0);
    subsystem.flushTarget = target;
    subsystem.flushCount = message.get(FlushWords::kCount);
    const ApiStatus status = postCopyThread(subsystem, HXDRV_FLUSHINPROCESS);
    if (status != HXNOERROR)
        hxDmEndBufferProcess(target, 0);
    return status;
}

ApiStatus readEvents(SubsystemRecord& subsystem, MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    constexpr std::uint32_t kContinuousMeasureEntry = 90;
    const bool quadrature = capability(p, HXSSC_QUADDECODER) != 0;
    const bool counts = capability(p, HXSSC_CTMODE_COUNTEVENTS) != 0 ||
                        capability(p, HXSSC_CTMODE_UPDOWN) != 0 ||
                        capability(p, HXSSC_CTMODE_EDGETOEDGE) != 0 || quadrature ||
                        capabilityEntry(p, kContinuousMeasureEntry) != 0;
    if (subsystem.type != HXSS_CT || !counts)
        return HXNOTSUPPORTED;
    const std::uint32_t mode = subsystem.block().counterMode;
    const bool countingMode = mode == HXCTMODE_COUNTEVENTS || mode == HXCTMODE_UPDOWN ||
                              mode == HXCTMODE_EDGETOEDGE || mode == HXCTMODE_CONTMEASURE;
    if (!countingMode && !quadrature)
        return HXWRONGCOUNTERMODE;
    DriverRequest request = makeRequest();
    const ApiStatus status = sendSubsystemRequest(subsystem, IOCTL_HXDA_READEVENTS, request);
    if (status == HXNOERROR)
        message.set(SettingWords::kValue, request.parameters.eventCount.count);
    return status;
}

}  // namespace

ApiStatus operationsHalf(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message) {
    switch (code) {
        case HXDRV_READEVENTS:
            return readEvents(subsystem, message);
        case HXDRV_SETSINGLEVALUE:
            return putSingleValue(subsystem, message);
        case HXDRV_GETSINGLEVALUE:
            return getSingleValue(subsystem, message);
        case HXDRV_GETSINGLEVALUES:
            return getSingleValues(subsystem, message);
        case HXDRV_CONFIG:
            return configure(subsystem);
        case HXDRV_START:
            return start(subsystem, false);
        case HXDRV_PRESTART:
            return start(subsystem, true);
        case HXDRV_SIMULSTART:
            return simultaneousStart(subsystem);
        case HXDRV_STOP:
            return stopOrAbort(subsystem, false);
        case HXDRV_ABORT:
            return stopOrAbort(subsystem, true);
        case HXDRV_PAUSE:
            return pause(subsystem);
        case HXDRV_CONTINUE:
            return resume(subsystem);
        case HXDRV_RESET:
            return reset(subsystem);
        case HXDRV_FLUSHINPROCESS:
            return flushInProcess(subsystem, message);
        default:
            // No handler: NULL, BURSTMQCONNECT, ALLOCATE, DEALLOCATE, and the device-level register
            // codes, which travel on the board's device instead.
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
