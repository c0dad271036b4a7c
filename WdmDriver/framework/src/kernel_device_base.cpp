#include "framework/kernel_device_base.h"

namespace wdm {
namespace {

NTSTATUS CopyName(CountedString* target, PCWSTR text) {
    const SIZE_T bytes = WideByteLength(text) + kCharBytes;
    if (bytes > CountedString::kMaxBytes)
        return STATUS_OBJECT_NAME_INVALID;
    NTSTATUS status = target->Make(static_cast<ULONG>(bytes), NonPagedPool);
    if (NT_SUCCESS(status))
        status = target->CopyFrom(text);
    return status;
}

}  // namespace

NTSTATUS CompleteIrp(PIRP irp, NTSTATUS status, ULONG_PTR information, CCHAR boost) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, boost);
    return status;
}

KernelDeviceBase::~KernelDeviceBase() {
    DeleteLink();
    if (device_ != nullptr) {
        *static_cast<KernelDeviceBase**>(device_->DeviceExtension) = nullptr;
        IoDeleteDevice(device_);
    }
}

NTSTATUS KernelDeviceBase::CreateDeviceObject(PDRIVER_OBJECT driver, PCWSTR name, ULONG flags,
                                              DEVICE_TYPE type) {
    if (name != nullptr) {
        const NTSTATUS status = CopyName(&deviceName_, name);
        if (!NT_SUCCESS(status))
            return status;
    }
    PDEVICE_OBJECT device = nullptr;
    const NTSTATUS status =
        IoCreateDevice(driver, sizeof(KernelDeviceBase*),
                       name != nullptr ? deviceName_.Get() : nullptr, type, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) {
        deviceName_.Free();
        return status;
    }
    *static_cast<KernelDeviceBase**>(device->DeviceExtension) = this;
    device->Flags |= flags;
    device_ = device;
    return STATUS_SUCCESS;
}

NTSTATUS KernelDeviceBase::CreateLink(PCWSTR link) {
    NTSTATUS status = CopyName(&linkName_, link);
    if (NT_SUCCESS(status))
        status = IoCreateSymbolicLink(linkName_.Get(), deviceName_.Get());
    if (!NT_SUCCESS(status))
        linkName_.Free();
    return status;
}

void KernelDeviceBase::DeleteLink() {
    if (linkName_.Length() > 1)
        IoDeleteSymbolicLink(linkName_.Get());
    linkName_.Free();
}

KernelDeviceBase* KernelDeviceBase::FromDevice(PDEVICE_OBJECT device) {
    if (device == nullptr || device->DeviceExtension == nullptr)
        return nullptr;
    return *static_cast<KernelDeviceBase**>(device->DeviceExtension);
}

NTSTATUS KernelDeviceBase::DispatchEntry(PDEVICE_OBJECT device, PIRP irp) {
    KernelDeviceBase* object = FromDevice(device);
    if (object == nullptr)
        return CompleteIrp(irp, STATUS_NO_SUCH_DEVICE);
    return object->Dispatch(irp);
}

NTSTATUS KernelDeviceBase::Dispatch(PIRP irp) {
    return CallHandler(irp);
}

NTSTATUS KernelDeviceBase::CallHandler(PIRP irp) {
    switch (IoGetCurrentIrpStackLocation(irp)->MajorFunction) {
        case IRP_MJ_CREATE:
            return OnCreate(irp);
        case IRP_MJ_CLOSE:
            return OnClose(irp);
        case IRP_MJ_READ:
            return OnRead(irp);
        case IRP_MJ_WRITE:
            return OnWrite(irp);
        case IRP_MJ_DEVICE_CONTROL:
            return OnDeviceControl(irp);
        case IRP_MJ_CLEANUP:
            return OnCleanup(irp);
        case IRP_MJ_SHUTDOWN:
            return OnShutdown(irp);
        case IRP_MJ_POWER:
            return OnPower(irp);
        case IRP_MJ_SYSTEM_CONTROL:
            return OnSystemControl(irp);
        case IRP_MJ_PNP:
            return OnPnp(irp);
        default:
            return OnOther(irp);
    }
}

NTSTATUS KernelDeviceBase::NotImplemented(PIRP irp) {
    return CompleteIrp(irp, STATUS_NOT_IMPLEMENTED);
}

}  // namespace wdm
