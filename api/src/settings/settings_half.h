// The settings half of the request engine (HXDRV_GETSSCAPS to HXDRV_SETQUADRATURE): capabilities,
// every setting of a subsystem (validated against its capability tables and kept in its
// configuration block) and the buffer queues. Called with the subsystem's lock held; nothing here
// reaches the driver.
#pragma once

#include <cstdint>

#include "core/message_record.h"
#include "core/records.h"
#include "hxda/api_status.h"

namespace hxda {

ApiStatus settingsHalf(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message);

// HXDRV_GETSSCAPS (CapabilityWords): an integer capability as the integer answer and, converted,
// as the double answer; a double capability as the double answer and, truncated toward zero, as
// the integer answer. The table capabilities HXSSC_RANGEMIN to HXSSC_RESOLUTION take their table
// index from the record.
ApiStatus getSubsystemCapability(const SubsystemRecord& subsystem, MessageRecord& message);

}  // namespace hxda
