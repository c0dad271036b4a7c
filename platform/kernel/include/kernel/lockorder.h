// A check the kernel stand-in offers drivers beyond the platform's own: a spin lock declared as a
// queue lock must never be held together with the I/O cancel spin lock, in either order.
// Acquiring one while holding the other is then a rule violation. Undeclared locks are not
// checked. A driver declares its queue locks once after KeInitializeSpinLock, and forgets them
// before their memory goes.
#pragma once

#include "kernel/ke.h"

namespace kernel {

void DeclareQueueLock(PKSPIN_LOCK lock);
void ForgetQueueLock(PKSPIN_LOCK lock);

}  // namespace kernel
