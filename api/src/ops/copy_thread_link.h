// What the request engine needs of a subsystem's copy thread: synchronous commands (acknowledged),
// posted commands, the count of reads in process, and the thread's end. The copy thread itself
// implements this; a subsystem without continuous transfers has none.
#pragma once

#include <cstdint>
#include <functional>

#include "hxda/api_status.h"

namespace hxda {

struct SubsystemRecord;

class CopyThreadLink {
  public:
    virtual ~CopyThreadLink() = default;

    // Hands `command` (an HXDRV_ code) to the thread and waits for its acknowledgement; returns
    // the acknowledge result, or HXNOHWRESPONSE when none came in time. The caller holds the
    // subsystem's lock; the copy thread's own implementation leaves it while it waits.
    virtual ApiStatus command(std::uint32_t command) = 0;
    // Hands `command` to the thread without waiting.
    virtual ApiStatus post(std::uint32_t command) = 0;
    // Reads handed to the driver and not yet completed.
    virtual std::uint32_t inProcessCount() const = 0;
    // True on the copy thread itself (inside a notification procedure).
    virtual bool isCurrentThread() const { return false; }
    // Ends the thread: the running transfer is aborted, every request of the thread is collected
    // and the thread is joined. Once only; later calls do nothing.
    virtual void shutdown() {}
    // On the copy thread: ends the thread once the notification in progress has returned, and
    // then runs `finish` on it as its last act.
    virtual void retire(std::function<void()> finish) { finish(); }
};

// Synchronous and posted commands of the subsystem's copy thread; HXGENERALFAILURE when it
// has none.
ApiStatus commandCopyThread(SubsystemRecord& subsystem, std::uint32_t command);
ApiStatus postCopyThread(SubsystemRecord& subsystem, std::uint32_t command);

// Called when the driver refuses a start or prestart after the copy thread has queued its reads:
// the copy thread's abort cancels those reads, so their buffers return to the done list instead of
// staying in the driver with nothing left to collect them.
void recoverFromRefusedStart(SubsystemRecord& subsystem);

// How long a synchronous command waits for its acknowledgement (20 s unless a test sets it).
std::uint32_t acknowledgeTimeoutMs();
void setAcknowledgeTimeoutMs(std::uint32_t timeoutMs);

// The time an engine call may wait for the copy thread, counted from the call's entry: a caller
// that first waited for another caller's command to time out does not wait a whole timeout more,
// so waits of several threads on one subsystem never add up. The outermost scope of a thread
// counts; without one a command waits the whole timeout.
class CallDeadline {
  public:
    CallDeadline();
    ~CallDeadline();
    CallDeadline(const CallDeadline&) = delete;
    CallDeadline& operator=(const CallDeadline&) = delete;

    // Milliseconds left of the current thread's call (0 once it has passed).
    static std::uint32_t remainingMs();

  private:
    bool outermost_;
};

}  // namespace hxda
