#include "board/status_route.h"

#include "hxda/request_codes.h"

namespace board {

void RouteStatus(USHORT type, USHORT flags, StatusRoute& route) {
    switch (type) {
        case kStatusTypeFlags:
            if (flags & kFlagAdOverrun)
                route.Signal(SubsystemKind::kAd, dalayer::SubsystemEvent::kOverrun, 0);
            if (flags & kFlagDaUnderrun)
                route.Signal(SubsystemKind::kDa, dalayer::SubsystemEvent::kUnderrun, 0);
            if (flags & kFlagDaComplete)
                route.Signal(SubsystemKind::kDa, dalayer::SubsystemEvent::kIoComplete, 0);
            if (flags & kFlagCounterOverrun)
                route.Signal(SubsystemKind::kCounter, dalayer::SubsystemEvent::kOverrun, 0);
            break;
        case kStatusTypeDinChange:
            route.Signal(SubsystemKind::kDin, dalayer::SubsystemEvent::kEventValue, flags);
            break;
        case kStatusTypeDaReady:
            route.DaReady();
            break;
        default:
            break;
    }
}

void StatusRoute::Message(USHORT type, USHORT flags) {
    RouteStatus(type, flags, *this);
}

}  // namespace board
