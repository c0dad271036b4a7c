// IRPs: allocation, stack locations, IoCallDriver, IoCompleteRequest, cancel, MDLs.
#include <cstdlib>
#include <cstring>

#include "io/io_manager.h"
#include "io/pending_checks.h"
#include "kernel/ex.h"
#include "kernel/rules.h"
#include "kernel/testing.h"

namespace {

KSPIN_LOCK g_cancelSpinLock = 0;

IO_STACK_LOCATION* StackLocations(PIRP irp) {
    return reinterpret_cast<IO_STACK_LOCATION*>(irp + 1);
}

NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

}  // namespace

namespace kernel::io {
PDRIVER_DISPATCH InvalidDeviceRequestRoutine() {
    return &InvalidDeviceRequest;
}
PKSPIN_LOCK CancelSpinLock() {
    return &g_cancelSpinLock;
}
}  // namespace kernel::io

USHORT IoSizeOfIrp(CCHAR stackSize) {
    return static_cast<USHORT>(sizeof(IRP) + stackSize * sizeof(IO_STACK_LOCATION));
}

void IoInitializeIrp(PIRP irp, USHORT packetSize, CCHAR stackSize) {
    std::memset(static_cast<void*>(irp), 0, packetSize);
    irp->Type = 6;
    irp->Size = packetSize;
    irp->StackCount = stackSize;
    irp->CurrentLocation = static_cast<CHAR>(stackSize + 1);
    irp->Tail.Overlay.CurrentStackLocation = StackLocations(irp) + stackSize;
    InitializeListHead(&irp->ThreadListEntry);
}

PIRP IoAllocateIrp(CCHAR stackSize, BOOLEAN) {
    if (stackSize < 1)
        stackSize = 1;
    const USHORT size = IoSizeOfIrp(stackSize);
    auto* irp =
        static_cast<PIRP>(ExAllocatePoolWithTag(NonPagedPool, size, kernel::testing::kIrpPoolTag));
    if (irp == nullptr)
        return nullptr;
    IoInitializeIrp(irp, size, stackSize);
    return irp;
}

void IoFreeIrp(PIRP irp) {
    if (irp->IoManagerPrivate != nullptr) {
        kernel::ReportRuleViolation("IoFreeIrp of a request the I/O manager owns");
        return;
    }
    kernel::io::ForgetDispatches(irp);
    ExFreePoolWithTag(irp, kernel::testing::kIrpPoolTag);
}

void IoReuseIrp(PIRP irp, NTSTATUS status) {
    kernel::io::ForgetDispatches(irp);
    const UCHAR allocationFlags = irp->AllocationFlags;
    IoInitializeIrp(irp, irp->Size, irp->StackCount);
    irp->AllocationFlags = allocationFlags;
    irp->IoStatus.Status = status;
}

void IoCopyCurrentIrpStackLocationToNext(PIRP irp) {
    PIO_STACK_LOCATION current = IoGetCurrentIrpStackLocation(irp);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    *next = *current;
    next->CompletionRoutine = nullptr;
    next->Context = nullptr;
    next->Control = 0;
}

void IoSetCompletionRoutine(PIRP irp, PIO_COMPLETION_ROUTINE routine, PVOID context,
                            BOOLEAN invokeOnSuccess, BOOLEAN invokeOnError,
                            BOOLEAN invokeOnCancel) {
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->CompletionRoutine = routine;
    next->Context = context;
    next->Control = 0;
    if (invokeOnSuccess)
        next->Control |= SL_INVOKE_ON_SUCCESS;
    if (invokeOnError)
        next->Control |= SL_INVOKE_ON_ERROR;
    if (invokeOnCancel)
        next->Control |= SL_INVOKE_ON_CANCEL;
}

NTSTATUS IoCallDriver(PDEVICE_OBJECT device, PIRP irp) {
    IoSetNextIrpStackLocation(irp);
    if (irp->CurrentLocation <= 0) {
        kernel::ReportRuleViolation("IoCallDriver with no stack location left");
        IoSkipCurrentIrpStackLocation(irp);
        return STATUS_INVALID_PARAMETER;
    }
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    stack->DeviceObject = device;
    PDRIVER_DISPATCH dispatch = nullptr;
    if (stack->MajorFunction <= IRP_MJ_MAXIMUM_FUNCTION)
        dispatch = device->DriverObject->MajorFunction[stack->MajorFunction];
    if (dispatch == nullptr)
        dispatch = &InvalidDeviceRequest;
    kernel::io::DispatchFrame* frame = kernel::io::BeginDispatch(irp);
    const NTSTATUS status = dispatch(device, irp);
    kernel::io::EndDispatch(frame, status);
    return status;
}

NTSTATUS PoCallDriver(PDEVICE_OBJECT device, PIRP irp) {
    return IoCallDriver(device, irp);
}
void PoStartNextPowerIrp(PIRP) {}

namespace {
thread_local int t_completions = 0;

// Counts the IoCompleteRequest calls that the thread is inside.
struct CompletionScope {
    CompletionScope() { ++t_completions; }
    ~CompletionScope() { --t_completions; }
};
}  // namespace

