// `DaDevice`: the common data-acquisition device, between the Plug and Play device base and the
// board device. It binds each file of the device to a subsystem object by the file's name, keeps
// the list of open subsystem objects, dispatches reads, event requests and device-control requests
// to them or to its own device-level operations, routes the board's status messages to the
// subsystems, and keeps the board's status-message reads outstanding while any file is open.
//
// The board device derives from it and supplies the factory (CreateSubsystem), the device-level
// operations and the status pipe (SetStatusPipe).
#pragma once

#include "dalayer/da_request.h"
#include "dalayer/da_subsystem.h"
#include "dalayer/status_pipe.h"
#include "framework/locked_list.h"
#include "framework/pnp_device_base.h"
#include "framework/spin_lock.h"
#include "kernel/wdm.h"

namespace dalayer {

// Status reads kept outstanding while a file of the device is open.
inline constexpr ULONG kStatusReads = 3;

class DaDevice : public wdm::PnpDeviceBase {
  public:
    DaDevice();
    ~DaDevice() override;

    USHORT BoardType() const { return boardType_; }
    void SetBoardType(USHORT type) { boardType_ = type; }

    // ---- Status messages (called by the board layer) -------------------------------------------
    // The pipe the status reads go to; set before the first create.
    void SetStatusPipe(StatusPipe* pipe) { statusPipe_ = pipe; }
    // A status read came back. postAnother: the transfer succeeded, so another read replaces it
    // while files are open (never more than kStatusReads outstanding).
    void StatusReadReturned(bool postAnother);
    // Posts reads until kStatusReads are outstanding, while a file is open (after a recovery that
    // aborted the pipe, for example).
    void PostStatusReads();
    ULONG StatusReadsOutstanding();
    // Reads are kept outstanding: set at the first create, cleared at the last close.
    bool StatusReadsPosted();

    // Routes a status message of the board: kStatusTypeFlags's bits to the A/D, D/A and C/T
    // element 0 (overrun, underrun, I/O complete), kStatusTypeDinChange to the DIN element 0
    // (event value with the flags word as data), kStatusTypeDaReady to the D/A element 0
    // (SubsystemEvent::kBoardReady); others nothing.
    void RouteStatusMessage(USHORT type, USHORT flags);
    // Posts an event to every open subsystem object (device removal, fatal USB errors).
    void BroadcastEvent(SubsystemEvent event, ULONG data);
    // Posts an event to the open object of (type, element); false when none is open.
    bool PostEventTo(ULONG type, ULONG element, SubsystemEvent event, ULONG data);
    // Runs fn(object) under the open-list lock on the open object of (type, element); false when
    // none is open. fn must obey the rules of DaSubsystem::PostEvent.
    template <class Fn>
    bool WithSubsystem(ULONG type, ULONG element, Fn fn) {
        wdm::SpinLockHold hold(open_.GetLock());
        DaSubsystem* object = FindLocked(type, element);
        if (object == nullptr)
            return false;
        fn(*object);
        return true;
    }
    std::size_t OpenSubsystemCount() { return open_.CountLocked(); }

    // Completes a request a subsystem operation pended: the status into the record, Information
    // 336.
    void CompletePendedRequest(PIRP irp, hxda::ApiStatus status);

  protected:
    // ---- Board device operations -------------------------------------------------------------
    // Makes the subsystem object of a file; null when the board has none of that type.
    virtual DaSubsystem* CreateSubsystem(ULONG type, ULONG element) = 0;
    // Device-level requests (on any file, bound or not); an API status for the record.
    virtual hxda::ApiStatus SetHardwareInfo(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus GetHardwareInfo(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus WriteRegister(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus ReadRegister(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus WriteCalPot(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus ReadCalPot(DaRequest& request) { return HXNOTSUPPORTED; }
    // The reserved request: answered with success and no data whatever this does.
    virtual void ReservedRequest(DaRequest& request) {}

    // ---- Request handlers ---------------------------------------------------------------------
    NTSTATUS OnCreate(PIRP irp) override;
    NTSTATUS OnClose(PIRP irp) override;
    NTSTATUS OnCleanup(PIRP irp) override;
    NTSTATUS OnRead(PIRP irp) override;
    NTSTATUS OnWrite(PIRP irp) override;
    NTSTATUS OnDeviceControl(PIRP irp) override;
    NTSTATUS OnQueryCapabilities(PIRP irp) override { return AnswerCapabilities(irp); }

    // The object bound to a file; null for a device handle.
    static DaSubsystem* BoundTo(PFILE_OBJECT file) {
        return file != nullptr ? static_cast<DaSubsystem*>(file->FsContext) : nullptr;
    }

  private:
    struct Route;
    static const Route* FindRoute(ULONG code);
    NTSTATUS DataRequest(PIRP irp);
    NTSTATUS SubsystemRequest(PIRP irp, const Route& route, DaSubsystem* object);
    DaSubsystem* FindLocked(ULONG type, ULONG element);
    // Stops keeping reads and aborts the pipe (unless the device is gone).
    void StopStatusReads();

    wdm::LockedList open_;
    USHORT boardType_ = 0;  // the board sets it before its first start
    ULONG openFiles_ = 0;   // under the device mutex
    StatusPipe* statusPipe_ = nullptr;
    wdm::SpinLock statusLock_;
    ULONG statusReads_ = 0;  // outstanding, under statusLock_
    bool keepStatusReads_ = false;
};

}  // namespace dalayer
