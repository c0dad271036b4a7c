// URB submission to the device below: synchronous (with a time-out), asynchronous with a
// completion callback, on a caller's reused request, and the synchronous forwarding of requests.
#include <cstring>

#include "framework/kernel_sync.h"
#include "framework/pool.h"
#include "framework/usb_target.h"

namespace wdm {
namespace {

void PrepareUrbLocation(PIRP irp, PURB urb) {
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = urb;
}

// Signals the waiter and keeps the request for it.
NTSTATUS SignalWaiter(PDEVICE_OBJECT, PIRP, PVOID context) {
    static_cast<KernelEvent*>(context)->Set();
    return STATUS_MORE_PROCESSING_REQUIRED;
}

struct AsyncRecord {
    UsbTarget::UrbCallback callback;
    PVOID context;
};

NTSTATUS AsyncCompleted(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
    auto* record = static_cast<AsyncRecord*>(context);
    record->callback(device, irp, record->context);
    IoFreeIrp(irp);
    PoolFree(record);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

LONGLONG RelativeMs(ULONG ms) {
    return -static_cast<LONGLONG>(ms) * 10'000;
}

}  // namespace

NTSTATUS UsbTarget::SubmitAndWait(PIRP irp, PURB urb, ULONG timeoutMs) {
    KernelEvent done(NotificationEvent, false);
    PrepareUrbLocation(irp, urb);
    IoSetCompletionRoutine(irp, SignalWaiter, &done, TRUE, TRUE, TRUE);
    IoCallDriver(lower_, irp);
    // The completion routine runs whether the bus answers at once or later: wait for it always.
    if (timeoutMs != 0 && done.Wait(RelativeMs(timeoutMs)) == STATUS_TIMEOUT) {
        IoCancelIrp(irp);
        done.Wait();
        return STATUS_TIMEOUT;
    }
    done.Wait();
    return irp->IoStatus.Status;
}

NTSTATUS UsbTarget::SubmitUrb(PURB urb, ULONG timeoutMs) {
    if (KeGetCurrentIrql() >= DISPATCH_LEVEL)
        return STATUS_INVALID_DEVICE_REQUEST;  // no waiting here
    PIRP irp = IoAllocateIrp(StackSize(), FALSE);
    if (irp == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    const NTSTATUS status = SubmitAndWait(irp, urb, timeoutMs);
    IoFreeIrp(irp);
    return status;
}

NTSTATUS UsbTarget::SubmitUrbAsync(PURB urb, UrbCallback callback, PVOID context) {
    PIRP irp = IoAllocateIrp(StackSize(), FALSE);
    if (irp == nullptr) {
        IRP none;
        std::memset(&none, 0, sizeof none);
        none.IoStatus.Status = STATUS_INSUFFICIENT_RESOURCES;
        callback(device_, &none, context);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    auto* record = static_cast<AsyncRecord*>(PoolAllocate(NonPagedPool, sizeof(AsyncRecord)));
    if (record == nullptr) {
        irp->IoStatus.Status = STATUS_INSUFFICIENT_RESOURCES;
        callback(device_, irp, context);
        IoFreeIrp(irp);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    record->callback = callback;
    record->context = context;
    PrepareUrbLocation(irp, urb);
    IoSetCompletionRoutine(irp, AsyncCompleted, record, TRUE, TRUE, TRUE);
    return IoCallDriver(lower_, irp);
}

NTSTATUS UsbTarget::SubmitUrbOnIrp(PIRP irp, PURB urb, PIO_COMPLETION_ROUTINE routine,
                                   PVOID context, ULONG timeoutMs) {
    if (routine != nullptr) {
        PrepareUrbLocation(irp, urb);
        IoSetCompletionRoutine(irp, routine, context, TRUE, TRUE, TRUE);
        return IoCallDriver(lower_, irp);
    }
    if (KeGetCurrentIrql() >= DISPATCH_LEVEL)
        return STATUS_INVALID_DEVICE_REQUEST;
    return SubmitAndWait(irp, urb, timeoutMs);
}

NTSTATUS UsbTarget::ForwardAndWait(PIRP irp, ULONG_PTR* information, bool power) {
    KernelEvent done(NotificationEvent, false);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalWaiter, &done, TRUE, TRUE, TRUE);
    if (power)
        PoCallDriver(lower_, irp);
    else
        IoCallDriver(lower_, irp);
    done.Wait();
    if (information != nullptr)
        *information = irp->IoStatus.Information;
    return irp->IoStatus.Status;
}

NTSTATUS UsbTarget::ForwardSynchronously(PIRP irp, ULONG_PTR* information) {
    return ForwardAndWait(irp, information, false);
}

NTSTATUS UsbTarget::ForwardPowerSynchronously(PIRP irp, ULONG_PTR* information) {
    return ForwardAndWait(irp, information, true);
}

NTSTATUS UsbTarget::PipeRequest(const UsbPipe& pipe, USHORT function) {
    if (!pipe.Bound())
        return STATUS_INVALID_PARAMETER;
    URB urb;
    std::memset(&urb, 0, sizeof urb);
    urb.UrbHeader.Length = sizeof(_URB_PIPE_REQUEST);
    urb.UrbHeader.Function = function;
    urb.UrbPipeRequest.PipeHandle = pipe.Handle();
    return SubmitUrb(&urb);
}

NTSTATUS UsbTarget::ResetPipe(const UsbPipe& pipe) {
    return PipeRequest(pipe, URB_FUNCTION_RESET_PIPE);
}

NTSTATUS UsbTarget::AbortPipe(const UsbPipe& pipe) {
    return PipeRequest(pipe, URB_FUNCTION_ABORT_PIPE);
}

PURB UsbTarget::BuildTransferUrb(const UsbPipe& pipe, PVOID buffer, ULONG length, bool in,
                                 bool shortTransferOk, PURB link, PURB memory) {
    PURB urb = memory;
    if (urb == nullptr)
        urb = static_cast<PURB>(PoolAllocate(NonPagedPool, sizeof(URB)));
    if (urb == nullptr)
        return nullptr;
    std::memset(urb, 0, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER));
    ULONG flags = USBD_TRANSFER_DIRECTION_OUT;
    if (in)
        flags = USBD_TRANSFER_DIRECTION_IN | (shortTransferOk ? USBD_SHORT_TRANSFER_OK : 0);
    UsbBuildInterruptOrBulkTransferRequest(urb, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER),
                                           pipe.Handle(), buffer, nullptr, length, flags, link);
    return urb;
}

}  // namespace wdm
