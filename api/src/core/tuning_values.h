// The library's machine-wide tuning values, read at every board open.
#pragma once

#include "core/records.h"

namespace hxda {

// Reads them into `device`; a missing value reads 0, and all are 0 when the key cannot be opened.
void readTuningValues(DeviceRecord& device);

}  // namespace hxda
