#include "framework/event_queue.h"

namespace wdm {

void EventQueue::CancelAll(PFILE_OBJECT file) {
    RequestQueue::CancelAll(file);
    lock_.Acquire();
    PIRP irp = current_;
    const bool take = irp != nullptr &&
                      (file == nullptr || IoGetCurrentIrpStackLocation(irp)->FileObject == file) &&
                      ClaimLocked(irp);
    lock_.Release();
    if (take)
        CompleteCurrentAndStartNext(STATUS_CANCELLED, 0);
}

}  // namespace wdm
