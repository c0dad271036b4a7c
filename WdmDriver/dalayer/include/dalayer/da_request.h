// `DaRequest`: one device-control request as the dispatch hands it to an operation of a subsystem
// object or of the board device. The dispatch has checked its lengths: the record holds at least
// 336 bytes (a configure request: the block head of 320 bytes and every list entry its count
// names, ListEntries()), and the caller's output takes what the request answers.
//
// An operation answers an API status, which the dispatch writes into the record. An operation that
// must finish later (stop, reset, abort waiting on the board) calls Pend and keeps the request; it
// completes it afterwards with DaDevice::CompletePendedRequest, and the value it returned is then
// ignored.
#pragma once

#include "hxda/protocol.h"
#include "kernel/wdm.h"

namespace dalayer {

class DaRequest {
  public:
    DaRequest(PIRP irp, ULONG listEntries) : irp_(irp), listEntries_(listEntries) {}
    DaRequest(const DaRequest&) = delete;
    DaRequest& operator=(const DaRequest&) = delete;

    PIRP Irp() const { return irp_; }
    ULONG Code() const { return Stack()->Parameters.DeviceIoControl.IoControlCode; }
    ULONG InputLength() const { return Stack()->Parameters.DeviceIoControl.InputBufferLength; }
    ULONG OutputLength() const { return Stack()->Parameters.DeviceIoControl.OutputBufferLength; }

    // The 336-byte request record (every code but the configure request).
    hxda::DriverRequest& Record() const {
        return *static_cast<hxda::DriverRequest*>(irp_->AssociatedIrp.SystemBuffer);
    }
    // The configuration block of a configure request, with ListEntries() entries behind its head.
    hxda::ConfigurationBlock& Block() const {
        return *static_cast<hxda::ConfigurationBlock*>(irp_->AssociatedIrp.SystemBuffer);
    }
    ULONG ListEntries() const { return listEntries_; }

    // The caller's output buffer of a request with direct output (flush in-process); null when the
    // caller gave none. OutputLength() bytes.
    PVOID DirectOutput() const {
        return irp_->MdlAddress != nullptr
                   ? MmGetSystemAddressForMdlSafe(irp_->MdlAddress, NormalPagePriority)
                   : nullptr;
    }
    // Bytes answered by a request whose answer has no fixed length (flush in-process); at most
    // OutputLength().
    void SetInformation(ULONG_PTR bytes) { information_ = bytes; }
    ULONG_PTR Information() const { return information_; }

    // The operation keeps the request and completes it later.
    void Pend() {
        IoMarkIrpPending(irp_);
        pended_ = true;
    }
    bool Pended() const { return pended_; }

  private:
    PIO_STACK_LOCATION Stack() const { return IoGetCurrentIrpStackLocation(irp_); }

    PIRP irp_;
    ULONG listEntries_;
    ULONG_PTR information_ = 0;
    bool pended_ = false;
};

}  // namespace dalayer
