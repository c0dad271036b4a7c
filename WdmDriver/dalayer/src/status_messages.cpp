// The board's status messages: the reads kept outstanding on the status pipe, and the routing of
// each message to the subsystem objects.
#include "dalayer/da_device.h"
#include "dalayer/status_message.h"

namespace dalayer {

void DaDevice::PostStatusReads() {
    if (statusPipe_ == nullptr)
        return;
    for (;;) {
        {
            wdm::SpinLockHold hold(statusLock_);
            if (!keepStatusReads_ || statusReads_ >= kStatusReads)
                return;
            ++statusReads_;  // counted before it is posted: a fast completion finds it counted
        }
        if (!NT_SUCCESS(statusPipe_->PostStatusRead())) {
            wdm::SpinLockHold hold(statusLock_);
            --statusReads_;
            return;
        }
    }
}

void DaDevice::StatusReadReturned(bool postAnother) {
    {
        wdm::SpinLockHold hold(statusLock_);
        if (statusReads_ > 0)
            --statusReads_;
    }
    if (postAnother)
        PostStatusReads();
}

void DaDevice::StopStatusReads() {
    {
        // Cleared first, so that no read the abort completes is replaced.
        wdm::SpinLockHold hold(statusLock_);
        keepStatusReads_ = false;
    }
    if (statusPipe_ != nullptr && !Is(kRemoved) && !Is(kSurpriseRemoved))
        statusPipe_->AbortStatusPipe();
}

ULONG DaDevice::StatusReadsOutstanding() {
    wdm::SpinLockHold hold(statusLock_);
    return statusReads_;
}

bool DaDevice::StatusReadsPosted() {
    wdm::SpinLockHold hold(statusLock_);
    return keepStatusReads_;
}

void DaDevice::RouteStatusMessage(USHORT type, USHORT flags) {
    switch (type) {
        case kStatusTypeFlags:
            if (flags & kFlagAdOverrun)
                PostEventTo(HXSS_AD, 0, SubsystemEvent::kOverrun, 0);
            if (flags & kFlagDaUnderrun)
                PostEventTo(HXSS_DA, 0, SubsystemEvent::kUnderrun, 0);
            if (flags & kFlagDaComplete)
                PostEventTo(HXSS_DA, 0, SubsystemEvent::kIoComplete, 0);
            if (flags & kFlagCounterOverrun)
                PostEventTo(HXSS_CT, 0, SubsystemEvent::kOverrun, 0);
            break;
        case kStatusTypeDinChange:
            PostEventTo(HXSS_DIN, 0, SubsystemEvent::kEventValue, flags);
            break;
        case kStatusTypeDaReady:
            PostEventTo(HXSS_DA, 0, SubsystemEvent::kBoardReady, 0);
            break;
        default:
            break;
    }
}

bool DaDevice::PostEventTo(ULONG type, ULONG element, SubsystemEvent event, ULONG data) {
    return WithSubsystem(type, element,
                         [&](DaSubsystem& object) { object.PostEvent(event, data); });
}

void DaDevice::BroadcastEvent(SubsystemEvent event, ULONG data) {
    wdm::SpinLockHold hold(open_.GetLock());
    for (void* e = open_.First(); e != nullptr; e = open_.Next(e))
        static_cast<DaSubsystem::OpenLink*>(e)->object->PostEvent(event, data);
}

}  // namespace dalayer
