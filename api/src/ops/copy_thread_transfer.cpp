// Transfers on the copy thread: starting, stopping, the reads and their completions, and handing
// buffers back to the caller.
#include <algorithm>

#include "core/message_codes.h"
#include "driver/driver_requests.h"
#include "driver/file_channel.h"
#include "hxda/request_codes.h"
#include "ops/copy_thread.h"
#include "ops/subsystem_state.h"

namespace hxda {

std::int32_t CopyThread::state() const {
    return loadState(subsystem_);
}

void CopyThread::setState(std::int32_t state) {
    storeState(subsystem_, state);
}

void CopyThread::acknowledge(std::uint32_t result) {
    for (const std::shared_ptr<Acknowledgement>& waiting : awaiting_)
        waiting->complete(result);
    awaiting_.clear();
}

void CopyThread::startTransfer(bool prestart) {
    const ConfigurationBlock& block = subsystem_.block();
    resolution_ = block.resolution;
    dataWidth_ = resolution_ <= 8 ? 1 : resolution_ > 16 ? 4 : 2;
    wrapMode_ = block.wrapMode;
    dataFlow_ = block.dataFlow;
    pretriggerMark_ = dataFlow_ == HXDF_CONTPRETRIG || dataFlow_ == HXDF_CONTABOUTTRIG;
    stopping_ = aborting_ = false;
    // The state shows the transfer before the first read can complete, so that a transfer that
    // ends at once is not taken for a running one afterwards.
    const std::int32_t before = state();
    setState(prestart ? HXSTATE_PRESTARTED : HXSTATE_RUNNING);
    std::uint32_t ready = 0;
    if (subsystem_.readyList != 0)
        hxDmGetListCount(subsystem_.readyList, &ready);
    queueReads();
    std::uint32_t result = HXNOERROR;
    if (ready != 0 && inProcess_.load() == 0) {
        // Every read was refused: the buffers are back in the done list, nothing is running.
        setState(before);
        result = HXGENERALFAILURE;
    }
    acknowledge(result);
}

void CopyThread::stopSubsystem(bool abort) {
    // Reads the driver still holds are ended even when the state no longer shows a transfer (a
    // reset writes the defaults at once), so that none is left with the driver.
    if (state() <= HXSTATE_READY && inProcess_.load() == 0) {
        stopping_ = aborting_ = false;
        acknowledge();
        return;
    }
    if (abort)
        aborting_ = true;
    DriverRequest request = makeRequest();
    request.state = state();
    // The transfer ends whatever the driver answers: its reads come back cancelled or complete.
    static_cast<void>(
        sendSubsystemRequest(subsystem_, abort ? IOCTL_HXDA_ABORT : IOCTL_HXDA_STOP, request));
    if (subsystem_.device && subsystem_.device->abortSleepTimeMSecs != 0)
        Sleep(subsystem_.device->abortSleepTimeMSecs);
    // Counters and digital inputs have no reads; with nothing in process no completion will come
    // to end the transfer, so it ends here.
    if (subsystem_.type == HXSS_CT || subsystem_.type == HXSS_DIN || inProcess_.load() == 0) {
        const bool announce = stopping_ && subsystem_.hasBufferLists();
        finishTransfer();
        if (announce)
            notify(HXWM_QUEUESTOPPED);
    }
}

void CopyThread::queueReads() {
    while (inProcess_.load() < kMaxInProcess) {
        const HBUF buffer = takeForProcess(subsystem_.readyList);
        if (buffer == 0)
            return;
        if (issueRead(buffer) && wrapMode_ == HXWRAP_SINGLE)
            return;
    }
}

HBUF CopyThread::takeForProcess(HLIST list) {
    away_.fetch_add(1);
    HBUF buffer = 0;
    if (list == 0 || hxDmGetBufferForProcess(list, &buffer) != 0 || buffer == 0) {
        away_.fetch_sub(1);
        return 0;
    }
    return buffer;
}

void CopyThread::putBack(HLIST list, HBUF buffer) {
    hxDmPutBufferToList(list, buffer);
    away_.fetch_sub(1);
}

// `buffer` is in process: the buffer manager refuses to free or queue it until it comes back.
bool CopyThread::issueRead(HBUF buffer) {
    OVERLAPPED* overlapped = nullptr;
    void* data = nullptr;
    std::uint32_t bytes = 0;
    inProcess_.fetch_add(1);
    if (hxDmGetOverlapped(buffer, &overlapped) == 0 && hxDmGetBufferPtr(buffer, &data) == 0 &&
        hxDmGetBufferSize(buffer, &bytes) == 0) {
        overlapped->Offset = buffer;
        overlapped->OffsetHigh = 0;
        overlapped->hEvent = this;
        if (ReadFileEx(file_, data, bytes, overlapped, &CopyThread::readCompleted))
            return true;
    }
    // A refused read hands its buffer back like a failed one, so the caller can still reach it.
    inProcess_.fetch_sub(1);
    hxDmEndBufferProcess(buffer, 0);
    if (isInput())
        hxDmSetValidSamples(buffer, 0);
    discharge(buffer, true);
    return false;
}

void WINAPI CopyThread::readCompleted(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) {
    static_cast<CopyThread*>(overlapped->hEvent)->onReadCompleted(error, bytes, overlapped->Offset);
}

void CopyThread::onReadCompleted(DWORD error, DWORD bytes, HBUF buffer) {
    inProcess_.fetch_sub(1);
    hxDmEndBufferProcess(buffer, 0);
    if (error != 0) {
        if (isInput())
            hxDmSetValidSamples(buffer, 0);
        discharge(buffer, true);
        if (inProcess_.load() > 0)
            return;
        if (!aborting_)
            notify(HXWM_QUEUESTOPPED);
        if (!stopping_ && !aborting_)
            finishTransfer();  // nothing left to run: the transfer has ended
        else
            endAfterLastRead();
        return;
    }
    hxDmSetDataWidth(buffer, dataWidth_);
    if (subsystem_.type == HXSS_AD)
        hxDmSetValidSamples(buffer, bytes / dataWidth_);
    if (wrapMode_ == HXWRAP_SINGLE)
        putBack(subsystem_.readyList, buffer);
    else
        discharge(buffer, false);
    // While stopping every buffer is reported; otherwise a single circulating buffer, the last
    // buffer of a reused queue and the buffers of an abort (unless asked for) are not.
    bool message = true;
    if (!stopping_) {
        const bool onAbort = subsystem_.device && subsystem_.device->messageOnAbort != 0;
        if (wrapMode_ == HXWRAP_SINGLE)
            message = false;
        else if (wrapMode_ == HXWRAP_MULTIPLE && inProcess_.load() == 0 && readyListEmpty())
            message = false;
        else if (aborting_ && !onAbort && !pretriggerMark_)
            message = false;
    }
    if (message)
        notify(HXWM_BUFFERDONE);
    if (!stopping_ && !aborting_)
        queueReads();
    endOfQueue();
}

bool CopyThread::readyListEmpty() const {
    std::uint32_t ready = 0;
    hxDmGetListCount(subsystem_.readyList, &ready);
    return ready == 0;
}

void CopyThread::endOfQueue() {
    if (inProcess_.load() > 0)
        return;
    if (stopping_) {
        endAfterLastRead();
        notify(HXWM_QUEUESTOPPED);
        return;
    }
    if (aborting_) {
        endAfterLastRead();
        return;
    }
    switch (wrapMode_) {
        case HXWRAP_NONE:
            // The abort ends the transfer (nothing is in process); the state it leaves is not
            // written again, since a caller may change it as soon as it shows the end.
            if (subsystem_.type != HXSS_DA)
                stopSubsystem(true);
            notify(HXWM_QUEUEDONE);
            break;
        case HXWRAP_MULTIPLE: {
            // The caller takes from the done list too, so it may be empty here.
            const HBUF head = takeForProcess(subsystem_.doneList);
            if (head == 0) {
                finishTransfer();
                notify(HXWM_QUEUEDONE);
            } else if (issueRead(head)) {
                notify(HXWM_BUFFERREUSED);
            } else {
                finishTransfer();
                notify(HXWM_QUEUESTOPPED);
            }
            break;
        }
        default:
            // The one circulating buffer could not be read again.
            finishTransfer();
            notify(HXWM_QUEUESTOPPED);
            break;
    }
}

// The last read of a stopped or aborted transfer has completed. An output transfer ends when the
// device reports its output complete (the state then is 1009, or becomes it later); an aborted
// output does not wait for the device to drain.
void CopyThread::endAfterLastRead() {
    if (subsystem_.type != HXSS_DA || aborting_ || state() == HXSTATE_TRANSFERCOMPLETE)
        finishTransfer();
}

// A reset that wrote the defaults meanwhile keeps its state, even one written between the
// look at the state and the change.
void CopyThread::finishTransfer() {
    for (std::int32_t current = state();
         current > HXSTATE_READY && !moveState(subsystem_, current, HXSTATE_READY);
         current = state()) {
    }
    if (stopping_ || aborting_) {
        stopping_ = aborting_ = false;
        acknowledge();
    }
}

void CopyThread::discharge(HBUF buffer, bool failed) {
    if (resolution_ >= 1 && resolution_ <= 32)
        hxDmSetDataBits(buffer, resolution_);
    hxDmStampBuffer(buffer);
    if (failed)
        held_.push_back(buffer);
    else
        putBack(subsystem_.doneList, buffer);
    if (inProcess_.load() != 0 || held_.empty())
        return;
    hxDmLockList(subsystem_.doneList);
    while (!held_.empty()) {
        putBack(subsystem_.doneList, held_.back());
        held_.pop_back();
    }
    hxDmUnlockList(subsystem_.doneList);
}

// The target was put in process by the caller, so that it cannot be freed while the driver
// writes it; it returns to the caller when nothing was flushed.
void CopyThread::flushInProcess(const Command& command) {
    void* data = nullptr;
    std::uint32_t size = 0;
    if (hxDmGetBufferPtr(command.flushTarget, &data) != 0 || data == nullptr ||
        command.flushCount == 0 || hxDmGetBufferSize(command.flushTarget, &size) != 0) {
        hxDmEndBufferProcess(command.flushTarget, 0);
        return;
    }
    const auto length = static_cast<DWORD>(
        std::min<std::uint64_t>(2ull * command.flushCount, static_cast<std::uint64_t>(size)));
    flushRecord_ = makeRequest();
    std::uint32_t returned = 0;
    std::uint32_t error = 0;
    if (!controlAndWait(file_, IOCTL_HXDA_FLUSHINPROCESS, &flushRecord_, sizeof flushRecord_, data,
                        length, &returned, &error)) {
        hxDmEndBufferProcess(command.flushTarget, 0);
        return;
    }
    away_.fetch_add(1);
    inProcess_.fetch_add(1);
    onReadCompleted(0, returned, command.flushTarget);
}

}  // namespace hxda
