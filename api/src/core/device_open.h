// Opening boards by name and their subsystems by type and element.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "hxda/api_status.h"
#include "hxdaapi32.h"

namespace hxda {

// Finds the board, binds its extension library, opens its device and reads the tuning values; a
// new device handle at every call. 67 for anything that fails.
ApiStatus openDevice(const char* boardName, HDEV* hDev);

// Opens the subsystem's file and makes its record: HXINVALIDDEVHANDLE for a bad device,
// HXINVALIDSUBSYS for no such subsystem, HXSUBSYSINUSE when the file cannot be opened (open
// elsewhere), else the status of the record's making.
ApiStatus openSubsystem(HDEV hDev, std::uint32_t type, std::uint32_t element, HDASS* hDass);

// Unloads the extension library and closes the device of a record taken out of the table.
void closeDevice(DeviceRecord& device);

}  // namespace hxda
