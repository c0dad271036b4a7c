// The operations half of the request engine: the subsystem state machine and the requests that go
// to the board driver. Called with the subsystem's lock held.
#pragma once

#include <cstdint>

#include "core/message_record.h"
#include "core/records.h"
#include "hxda/api_status.h"

namespace hxda {

ApiStatus operationsHalf(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message);

}  // namespace hxda
