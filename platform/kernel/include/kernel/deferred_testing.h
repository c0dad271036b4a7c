// Test hooks of the kernel's deferred execution: timers, the DPC threads and the worker threads.
// Not for drivers.
#pragma once

#include <cstddef>

namespace kernel::testing {

// Waits (bounded, in real time) until no set timer is due on the stand-ins' clock, no DPC is
// queued or running and no work item is queued or running; false on timeout. With a manual clock
// this makes "advance, then look" deterministic.
bool DrainDeferredWork(int timeoutMs = 5000);
// Cancels every set timer and drops every queued DPC and work item that has not started, then
// waits (bounded) for the routines running now; for fixtures, so that a failed test leaves nothing
// behind that refers to its memory. False when a routine did not finish in time.
bool ResetDeferredWork(int timeoutMs = 5000);
std::size_t SetTimerCount();
// While held, queued work items wait and none starts (a drain would time out); ResetDeferredWork
// lets them go again.
void HoldWorkItems(bool hold);

}  // namespace kernel::testing
