// The machine's bus driver: physical devices for the boards, and the start and remove requests
// that the Plug and Play manager would send to their stacks.
#include "sim/bus.h"

#include <cstdio>
#include <memory>
#include <string>

namespace sim {
namespace {

constexpr wchar_t kManufacturer[] = L"Marquell";

struct PhysicalExtension {
    std::uint32_t magic;
    SimulatedBoard* board;
    bool pulledOut;  // surprise-removed: the stack stays until the machine shuts down
};
constexpr std::uint32_t kMagic = 0x53494D42;  // "SIMB"

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

NTSTATUS SignalDone(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), 0, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// A Plug and Play request to the top of the board's stack, waited for.
NTSTATUS SendPnp(PDEVICE_OBJECT physical, UCHAR minor) {
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(physical);
    PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
    if (irp == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_PNP;
    next->MinorFunction = minor;
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoSetCompletionRoutine(irp, SignalDone, &done, TRUE, TRUE, TRUE);
    IoCallDriver(top, irp);
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    const NTSTATUS status = irp->IoStatus.Status;
    IoFreeIrp(irp);
    ObDereferenceObject(top);
    return status;
}

void DeletePhysical(PDEVICE_OBJECT physical) {
    auto* extension = static_cast<PhysicalExtension*>(physical->DeviceExtension);
    delete extension->board;
    extension->board = nullptr;
    IoDeleteDevice(physical);
}

}  // namespace

NTSTATUS BusDriverEntry(PDRIVER_OBJECT, PUNICODE_STRING) {
    return STATUS_SUCCESS;  // the physical devices get no requests of their own
}

SimulatedBoard* BoardOfPhysicalDevice(PDEVICE_OBJECT device) {
    if (device == nullptr || device->DeviceExtension == nullptr ||
        device->Size < sizeof(DEVICE_OBJECT) + sizeof(PhysicalExtension))
        return nullptr;
    auto* extension = static_cast<PhysicalExtension*>(device->DeviceExtension);
    return extension->magic == kMagic ? extension->board : nullptr;
}

NTSTATUS PlugIn(PDRIVER_OBJECT bus, PDRIVER_OBJECT functionDriver,
                const BoardDescription& description, int index) {
    std::wstring name = L"\\Device\\MqSimBoard" + std::to_wstring(index);
    UNICODE_STRING nameString{static_cast<USHORT>(name.size() * sizeof(WCHAR)),
                              static_cast<USHORT>(name.size() * sizeof(WCHAR)), name.data()};
    PDEVICE_OBJECT physical = nullptr;
    NTSTATUS status = IoCreateDevice(bus, sizeof(PhysicalExtension), &nameString,
                                     FILE_DEVICE_UNKNOWN, 0, FALSE, &physical);
    if (!NT_SUCCESS(status))
        return status;
    auto* extension = static_cast<PhysicalExtension*>(physical->DeviceExtension);
    extension->magic = kMagic;
    extension->board = new SimulatedBoard(description);
    physical->Flags &= ~DO_DEVICE_INITIALIZING;

    const std::string driverName = DriverNameOf(description.family);
    wchar_t serial[16];
    std::swprintf(serial, 16, L"%08X", description.serialNumber);
    std::wstring upper;
    for (char c : driverName)
        upper += static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(c)));
    status = kernel::SetDeviceInstancePath(physical, L"SIM\\" + upper + L"\\" + serial);
    if (!NT_SUCCESS(status)) {
        DeletePhysical(physical);
        return status;
    }
    kernel::SetDeviceProperty(physical, DevicePropertyManufacturer, kManufacturer);
    kernel::SetDeviceProperty(physical, DevicePropertyDeviceDescription, Wide(driverName));

    status = functionDriver->DriverExtension->AddDevice(functionDriver, physical);
    if (!NT_SUCCESS(status)) {
        DeletePhysical(physical);
        return status;
    }
    status = SendPnp(physical, IRP_MN_START_DEVICE);
    if (!NT_SUCCESS(status))
        Unplug(physical);  // a board that did not start is removed again
    return status;
}

void PullOut(PDEVICE_OBJECT physical) {
    auto* extension = static_cast<PhysicalExtension*>(physical->DeviceExtension);
    if (extension->pulledOut)
        return;
    extension->pulledOut = true;
    if (physical->AttachedDevice != nullptr)
        SendPnp(physical, IRP_MN_SURPRISE_REMOVAL);
}

bool IsPluggedIn(PDEVICE_OBJECT physical) {
    return BoardOfPhysicalDevice(physical) != nullptr &&
           !static_cast<PhysicalExtension*>(physical->DeviceExtension)->pulledOut;
}

void Unplug(PDEVICE_OBJECT physical) {
    if (physical->AttachedDevice != nullptr)
        SendPnp(physical, IRP_MN_REMOVE_DEVICE);
    DeletePhysical(physical);
}

}  // namespace sim
