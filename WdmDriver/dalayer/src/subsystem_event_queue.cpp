#include "dalayer/subsystem_event_queue.h"

#include "hxda/protocol.h"

namespace dalayer {

bool SubsystemEventQueue::Post(ULONG code, ULONG data) {
    return queue_.PostEvent(STATUS_SUCCESS, hxda::kDriverRequestSize, [&](PIRP irp) {
        auto* record = static_cast<hxda::DriverRequest*>(irp->AssociatedIrp.SystemBuffer);
        record->parameters.event.code = code;
        record->parameters.event.data = data;
    });
}

bool SubsystemEventQueue::Fail(NTSTATUS status) {
    return queue_.PostEvent(status, 0, [](PIRP) {});
}

}  // namespace dalayer
