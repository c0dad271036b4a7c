// `KernelDeviceBase`: a driver object of this framework bound to its device object. The device
// object's extension holds the pointer to the object, so that DispatchEntry (registered in the
// driver's MajorFunction table) reaches Dispatch, which routes each request by its code to the
// handler of that code. Handlers this class does not override complete with
// STATUS_NOT_IMPLEMENTED.
#pragma once

#include "framework/counted_string.h"
#include "framework/pool.h"
#include "kernel/wdm.h"

namespace wdm {

class KernelDeviceBase : public PoolObject {
  public:
    KernelDeviceBase() = default;
    // Deletes the symbolic link still named and the device object.
    virtual ~KernelDeviceBase();
    KernelDeviceBase(const KernelDeviceBase&) = delete;
    KernelDeviceBase& operator=(const KernelDeviceBase&) = delete;

    // Runs the destructor and frees the record.
    virtual void Destroy() { delete this; }

    // Creates the device object (named when name is given) with the given extra flags
    // (DO_DIRECT_IO, DO_BUFFERED_IO, DO_POWER_PAGABLE) and binds it to this object. The
    // object stays initialising until the caller clears DO_DEVICE_INITIALIZING.
    NTSTATUS CreateDeviceObject(PDRIVER_OBJECT driver, PCWSTR name, ULONG flags,
                                DEVICE_TYPE type = FILE_DEVICE_UNKNOWN);
    // Creates a symbolic link to the device's name and keeps the link's name.
    NTSTATUS CreateLink(PCWSTR link);
    // Deletes the symbolic link (when one is named) and frees its name.
    void DeleteLink();

    // Routes a request by its major code to its handler.
    virtual NTSTATUS Dispatch(PIRP irp);

    // The object of a device object created by CreateDeviceObject; null for others.
    static KernelDeviceBase* FromDevice(PDEVICE_OBJECT device);
    // For the driver's MajorFunction table.
    static NTSTATUS DispatchEntry(PDEVICE_OBJECT device, PIRP irp);

    PDEVICE_OBJECT DeviceObject() const { return device_; }
    CountedString& DeviceName() { return deviceName_; }
    CountedString& LinkName() { return linkName_; }

    // A hook with one argument; nothing here.
    virtual void Hook(PVOID argument) {}

  protected:
    // Request handlers, by request code.
    virtual NTSTATUS OnCreate(PIRP irp) { return NotImplemented(irp); }
    virtual NTSTATUS OnClose(PIRP irp) { return NotImplemented(irp); }
    virtual NTSTATUS OnRead(PIRP irp) { return NotImplemented(irp); }
    virtual NTSTATUS OnWrite(PIRP irp) { return NotImplemented(irp); }
    virtual NTSTATUS OnDeviceControl(PIRP irp) { return NotImplemented(irp); }
    virtual NTSTATUS OnCleanup(PIRP irp) { return NotImplemented(irp); }
    virtual NTSTATUS OnShutdown(PIRP irp) { return NotImplemented(irp); }
    virtual NTSTATUS OnPower(PIRP irp) { return NotImplemented(irp); }
    virtual NTSTATUS OnSystemControl(PIRP irp) { return NotImplemented(irp); }
    virtual NTSTATUS OnPnp(PIRP irp) { return NotImplemented(irp); }
    // Every other request code.
    virtual NTSTATUS OnOther(PIRP irp) { return NotImplemented(irp); }

    // Completes with STATUS_NOT_IMPLEMENTED.
    virtual NTSTATUS NotImplemented(PIRP irp);
    // Routes by code without any gate (for derived dispatchers).
    NTSTATUS CallHandler(PIRP irp);

  private:
    PDEVICE_OBJECT device_ = nullptr;
    CountedString deviceName_;
    CountedString linkName_;
};

// Completes a request with a status and information; returns the status.
NTSTATUS CompleteIrp(PIRP irp, NTSTATUS status, ULONG_PTR information = 0,
                     CCHAR boost = IO_NO_INCREMENT);

}  // namespace wdm
