// Private hook between the object namespace and the device-interface records.
#pragma once

#include "kernel/io.h"

namespace kernel::io {

// Called by IoDeleteDevice before it takes the I/O manager's lock: the device's interfaces are
// no longer present (their links go) and its properties are dropped.
void ForgetPhysicalDevice(PDEVICE_OBJECT device);

// Called by the Plug and Play manager when the device has left the bus (before its surprise
// removal): its interfaces are no longer listed as present, though their links stay until the
// device is deleted.
void MarkPhysicalDeviceAbsent(PDEVICE_OBJECT device);

}  // namespace kernel::io
