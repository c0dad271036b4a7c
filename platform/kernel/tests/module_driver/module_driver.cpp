// A driver built as a module of its own, for loading by path: one device "\Device\ModuleEcho"
// whose create and close succeed.
#include <initializer_list>

#include "kernel/wdm.h"

namespace {

NTSTATUS Succeed(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

void Unload(PDRIVER_OBJECT driver) {
    while (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) NTSTATUS DriverEntry(PDRIVER_OBJECT driver,
                                                                       PUNICODE_STRING) {
    for (UCHAR major : {UCHAR{IRP_MJ_CREATE}, UCHAR{IRP_MJ_CLEANUP}, UCHAR{IRP_MJ_CLOSE}})
        driver->MajorFunction[major] = Succeed;
    driver->DriverUnload = Unload;
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"\\Device\\ModuleEcho");
    PDEVICE_OBJECT device;
    return IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
}
