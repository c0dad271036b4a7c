// The "FileVersion" strings of the library itself and of a board's driver file.
#pragma once

#include <cstdint>
#include <string>

#include "core/records.h"

namespace hxda {

// The file's "FileVersion" in the "040904E4" block; false when it has no version information.
bool fileVersionString(const std::string& file, std::string* version);

// The driver file of the device's board: the drivers folder of the system directory, the driver
// name, "k" ("k4" on the NT 4 system) and ".sys".
std::string driverFilePath(const DeviceRecord& device);

}  // namespace hxda