bool kernel::io::InsideCompletion() {
    return t_completions > 0;
}

void IoCompleteRequest(PIRP irp, CCHAR) {
    const CompletionScope scope;
    if (KeGetCurrentIrql() > DISPATCH_LEVEL)
        kernel::ReportRuleViolation("IoCompleteRequest above DISPATCH_LEVEL");
    if (irp->CurrentLocation > irp->StackCount) {
        kernel::ReportRuleViolation("IoCompleteRequest of an IRP that is not in a driver",
                                    "completed twice, or never sent");
        return;
    }
    if (irp->IoStatus.Status == STATUS_PENDING)
        kernel::ReportRuleViolation("IoCompleteRequest with STATUS_PENDING");
    if (__atomic_load_n(&irp->CancelRoutine, __ATOMIC_SEQ_CST) != nullptr)
        kernel::ReportRuleViolation("IoCompleteRequest with a cancel routine still set");

    for (;;) {
        PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
        irp->PendingReturned = (stack->Control & SL_PENDING_RETURNED) != 0;
        kernel::io::LocationCompleted(irp, irp->PendingReturned);
        const PIO_COMPLETION_ROUTINE routine = stack->CompletionRoutine;
        const PVOID context = stack->Context;
        const UCHAR control = stack->Control;
        stack->CompletionRoutine = nullptr;
        stack->Context = nullptr;
        stack->Control = 0;
        IoSkipCurrentIrpStackLocation(irp);
        const bool atTop = irp->CurrentLocation > irp->StackCount;

        const NTSTATUS status = irp->IoStatus.Status;
        const bool invoke =
            routine != nullptr && ((NT_SUCCESS(status) && (control & SL_INVOKE_ON_SUCCESS)) ||
                                   (!NT_SUCCESS(status) && (control & SL_INVOKE_ON_ERROR)) ||
                                   (irp->Cancel && (control & SL_INVOKE_ON_CANCEL)));
        if (invoke) {
            // The routine belongs to the driver one location up; it sees that driver's device.
            PDEVICE_OBJECT device =
                atTop ? nullptr : IoGetCurrentIrpStackLocation(irp)->DeviceObject;
            if (routine(device, irp, context) == STATUS_MORE_PROCESSING_REQUIRED)
                return;
        } else if (irp->PendingReturned && !atTop) {
            IoMarkIrpPending(irp);  // no routine to do it: pass the mark upward
        }
        if (atTop)
            break;
    }

    if (irp->IoManagerPrivate != nullptr) {
        kernel::io::FinishUserRequest(irp);
    } else {
        kernel::ReportRuleViolation(
            "a driver's own IRP was completed to the top",
            "its completion routine must return STATUS_MORE_PROCESSING_REQUIRED");
    }
}

PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL routine) {
    return __atomic_exchange_n(&irp->CancelRoutine, routine, __ATOMIC_SEQ_CST);
}

void IoAcquireCancelSpinLock(PKIRQL irql) {
    KeAcquireSpinLock(&g_cancelSpinLock, irql);
}

void IoReleaseCancelSpinLock(KIRQL irql) {
    KeReleaseSpinLock(&g_cancelSpinLock, irql);
}

BOOLEAN IoCancelIrp(PIRP irp) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    irp->Cancel = TRUE;
    PDRIVER_CANCEL routine = IoSetCancelRoutine(irp, nullptr);
    if (routine == nullptr) {
        IoReleaseCancelSpinLock(irql);
        return FALSE;
    }
    irp->CancelIrql = irql;
    PDEVICE_OBJECT device = irp->CurrentLocation <= irp->StackCount
                                ? IoGetCurrentIrpStackLocation(irp)->DeviceObject
                                : nullptr;
    routine(device, irp);  // releases the cancel spin lock
    return TRUE;
}

PMDL IoAllocateMdl(PVOID virtualAddress, ULONG length, BOOLEAN secondaryBuffer, BOOLEAN, PIRP irp) {
    auto* mdl = new MDL{nullptr, virtualAddress, length};
    if (irp != nullptr) {
        if (!secondaryBuffer || irp->MdlAddress == nullptr) {
            irp->MdlAddress = mdl;
        } else {
            PMDL last = irp->MdlAddress;
            while (last->Next != nullptr)
                last = last->Next;
            last->Next = mdl;
        }
    }
    return mdl;
}

void IoFreeMdl(PMDL mdl) {
    delete mdl;
}
void MmBuildMdlForNonPagedPool(PMDL) {}
PVOID MmGetSystemAddressForMdlSafe(PMDL mdl, MM_PAGE_PRIORITY) {
    if (KeGetCurrentIrql() > DISPATCH_LEVEL)
        kernel::ReportRuleViolation("MmGetSystemAddressForMdlSafe above DISPATCH_LEVEL");
    return mdl->StartVa;
}
ULONG MmGetMdlByteCount(PMDL mdl) {
    return mdl->ByteCount;
}
PVOID MmGetMdlVirtualAddress(PMDL mdl) {
    return mdl->StartVa;
}
