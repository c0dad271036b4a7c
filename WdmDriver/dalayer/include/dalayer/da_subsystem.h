// `DaSubsystem`: the subsystem object, base of the A/D, D/A, DIN, DOUT and C/T objects. A file of a
// board device is bound to at most one; the device's dispatch calls its virtual operations.
//
// Request operations answer an API status for the record; the base answers 36 (HXNOTSUPPORTED) to
// each. QueueDataRequest and WaitForEvent either queue the request and answer STATUS_PENDING (the
// object then owns it and completes it through a queue that releases the device's busy count), or
// answer a failure without touching it (the dispatch completes it); the base answers
// STATUS_NOT_SUPPORTED.
//
// PostEvent runs at up to DISPATCH_LEVEL with the device's open-list lock held, so that the object
// cannot be destroyed under it: it must not wait, and must not call back into the open list.
#pragma once

#include "dalayer/da_request.h"
#include "framework/pool.h"
#include "hxdacodes.h"
#include "kernel/wdm.h"

namespace dalayer {

class DaDevice;

// Events the device posts to an object that are not HXEV_ codes of the protocol.
// The board reports ready for the next D/A data (status message type 0x8001).
inline constexpr ULONG kEventBoardReady = 0x00008001u;

class DaSubsystem : public wdm::PoolObject {
  public:
    DaSubsystem(DaDevice* device, ULONG type, ULONG element)
        : device_(device), type_(type), element_(element) {}
    virtual ~DaSubsystem() = default;
    DaSubsystem(const DaSubsystem&) = delete;
    DaSubsystem& operator=(const DaSubsystem&) = delete;

    // Runs at close, after the object left the device's open list.
    virtual void Destroy() { delete this; }

    ULONG Type() const { return type_; }
    ULONG Element() const { return element_; }
    // The construction result; a failure makes the create fail and the object be destroyed.
    NTSTATUS Error() const { return error_; }
    DaDevice* Device() const { return device_; }

    // The most channel-list entries the configure operation reads; 0 for an object whose configure
    // reads none. A configure whose list count exceeds it, or whose input does not hold every entry
    // the count names, is refused with 5 (HXINVALIDLISTSIZE) before the operation runs.
    virtual ULONG ListCapacity() const { return 0; }

    // Request operations, by request code.
    virtual ULONG ReadEvents(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG SetSingleValue(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG GetSingleValue(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG GetSingleValues(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG Configure(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG Start(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG Stop(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG Pause(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG Continue(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG Reset(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG Abort(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG PreStart(DaRequest& request) { return HXNOTSUPPORTED; }
    // Direct output: copies the data in process into request.DirectOutput() and reports the bytes
    // copied with request.SetInformation.
    virtual ULONG FlushInProcess(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual ULONG SimultaneousStart(DaRequest& request) { return HXNOTSUPPORTED; }

    // A read or write of the subsystem's data.
    virtual NTSTATUS QueueDataRequest(PIRP irp) { return STATUS_NOT_SUPPORTED; }
    // A WAITEVENT request (its record of 336 bytes checked).
    virtual NTSTATUS WaitForEvent(PIRP irp) { return STATUS_NOT_SUPPORTED; }
    // Cleanup of a file bound to this object: its queued requests complete cancelled.
    virtual void CancelAll(PFILE_OBJECT file) {}
    // Internal operations of the streaming subsystems.
    virtual void StopTransfers() {}
    virtual void NextRequestCurrent() {}
    // An event for the API (an HXEV_ code and its data) or one of the internal events above.
    virtual void PostEvent(ULONG code, ULONG data) {}
    // True while the subsystem moves data (the board layer's USB recovery waits for idle ones).
    virtual bool Query() { return false; }

  protected:
    void SetError(NTSTATUS error) { error_ = error; }

  private:
    friend class DaDevice;
    // Membership in the device's open list.
    struct OpenLink {
        LIST_ENTRY entry;
        DaSubsystem* object;
    };

    OpenLink link_{{}, this};
    DaDevice* device_;
    ULONG type_;
    ULONG element_;
    NTSTATUS error_ = STATUS_SUCCESS;
};

}  // namespace dalayer
