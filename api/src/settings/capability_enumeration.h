// Capability answers that are not single codes: the element counts of a device and the walk over
// a subsystem's filter, range, gain and resolution tables.
#pragma once

#include <cstdint>

#include "hxda/api_status.h"
#include "hxdaapi32.h"

namespace hxda {

// Kind -1: the sum of the six subsystem counts; kinds 0-5: the count of that subsystem type;
// any other kind HXINVALIDSUBSYS. HXINVALIDDEVHANDLE for a bad device handle.
ApiStatus deviceElementCount(HDEV hDev, std::int32_t kind, std::uint32_t* count);

// Calls `proc` once per table entry of `kind` (HXENUMCAP_FILTERS, HXENUMCAP_RANGES as (maximum,
// minimum), HXENUMCAP_GAINS, HXENUMCAP_RESOLUTIONS) until it returns 0. Each entry is read by a
// capability query of its own, outside the subsystem's lock, so the procedure may call the
// library. HXINVALIDSSHANDLE for a bad handle, HXNULLENUMPROC when the procedure is no code,
// HXCANTENUMCAP for another kind, else HXNOERROR or the first failing query's status.
ApiStatus enumerateCapabilities(HDASS hDass, std::uint32_t kind, CapsEnumProc proc, LPARAM user);

}  // namespace hxda
