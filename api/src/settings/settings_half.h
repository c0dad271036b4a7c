// The settings half of the request engine (codes 0x4000-0x404F): capabilities, every setting of a
// subsystem (validated against its capability tables and kept in its configuration block) and
// the buffer queues. Called with the subsystem's lock held; nothing here reaches the driver.
#pragma once

#include <cstdint>

#include "core/message_record.h"
#include "core/records.h"
#include "status/api_status.h"

namespace hxda {

ApiStatus settingsHalf(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message);

// HXDRV_GETSSCAPS: an integer capability in W0 and, converted, in W2-W3; a double capability in
// W2-W3 and, truncated toward zero, in W0. Codes 68-72 take their table index from W1.
ApiStatus getSubsystemCapability(const SubsystemRecord& subsystem, MessageRecord& message);

}  // namespace hxda
