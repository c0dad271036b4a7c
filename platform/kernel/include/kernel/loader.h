// Driver loading: a driver is a module with a DriverEntry. The I/O manager builds its
// DRIVER_OBJECT, calls DriverEntry with the registry path of its service key and, when that
// succeeds, clears DO_DEVICE_INITIALIZING on the devices DriverEntry created.
#pragma once

#include <string>
#include <string_view>

#include "kernel/io.h"

namespace kernel {

// From a routine linked into the process (tests, built-in drivers). name is the service name;
// the object is called "\Driver\<name>".
NTSTATUS LoadDriver(std::u16string_view name, PDRIVER_INITIALIZE entry,
                    std::u16string_view registryPath, PDRIVER_OBJECT* driver);

// From a shared object: dlopen(path) and its exported "DriverEntry". A missing file gives
// STATUS_DLL_NOT_FOUND, a missing entry STATUS_PROCEDURE_NOT_FOUND.
NTSTATUS LoadDriverModule(const std::string& path, std::u16string_view name,
                          std::u16string_view registryPath, PDRIVER_OBJECT* driver);

// Calls DriverUnload (if any) and frees the object; a module is closed once every work item of
// the driver's devices has returned. Devices the driver left behind (deleted here after the
// report), or files still open on them, are a rule violation.
void UnloadDriver(PDRIVER_OBJECT driver);

}  // namespace kernel
