// The machine's bus driver: physical devices for the boards, reported to the Plug and Play
// manager, and the Plug and Play and power requests that reach them.
#include "sim/bus.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include "kernel/wide.h"

namespace sim {
namespace {

constexpr char16_t kManufacturer[] = u"Marquell";

struct PhysicalRecord {
    std::unique_ptr<SimulatedBoard> board;
    BoardKey key;
    PnpLog* log = nullptr;
    std::atomic<bool> pluggedIn{true};
};

struct PhysicalExtension {
    std::uint32_t magic;
    PhysicalRecord* record;
};
constexpr std::uint32_t kMagic = 0x53494D42;  // "SIMB"

PhysicalRecord* RecordOf(PDEVICE_OBJECT device) {
    if (device == nullptr || device->DeviceExtension == nullptr ||
        device->Size < sizeof(DEVICE_OBJECT) + sizeof(PhysicalExtension))
        return nullptr;
    auto* extension = static_cast<PhysicalExtension*>(device->DeviceExtension);
    return extension->magic == kMagic ? extension->record : nullptr;
}

std::u16string Wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

NTSTATUS PhysicalPnp(PDEVICE_OBJECT physical, PIRP irp) {
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    if (PhysicalRecord* record = RecordOf(physical))
        record->log->Note(record->key, IRP_MJ_PNP, minor);
    NTSTATUS status = irp->IoStatus.Status;
    switch (minor) {
        case IRP_MN_START_DEVICE:
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
        case IRP_MN_SURPRISE_REMOVAL:
        case IRP_MN_REMOVE_DEVICE:
        case IRP_MN_QUERY_PNP_DEVICE_STATE:
            status = STATUS_SUCCESS;
            break;
        default:
            break;  // not the bus's to answer: unchanged
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS PhysicalPower(PDEVICE_OBJECT physical, PIRP irp) {
    if (PhysicalRecord* record = RecordOf(physical))
        record->log->Note(record->key, IRP_MJ_POWER,
                          IoGetCurrentIrpStackLocation(irp)->MinorFunction);
    PoStartNextPowerIrp(irp);
    irp->IoStatus.Status = STATUS_SUCCESS;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

}  // namespace

void PnpLog::Note(const BoardKey& board, UCHAR major, UCHAR minor) {
    std::lock_guard lock(mutex_);
    seen_[{board, major}].push_back(minor);
}

std::vector<UCHAR> PnpLog::Seen(const BoardKey& board, UCHAR major) const {
    std::lock_guard lock(mutex_);
    auto found = seen_.find({board, major});
    return found == seen_.end() ? std::vector<UCHAR>{} : found->second;
}

NTSTATUS BusDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_PNP] = PhysicalPnp;
    driver->MajorFunction[IRP_MJ_POWER] = PhysicalPower;
    return STATUS_SUCCESS;
}

SimulatedBoard* BoardOfPhysicalDevice(PDEVICE_OBJECT device) {
    PhysicalRecord* record = RecordOf(device);
    return record != nullptr ? record->board.get() : nullptr;
}

NTSTATUS PlugIn(PDRIVER_OBJECT bus, const kernel::pnp::FunctionDriver& functionDriver,
                const BoardDescription& description, int index, PnpLog* log,
                PDEVICE_OBJECT* physicalOut) {
    std::u16string name = u"\\Device\\MqSimBoard" + kernel::WideNumber(index);
    UNICODE_STRING nameString{static_cast<USHORT>(name.size() * sizeof(WCHAR)),
                              static_cast<USHORT>(name.size() * sizeof(WCHAR)), name.data()};
    PDEVICE_OBJECT physical = nullptr;
    NTSTATUS status = IoCreateDevice(bus, sizeof(PhysicalExtension), &nameString,
                                     FILE_DEVICE_UNKNOWN, 0, FALSE, &physical);
    if (!NT_SUCCESS(status))
        return status;
    auto* record = new PhysicalRecord;
    record->board = std::make_unique<SimulatedBoard>(description);
    record->key = KeyOf(description);
    record->log = log;
    *static_cast<PhysicalExtension*>(physical->DeviceExtension) = {kMagic, record};

    const std::string driverName = DriverNameOf(description.family);
    char16_t serial[16];
    swprintf(serial, 16, u"%08X", description.serialNumber);
    std::u16string upper;
    for (char c : driverName)
        upper += static_cast<char16_t>(std::toupper(static_cast<unsigned char>(c)));
    status = kernel::SetDeviceInstancePath(physical, u"SIM\\" + upper + u"\\" + serial);
    if (!NT_SUCCESS(status)) {
        DeletePhysicalDevice(physical);
        return status;
    }
    kernel::SetDeviceProperty(physical, DevicePropertyManufacturer, kManufacturer);
    kernel::SetDeviceProperty(physical, DevicePropertyDeviceDescription, Wide(driverName));
    physical->Flags &= ~DO_DEVICE_INITIALIZING;

    status = kernel::pnp::DeviceArrived(physical, functionDriver).get();
    if (!NT_SUCCESS(status)) {
        // The manager has torn down what it built.
        DeletePhysicalDevice(physical);
        return status;
    }
    *physicalOut = physical;
    return STATUS_SUCCESS;
}

void PullOut(PDEVICE_OBJECT physical) {
    PhysicalRecord* record = RecordOf(physical);
    if (record == nullptr || !record->pluggedIn.exchange(false))
        return;
    // The physical device holds no requests of its own to fail first.
    kernel::pnp::DeviceGone(physical).get();
}

bool IsPluggedIn(PDEVICE_OBJECT physical) {
    PhysicalRecord* record = RecordOf(physical);
    return record != nullptr && record->pluggedIn;
}

void Unplug(PDEVICE_OBJECT physical) {
    if (kernel::pnp::StateOf(physical) != kernel::pnp::DeviceState::Started)
        return;
    if (!NT_SUCCESS(kernel::pnp::RequestRemoval(physical).get()))
        PullOut(physical);
    else if (PhysicalRecord* record = RecordOf(physical))
        record->pluggedIn = false;
}

bool StackRemoved(PDEVICE_OBJECT physical) {
    switch (kernel::pnp::StateOf(physical)) {
        case kernel::pnp::DeviceState::Unknown:
        case kernel::pnp::DeviceState::StartFailed:
        case kernel::pnp::DeviceState::Removed:
            return true;
        default:
            return false;
    }
}

void DeletePhysicalDevice(PDEVICE_OBJECT physical) {
    PhysicalRecord* record = RecordOf(physical);
    IoDeleteDevice(physical);
    delete record;
}

}  // namespace sim
