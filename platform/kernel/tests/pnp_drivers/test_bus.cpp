#include "test_bus.h"

#include <stdexcept>

#include "kernel/loader.h"

namespace pnp_test {
namespace {

PdoRecord* RecordOf(PDEVICE_OBJECT pdo) {
    return *static_cast<PdoRecord**>(pdo->DeviceExtension);
}

void Note(PDEVICE_OBJECT pdo, PIRP irp) {
    PdoRecord* record = RecordOf(pdo);
    std::lock_guard lock(record->mutex);
    record->seen.push_back(Observe(irp));
}

NTSTATUS PdoPnp(PDEVICE_OBJECT pdo, PIRP irp) {
    Note(pdo, irp);
    const PdoHooks& hooks = RecordOf(pdo)->hooks;
    NTSTATUS status = irp->IoStatus.Status;
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
        case IRP_MN_START_DEVICE:
            status = hooks.startStatus;
            break;
        case IRP_MN_CANCEL_STOP_DEVICE:
            status = hooks.cancelStopStatus;
            break;
        case IRP_MN_CANCEL_REMOVE_DEVICE:
            status = hooks.cancelRemoveStatus;
            break;
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_STOP_DEVICE:
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_SURPRISE_REMOVAL:
        case IRP_MN_REMOVE_DEVICE:
        case IRP_MN_QUERY_PNP_DEVICE_STATE:
            status = STATUS_SUCCESS;
            break;
        default:
            break;  // unchanged
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS PdoPower(PDEVICE_OBJECT pdo, PIRP irp) {
    Note(pdo, irp);
    PoStartNextPowerIrp(irp);
    irp->IoStatus.Status = STATUS_SUCCESS;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

NTSTATUS BusEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_PNP] = PdoPnp;
    driver->MajorFunction[IRP_MJ_POWER] = PdoPower;
    return STATUS_SUCCESS;
}

}  // namespace

TestBus::TestBus() {
    if (kernel::LoadDriver(u"pnptestbus", BusEntry, u"", &driver_) != STATUS_SUCCESS)
        throw std::runtime_error("test bus driver did not load");
}

TestBus::~TestBus() {
    while (!pdos_.empty())
        DeletePdo(pdos_.begin()->first);
    kernel::UnloadDriver(driver_);
}

PDEVICE_OBJECT TestBus::CreatePdo(PdoHooks hooks) {
    PDEVICE_OBJECT pdo = nullptr;
    if (IoCreateDevice(driver_, sizeof(PdoRecord*), nullptr, FILE_DEVICE_BUS_EXTENDER,
                       FILE_DEVICE_SECURE_OPEN, FALSE, &pdo) != STATUS_SUCCESS)
        return nullptr;
    auto record = std::make_unique<PdoRecord>();
    record->hooks = hooks;
    *static_cast<PdoRecord**>(pdo->DeviceExtension) = record.get();
    pdos_[pdo] = std::move(record);
    pdo->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
    return pdo;
}

void TestBus::DeletePdo(PDEVICE_OBJECT pdo) {
    IoDeleteDevice(pdo);
    pdos_.erase(pdo);
}

std::vector<SeenIrp> TestBus::Seen(PDEVICE_OBJECT pdo) {
    PdoRecord* record = pdos_.at(pdo).get();
    std::lock_guard lock(record->mutex);
    return record->seen;
}

std::vector<UCHAR> TestBus::PnpMinors(PDEVICE_OBJECT pdo) {
    std::vector<UCHAR> minors;
    for (const SeenIrp& seen : Seen(pdo))
        if (seen.major == IRP_MJ_PNP)
            minors.push_back(seen.minor);
    return minors;
}

}  // namespace pnp_test
