// The kernel's deferred execution: the DPC queue with its thread, the timer service with its
// thread, and the worker threads of work items. Private to the kernel stand-in.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <limits>
#include <list>
#include <vector>

#include "host/host.h"
#include "kernel/timer.h"

namespace kernel::ke {

// Counts every queuing of deferred work (a timer set, a DPC or work item queued), so that a drain
// can tell that nothing new arrived while it looked.
std::uint64_t DeferredActivity();
void NoteDeferredActivity();

// DPCs run on kSimulatedProcessors threads at DISPATCH_LEVEL, as on a machine with that many
// processors: different DPCs at the same time, in queue order of their start; one DPC object never
// on two at once (a DPC queued again while it runs waits for that run to end).
class DpcQueue {
  public:
    static constexpr int kSimulatedProcessors = 4;
    static DpcQueue& Instance();
    // Queues the DPC; with wakeProcessor false no idle processor is woken for it, since the caller
    // runs it itself (RunHere).
    bool Insert(KDPC* dpc, PVOID argument1, PVOID argument2, bool wakeProcessor = true);
    // Runs the DPC on the calling thread if it is still queued and runs nowhere else: the timer
    // thread runs the DPCs of the timers it expired, as a processor runs those its clock interrupt
    // queued, instead of waking another processor for each.
    void RunHere(KDPC* dpc);
    bool Remove(KDPC* dpc);
    // Nothing queued and no routine running.
    bool Idle();
    // Drops the queued DPCs and waits until no routine runs; false on timeout.
    bool Reset(host::TimePoint deadline);
    ~DpcQueue();

  private:
    DpcQueue();
    void Run();
    // Runs a DPC taken out of the queue; called and returns with the lock held.
    void RunTaken(KDPC* dpc, host::Guard& guard);
    // Whether the DPC is in the queue, by its address alone (it may have been freed otherwise).
    bool Queued(const KDPC* dpc) const;
    // The first queued DPC that is not running now, taken out of the queue; null if none.
    KDPC* TakeRunnable();
    host::Lock lock_;
    host::Condition changed_;  // the processors wait here for a runnable DPC
    host::Condition idle_;     // a reset waits here for the last run to end
    LIST_ENTRY queue_;
    std::vector<KDPC*> running_;
    bool stopping_ = false;
    std::vector<host::Thread> processors_;
};

class TimerService {
  public:
    static TimerService& Instance();
    BOOLEAN Set(KTIMER* timer, LONGLONG dueTime, LONG period, KDPC* dpc);
    BOOLEAN Cancel(KTIMER* timer);
    // No set timer is due on the clock now.
    bool NothingDue();
    std::size_t Count();
    void CancelAll();
    ~TimerService();

  private:
    TimerService();
    void Run();
    void Expire(KTIMER* timer, std::int64_t nowNs);
    // Runs the DPCs the expiries queued, with the lock released meanwhile.
    void RunExpiredDpcs(host::Guard& guard);
    host::Lock lock_;
    std::vector<KDPC*> expiredDpcs_;  // queued by the expiries, run by the timer thread
    host::Condition changed_;
    LIST_ENTRY timers_;  // set timers, unordered
    // The due time (ns) the timer thread sleeps until; the largest value while it sleeps with no
    // timer set, the smallest while it looks at the timers.
    std::int64_t sleepsUntil_ = std::numeric_limits<std::int64_t>::min();
    bool stopping_ = false;
    host::Thread thread_;
};

// Worker threads of work items.
class WorkQueue {
  public:
    // Called with the queued entry: to run it (at PASSIVE_LEVEL, on a worker thread), or, with
    // run false, when a reset drops it unrun.
    using Routine = void (*)(LIST_ENTRY* entry, bool run);
    static WorkQueue& Instance();
    void Queue(LIST_ENTRY* entry, Routine routine);
    bool Idle();
    bool Reset(host::TimePoint deadline);
    void Hold(bool hold);
    ~WorkQueue();

  private:
    WorkQueue();
    void Work();
    void Supervise();
    struct Pending {
        LIST_ENTRY* entry;
        Routine routine;
        host::TimePoint queued;
    };
    struct Running {
        host::TimePoint started;
        bool blocked;  // ran too long: no longer holds up the queue
    };
    bool MayStartNext() const;
    host::Lock lock_;
    host::Condition changed_;
    std::deque<Pending> queue_;
    std::list<Running> running_;
    std::size_t blocked_ = 0;
    int idleWorkers_ = 0;
    bool held_ = false;
    bool stopping_ = false;
    std::vector<host::Thread> workers_;
    host::Thread supervisor_;
};

}  // namespace kernel::ke
