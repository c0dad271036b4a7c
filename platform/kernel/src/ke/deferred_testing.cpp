#include <chrono>
#include <thread>

#include "ke/deferred.h"
#include "kernel/deferred_testing.h"

namespace kernel::testing {

bool DrainDeferredWork(int timeoutMs) {
    using namespace kernel::ke;
    const auto deadline = host::Now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::uint64_t before = DeferredActivity();
        const bool quiet = TimerService::Instance().NothingDue() && DpcQueue::Instance().Idle() &&
                           WorkQueue::Instance().Idle();
        if (quiet && DeferredActivity() == before)
            return true;
        if (host::Now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

bool ResetDeferredWork(int timeoutMs) {
    using namespace kernel::ke;
    const auto deadline = host::Now() + std::chrono::milliseconds(timeoutMs);
    WorkQueue::Instance().Hold(false);
    bool finished = true;
    // Twice: a routine that was running during the first pass may have set a timer or queued.
    for (int pass = 0; pass < 2; ++pass) {
        TimerService::Instance().CancelAll();
        finished = DpcQueue::Instance().Reset(deadline) && finished;
        finished = WorkQueue::Instance().Reset(deadline) && finished;
    }
    return finished;
}

void HoldWorkItems(bool hold) {
    kernel::ke::WorkQueue::Instance().Hold(hold);
}

std::size_t SetTimerCount() {
    return kernel::ke::TimerService::Instance().Count();
}

}  // namespace kernel::testing
