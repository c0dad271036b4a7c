// Exported operations, buffer queues, single values and events.
#include <algorithm>

#include "core/message_codes.h"
#include "exports/message_calls.h"

using namespace hxda;

extern "C" HXSTATUS HXAPI hxDaConfig(HDASS hDass) {
    return sendNothing(hDass, HXDRV_CONFIG);
}
extern "C" HXSTATUS HXAPI hxDaStart(HDASS hDass) {
    return sendNothing(hDass, HXDRV_START);
}
extern "C" HXSTATUS HXAPI hxDaStop(HDASS hDass) {
    return sendNothing(hDass, HXDRV_STOP);
}
extern "C" HXSTATUS HXAPI hxDaAbort(HDASS hDass) {
    return sendNothing(hDass, HXDRV_ABORT);
}
extern "C" HXSTATUS HXAPI hxDaPause(HDASS hDass) {
    return sendNothing(hDass, HXDRV_PAUSE);
}
extern "C" HXSTATUS HXAPI hxDaContinue(HDASS hDass) {
    return sendNothing(hDass, HXDRV_CONTINUE);
}
extern "C" HXSTATUS HXAPI hxDaReset(HDASS hDass) {
    return sendNothing(hDass, HXDRV_RESET);
}

extern "C" HXSTATUS HXAPI hxDaPutBuffer(HDASS hDass, HBUF buffer) {
    return sendWord(hDass, HXDRV_PUTBUFFER, buffer);
}
extern "C" HXSTATUS HXAPI hxDaGetBuffer(HDASS hDass, HBUF* buffer) {
    return receiveWord(hDass, HXDRV_GETBUFFER, buffer);
}
extern "C" HXSTATUS HXAPI hxDaFlushBuffers(HDASS hDass) {
    return sendNothing(hDass, HXDRV_FLUSHBUFFERS);
}
extern "C" HXSTATUS HXAPI hxDaGetQueueSize(HDASS hDass, UINT queue, UINT* count) {
    if (queue != HXQUEUE_READY && queue != HXQUEUE_DONE && queue != HXQUEUE_INPROCESS)
        return HXINVALIDQUEUE;
    return receiveEntryWord(hDass, HXDRV_GETQUEUESIZES, queue, count);
}
extern "C" HXSTATUS HXAPI hxDaFlushFromBufferInprocess(HDASS hDass, HBUF buffer, UINT count) {
    return sendEntryWord(hDass, HXDRV_FLUSHINPROCESS, buffer, count);
}

extern "C" HXSTATUS HXAPI hxDaReadEvents(HDASS hDass, UINT* count) {
    return receiveWord(hDass, HXDRV_READEVENTS, count);
}

extern "C" HXSTATUS HXAPI hxDaPutSingleValue(HDASS hDass, UINT value, UINT channel, double gain) {
    MessageRecord message;
    message.w[0] = channel;
    message.w[1] = value;
    message.setDouble(4, gain);
    return engineCall(hDass, HXDRV_SETSINGLEVALUE, message);
}

extern "C" HXSTATUS HXAPI hxDaGetSingleValue(HDASS hDass, UINT* value, UINT channel, double gain) {
    MessageRecord message;
    message.w[0] = channel;
    message.w[2] = 0;
    message.setDouble(4, gain);
    const std::uint32_t status = engineCall(hDass, HXDRV_GETSINGLEVALUE, message);
    if (status == HXNOERROR && value)
        *value = message.w[1];
    return status;
}

extern "C" HXSTATUS HXAPI hxDaGetSingleValueEx(HDASS hDass, UINT channel, UINT autoRange,
                                               double* gain, UINT* value, double* volts) {
    MessageRecord message;
    message.w[0] = channel;
    message.w[2] = autoRange;
    message.setDouble(4, gain ? *gain : 1.0);
    const std::uint32_t status = engineCall(hDass, HXDRV_GETSINGLEVALUE, message);
    if (status == HXNOERROR) {
        if (value)
            *value = message.w[1];
        if (volts)
            *volts = message.getDouble(6);
        if (gain)
            *gain = message.getDouble(4);
    }
    return status;
}

// The engine answers the number of values in W1 (at most what one reply holds); nothing is
// copied unless the request succeeded.
extern "C" HXSTATUS HXAPI hxDaGetSingleValues(HDASS hDass, UINT* values, double gain) {
    MessageRecord message;
    message.setDouble(0, gain);
    const std::uint32_t status = engineCall(hDass, HXDRV_GETSINGLEVALUES, message);
    if (status == HXNOERROR && values) {
        const std::uint32_t count =
            std::min<std::uint32_t>(message.w[1], MessageRecord::kWords - 2);
        std::copy_n(&message.w[2], count, values);
    }
    return status;
}

// Transfer-connection entries: no board of this library has that interface.
extern "C" HXSTATUS HXAPI hxDaMQConnectBurst(HDASS, UINT, UINT) {
    return HXNOTSUPPORTED;
}
extern "C" HXSTATUS HXAPI hxDaSetMQConnectTransferSize(HDASS, UINT) {
    return HXNOTSUPPORTED;
}
extern "C" HXSTATUS HXAPI hxDaGetMQConnectTransferSize(HDASS, UINT*) {
    return HXNOTSUPPORTED;
}
extern "C" HXSTATUS HXAPI hxDaSetMQConnectTransferCount(HDASS, UINT) {
    return HXNOTSUPPORTED;
}
extern "C" HXSTATUS HXAPI hxDaGetMQConnectTransferCount(HDASS, UINT*) {
    return HXNOTSUPPORTED;
}
