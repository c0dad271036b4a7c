// Signal states of dispatcher objects for the kernel's own objects (timers, mutexes): changed
// under the dispatcher lock, so that waiters see every change.
#pragma once

#include "kernel/ke.h"

namespace kernel::ke {

void SetSignalState(DISPATCHER_HEADER* header, LONG state);
LONG ReadSignalState(DISPATCHER_HEADER* header);

}  // namespace kernel::ke
