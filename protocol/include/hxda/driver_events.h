// The events a board driver reports to the library, typed: a completed WAITEVENT request carries
// one as its HXEV_ code word. The word becomes a DriverEvent here and nowhere else, so that an
// event never passes for a status, a transfer state or another layer's event.
#pragma once

#include <cstdint>
#include <optional>

#include "hxda/request_codes.h"

namespace hxda {

enum class DriverEvent : std::uint32_t {
    kDeviceRemoved = HXEV_DEVICEREMOVED,
    kTrigger = HXEV_TRIGGER,
    kEventDone = HXEV_EVENTDONE,
    kBufferReused = HXEV_BUFFERREUSED,
    kEventValue = HXEV_EVENTVALUE,
    kIoComplete = HXEV_IOCOMPLETE,
    kOverrun = HXEV_OVERRUN,
    kUnderrun = HXEV_UNDERRUN,
    kEventError = HXEV_EVENTERROR,
    kTriggerError = HXEV_TRIGGERERROR,
};

// The event of a record's code word; nothing for a word that names no event.
constexpr std::optional<DriverEvent> DriverEventOf(std::uint32_t code) {
    switch (code) {
        case HXEV_DEVICEREMOVED:
        case HXEV_TRIGGER:
        case HXEV_EVENTDONE:
        case HXEV_BUFFERREUSED:
        case HXEV_EVENTVALUE:
        case HXEV_IOCOMPLETE:
        case HXEV_OVERRUN:
        case HXEV_UNDERRUN:
        case HXEV_EVENTERROR:
        case HXEV_TRIGGERERROR:
            return static_cast<DriverEvent>(code);
        default:
            return std::nullopt;
    }
}

// The code word a driver writes for `event`.
constexpr std::uint32_t EventCode(DriverEvent event) {
    return static_cast<std::uint32_t>(event);
}

}  // namespace hxda
