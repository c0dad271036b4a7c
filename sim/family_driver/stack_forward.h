// Plug and Play requests on their way down the board's stack, as a function driver passes them to
// the bus's physical device below it.
#pragma once

#include "kernel/wdm.h"

namespace sim {

// Hands the request on to the device below; the lower driver completes it.
NTSTATUS PassDown(PDEVICE_OBJECT lower, PIRP irp);
// Sends the request to the device below and waits (at PASSIVE_LEVEL) until it comes back; the
// request is then the caller's to complete. The lower driver's status.
NTSTATUS SendDownAndWait(PDEVICE_OBJECT lower, PIRP irp);

}  // namespace sim
