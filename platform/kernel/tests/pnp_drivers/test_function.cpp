#include "test_function.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "kernel/loader.h"
#include "kernel/wide.h"

namespace pnp_test {
namespace {

struct FdoExtension {
    PDEVICE_OBJECT lower;
    WCHAR link[32];
};

std::unique_ptr<FunctionLog>& LogSlot() {
    static std::unique_ptr<FunctionLog> log = std::make_unique<FunctionLog>();
    return log;
}

void Note(PIRP irp) {
    FunctionLog& log = TheFunctionLog();
    std::lock_guard lock(log.mutex);
    log.seen.push_back(Observe(irp));
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->MajorFunction == IRP_MJ_PNP && stack->MinorFunction == IRP_MN_QUERY_CAPABILITIES)
        log.capabilitiesOnArrival = *stack->Parameters.DeviceCapabilities.Capabilities;
}

NTSTATUS Complete(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS PassDown(PDEVICE_OBJECT fdo, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(static_cast<FdoExtension*>(fdo->DeviceExtension)->lower, irp);
}

NTSTATUS SignalEvent(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Sends the request down and waits for the lower driver's answer.
NTSTATUS ForwardFirst(PDEVICE_OBJECT fdo, PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalEvent, &done, TRUE, TRUE, TRUE);
    IoCallDriver(static_cast<FdoExtension*>(fdo->DeviceExtension)->lower, irp);
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return irp->IoStatus.Status;
}

UNICODE_STRING LinkOf(FdoExtension* extension) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, extension->link);
    return link;
}

void RunUntilReleased(PDEVICE_OBJECT, PVOID context) {
    FunctionLog& log = TheFunctionLog();
    log.workRunning = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!log.releaseWork && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    IoFreeWorkItem(static_cast<PIO_WORKITEM>(context));
    log.unloadsSeenByWork = log.unloads.load();
}

void QueueWorkAtRemoval(PDEVICE_OBJECT fdo) {
    if (!TheFunctionLog().workAtRemoval)
        return;
    PIO_WORKITEM item = IoAllocateWorkItem(fdo);
    if (item != nullptr)
        IoQueueWorkItem(item, RunUntilReleased, DelayedWorkQueue, item);
}

NTSTATUS FdoPnp(PDEVICE_OBJECT fdo, PIRP irp) {
    Note(irp);
    FunctionLog& log = TheFunctionLog();
    auto* extension = static_cast<FdoExtension*>(fdo->DeviceExtension);
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
        case IRP_MN_START_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
            return Complete(irp, ForwardFirst(fdo, irp));
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_QUERY_REMOVE_DEVICE: {
            const bool stop =
                IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_QUERY_STOP_DEVICE;
            const NTSTATUS refusal =
                stop ? log.queryStopStatus.load() : log.queryRemoveStatus.load();
            if (!NT_SUCCESS(refusal))
                return Complete(irp, refusal);
            irp->IoStatus.Status = STATUS_SUCCESS;
            return PassDown(fdo, irp);
        }
        case IRP_MN_STOP_DEVICE:
        case IRP_MN_SURPRISE_REMOVAL:
        case IRP_MN_QUERY_PNP_DEVICE_STATE:
            irp->IoStatus.Status = STATUS_SUCCESS;
            return PassDown(fdo, irp);
        case IRP_MN_REMOVE_DEVICE: {
            irp->IoStatus.Status = STATUS_SUCCESS;
            PDEVICE_OBJECT lower = extension->lower;
            const NTSTATUS status = PassDown(fdo, irp);
            IoDetachDevice(lower);
            UNICODE_STRING link = LinkOf(extension);
            IoDeleteSymbolicLink(&link);
            QueueWorkAtRemoval(fdo);
            IoDeleteDevice(fdo);
            return status;
        }
        default:
            return PassDown(fdo, irp);
    }
}

NTSTATUS FdoPower(PDEVICE_OBJECT fdo, PIRP irp) {
    Note(irp);
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(static_cast<FdoExtension*>(fdo->DeviceExtension)->lower, irp);
}

NTSTATUS FdoFile(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Information = 0;
    return Complete(irp, STATUS_SUCCESS);
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    FunctionLog& log = TheFunctionLog();
    {
        std::lock_guard lock(log.mutex);
        log.addedFor.push_back(pdo);
    }
    if (!NT_SUCCESS(log.addDeviceStatus.load()))
        return log.addDeviceStatus.load();
    const int index = log.nextIndex++;
    const std::u16string deviceName = u"\\Device\\PnpTest" + kernel::WideNumber(index);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, deviceName.c_str());
    PDEVICE_OBJECT fdo = nullptr;
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(FdoExtension), &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &fdo);
    if (!NT_SUCCESS(status))
        return status;
    auto* extension = static_cast<FdoExtension*>(fdo->DeviceExtension);
    const std::u16string linkName = u"\\DosDevices\\PnpTest" + kernel::WideNumber(index);
    linkName.copy(extension->link, linkName.size());
    UNICODE_STRING link = LinkOf(extension);
    IoCreateSymbolicLink(&link, &name);
    extension->lower = IoAttachDeviceToDeviceStack(fdo, pdo);
    if (!log.leaveInitializing)
        fdo->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
    return STATUS_SUCCESS;
}

void Unload(PDRIVER_OBJECT) {
    ++TheFunctionLog().unloads;
}

NTSTATUS FunctionEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    ++TheFunctionLog().loads;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    driver->MajorFunction[IRP_MJ_PNP] = FdoPnp;
    driver->MajorFunction[IRP_MJ_POWER] = FdoPower;
    driver->MajorFunction[IRP_MJ_CREATE] = FdoFile;
    driver->MajorFunction[IRP_MJ_CLOSE] = FdoFile;
    driver->MajorFunction[IRP_MJ_CLEANUP] = FdoFile;
    return STATUS_SUCCESS;
}

}  // namespace

std::vector<UCHAR> FunctionLog::PnpMinors() {
    std::lock_guard lock(mutex);
    std::vector<UCHAR> minors;
    for (const SeenIrp& irp : seen)
        if (irp.major == IRP_MJ_PNP)
            minors.push_back(irp.minor);
    return minors;
}

FunctionLog& TheFunctionLog() {
    return *LogSlot();
}

void ResetFunctionLog() {
    LogSlot() = std::make_unique<FunctionLog>();
}

kernel::pnp::FunctionDriver TestFunctionDriver() {
    return {u"pnptestfn", [](PDRIVER_OBJECT* driver) {
                return kernel::LoadDriver(u"pnptestfn", FunctionEntry, u"", driver);
            }};
}

}  // namespace pnp_test
