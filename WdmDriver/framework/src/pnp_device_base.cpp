#include "framework/pnp_device_base.h"

namespace wdm {

struct PnpDeviceBase::InterfaceRecord : PoolObject {
    LIST_ENTRY link;
    UNICODE_STRING name;  // as the I/O manager returned it
};

namespace {

NTSTATUS SignalEvent(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS WaitFor(KernelEvent& event, LONGLONG timeout) {
    if (KeGetCurrentIrql() > APC_LEVEL)
        return STATUS_UNSUCCESSFUL;
    return timeout == 0 ? event.Wait() : event.Wait(-timeout);
}

}  // namespace

PnpDeviceBase::PnpDeviceBase() : interfaces_(offsetof(InterfaceRecord, link)) {}

PnpDeviceBase::~PnpDeviceBase() {
    while (auto* record = static_cast<InterfaceRecord*>(interfaces_.RemoveHead())) {
        RtlFreeUnicodeString(&record->name);
        delete record;
    }
}

NTSTATUS PnpDeviceBase::Initialize(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice,
                                   PCWSTR deviceName, PCWSTR linkName, ULONG flags,
                                   const GUID* interfaceClass) {
    physical_ = physicalDevice;
    const ULONG powerFlags = physicalDevice->Flags & (DO_POWER_PAGABLE | DO_POWER_INRUSH);
    constructionStatus_ = CreateDeviceObject(driver, deviceName, flags | powerFlags);
    if (NT_SUCCESS(constructionStatus_) && linkName != nullptr)
        constructionStatus_ = CreateLink(linkName);
    if (NT_SUCCESS(constructionStatus_)) {
        lower_ = IoAttachDeviceToDeviceStack(DeviceObject(), physicalDevice);
        if (lower_ == nullptr)
            constructionStatus_ = STATUS_NO_SUCH_DEVICE;
    }
    if (NT_SUCCESS(constructionStatus_) && interfaceClass != nullptr) {
        auto* record = new (std::nothrow) InterfaceRecord;
        if (record == nullptr) {
            constructionStatus_ = STATUS_INSUFFICIENT_RESOURCES;
        } else {
            record->name = {0, 0, nullptr};
            if (!NT_SUCCESS(IoRegisterDeviceInterface(physicalDevice, interfaceClass, nullptr,
                                                      &record->name))) {
                delete record;
                constructionStatus_ = STATUS_INSUFFICIENT_RESOURCES;
            } else {
                interfaces_.InsertTail(record);
            }
        }
    }
    if (!NT_SUCCESS(constructionStatus_) && lower_ != nullptr) {
        IoDetachDevice(lower_);
        lower_ = nullptr;
    }
    if (NT_SUCCESS(constructionStatus_))
        DeviceObject()->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
    return constructionStatus_;
}

void PnpDeviceBase::SetWaitTimeouts(LONGLONG removal, LONGLONG queryStop, LONGLONG queryRemove) {
    removalTimeout_ = removal;
    queryStopTimeout_ = queryStop;
    queryRemoveTimeout_ = queryRemove;
}

// ---- Busy count --------------------------------------------------------------------------------

void PnpDeviceBase::AcquireBusy() {
    SpinLockHold hold(busyLock_);
    if (++busy_ == 2)
        idleEvent_.Clear();
}

void PnpDeviceBase::ReleaseBusy() {
    SpinLockHold hold(busyLock_);
    const LONG count = --busy_;
    if (count == 1)
        idleEvent_.Set();
    else if (count == 0)
        removedEvent_.Set();
}

NTSTATUS PnpDeviceBase::WaitForIdle(LONGLONG timeout) {
    return WaitFor(idleEvent_, timeout);
}

NTSTATUS PnpDeviceBase::WaitForRemoval(LONGLONG timeout) {
    return WaitFor(removedEvent_, timeout);
}

NTSTATUS PnpDeviceBase::CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    CompleteIrp(irp, status, information);
    ReleaseBusy();
    return status;
}

NTSTATUS PnpDeviceBase::NotImplemented(PIRP irp) {
    return CompleteRequest(irp, STATUS_NOT_IMPLEMENTED);
}

// ---- Dispatch gate -----------------------------------------------------------------------------

bool PnpDeviceBase::ShouldHold() const {
    const ULONG state = state_.load();
    const ULONG hold = policy_.hold;
    return ((state & kRemovePending) && (hold & hold_policy::kWhileRemovePending)) ||
           ((state & kStopPending) && (hold & hold_policy::kWhileStopPending)) ||
           (!(state & kStarted) && (hold & hold_policy::kBeforeStart));
}

NTSTATUS PnpDeviceBase::Dispatch(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    // Create and close wait for the device mutex before they count as busy: removal holds the
    // mutex while it waits for the busy count to drain.
    if (stack->MajorFunction == IRP_MJ_CREATE)
        return GateCreate(irp);
    if (stack->MajorFunction == IRP_MJ_CLOSE)
        return GateClose(irp);

    AcquireBusy();
    const bool gone = Is(kRemoved) || Is(kSurpriseRemoved);
    switch (stack->MajorFunction) {
        case IRP_MJ_CLEANUP:
        case IRP_MJ_SHUTDOWN:
            if (policy_.hold & hold_policy::kCancelFileAtCleanup)
                CancelHeld(stack->FileObject);
            return CallHandler(irp);
        case IRP_MJ_POWER:
            if (gone) {
                PoStartNextPowerIrp(irp);
                return CompleteRequest(irp, STATUS_DELETE_PENDING);
            }
            return CallHandler(irp);
        case IRP_MJ_SYSTEM_CONTROL:
        case IRP_MJ_PNP: {
            const bool removeAfterSurprise = stack->MajorFunction == IRP_MJ_PNP &&
                                             stack->MinorFunction == IRP_MN_REMOVE_DEVICE &&
                                             !Is(kRemoved);
            if (!gone || removeAfterSurprise)
                return CallHandler(irp);
            return CompleteRequest(irp, STATUS_DELETE_PENDING);
        }
        default:
            break;
    }
    if (gone && (policy_.general & general_policy::kFailAfterRemoval))
        return CompleteRequest(irp, STATUS_DELETE_PENDING);
    if (ShouldHold()) {
        ReleaseBusy();
        return HoldRequest(irp);
    }
    if (!Is(kStarted) && (policy_.general & general_policy::kFailBeforeStart))
        return CompleteRequest(irp, STATUS_UNSUCCESSFUL);
    return CallHandler(irp);
}

NTSTATUS PnpDeviceBase::GateCreate(PIRP irp) {
    MutexHold hold(mutex_);
    AcquireBusy();
    if (Is(kRemoved) || Is(kSurpriseRemoved)) {
        ReleaseBusy();
        hold.Unlock();
        return CompleteIrp(irp, STATUS_DELETE_PENDING);
    }
    const NTSTATUS status = OnCreate(irp);
    if (NT_SUCCESS(status))
        ++open_;
    return status;
}

NTSTATUS PnpDeviceBase::GateClose(PIRP irp) {
    MutexHold hold(mutex_);
    AcquireBusy();
    const NTSTATUS status = OnClose(irp);
    if (NT_SUCCESS(status))
        --open_;
    if (open_.load() == 0 && Is(kRemoved) && !Is(kRemovalInProgress) &&
        (policy_.general & general_policy::kDestroyAtRemoval)) {
        hold.Unlock();
        Destroy();
    }
    return status;
}

// ---- Hold queue --------------------------------------------------------------------------------

NTSTATUS PnpDeviceBase::HoldRequest(PIRP irp) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    if (irp->Cancel) {
        IoReleaseCancelSpinLock(irql);
        return CompleteIrp(irp, STATUS_CANCELLED);
    }
    IoMarkIrpPending(irp);
    irp->Tail.Overlay.DriverContext[0] = this;
    held_.InsertTailLocked(irp);
    IoSetCancelRoutine(irp, HoldCancelRoutine);
    IoReleaseCancelSpinLock(irql);
    return STATUS_PENDING;
}

