#include "pnp_test_device.h"

#include <string>

#include "kernel/loader.h"
#include "kernel/wide.h"

namespace wdm_test {

const GUID kTestInterface = {0x5120ABCD, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

DriverLog*& TheDriverLog() {
    static DriverLog* log = nullptr;
    return log;
}

TestDevice::~TestDevice() {
    DriverLog* log = TheDriverLog();
    log->busyAtDestruction = BusyCount();
    log->openAtDestruction = OpenCount();
    ++log->destroyed;
}

NTSTATUS TestDevice::Handled(UCHAR minor) {
    DriverLog* log = TheDriverLog();
    std::string name = PnpMinorName(minor);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    log->journal->Note("fdo:" + name);
    if (log->onPnp)
        log->onPnp(minor);
    return STATUS_SUCCESS;
}

namespace {

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    const std::u16string index = kernel::WideNumber(TheDriverLog()->nextIndex++);
    auto* device = new (std::nothrow) TestDevice;
    if (device == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    device->SetDefaultPnpPolicy();
    const NTSTATUS status = device->Initialize(driver, pdo, (u"\\Device\\WdmPnp" + index).c_str(),
                                               (u"\\DosDevices\\WdmPnp" + index).c_str(),
                                               DO_DIRECT_IO, &kTestInterface);
    if (!NT_SUCCESS(status))
        device->Destroy();
    return status;
}

NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->DriverExtension->AddDevice = AddDevice;
    for (UCHAR major : {IRP_MJ_CREATE, IRP_MJ_CLOSE, IRP_MJ_READ, IRP_MJ_WRITE,
                        IRP_MJ_DEVICE_CONTROL, IRP_MJ_CLEANUP, IRP_MJ_POWER, IRP_MJ_PNP})
        driver->MajorFunction[major] = wdm::KernelDeviceBase::DispatchEntry;
    return STATUS_SUCCESS;
}

}  // namespace

kernel::pnp::FunctionDriver TestPnpDriver() {
    return {u"wdmpnptest", [](PDRIVER_OBJECT* driver) {
                return kernel::LoadDriver(u"wdmpnptest", Entry, u"", driver);
            }};
}

}  // namespace wdm_test
