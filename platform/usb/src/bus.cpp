// The bus: its driver object, the PDOs' dispatch routines and the list of ports.
#include "usb/bus.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "kernel/loader.h"
#include "kernel/wide.h"
#include "port.h"

namespace usb {
namespace {

NTSTATUS DispatchInternal(PDEVICE_OBJECT device, PIRP irp) {
    return Port::From(device)->DispatchUrb(irp);
}
NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
    return Port::From(device)->DispatchPnp(irp);
}
NTSTATUS DispatchPower(PDEVICE_OBJECT device, PIRP irp) {
    return Port::From(device)->DispatchPower(irp);
}

NTSTATUS BusEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = DispatchInternal;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    return STATUS_SUCCESS;
}

}  // namespace

Bus::Bus() : frames_(std::make_unique<FrameService>()) {
    kernel::LoadDriver(u"usbbus", BusEntry, u"\\Registry\\Machine\\System\\usbbus", &driver_);
}

Bus::~Bus() {
    std::vector<std::unique_ptr<Port>> ports;
    {
        std::lock_guard lock(mutex_);
        ports.swap(ports_);
    }
    for (auto& port : ports)
        port->Shutdown();
    ports.clear();
    if (driver_ != nullptr)
        kernel::UnloadDriver(driver_);
}

PDEVICE_OBJECT Bus::Plug(std::shared_ptr<DeviceModel> model) {
    Reap();
    PDEVICE_OBJECT pdo = nullptr;
    if (driver_ == nullptr || model == nullptr)
        return nullptr;
    // PDOs are named, as a hub names them, so that device interfaces and links can point at them.
    static std::atomic<unsigned> nextPdo{1};
    std::u16string name = u"\\Device\\USBPDO-" + kernel::WideNumber(nextPdo++);
    UNICODE_STRING nameString{static_cast<USHORT>(name.size() * sizeof(WCHAR)),
                              static_cast<USHORT>(name.size() * sizeof(WCHAR)), name.data()};
    if (!NT_SUCCESS(IoCreateDevice(driver_, sizeof(Port*), &nameString, FILE_DEVICE_BUS_EXTENDER,
                                   FILE_DEVICE_SECURE_OPEN, FALSE, &pdo)))
        return nullptr;
    auto port = std::make_unique<Port>(pdo, std::move(model), *frames_);
    pdo->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
    pdo->Flags |= DO_POWER_PAGABLE;
    std::lock_guard lock(mutex_);
    ports_.push_back(std::move(port));
    return pdo;
}

Port* Bus::Find(PDEVICE_OBJECT pdo) const {
    std::lock_guard lock(mutex_);
    for (const auto& port : ports_)
        if (port->Identity() == pdo && !port->Deleted())
            return port.get();
    return nullptr;
}

void Bus::Reap() {
    std::vector<std::unique_ptr<Port>> finished;
    {
        std::lock_guard lock(mutex_);
        for (auto it = ports_.begin(); it != ports_.end();) {
            if ((*it)->Deleted()) {
                finished.push_back(std::move(*it));
                it = ports_.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Joined outside the list lock.
    finished.clear();
}

void Bus::Unplug(PDEVICE_OBJECT pdo) {
    if (Port* port = Find(pdo))
        port->Unplug();
}

bool Bus::IsPlugged(PDEVICE_OBJECT pdo) const {
    Port* port = Find(pdo);
    return port != nullptr && port->Plugged();
}

std::vector<PDEVICE_OBJECT> Bus::Devices() const {
    std::lock_guard lock(mutex_);
    std::vector<PDEVICE_OBJECT> devices;
    for (const auto& port : ports_)
        if (!port->Deleted())
            devices.push_back(port->Identity());
    return devices;
}

void Bus::InjectFault(PDEVICE_OBJECT pdo, std::uint8_t endpoint, Fault fault, int count) {
    if (Port* port = Find(pdo))
        port->InjectFault(endpoint, fault, count);
}

void Bus::FailPnp(PDEVICE_OBJECT pdo, UCHAR minor, NTSTATUS status) {
    if (Port* port = Find(pdo))
        port->FailPnp(minor, status);
}

std::size_t Bus::PendingTransfers(PDEVICE_OBJECT pdo) const {
    Port* port = Find(pdo);
    return port != nullptr ? port->PendingTransfers() : 0;
}

std::uint8_t Bus::SelectedConfiguration(PDEVICE_OBJECT pdo) const {
    Port* port = Find(pdo);
    return port != nullptr ? port->SelectedConfiguration() : 0;
}

bool Bus::WaitDeleted(PDEVICE_OBJECT pdo, int timeoutMs) {
    Port* port = nullptr;
    {
        std::lock_guard lock(mutex_);
        for (const auto& candidate : ports_)
            if (candidate->Identity() == pdo)
                port = candidate.get();
    }
    return port == nullptr || port->WaitDeleted(timeoutMs);
}

}  // namespace usb