void PnpDeviceBase::HoldCancelRoutine(PDEVICE_OBJECT, PIRP irp) {
    auto* self = static_cast<PnpDeviceBase*>(irp->Tail.Overlay.DriverContext[0]);
    {
        SpinLockHold hold(self->held_.GetLock());
        if (self->held_.Contains(irp))
            self->held_.Remove(irp);
    }
    IoReleaseCancelSpinLock(irp->CancelIrql);
    CompleteIrp(irp, STATUS_CANCELLED);
}

void PnpDeviceBase::ReleaseHeld(bool fail) {
    for (;;) {
        KIRQL irql;
        IoAcquireCancelSpinLock(&irql);
        auto* irp = static_cast<PIRP>(held_.RemoveHeadLocked());
        if (irp == nullptr) {
            IoReleaseCancelSpinLock(irql);
            return;
        }
        // None back: the cancel routine runs for it and completes it.
        const bool owned = IoSetCancelRoutine(irp, nullptr) != nullptr;
        IoReleaseCancelSpinLock(irql);
        if (!owned)
            continue;
        if (irp->Cancel)
            CompleteIrp(irp, STATUS_CANCELLED);
        else if (fail)
            CompleteIrp(irp, STATUS_DELETE_PENDING);
        else
            Dispatch(irp);
    }
}

