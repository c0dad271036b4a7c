#include "pnp_test_bus.h"

#include <gtest/gtest.h>

#include "kernel/loader.h"
#include "kernel/wide.h"

namespace wdm_test {

struct PnpTestBus::Pdo {
    Journal* journal;
    BusAnswers answers;
};

std::vector<std::string> Journal::With(const std::string& prefix) {
    std::vector<std::string> matching;
    for (const std::string& entry : Entries())
        if (entry.rfind(prefix, 0) == 0)
            matching.push_back(entry);
    return matching;
}

std::string PnpMinorName(UCHAR minor) {
    switch (minor) {
        case IRP_MN_START_DEVICE:
            return "START";
        case IRP_MN_QUERY_REMOVE_DEVICE:
            return "QUERY_REMOVE";
        case IRP_MN_REMOVE_DEVICE:
            return "REMOVE";
        case IRP_MN_CANCEL_REMOVE_DEVICE:
            return "CANCEL_REMOVE";
        case IRP_MN_STOP_DEVICE:
            return "STOP";
        case IRP_MN_QUERY_STOP_DEVICE:
            return "QUERY_STOP";
        case IRP_MN_CANCEL_STOP_DEVICE:
            return "CANCEL_STOP";
        case IRP_MN_QUERY_CAPABILITIES:
            return "QUERY_CAPABILITIES";
        case IRP_MN_QUERY_PNP_DEVICE_STATE:
            return "QUERY_PNP_DEVICE_STATE";
        case IRP_MN_SURPRISE_REMOVAL:
            return "SURPRISE_REMOVAL";
        default:
            return "PNP_" + std::to_string(minor);
    }
}

NTSTATUS PnpTestBus::OnPnp(PDEVICE_OBJECT device, PIRP irp) {
    Pdo* pdo = *static_cast<Pdo**>(device->DeviceExtension);
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    pdo->journal->Note("bus:" + PnpMinorName(minor));
    if (pdo->answers.onPnp)
        pdo->answers.onPnp(minor);
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
            break;
    }
    if (auto chosen = pdo->answers.status.find(minor); chosen != pdo->answers.status.end())
        status = chosen->second;
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS PnpTestBus::OnPower(PDEVICE_OBJECT device, PIRP irp) {
    Pdo* pdo = *static_cast<Pdo**>(device->DeviceExtension);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    pdo->journal->Note("bus:POWER_" + std::to_string(stack->MinorFunction) + "_" +
                       std::to_string(stack->Parameters.Power.Type) + "_" +
                       std::to_string(stack->Parameters.Power.State.DeviceState));
    PoStartNextPowerIrp(irp);
    irp->IoStatus.Status = STATUS_SUCCESS;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

NTSTATUS PnpTestBus::Entry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_PNP] = OnPnp;
    driver->MajorFunction[IRP_MJ_POWER] = OnPower;
    return STATUS_SUCCESS;
}

PnpTestBus::PnpTestBus(Journal* journal) : journal_(journal) {
    EXPECT_EQ(kernel::LoadDriver(u"wdmtestbus", Entry, u"", &driver_), STATUS_SUCCESS);
}

PnpTestBus::~PnpTestBus() {
    while (!pdos_.empty())
        DeletePdo(pdos_.begin()->first);
    kernel::UnloadDriver(driver_);
}

PDEVICE_OBJECT PnpTestBus::CreatePdo(BusAnswers answers) {
    const int index = next_++;
    const std::u16string name = u"\\Device\\WdmTestBus" + kernel::WideNumber(index);
    UNICODE_STRING deviceName;
    RtlInitUnicodeString(&deviceName, name.c_str());
    PDEVICE_OBJECT pdo = nullptr;
    if (IoCreateDevice(driver_, sizeof(Pdo*), &deviceName, FILE_DEVICE_BUS_EXTENDER,
                       FILE_DEVICE_SECURE_OPEN, FALSE, &pdo) != STATUS_SUCCESS)
        return nullptr;
    auto record = std::make_unique<Pdo>(Pdo{journal_, std::move(answers)});
    *static_cast<Pdo**>(pdo->DeviceExtension) = record.get();
    pdos_[pdo] = std::move(record);
    kernel::SetDeviceInstancePath(pdo, u"WDMTEST\\BOARD\\" + kernel::WideNumber(index));
    pdo->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
    return pdo;
}

BusAnswers& PnpTestBus::Answers(PDEVICE_OBJECT pdo) {
    return pdos_.at(pdo)->answers;
}

void PnpTestBus::DeletePdo(PDEVICE_OBJECT pdo) {
    IoDeleteDevice(pdo);
    pdos_.erase(pdo);
}

}  // namespace wdm_test
