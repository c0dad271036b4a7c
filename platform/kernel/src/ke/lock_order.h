// The spin locks each thread holds, for the queue-lock / cancel-lock check (kernel/lockorder.h).
#pragma once

#include "kernel/ke.h"

namespace kernel::ke {

// Reports a violation when acquiring lock would hold a declared queue lock together with the
// cancel spin lock. Then notes it as held.
void NoteAcquiring(PKSPIN_LOCK lock);
void NoteReleased(PKSPIN_LOCK lock);

}  // namespace kernel::ke

namespace kernel::io {
PKSPIN_LOCK CancelSpinLock();
}  // namespace kernel::io