void PnpDeviceBase::CancelHeld(PFILE_OBJECT file) {
    UnlockedList taken(kIrpLinkOffset);
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    {
        SpinLockHold hold(held_.GetLock());
        for (auto* irp = static_cast<PIRP>(held_.First()); irp != nullptr;) {
            auto* next = static_cast<PIRP>(held_.Next(irp));
            if ((file == nullptr || IoGetCurrentIrpStackLocation(irp)->FileObject == file) &&
                IoSetCancelRoutine(irp, nullptr) != nullptr) {
                held_.Remove(irp);
                taken.InsertTail(irp);
            }
            irp = next;
        }
    }
    IoReleaseCancelSpinLock(irql);
    while (auto* irp = static_cast<PIRP>(taken.RemoveHead()))
        CompleteIrp(irp, STATUS_CANCELLED);
}

std::size_t PnpDeviceBase::HeldCount() {
    return held_.CountLocked();
}

// ---- Forwarding --------------------------------------------------------------------------------

NTSTATUS PnpDeviceBase::PassOn(PIRP irp, bool releaseBusy) {
    IoSkipCurrentIrpStackLocation(irp);
    PDEVICE_OBJECT lower = lower_;
    if (releaseBusy)
        ReleaseBusy();
    return IoCallDriver(lower, irp);
}

NTSTATUS PnpDeviceBase::AnswerCapabilities(PIRP irp) {
    if (PDEVICE_CAPABILITIES capabilities =
            IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceCapabilities.Capabilities)
        capabilities->SurpriseRemovalOK = TRUE;
    return CompleteRequest(irp, STATUS_SUCCESS);
}

NTSTATUS PnpDeviceBase::ForwardPnp(PIRP irp) {
    return PassOn(irp, true);
}

NTSTATUS PnpDeviceBase::ForwardPower(PIRP irp) {
    PoStartNextPowerIrp(irp);
    IoCopyCurrentIrpStackLocationToNext(irp);
    PDEVICE_OBJECT lower = lower_;
    ReleaseBusy();
    return PoCallDriver(lower, irp);
}

NTSTATUS PnpDeviceBase::ForwardAndWait(PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalEvent, &done, TRUE, TRUE, TRUE);
    IoCallDriver(lower_, irp);
    // The completion routine signals in both cases: completed at once or later.
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return irp->IoStatus.Status;
}

NTSTATUS PnpDeviceBase::OnPower(PIRP irp) {
    return ForwardPower(irp);
}

// ---- Plug and Play -----------------------------------------------------------------------------

void PnpDeviceBase::EnableInterfaces(bool enable) {
    if (!(policy_.general & general_policy::kManageInterfaces) || interfacesEnabled_ == enable)
        return;
    interfacesEnabled_ = enable;
    for (auto* record = static_cast<InterfaceRecord*>(interfaces_.First()); record != nullptr;
         record = static_cast<InterfaceRecord*>(interfaces_.Next(record)))
        IoSetDeviceInterfaceState(&record->name, enable ? TRUE : FALSE);
}

void PnpDeviceBase::CancelSystemQueue() {
    while (PKDEVICE_QUEUE_ENTRY entry = KeRemoveDeviceQueue(&DeviceObject()->DeviceQueue)) {
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.DriverContext[0]);
        CompleteRequest(irp, STATUS_CANCELLED);
    }
}

