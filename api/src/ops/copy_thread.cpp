#include "ops/copy_thread.h"

#include "core/message_codes.h"
#include "driver/file_channel.h"
#include "hxda/api_status.h"
#include "ops/make_copy_thread.h"
#include "win32/mmsystem.h"

namespace hxda {

std::unique_ptr<CopyThreadLink> makeCopyThread(SubsystemRecord& subsystem) {
    auto* file = dynamic_cast<FileDriverChannel*>(subsystem.file.get());
    if (file == nullptr)
        return nullptr;
    return CopyThread::start(subsystem, file->handle());
}

CopyThread::CopyThread(SubsystemRecord& subsystem, HANDLE file)
    : subsystem_(subsystem), file_(file) {}

std::unique_ptr<CopyThread> CopyThread::start(SubsystemRecord& subsystem, HANDLE file) {
    std::unique_ptr<CopyThread> copy(new CopyThread(subsystem, file));
    copy->commandEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    copy->acknowledgeEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool made = copy->commandEvent_ != nullptr && copy->acknowledgeEvent_ != nullptr;
    for (EventRequest& request : copy->requests_) {
        request.event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        made = made && request.event != nullptr;
    }
    if (made)
        copy->thread_ = CreateThread(nullptr, 0, &CopyThread::threadMain, copy.get(), 0, nullptr);
    if (copy->thread_ == nullptr)
        return nullptr;  // the destructor closes what was made
    timeBeginPeriod(1);
    if (subsystem.device && subsystem.device->threadStartSleepTimeMSecs != 0)
        Sleep(subsystem.device->threadStartSleepTimeMSecs);
    return copy;
}

CopyThread::~CopyThread() {
    if (thread_ != nullptr) {
        if (state() > HXSTATE_READY)
            Sleep(100);
        if (subsystem_.device && subsystem_.device->threadStopSleepTimeMSecs != 0)
            Sleep(subsystem_.device->threadStopSleepTimeMSecs);
        enqueue({HXDRV_DEALLOCATE, false, 0, 0});
        // The thread ends once every request it issued has come back; its reads and event
        // requests point into this object and into the caller's buffers, so it is never left
        // running.
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        timeEndPeriod(1);
    }
    for (EventRequest& request : requests_)
        if (request.event != nullptr)
            CloseHandle(request.event);
    if (acknowledgeEvent_ != nullptr)
        CloseHandle(acknowledgeEvent_);
    if (commandEvent_ != nullptr)
        CloseHandle(commandEvent_);
}

void CopyThread::enqueue(const Command& command) {
    {
        std::lock_guard guard(commandMutex_);
        commands_.push_back(command);
    }
    SetEvent(commandEvent_);
}

ApiStatus CopyThread::command(std::uint32_t code) {
    acknowledgeResult_.store(0);
    ResetEvent(acknowledgeEvent_);
    enqueue({code, true, 0, 0});
    WaitForSingleObject(acknowledgeEvent_, kAcknowledgeTimeoutMs);
    return ApiStatus::FromCode(acknowledgeResult_.load());
}

ApiStatus CopyThread::post(std::uint32_t code) {
    // The caller holds the subsystem's lock: the flush target is read here, not on the thread.
    enqueue({code, false, subsystem_.flushTarget, subsystem_.flushCount});
    return HXNOERROR;
}

DWORD WINAPI CopyThread::threadMain(LPVOID self) {
    static_cast<CopyThread*>(self)->run();
    return 0;
}

void CopyThread::run() {
    if (subsystem_.device && subsystem_.device->copyThreadPriority != 0)
        SetThreadPriority(GetCurrentThread(),
                          static_cast<int>(subsystem_.device->copyThreadPriority));
    for (std::size_t i = 0; i < kEventRequests; ++i)
        sendEventRequest(i);
    HANDLE waitSet[kEventRequests + 1];
    for (std::size_t i = 0; i < kEventRequests; ++i)
        waitSet[i] = requests_[i].event;
    waitSet[kEventRequests] = commandEvent_;
    for (;;) {
        const DWORD result =
            WaitForMultipleObjectsEx(kEventRequests + 1, waitSet, FALSE, INFINITE, TRUE);
        // A wait that finds an event or a command returns it before the read completions queued
        // meanwhile: those reads finished first, so they are taken first (an error event's abort
        // must not take a buffer that was done before it).
        if (result <= WAIT_OBJECT_0 + kEventRequests)
            SleepEx(0, TRUE);
        if (result < WAIT_OBJECT_0 + kEventRequests) {
            onEventRequest(result - WAIT_OBJECT_0);
        } else if (result == WAIT_OBJECT_0 + kEventRequests) {
            if (!runCommands())
                break;
        }
        // WAIT_IO_COMPLETION: the read completions ran inside the wait. A failed wait is ignored.
    }
    collectOutstanding();
}

bool CopyThread::runCommands() {
    for (;;) {
        Command next;
        {
            std::lock_guard guard(commandMutex_);
            if (commands_.empty())
                return true;
            next = commands_.front();
            commands_.pop_front();
        }
        runCommand(next);
        if (next.code == HXDRV_DEALLOCATE)
            return false;
    }
}

void CopyThread::runCommand(const Command& command) {
    if (command.synchronous) {
        awaitingAcknowledge_ = true;
        takeNotifyTarget();
    }
    switch (command.code) {
        case HXDRV_START:
        case HXDRV_PRESTART:
            startTransfer(command.code == HXDRV_PRESTART);
            break;
        case HXDRV_STOP:
            stopping_ = true;
            stopSubsystem(false);
            break;
        case HXDRV_RESET:
        case HXDRV_ABORT:
            stopSubsystem(true);
            break;
        case HXDRV_DEALLOCATE:
            stopSubsystem(true);
            CancelIo(file_);
            break;
        case HXDRV_FLUSHINPROCESS:
            flushInProcess(command);
            break;
        default:
            acknowledge();
            break;
    }
}

// Waits, alertably, until every read and event request of the thread has completed, so that no
// completion can reach this object after the thread ends.
void CopyThread::collectOutstanding() {
    for (;;) {
        HANDLE pending[kEventRequests];
        std::size_t indexOf[kEventRequests];
        DWORD count = 0;
        for (std::size_t i = 0; i < kEventRequests; ++i) {
            if (requests_[i].pending) {
                indexOf[count] = i;
                pending[count++] = requests_[i].event;
            }
        }
        if (count == 0 && inProcess_.load() == 0)
            break;
        CancelIo(file_);
        const DWORD result = count != 0 ? WaitForMultipleObjectsEx(count, pending, FALSE, 100, TRUE)
                                        : SleepEx(100, TRUE);
        if (count != 0 && result < WAIT_OBJECT_0 + count)
            requests_[indexOf[result - WAIT_OBJECT_0]].pending = false;
    }
}

}  // namespace hxda
