// Requests of the PnP manager and what it asks the I/O manager about a device stack.
#include "pnp/requests.h"

#include "host/host.h"
#include "io/io_manager.h"

namespace kernel::pnp {

namespace {
NTSTATUS SignalDone(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

}  // namespace

NTSTATUS Send(PDEVICE_OBJECT pdo, UCHAR major, UCHAR minor,
              const std::function<void(PIO_STACK_LOCATION)>& fill) {
    PDEVICE_OBJECT top = IoGetAttachedDevice(pdo);
    PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
    if (irp == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    irp->IoStatus.Information = 0;
    PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
    stack->MajorFunction = major;
    stack->MinorFunction = minor;
    if (fill)
        fill(stack);
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoSetCompletionRoutine(irp, SignalDone, &done, TRUE, TRUE, TRUE);
    if (major == IRP_MJ_POWER)
        PoCallDriver(top, irp);
    else
        IoCallDriver(top, irp);
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    const NTSTATUS status = irp->IoStatus.Status;
    IoFreeIrp(irp);
    return status;
}

NTSTATUS SendPnp(PDEVICE_OBJECT pdo, UCHAR minor) {
    return Send(pdo, IRP_MJ_PNP, minor);
}

std::set<PDEVICE_OBJECT> StackOf(PDEVICE_OBJECT pdo) {
    io::IoManager& io = io::IoManager::Instance();
    host::Guard guard(io.lock);
    std::set<PDEVICE_OBJECT> stack;
    for (PDEVICE_OBJECT device = pdo; device != nullptr; device = device->AttachedDevice)
        stack.insert(device);
    return stack;
}

bool FilesOpenOn(const std::set<PDEVICE_OBJECT>& stack) {
    io::IoManager& io = io::IoManager::Instance();
    host::Guard guard(io.lock);
    for (const auto& [id, file] : io.files)
        if (stack.count(file->device) != 0 || stack.count(file->target) != 0)
            return true;
    return false;
}

bool DriverInUse(PDRIVER_OBJECT driver) {
    io::IoManager& io = io::IoManager::Instance();
    host::Guard guard(io.lock);
    if (driver->DeviceObject != nullptr || io.workItemsOut.count(driver) != 0)
        return true;
    for (const auto& [id, file] : io.files)
        if (file->device->DriverObject == driver || file->target->DriverObject == driver)
            return true;
    return false;
}

}  // namespace kernel::pnp
