// The settings half split by topic. Each entry answers the Set and Get messages of its topic
// (HXNOTSUPPORTED for a code that is not its own) with the subsystem's lock held.
#pragma once

#include <cstdint>

#include "core/message_record.h"
#include "core/records.h"
#include "hxda/api_status.h"

namespace hxda {

// DMA, triggered scan, channel type, encoding, resolution, wrap mode, data flow, multiscan count
// and the special configuration mode.
ApiStatus acquisitionSetting(SubsystemRecord& subsystem, std::uint32_t code,
                             MessageRecord& message);

// Channel-list size and entries, gain list, channel filters, inhibit and digital I/O lists, and
// synchronous digital I/O.
ApiStatus listSetting(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message);

// The subsystem range and the per-channel ranges.
ApiStatus rangeSetting(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message);

// Clock source, clock and retrigger frequencies, external clock divider.
ApiStatus clockSetting(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message);

// Trigger, pre-trigger and retrigger sources, retrigger mode.
ApiStatus triggerSetting(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message);

// Gate, pulse type and width, counter/timer and cascade modes, measure edges, quadrature decoder.
ApiStatus counterTimerSetting(SubsystemRecord& subsystem, std::uint32_t code,
                              MessageRecord& message);

// Notification window and procedure.
ApiStatus notificationSetting(SubsystemRecord& subsystem, std::uint32_t code,
                              MessageRecord& message);

}  // namespace hxda