NTSTATUS PnpDeviceBase::OnPnp(PIRP irp) {
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
        case IRP_MN_START_DEVICE:
            return PnpStart(irp);
        case IRP_MN_QUERY_STOP_DEVICE:
            return PnpQueryStop(irp);
        case IRP_MN_STOP_DEVICE:
            return PnpStop(irp);
        case IRP_MN_CANCEL_STOP_DEVICE:
            return PnpCancelStop(irp);
        case IRP_MN_QUERY_REMOVE_DEVICE:
            return PnpQueryRemove(irp);
        case IRP_MN_CANCEL_REMOVE_DEVICE:
            return PnpCancelRemove(irp);
        case IRP_MN_REMOVE_DEVICE:
            return PnpRemove(irp);
        case IRP_MN_SURPRISE_REMOVAL:
            return PnpSurpriseRemoval(irp);
        case IRP_MN_QUERY_PNP_DEVICE_STATE:
            return PnpQueryDeviceState(irp);
        case IRP_MN_QUERY_CAPABILITIES:
            return OnQueryCapabilities(irp);
        default:
            return OnOtherPnp(irp);
    }
}

NTSTATUS PnpDeviceBase::PnpStart(PIRP irp) {
    if (policy_.forward & forward_policy::kStartFirst) {
        const NTSTATUS lower = ForwardAndWait(irp);
        if (!NT_SUCCESS(lower))
            return CompleteRequest(irp, lower);
    }
    const NTSTATUS status = OnStartDevice(irp);
    if (NT_SUCCESS(status))
        SetState(kStarted);
    CompleteRequest(irp, status);
    if (NT_SUCCESS(status))
        EnableInterfaces(true);
    return status;
}

NTSTATUS PnpDeviceBase::PnpQueryStop(PIRP irp) {
    if (((policy_.queryStop & query_policy::kRefuseWhileOpen) && open_.load() != 0) ||
        ((policy_.queryStop & query_policy::kRefuseWhileBusy) && busy_.load() > 2))
        return CompleteRequest(irp, STATUS_DEVICE_BUSY);
    const NTSTATUS status = OnQueryStopDevice(irp);
    if (!NT_SUCCESS(status))
        return CompleteRequest(irp, status);
    SetState(kStopPending);
    if (!Is(kStarted))
        return CompleteRequest(irp, status);
    bool released = false;
    if (policy_.queryStop & query_policy::kWaitForIdle) {
        ReleaseBusy();
        released = true;
        if (!WaitedIdle(queryStopTimeout_, policy_.queryStop)) {
            ClearState(kStopPending);
            return CompleteIrp(irp, STATUS_DEVICE_BUSY);
        }
    }
    irp->IoStatus.Status = STATUS_SUCCESS;
    return PassOn(irp, !released);
}

bool PnpDeviceBase::WaitedIdle(LONGLONG timeout, ULONG queryPolicy) {
    if (WaitForIdle(timeout) != STATUS_TIMEOUT)
        return true;
    if (queryPolicy & query_policy::kCancelHeldOnTimeout)
        CancelHeld(nullptr);
    return false;
}

NTSTATUS PnpDeviceBase::PnpStop(PIRP irp) {
    OnStopDevice(irp);
    NTSTATUS status = STATUS_SUCCESS;
    if (Is(kStarted)) {
        ClearState(kStarted);
        irp->IoStatus.Status = STATUS_SUCCESS;
        status = PassOn(irp, true);
    } else {
        CompleteRequest(irp, STATUS_SUCCESS);
    }
    ClearState(kStarted | kStopPending);
    EnableInterfaces(false);
    if (policy_.hold & hold_policy::kCancelAtStop)
        CancelHeld(nullptr);
    return status;
}

NTSTATUS PnpDeviceBase::PnpCancelStop(PIRP irp) {
    if (policy_.forward & forward_policy::kCancelStopFirst) {
        const NTSTATUS lower = ForwardAndWait(irp);
        if (!NT_SUCCESS(lower))
            return CompleteRequest(irp, lower);
    }
    const NTSTATUS status = OnCancelStopDevice(irp);
    ClearState(kStopPending);
    if (policy_.hold & hold_policy::kReleaseAtCancelStop)
        ReleaseHeld(false);
    return CompleteRequest(irp, status);
}

