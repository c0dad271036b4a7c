// Capability answers that are not single codes: the element counts of a device and the walk over
// a subsystem's filter, range, gain and resolution tables.
#pragma once

#include <cstdint>

#include "hxdaapi32.h"
#include "status/api_status.h"

namespace hxda {

// Kind -1: the sum of the six subsystem counts; kinds 0-5: the count of that subsystem type;
// any other kind 3 (HXINVALIDSUBSYS). 39 for a bad device handle.
ApiStatus deviceElementCount(HDEV hDev, std::int32_t kind, std::uint32_t* count);

// Calls `proc` once per table entry of `kind` (100 filters, 101 ranges as (maximum, minimum),
// 102 gains, 103 resolutions) until it returns 0. Each entry is read by a capability query of its
// own, outside the subsystem's lock, so the procedure may call the library. 40 for a bad handle,
// 70 when the procedure is no code, 68 for another kind, else 0 or the first failing query's
// status.
ApiStatus enumerateCapabilities(HDASS hDass, std::uint32_t kind, CapsEnumProc proc, LPARAM user);

}  // namespace hxda
