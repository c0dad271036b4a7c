// Passing requests down the board's stack.
#include "stack_forward.h"

namespace sim {
namespace {

NTSTATUS CameBack(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), 0, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;  // the request stays the sender's
}

}  // namespace

NTSTATUS PassDown(PDEVICE_OBJECT lower, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(lower, irp);
}

NTSTATUS SendDownAndWait(PDEVICE_OBJECT lower, PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, CameBack, &done, TRUE, TRUE, TRUE);
    IoCallDriver(lower, irp);
    // The lower driver may complete inside the call or later, on another thread.
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return irp->IoStatus.Status;
}

}  // namespace sim
