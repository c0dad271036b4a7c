// Exported operations, buffer queues, single values and events.
#include <algorithm>

#include "core/message_codes.h"
#include "exports/message_calls.h"
#include "hxda/api_status.h"

using namespace hxda;

extern "C" HXSTATUS HXAPI hxDaConfig(HDASS hDass) {
    return sendNothing(hDass, HXDRV_CONFIG).code();
}
extern "C" HXSTATUS HXAPI hxDaStart(HDASS hDass) {
    return sendNothing(hDass, HXDRV_START).code();
}
extern "C" HXSTATUS HXAPI hxDaStop(HDASS hDass) {
    return sendNothing(hDass, HXDRV_STOP).code();
}
extern "C" HXSTATUS HXAPI hxDaAbort(HDASS hDass) {
    return sendNothing(hDass, HXDRV_ABORT).code();
}
extern "C" HXSTATUS HXAPI hxDaPause(HDASS hDass) {
    return sendNothing(hDass, HXDRV_PAUSE).code();
}
extern "C" HXSTATUS HXAPI hxDaContinue(HDASS hDass) {
    return sendNothing(hDass, HXDRV_CONTINUE).code();
}
extern "C" HXSTATUS HXAPI hxDaReset(HDASS hDass) {
    return sendNothing(hDass, HXDRV_RESET).code();
}

extern "C" HXSTATUS HXAPI hxDaPutBuffer(HDASS hDass, HBUF buffer) {
    return sendWord(hDass, HXDRV_PUTBUFFER, buffer).code();
}
extern "C" HXSTATUS HXAPI hxDaGetBuffer(HDASS hDass, HBUF* buffer) {
    return receiveWord(hDass, HXDRV_GETBUFFER, buffer).code();
}
extern "C" HXSTATUS HXAPI hxDaFlushBuffers(HDASS hDass) {
    return sendNothing(hDass, HXDRV_FLUSHBUFFERS).code();
}
extern "C" HXSTATUS HXAPI hxDaGetQueueSize(HDASS hDass, UINT queue, UINT* count) {
    if (queue != HXQUEUE_READY && queue != HXQUEUE_DONE && queue != HXQUEUE_INPROCESS)
        return HXINVALIDQUEUE;
    MessageRecord message;
    message.set(QueueSizeWords::kQueue, queue);
    const ApiStatus status = engineCall(hDass, HXDRV_GETQUEUESIZES, message);
    if (status == HXNOERROR && count)
        *count = message.get(QueueSizeWords::kCount);
    return status.code();
}
extern "C" HXSTATUS HXAPI hxDaFlushFromBufferInprocess(HDASS hDass, HBUF buffer, UINT count) {
    MessageRecord message;
    message.set(FlushWords::kBuffer, buffer);
    message.set(FlushWords::kCount, count);
    return engineCall(hDass, HXDRV_FLUSHINPROCESS, message).code();
}

extern "C" HXSTATUS HXAPI hxDaReadEvents(HDASS hDass, UINT* count) {
    return receiveWord(hDass, HXDRV_READEVENTS, count).code();
}

extern "C" HXSTATUS HXAPI hxDaPutSingleValue(HDASS hDass, UINT value, UINT channel, double gain) {
    MessageRecord message;
    message.set(SingleValueWords::kChannel, channel);
    message.set(SingleValueWords::kValue, value);
    message.set(SingleValueWords::kGain, gain);
    return engineCall(hDass, HXDRV_SETSINGLEVALUE, message).code();
}

extern "C" HXSTATUS HXAPI hxDaGetSingleValue(HDASS hDass, UINT* value, UINT channel, double gain) {
    MessageRecord message;
    message.set(SingleValueWords::kChannel, channel);
    message.set(SingleValueWords::kAutoRange, 0);
    message.set(SingleValueWords::kGain, gain);
    const ApiStatus status = engineCall(hDass, HXDRV_GETSINGLEVALUE, message);
    if (status == HXNOERROR && value)
        *value = message.get(SingleValueWords::kValue);
    return status.code();
}

extern "C" HXSTATUS HXAPI hxDaGetSingleValueEx(HDASS hDass, UINT channel, UINT autoRange,
                                               double* gain, UINT* value, double* volts) {
    MessageRecord message;
    message.set(SingleValueWords::kChannel, channel);
    message.set(SingleValueWords::kAutoRange, autoRange);
    message.set(SingleValueWords::kGain, gain ? *gain : 1.0);
    const ApiStatus status = engineCall(hDass, HXDRV_GETSINGLEVALUE, message);
    if (status == HXNOERROR) {
        if (value)
            *value = message.get(SingleValueWords::kValue);
        if (volts)
            *volts = message.get(SingleValueWords::kVolts);
        if (gain)
            *gain = message.get(SingleValueWords::kGain);
    }
    return status.code();
}

// The engine answers the number of values beside them (at most what one record holds); nothing
// is copied unless the request succeeded.
extern "C" HXSTATUS HXAPI hxDaGetSingleValues(HDASS hDass, UINT* values, double gain) {
    MessageRecord message;
    message.set(SingleValuesWords::kGain, gain);
    const ApiStatus status = engineCall(hDass, HXDRV_GETSINGLEVALUES, message);
    if (status == HXNOERROR && values) {
        const std::uint32_t count =
            std::min(message.get(SingleValuesWords::kCount), SingleValuesWords::kMaximumValues);
        std::copy_n(message.wordsFrom(SingleValuesWords::kFirstValue), count, values);
    }
    return status.code();
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
