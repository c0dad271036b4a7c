// Files of the device: create binds a subsystem object, cleanup cancels its requests, close
// destroys it; reads and writes go to the bound object.
#include "dalayer/da_device.h"

#include "dalayer/subsystem_file_name.h"
#include "dalayer/trace.h"

namespace dalayer {

DaDevice::DaDevice() : open_(offsetof(DaSubsystem::OpenLink, entry)) {}

DaDevice::~DaDevice() {
    // Every file is closed before the device goes; objects left behind are destroyed all the same.
    while (auto* link = static_cast<DaSubsystem::OpenLink*>(open_.RemoveHeadLocked()))
        link->object->Destroy();
}

DaSubsystem* DaDevice::FindLocked(ULONG type, ULONG element) {
    auto* link = static_cast<DaSubsystem::OpenLink*>(open_.Search(nullptr, true, [&](void* e) {
        const DaSubsystem* object = static_cast<DaSubsystem::OpenLink*>(e)->object;
        return object->Type() == type && object->Element() == element;
    }));
    return link != nullptr ? link->object : nullptr;
}

NTSTATUS DaDevice::OnCreate(PIRP irp) {
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    SubsystemFileName name;
    name.device = true;
    if (file != nullptr) {
        const NTSTATUS parsed = ParseSubsystemFileName(file->FileName, &name);
        if (!NT_SUCCESS(parsed)) {
            MQ5120K_TRACE("create refused: file name of %u bytes not a subsystem (0x%08X)",
                          file->FileName.Length, static_cast<ULONG>(parsed));
            return CompleteRequest(irp, parsed);
        }
        file->FsContext = nullptr;
    }
    if (!name.device) {
        // Creates run one at a time under the device mutex: nothing is added between the check
        // and the insertion.
        bool open;
        {
            wdm::SpinLockHold hold(open_.GetLock());
            open = FindLocked(name.type, name.element) != nullptr;
        }
        if (open) {
            MQ5120K_TRACE("create of subsystem %u.%u refused: open already", name.type,
                          name.element);
            return CompleteRequest(irp, STATUS_UNSUCCESSFUL);
        }
        DaSubsystem* object = CreateSubsystem(name.type, name.element);
        if (object == nullptr) {
            MQ5120K_TRACE("create of subsystem %u.%u refused: the board has none", name.type,
                          name.element);
            return CompleteRequest(irp, STATUS_UNSUCCESSFUL);
        }
        const NTSTATUS error = object->Error();
        if (!NT_SUCCESS(error)) {
            MQ5120K_TRACE("create of subsystem %u.%u failed: 0x%08X", name.type, name.element,
                          static_cast<ULONG>(error));
            object->Destroy();
            return CompleteRequest(irp, error);
        }
        open_.InsertTailLocked(&object->link_);
        file->FsContext = object;
    }
    ++openFiles_;
    {
        wdm::SpinLockHold hold(statusLock_);
        keepStatusReads_ = true;
    }
    PostStatusReads();
    return CompleteRequest(irp, STATUS_SUCCESS);
}

NTSTATUS DaDevice::OnClose(PIRP irp) {
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    // The status reads serve every open file: only the last close stops them.
    if (openFiles_ > 0 && --openFiles_ == 0)
        StopStatusReads();
    if (DaSubsystem* object = BoundTo(file)) {
        open_.RemoveLocked(&object->link_);
        file->FsContext = nullptr;
        object->Destroy();
    }
    return CompleteRequest(irp, STATUS_SUCCESS);
}

NTSTATUS DaDevice::OnCleanup(PIRP irp) {
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    if (DaSubsystem* object = BoundTo(file))
        object->CancelAll(file);
    return CompleteRequest(irp, STATUS_SUCCESS);
}

NTSTATUS DaDevice::OnRead(PIRP irp) {
    return DataRequest(irp);
}

NTSTATUS DaDevice::OnWrite(PIRP irp) {
    return DataRequest(irp);
}

NTSTATUS DaDevice::DataRequest(PIRP irp) {
    irp->IoStatus.Information = 0;
    DaSubsystem* object = BoundTo(IoGetCurrentIrpStackLocation(irp)->FileObject);
    if (object == nullptr)
        return CompleteRequest(irp, STATUS_NO_SUCH_DEVICE);
    const NTSTATUS status = object->QueueDataRequest(irp);
    if (status == STATUS_PENDING)
        return status;
    return CompleteRequest(irp, status);
}

void DaDevice::CompletePendedRequest(PIRP irp, hxda::ApiStatus status) {
    static_cast<hxda::DriverRequest*>(irp->AssociatedIrp.SystemBuffer)->status = status.code();
    CompleteRequest(irp, STATUS_SUCCESS, hxda::kDriverRequestSize);
}

}  // namespace dalayer
