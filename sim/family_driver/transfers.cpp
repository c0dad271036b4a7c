// Transfers: buffer reads at the clock rate, the start/stop family and the event requests. The
// simulated boards do not stream yet, so a subsystem never runs: the requests that would start a
// transfer answer "not supported", those that end one find nothing to end, reads and event
// requests are refused, and a flush finds no buffer in process. Streaming replaces this file.
#include "board_device.h"
#include "hxda/request_codes.h"
#include "hxdacodes.h"

namespace sim {

NTSTATUS HandleRead(BoardDevice&, const OpenFile&, PIRP irp) {
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, 0);
    return STATUS_NOT_SUPPORTED;
}

bool HandleTransferRequest(BoardDevice&, const OpenFile&, ULONG code, std::uint32_t* status) {
    switch (code) {
        case IOCTL_HXDA_START:
        case IOCTL_HXDA_PRESTART:
        case IOCTL_HXDA_SIMULSTART:
        case IOCTL_HXDA_PAUSE:
        case IOCTL_HXDA_CONTINUE:
            *status = HXNOTSUPPORTED;
            return true;
        case IOCTL_HXDA_STOP:
        case IOCTL_HXDA_ABORT:
        case IOCTL_HXDA_RESET:
            *status = HXNOERROR;  // nothing is running
            return true;
        default:
            return false;
    }
}

NTSTATUS HandleWaitEvent(BoardDevice&, const OpenFile&, PIRP irp) {
    // Without transfers there is no event to wait for; a refused request is not sent again.
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, 0);
    return STATUS_NOT_SUPPORTED;
}

ULONG FlushInProcess(BoardDevice&, const OpenFile&, void*, ULONG) {
    return 0;
}

}  // namespace sim
