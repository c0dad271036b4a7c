#include "settings/buffer_queues.h"

#include <vector>

#include "core/capabilities.h"
#include "core/message_codes.h"
#include "core/message_layouts.h"
#include "hxda/api_status.h"
#include "ops/subsystem_state.h"

namespace hxda {
namespace {

ApiStatus putBuffer(SubsystemRecord& subsystem, HBUF buffer) {
    if (!subsystem.hasBufferLists())
        return HXNOTSUPPORTED;
    if (subsystem.type == HXSS_DA) {
        std::uint32_t valid = 0;
        if (const ApiStatus status = ApiStatus::FromCode(hxDmGetValidSamples(buffer, &valid)))
            return status;
        if (valid % 2 != 0)
            return ApiStatus::FromCode(HXNOTMULTIPLEOFTWO);  // the buffer manager's int constant
    }
    return ApiStatus::FromCode(hxDmPutBufferToList(subsystem.readyList, buffer));
}

ApiStatus queueSize(SubsystemRecord& subsystem, MessageRecord& message) {
    std::uint32_t count = 0;
    switch (message.get(QueueSizeWords::kQueue)) {
        case HXQUEUE_READY:
            if (subsystem.hasBufferLists())
                hxDmGetListCount(subsystem.readyList, &count);
            break;
        case HXQUEUE_DONE:
            if (subsystem.doneList != 0)
                hxDmGetListCount(subsystem.doneList, &count);
            break;
        case HXQUEUE_INPROCESS:
            count = subsystem.copyThread ? subsystem.copyThread->inProcessCount() : 0;
            break;
        default:
            return HXINVALIDQUEUE;
    }
    message.set(QueueSizeWords::kCount, count);
    return HXNOERROR;
}

// The head of the done list, or 0 when it is empty.
ApiStatus takeDoneBuffer(SubsystemRecord& subsystem, MessageRecord& message) {
    HBUF buffer = 0;
    const ApiStatus status =
        subsystem.doneList != 0
            ? ApiStatus::FromCode(hxDmGetBufferFromList(subsystem.doneList, &buffer))
            : ApiStatus(HXNOERROR);
    message.set(SettingWords::kValue, buffer);
    return status;
}

// The buffer manager appends only at the tail, so the buffer goes back to the head by taking the
// rest of the list out and appending it again behind the buffer. The caller holds the list lock,
// so no other thread sees the list in between; the buffers just taken off a list are on none, so
// the appends succeed.
void putBackAtHead(HLIST list, HBUF buffer) {
    std::vector<HBUF> rest;
    for (;;) {
        HBUF next = 0;
        if (hxDmGetBufferFromList(list, &next) != HXNOERROR || next == 0)
            break;
        rest.push_back(next);
    }
    hxDmPutBufferToList(list, buffer);
    for (const HBUF next : rest)
        hxDmPutBufferToList(list, next);
}

}  // namespace

ApiStatus moveReadyToDone(SubsystemRecord& subsystem) {
    if (!subsystem.hasBufferLists())
        return HXNOERROR;
    hxDmLockList(subsystem.readyList);
    hxDmLockList(subsystem.doneList);
    ApiStatus status = HXNOERROR;
    for (;;) {
        HBUF buffer = 0;
        status = ApiStatus::FromCode(hxDmGetBufferFromList(subsystem.readyList, &buffer));
        if (status != HXNOERROR || buffer == 0)
            break;
        status = ApiStatus::FromCode(hxDmPutBufferToList(subsystem.doneList, buffer));
        if (status != HXNOERROR) {
            putBackAtHead(subsystem.readyList, buffer);
            break;
        }
    }
    hxDmUnlockList(subsystem.doneList);
    hxDmUnlockList(subsystem.readyList);
    return status;
}

ApiStatus bufferQueueMessage(SubsystemRecord& subsystem, std::uint32_t code,
                             MessageRecord& message) {
    if (capability(subsystem.personality, HXSSC_DATAFLOW_CONTINUOUS) == 0)
        return HXNOTSUPPORTED;
    switch (code) {
        case HXDRV_PUTBUFFER:
            return putBuffer(subsystem, message.get(SettingWords::kValue));
        case HXDRV_GETBUFFER:
            return takeDoneBuffer(subsystem, message);
        case HXDRV_GETQUEUESIZES:
            return queueSize(subsystem, message);
        case HXDRV_FLUSHBUFFERS:
            if (loadState(subsystem) >= HXSTATE_RUNNING)
                return HXSUBSYSRUNNING;
            return moveReadyToDone(subsystem);
        default:
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
