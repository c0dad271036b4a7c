// `StatusRoute`: where the board's 4-byte status messages go. The data-acquisition layer
// implements it: it hands each event to element 0 of the subsystem named and does the work the
// board asks for. RouteStatus decodes one message into calls of the route.
#pragma once

#include "board/protocol.h"
#include "dalayer/subsystem_event.h"
#include "kernel/wdm.h"

namespace board {

enum class SubsystemKind : ULONG { kAd, kDa, kDin, kDout, kCounter };

class StatusRoute {
  public:
    virtual ~StatusRoute() = default;
    // One message as read from the pipe; by default decoded into the calls below (RouteStatus).
    // DISPATCH_LEVEL.
    virtual void Message(USHORT type, USHORT flags);
    // An event (with its data) for element 0 of the subsystem kind. DISPATCH_LEVEL.
    virtual void Signal(SubsystemKind kind, dalayer::SubsystemEvent event, ULONG data) = 0;
    // The board is ready for D/A data: the D/A completion work is due. DISPATCH_LEVEL.
    virtual void DaReady() = 0;
    // The status pipe reported the board gone: every open subsystem learns of the removal.
    // Called once between two stops of the status reads. DISPATCH_LEVEL.
    virtual void DeviceRemoved() = 0;
    // A transaction error on the status pipe: the pipes may be recovered (when nothing streams).
    // DISPATCH_LEVEL.
    virtual void TransactionError() = 0;
};

// Hands one status message to the route: type 0 by its flags (A/D overrun, then D/A underrun,
// D/A I/O complete, counter overrun), the digital-input change with the flags as data, D/A ready;
// other types are ignored.
void RouteStatus(USHORT type, USHORT flags, StatusRoute& route);

}  // namespace board
