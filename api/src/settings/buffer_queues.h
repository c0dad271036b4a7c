// The buffer queues of a subsystem: ready list, done list and the reads in process. Only A/D and
// D/A subsystems own lists; on the others the queues read as empty and a buffer is refused.
#pragma once

#include <cstdint>

#include "core/message_record.h"
#include "core/records.h"
#include "hxda/api_status.h"

namespace hxda {

ApiStatus bufferQueueMessage(SubsystemRecord& subsystem, std::uint32_t code,
                             MessageRecord& message);

// Moves every buffer of the ready list, in order, to the tail of the done list. When an append
// fails the buffer that could not be moved goes back to the head of the ready list, so no buffer
// is lost, and the append's status is returned.
ApiStatus moveReadyToDone(SubsystemRecord& subsystem);

}  // namespace hxda