NTSTATUS PnpDeviceBase::PnpQueryRemove(PIRP irp) {
    if ((policy_.queryRemove & query_policy::kRefuseWhileOpen) && open_.load() != 0)
        return CompleteRequest(irp, STATUS_DEVICE_BUSY);
    const NTSTATUS status = OnQueryRemoveDevice(irp);
    if (!NT_SUCCESS(status))
        return CompleteRequest(irp, status);
    SetState(kRemovePending);
    if (policy_.queryRemove & query_policy::kCancelSystemQueue)
        CancelSystemQueue();
    bool released = false;
    if (Is(kStarted) && (policy_.queryRemove & query_policy::kWaitForIdle)) {
        // This request's own count goes now, once; the pass-on below releases nothing more.
        ReleaseBusy();
        released = true;
        if (!WaitedIdle(queryRemoveTimeout_, policy_.queryRemove)) {
            // Still busy: refused; this request's count went already.
            ClearState(kRemovePending);
            return CompleteIrp(irp, STATUS_DEVICE_BUSY);
        }
    }
    irp->IoStatus.Status = STATUS_SUCCESS;
    return PassOn(irp, !released);
}

NTSTATUS PnpDeviceBase::PnpCancelRemove(PIRP irp) {
    if (policy_.forward & forward_policy::kCancelRemoveFirst) {
        const NTSTATUS lower = ForwardAndWait(irp);
        if (!NT_SUCCESS(lower))
            return CompleteRequest(irp, lower);
    }
    const NTSTATUS status = OnCancelRemoveDevice(irp);
    ClearState(kRemovePending);
    if (policy_.hold & hold_policy::kReleaseAtCancelRemove)
        ReleaseHeld(false);
    return CompleteRequest(irp, status);
}

NTSTATUS PnpDeviceBase::PnpRemove(PIRP irp) {
    MutexHold hold(mutex_);
    SetState(kRemoved | kRemovalInProgress);
    if (policy_.hold & hold_policy::kFailAtRemoval)
        ReleaseHeld(true);
    EnableInterfaces(false);
    OnRemoveDevice(irp);
    const bool wait = (policy_.general & general_policy::kWaitAtRemoval) != 0;
    // The two explicit releases below are this request's own count and the idle count of 1, so
    // that the count ends at exactly 0; the pass-on releases nothing.
    ReleaseBusy();
    if (wait)
        WaitForIdle(removalTimeout_);
    irp->IoStatus.Status = STATUS_SUCCESS;
    PDEVICE_OBJECT lower = lower_;
    const NTSTATUS status = PassOn(irp, false);
    if ((policy_.general & general_policy::kDetachAtRemoval) && lower != nullptr) {
        IoDetachDevice(lower);
        lower_ = nullptr;
    }
    ReleaseBusy();
    if (wait)
        WaitForRemoval(removalTimeout_);
    DeleteLink();
    if (open_.load() == 0 && (policy_.general & general_policy::kDestroyAtRemoval)) {
        hold.Unlock();
        Destroy();
        return status;
    }
    ClearState(kStarted | kStopPending | kRemovePending | kRemovalInProgress);
    return status;
}

NTSTATUS PnpDeviceBase::PnpSurpriseRemoval(PIRP irp) {
    SetState(kSurpriseRemoved);
    if (policy_.hold & hold_policy::kFailAtRemoval)
        ReleaseHeld(true);
    OnSurpriseRemoval(irp);
    irp->IoStatus.Status = STATUS_SUCCESS;
    const NTSTATUS status = PassOn(irp, true);
    ClearState(kStarted | kStopPending | kRemovePending);
    return status;
}

NTSTATUS PnpDeviceBase::PnpQueryDeviceState(PIRP irp) {
    const NTSTATUS status = OnQueryDeviceState(irp);
    if (!NT_SUCCESS(status))
        return CompleteRequest(irp, status);
    if (Is(kStarted) && !Is(kStopPending)) {
        irp->IoStatus.Status = status;
        return PassOn(irp, true);
    }
    return CompleteRequest(irp, status);
}

}  // namespace wdm
