// Requests of the PnP manager and what it asks the I/O manager about a device stack. Private to the
// kernel stand-in.
#pragma once

#include <functional>
#include <set>

#include "kernel/io.h"

namespace kernel::pnp {

// Sends one request to the top of the PDO's stack, starting with STATUS_NOT_SUPPORTED, and waits
// for its completion; returns its final status. Power requests go through PoCallDriver.
NTSTATUS Send(PDEVICE_OBJECT pdo, UCHAR major, UCHAR minor,
              const std::function<void(PIO_STACK_LOCATION)>& fill = {});
NTSTATUS SendPnp(PDEVICE_OBJECT pdo, UCHAR minor);

// The devices of the PDO's stack, from the PDO up.
std::set<PDEVICE_OBJECT> StackOf(PDEVICE_OBJECT pdo);
// A file is open on one of the devices.
bool FilesOpenOn(const std::set<PDEVICE_OBJECT>& stack);
// The driver still has device objects, files open on them, or work items queued or running.
bool DriverInUse(PDRIVER_OBJECT driver);

}  // namespace kernel::pnp
