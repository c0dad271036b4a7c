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
    bool made = copy->commandEvent_ != nullptr;
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
    shutdown();
    for (EventRequest& request : requests_)
        if (request.event != nullptr)
            CloseHandle(request.event);
    if (commandEvent_ != nullptr)
        CloseHandle(commandEvent_);
}

bool CopyThread::isCurrentThread() const {
    return threadId_.load() == GetCurrentThreadId();
}

void CopyThread::shutdown() {
    if (thread_ == nullptr)
        return;
    if (isCurrentThread()) {
        // The last reference went with the thread's own end of a release: it has ended all its
        // work and only returns from here.
        CloseHandle(thread_);
        thread_ = nullptr;
        timeEndPeriod(1);
        return;
    }
    if (state() > HXSTATE_READY)
        Sleep(100);
    if (subsystem_.device && subsystem_.device->threadStopSleepTimeMSecs != 0)
        Sleep(subsystem_.device->threadStopSleepTimeMSecs);
    enqueue({HXDRV_DEALLOCATE, nullptr, {}, 0, 0});
    // The thread ends once every request it issued has come back; its reads and event requests
    // point into this object and into the caller's buffers, so it is never left running.
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
    timeEndPeriod(1);
}

void CopyThread::retire(std::function<void()> finish) {
    {
        std::lock_guard guard(commandMutex_);
        retired_ = std::move(finish);
    }
    enqueue({HXDRV_DEALLOCATE, nullptr, {}, 0, 0});
}

bool CopyThread::enqueue(Command command) {
    {
        std::lock_guard guard(commandMutex_);
        if (closed_)
            return false;
        commands_.push_back(std::move(command));
    }
    SetEvent(commandEvent_);
    return true;
}

// The caller holds the subsystem's lock: the notification target and the flush target are read
// here, not on the thread.
CopyThread::Command CopyThread::commandFromCaller(std::uint32_t code) const {
    Command command;
    command.code = code;
    command.target = {subsystem_.window,
                      subsystem_.windowWParam,
                      subsystem_.windowLParam,
                      subsystem_.notifyProcedure,
                      subsystem_.procedureFirstValue,
                      subsystem_.procedureSecondValue};
    command.flushTarget = subsystem_.flushTarget;
    command.flushCount = subsystem_.flushCount;
    return command;
}

ApiStatus CopyThread::command(std::uint32_t code) {
    Command command = commandFromCaller(code);
    command.acknowledgement = std::make_shared<Acknowledgement>();
    if (isCurrentThread()) {
        // Inside a notification procedure. A start runs now; the thread's answer to anything else
        // comes only after the procedure has returned, so it is queued to run then.
        if (code == HXDRV_START || code == HXDRV_PRESTART) {
            std::uint32_t result = 0;
            runCommand(command);
            command.acknowledgement->wait(0, &result);
            return ApiStatus::FromCode(result);
        }
        command.acknowledgement = nullptr;
        return enqueue(std::move(command)) ? ApiStatus(HXNOERROR) : ApiStatus(HXGENERALFAILURE);
    }
    const std::shared_ptr<Acknowledgement> answer = command.acknowledgement;
    if (!enqueue(std::move(command)))
        return HXGENERALFAILURE;
    // The subsystem's lock is left while the thread works, so that a notification procedure's
    // calls on this subsystem are served meanwhile; other callers wait for the operation lock.
    LeaveCriticalSection(&subsystem_.lock);
    std::uint32_t result = 0;
    bool answered = answer->wait(CallDeadline::remainingMs(), &result);
    if (!answered && !withdraw(answer))
        answered = answer->wait(0, &result);  // taken meanwhile: it may have just been answered
    EnterCriticalSection(&subsystem_.lock);
    if (subsystem_.released)
        return HXINVALIDSSHANDLE;  // released from the notification procedure meanwhile
    return answered ? ApiStatus::FromCode(result) : ApiStatus(HXNOHWRESPONSE);
}

// A command not answered in time is taken back when the thread has not begun it, so that the
// caller's failure means it did nothing; one the thread has begun (a stop waiting for its reads)
// goes on, and an abort or a release ends it.
bool CopyThread::withdraw(const std::shared_ptr<Acknowledgement>& answer) {
    std::lock_guard guard(commandMutex_);
    for (auto it = commands_.begin(); it != commands_.end(); ++it) {
        if (it->acknowledgement == answer) {
            commands_.erase(it);
            return true;
        }
    }
    return false;
}

ApiStatus CopyThread::post(std::uint32_t code) {
    return enqueue(commandFromCaller(code)) ? ApiStatus(HXNOERROR) : ApiStatus(HXGENERALFAILURE);
}

CopyThread::Acknowledgement::Acknowledgement()
    : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CopyThread::Acknowledgement::~Acknowledgement() {
    if (done_ != nullptr)
        CloseHandle(done_);
}

void CopyThread::Acknowledgement::complete(std::uint32_t result) {
    {
        std::lock_guard guard(mutex_);
        if (completed_)
            return;
        completed_ = true;
        result_ = result;
    }
    SetEvent(done_);
}

bool CopyThread::Acknowledgement::wait(DWORD timeoutMs, std::uint32_t* result) {
    if (WaitForSingleObject(done_, timeoutMs) != WAIT_OBJECT_0)
        return false;
    std::lock_guard guard(mutex_);
    *result = result_;
    return true;
}

DWORD WINAPI CopyThread::threadMain(LPVOID self) {
    auto* copy = static_cast<CopyThread*>(self);
    copy->run();
    std::function<void()> finish;
    {
        std::lock_guard guard(copy->commandMutex_);
        finish = std::move(copy->retired_);
    }
    // A release from a notification procedure: its end runs here, and may free this object.
    if (finish) {
        finish();
        finish = nullptr;
    }
    return 0;
}

void CopyThread::run() {
    threadId_.store(GetCurrentThreadId());
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
    closeCommands();
}

// The thread has ended: whatever still waits is answered (the transfer is over), and later
// commands are refused.
void CopyThread::closeCommands() {
    std::deque<Command> left;
    {
        std::lock_guard guard(commandMutex_);
        closed_ = true;
        left.swap(commands_);
    }
    acknowledge();
    for (const Command& command : left) {
        if (command.acknowledgement)
            command.acknowledgement->complete(HXGENERALFAILURE);
        if (command.code == HXDRV_FLUSHINPROCESS)
            hxDmEndBufferProcess(command.flushTarget, 0);
    }
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
    if (command.acknowledgement) {
        awaiting_.push_back(command.acknowledgement);
        target_ = command.target;
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
            // Reads still in process are aborted whatever the state says (a reset may have
            // written the defaults while the driver held them).
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
