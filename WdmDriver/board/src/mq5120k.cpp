#include "board/mq5120k.h"

#include <new>

#include "board/board_device.h"

namespace board {

namespace {

// The driver's own state, set afresh by every DriverEntry.
struct DriverState {
    ULONG nextInstance = 0;
    ServiceParameters parameters;
};

DriverState& State() {
    static DriverState state;
    return state;
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice) {
    DriverState& state = State();
    auto* device = new (std::nothrow) BoardDevice(state.nextInstance, state.parameters);
    if (device == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    const NTSTATUS status = device->Create(driver, physicalDevice);
    if (!NT_SUCCESS(status)) {
        device->Destroy();
        return status;
    }
    ++state.nextInstance;
    return STATUS_SUCCESS;
}

void Unload(PDRIVER_OBJECT) {}

}  // namespace

NTSTATUS Mq5120kDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    DriverState& state = State();
    state = DriverState{};
    ReadServiceParameters(registryPath, &state.parameters);
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    for (UCHAR major : {IRP_MJ_CREATE, IRP_MJ_CLOSE, IRP_MJ_CLEANUP, IRP_MJ_READ, IRP_MJ_WRITE,
                        IRP_MJ_DEVICE_CONTROL, IRP_MJ_PNP, IRP_MJ_POWER})
        driver->MajorFunction[major] = wdm::KernelDeviceBase::DispatchEntry;
    return STATUS_SUCCESS;
}

}  // namespace board
