// What the device and the streams post to a subsystem object: an event for the program (one of
// the protocol's, which reaches it through the WAITEVENT requests) or one of the driver's own.
// The other layers' events become these here and nowhere else, and only the program's ones leave
// as protocol events, so that no number has to line up with another layer's.
#pragma once

#include <optional>

#include "framework/stream_transfers.h"
#include "hxda/driver_events.h"

namespace dalayer {

enum class SubsystemEvent {
    // For the program.
    kDeviceRemoved,
    kTrigger,
    kEventDone,
    kBufferReused,
    kEventValue,  // the data is the value (the digital inputs' flags word)
    kIoComplete,
    kOverrun,
    kUnderrun,
    kEventError,
    kTriggerError,
    // The driver's own.
    kBoardReady,      // the board takes the next D/A data
    kStreamRecovery,  // a stream's transaction error while running: the pipes are recovered
};

// A stream's event as its owner takes it.
constexpr SubsystemEvent SubsystemEventOf(wdm::TransferEvent event) {
    switch (event) {
        case wdm::TransferEvent::kDeviceRemoved:
            return SubsystemEvent::kDeviceRemoved;
        case wdm::TransferEvent::kOverrun:
            return SubsystemEvent::kOverrun;
        case wdm::TransferEvent::kRecovery:
            break;
    }
    return SubsystemEvent::kStreamRecovery;
}

// The protocol's event for the program; nothing for the driver's own events.
constexpr std::optional<hxda::DriverEvent> ProgramEventOf(SubsystemEvent event) {
    using hxda::DriverEvent;
    switch (event) {
        case SubsystemEvent::kDeviceRemoved:
            return DriverEvent::kDeviceRemoved;
        case SubsystemEvent::kTrigger:
            return DriverEvent::kTrigger;
        case SubsystemEvent::kEventDone:
            return DriverEvent::kEventDone;
        case SubsystemEvent::kBufferReused:
            return DriverEvent::kBufferReused;
        case SubsystemEvent::kEventValue:
            return DriverEvent::kEventValue;
        case SubsystemEvent::kIoComplete:
            return DriverEvent::kIoComplete;
        case SubsystemEvent::kOverrun:
            return DriverEvent::kOverrun;
        case SubsystemEvent::kUnderrun:
            return DriverEvent::kUnderrun;
        case SubsystemEvent::kEventError:
            return DriverEvent::kEventError;
        case SubsystemEvent::kTriggerError:
            return DriverEvent::kTriggerError;
        case SubsystemEvent::kBoardReady:
        case SubsystemEvent::kStreamRecovery:
            break;
    }
    return std::nullopt;
}

}  // namespace dalayer
