#include "dalayer/subsystem_event_queue.h"

#include "hxda/protocol.h"

namespace dalayer {

bool SubsystemEventQueue::Post(SubsystemEvent event, ULONG data) {
    const std::optional<hxda::DriverEvent> programEvent = ProgramEventOf(event);
    if (!programEvent)
        return false;
    return queue_.PostEvent(STATUS_SUCCESS, hxda::kDriverRequestSize, [&](PIRP irp) {
        auto* record = static_cast<hxda::DriverRequest*>(irp->AssociatedIrp.SystemBuffer);
        record->parameters.event.code = hxda::EventCode(*programEvent);
        record->parameters.event.data = data;
    });
}

bool SubsystemEventQueue::Fail(NTSTATUS status) {
    return queue_.PostEvent(status, 0, [](PIRP) {});
}

}  // namespace dalayer
