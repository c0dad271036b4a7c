// Test and tool support: URBs, PnP and power IRPs sent to a bus PDO the way a driver sends them,
// each in its own IRP with a completion routine that records the result.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "simclock/condition.h"
#include "usb/usb.h"

namespace usb::testing {

// One URB sent to a PDO in its own IRP, as a driver sends it; the completion is recorded.
class UrbRequest {
  public:
    UrbRequest() : storage_(sizeof(URB), 0) {
        urb_ = reinterpret_cast<PURB>(storage_.data());
        urb_->UrbHeader.Length = sizeof(URB);
    }
    // A URB that lives elsewhere (the library's configuration request).
    explicit UrbRequest(PURB external) : urb_(external) {}
    // A request still pending is cancelled first; its IRP is freed once it has completed.
    ~UrbRequest() {
        if (irp_ == nullptr)
            return;
        if (!Wait(0)) {
            IoCancelIrp(irp_);
            Wait();
        }
        if (Done())
            IoFreeIrp(irp_);
    }
    UrbRequest(const UrbRequest&) = delete;
    UrbRequest& operator=(const UrbRequest&) = delete;

    PURB urb() { return urb_; }

    // Sends the URB; returns what IoCallDriver returned.
    NTSTATUS Send(PDEVICE_OBJECT pdo, bool cancelFirst = false) {
        irp_ = IoAllocateIrp(static_cast<CCHAR>(pdo->StackSize + 1), FALSE);
        IoSetNextIrpStackLocation(irp_);  // our own location, for the completion routine's view
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp_);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
        next->Parameters.Others.Argument1 = urb_;
        IoSetCompletionRoutine(irp_, &UrbRequest::Completed, this, TRUE, TRUE, TRUE);
        if (cancelFirst)
            irp_->Cancel = TRUE;
        return IoCallDriver(pdo, irp_);
    }
    BOOLEAN Cancel() { return IoCancelIrp(irp_); }

    bool Wait(int timeoutMs = 5000) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [this] { return done_; });
    }
    bool Done() {
        std::lock_guard lock(mutex_);
        return done_;
    }
    NTSTATUS Status() {
        std::lock_guard lock(mutex_);
        return status_;
    }
    KIRQL CompletionIrql() {
        std::lock_guard lock(mutex_);
        return irql_;
    }
    std::thread::id CompletionThread() {
        std::lock_guard lock(mutex_);
        return thread_;
    }
    int Completions() { return completions_; }

  private:
    static NTSTATUS Completed(PDEVICE_OBJECT, PIRP irp, PVOID context) {
        auto* self = static_cast<UrbRequest*>(context);
        ++self->completions_;
        std::lock_guard lock(self->mutex_);
        self->status_ = irp->IoStatus.Status;
        self->irql_ = KeGetCurrentIrql();
        self->thread_ = std::this_thread::get_id();
        self->done_ = true;
        self->changed_.notify_all();
        return STATUS_MORE_PROCESSING_REQUIRED;
    }

    std::vector<std::uint8_t> storage_;
    PURB urb_;
    PIRP irp_ = nullptr;
    std::mutex mutex_;
    simclock::ConditionVariable changed_;  // timeouts on the stand-ins' clock
    bool done_ = false;
    NTSTATUS status_ = STATUS_PENDING;
    KIRQL irql_ = PASSIVE_LEVEL;
    std::thread::id thread_;
    std::atomic<int> completions_{0};
};

// Sends a PnP or power IRP to the PDO with the status a PnP manager starts it with.
inline NTSTATUS SendPnp(PDEVICE_OBJECT pdo, UCHAR major, UCHAR minor,
                        NTSTATUS initial = STATUS_NOT_SUPPORTED) {
    PIRP irp = IoAllocateIrp(static_cast<CCHAR>(pdo->StackSize + 1), FALSE);
    IoSetNextIrpStackLocation(irp);
    irp->IoStatus.Status = initial;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = major;
    next->MinorFunction = minor;
    NTSTATUS seen = STATUS_PENDING;
    IoSetCompletionRoutine(
        irp,
        [](PDEVICE_OBJECT, PIRP done, PVOID context) -> NTSTATUS {
            *static_cast<NTSTATUS*>(context) = done->IoStatus.Status;
            return STATUS_MORE_PROCESSING_REQUIRED;
        },
        &seen, TRUE, TRUE, TRUE);
    IoCallDriver(pdo, irp);  // the bus completes PnP and power IRPs at once
    IoFreeIrp(irp);
    return seen;
}

}  // namespace usb::testing
