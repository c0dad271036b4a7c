#include "hold_driver.h"

#include <string>

#include "kernel/loader.h"
#include "kernel/wdm.h"

namespace hold {
namespace {

KSPIN_LOCK g_lock;
LIST_ENTRY g_held;
PDRIVER_OBJECT g_driver = nullptr;

// A counted string of the driver's own names, whatever the width of WCHAR.
struct Name {
    explicit Name(const char* text) {
        std::size_t length = 0;
        for (; text[length] != '\0'; ++length)
            buffer[length] = static_cast<WCHAR>(text[length]);
        buffer[length] = 0;
        string.Buffer = buffer;
        string.Length = static_cast<USHORT>(length * sizeof(WCHAR));
        string.MaximumLength = static_cast<USHORT>(string.Length + sizeof(WCHAR));
    }
    WCHAR buffer[64];
    UNICODE_STRING string;
};

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

DRIVER_DISPATCH DispatchOpenClose, DispatchHold;

NTSTATUS DispatchOpenClose(PDEVICE_OBJECT, PIRP irp) {
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchHold(PDEVICE_OBJECT, PIRP irp) {
    IoMarkIrpPending(irp);
    KIRQL irql;
    KeAcquireSpinLock(&g_lock, &irql);
    InsertTailList(&g_held, &irp->Tail.Overlay.ListEntry);
    KeReleaseSpinLock(&g_lock, irql);
    return STATUS_PENDING;
}

DRIVER_UNLOAD UnloadDriver;
void UnloadDriver(PDRIVER_OBJECT driver) {
    Name link("\\DosDevices\\Hold");
    IoDeleteSymbolicLink(&link.string);
    while (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
}

DRIVER_INITIALIZE DriverEntry;
NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    KeInitializeSpinLock(&g_lock);
    InitializeListHead(&g_held);
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_READ] = DispatchHold;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchHold;
    driver->DriverUnload = UnloadDriver;
    Name device("\\Device\\Hold");
    Name link("\\DosDevices\\Hold");
    PDEVICE_OBJECT object = nullptr;
    NTSTATUS status =
        IoCreateDevice(driver, 0, &device.string, FILE_DEVICE_UNKNOWN, 0, FALSE, &object);
    if (!NT_SUCCESS(status))
        return status;
    object->Flags |= DO_BUFFERED_IO;
    status = IoCreateSymbolicLink(&link.string, &device.string);
    if (!NT_SUCCESS(status))
        IoDeleteDevice(object);
    return status;
}

template <class Visit>
void ForEachHeld(Visit visit) {
    KIRQL irql;
    KeAcquireSpinLock(&g_lock, &irql);
    for (PLIST_ENTRY entry = g_held.Flink; entry != &g_held; entry = entry->Flink)
        visit(CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry));
    KeReleaseSpinLock(&g_lock, irql);
}

}  // namespace

std::int32_t Load() {
    return kernel::LoadDriver(u"Hold", DriverEntry, u"\\Registry\\Machine\\Hold", &g_driver);
}

void Unload() {
    if (g_driver != nullptr)
        kernel::UnloadDriver(g_driver);
    g_driver = nullptr;
}

std::size_t HeldCount() {
    std::size_t count = 0;
    ForEachHeld([&](PIRP) { ++count; });
    return count;
}

std::size_t CancelledCount() {
    std::size_t count = 0;
    ForEachHeld([&](PIRP irp) { count += irp->Cancel ? 1 : 0; });
    return count;
}

bool CompleteOldest(std::int32_t status, std::uint32_t information) {
    KIRQL irql;
    KeAcquireSpinLock(&g_lock, &irql);
    PIRP irp = nullptr;
    if (!IsListEmpty(&g_held)) {
        PLIST_ENTRY entry = RemoveHeadList(&g_held);
        irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
    }
    KeReleaseSpinLock(&g_lock, irql);
    if (irp == nullptr)
        return false;
    Complete(irp, status, information);
    return true;
}

}  // namespace hold
