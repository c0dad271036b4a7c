// Shutdown notification: a device registered for it would receive IRP_MJ_SHUTDOWN when the system
// shuts down. The simulated machine never shuts down, so no request is ever sent; the registration
// is kept so that a driver's register/unregister pairing can be checked.
#pragma once

#include "kernel/io.h"

NTSTATUS IoRegisterShutdownNotification(PDEVICE_OBJECT device);
void IoUnregisterShutdownNotification(PDEVICE_OBJECT device);

namespace kernel::testing {
// True while the device is registered (test hook).
bool RegisteredForShutdown(PDEVICE_OBJECT device);
}  // namespace kernel::testing
