// Signal states of dispatcher objects for the kernel's own objects (timers, mutexes): changed
// under the dispatcher lock, so that their waiters see every change.
#pragma once

#include "host/host.h"
#include "kernel/ke.h"

namespace kernel::ke {

void SetSignalState(DISPATCHER_HEADER* header, LONG state);
LONG ReadSignalState(DISPATCHER_HEADER* header);

// The lock that guards every signal state and wait list, and the wake-up of the object's waiters
// (called with it held).
host::Lock& DispatcherLock();
void NotifyDispatcherWaiters(DISPATCHER_HEADER* header);

// Mutex rules for the waits, called with the dispatcher lock held: a mutex is available when free
// or owned by the calling thread; acquiring it counts one more acquisition by that thread.
bool MutexAvailable(const DISPATCHER_HEADER& header);
void MutexAcquire(DISPATCHER_HEADER& header);

}  // namespace kernel::ke
