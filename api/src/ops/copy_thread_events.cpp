// The three event requests the copy thread keeps pending, and its reaction to each driver event.
#include <cstring>

#include "hxda/driver_events.h"
#include "hxda/request_codes.h"
#include "ops/copy_thread.h"

namespace hxda {

void CopyThread::sendEventRequest(std::size_t index) {
    EventRequest& request = requests_[index];
    std::memset(&request.record, 0, sizeof request.record);
    request.overlapped = OVERLAPPED{};
    request.overlapped.hEvent = request.event;
    const BOOL sent =
        DeviceIoControl(file_, IOCTL_HXDA_WAITEVENT, &request.record, sizeof request.record,
                        &request.record, sizeof request.record, nullptr, &request.overlapped);
    // Completed at once or pending, its event is set when it is done; refused, it is gone.
    request.pending = sent || GetLastError() == ERROR_IO_PENDING;
}

void CopyThread::onEventRequest(std::size_t index) {
    EventRequest& request = requests_[index];
    request.pending = false;
    DWORD bytes = 0;
    if (!GetOverlappedResult(file_, &request.overlapped, &bytes, FALSE))
        return;  // a failed request is not sent again
    // A word that names no event ends the request's renewal.
    const std::optional<DriverEvent> event = DriverEventOf(request.record.parameters.event.code);
    if (event && reactToEvent(*event, request.record.parameters.event.data))
        sendEventRequest(index);
}

bool CopyThread::reactToEvent(DriverEvent event, std::uint32_t data) {
    switch (event) {
        case DriverEvent::kDeviceRemoved:
            // The transfer is over; a caller waiting for a stop or an abort is released.
            if (state() > HXSTATE_READY)
                finishTransfer();
            notify(HXWM_DEVICEREMOVAL);
            return false;
        case DriverEvent::kTrigger:
            if (dataFlow_ == HXDF_CONTPRETRIG)
                stopSubsystem(true);
            else if (dataFlow_ == HXDF_CONTABOUTTRIG)
                pretriggerMark_ = false;
            return true;
        case DriverEvent::kEventDone:
            notify(HXWM_EVENTDONE, true, 0);
            return true;
        case DriverEvent::kBufferReused:
            notify(HXWM_BUFFERREUSED);
            return true;
        case DriverEvent::kEventValue:
            if (subsystem_.type == HXSS_CT)
                setState(HXSTATE_READY);
            notify(HXWM_EVENTDONE, true, static_cast<LPARAM>(data));
            return true;
        case DriverEvent::kIoComplete:
            notify(HXWM_IOCOMPLETE);
            setState(HXSTATE_TRANSFERCOMPLETE);
            if (subsystem_.type == HXSS_DA && inProcess_.load() == 0)
                finishTransfer();
            return true;
        case DriverEvent::kOverrun:
            if (state() != HXSTATE_READY) {
                notify(HXWM_OVERRUNERROR);
                if (subsystem_.type == HXSS_AD)
                    stopSubsystem(true);
            }
            return true;
        case DriverEvent::kUnderrun:
            stopSubsystem(true);
            notify(HXWM_UNDERRUNERROR);
            return true;
        case DriverEvent::kEventError:
            stopSubsystem(true);
            notify(HXWM_EVENTERROR);
            return true;
        case DriverEvent::kTriggerError:
            stopSubsystem(true);
            notify(HXWM_TRIGGERERROR);
            return true;
    }
    return false;
}

}  // namespace hxda
