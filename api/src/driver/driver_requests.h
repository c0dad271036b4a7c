// Sending the driver protocol's requests: the 336-byte DriverRequest on a subsystem file or on
// the board's device, and the configuration block.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "hxda/api_status.h"
#include "hxda/driver_request.h"

namespace hxda {

// A zeroed request record.
DriverRequest makeRequest();

// Sends `request` synchronously on the subsystem's file, with its type and element at offsets 0
// and 4. Returns the driver's status; when the request cannot be delivered, the system's error
// value (never 0: an error value of 0 becomes HXGENERALFAILURE).
ApiStatus sendSubsystemRequest(SubsystemRecord& subsystem, std::uint32_t code,
                               DriverRequest& request);

// Sends `request` on the board's device; HXGENERALFAILURE when it cannot be delivered.
ApiStatus sendDeviceRequest(DeviceRecord& device, std::uint32_t code, DriverRequest& request);

// Sends the configuration block (320 + 24 x list capacity bytes, in and out) with its type and
// element written first. Returns the driver's status, or HXGENERALFAILURE when it cannot be
// delivered.
ApiStatus sendConfiguration(SubsystemRecord& subsystem);

}  // namespace hxda
