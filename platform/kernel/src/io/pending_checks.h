// The pending protocol of dispatch routines, checked as a rule: a dispatch routine that returns
// STATUS_PENDING has marked its stack location pending (IoMarkIrpPending), and one that marked it
// returns STATUS_PENDING. The verdict needs both the routine's status and the location's final
// mark, which is known only once the completion has passed the location (a completion routine may
// still mark it), so each dispatch leaves a frame that whichever comes second decides.
#pragma once

#include "kernel/io.h"

namespace kernel::io {

struct DispatchFrame;

// Around a dispatch routine in IoCallDriver, with the IRP's current location set.
DispatchFrame* BeginDispatch(PIRP irp);
void EndDispatch(DispatchFrame* frame, NTSTATUS returned);
// IoCompleteRequest has read the final mark of the IRP's current location.
void LocationCompleted(PIRP irp, bool markedPending);
// The IRP is freed or reinitialised: frames that were never decided are dropped.
void ForgetDispatches(PIRP irp);

}  // namespace kernel::io
