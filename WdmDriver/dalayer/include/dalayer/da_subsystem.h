// `DaSubsystem`: the subsystem object, base of the A/D, D/A, DIN, DOUT and C/T objects. A file of a
// board device is bound to at most one; the device's dispatch calls its virtual operations.
//
// Request operations answer an API status (hxda::ApiStatus) for the record; the base answers
// HXNOTSUPPORTED to each. QueueDataRequest and WaitForEvent answer an NTSTATUS for the request
// itself: they either queue it and answer STATUS_PENDING (the object then owns it and completes it
// through a queue that releases the device's busy count), or answer a failure without touching it
// (the dispatch completes it); the base answers STATUS_NOT_SUPPORTED. The two types do not
// convert into each other.
//
// PostEvent runs at up to DISPATCH_LEVEL with the device's open-list lock held, so that the object
// cannot be destroyed under it: it must not wait, and must not call back into the open list.
#pragma once

#include "dalayer/da_request.h"
#include "dalayer/request_status.h"
#include "dalayer/subsystem_event.h"
#include "framework/pool.h"
#include "hxda/api_status.h"
#include "hxdacodes.h"
#include "kernel/wdm.h"

namespace dalayer {

class DaDevice;

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
    // the count names, is refused with HXINVALIDLISTSIZE before the operation runs.
    virtual ULONG ListCapacity() const { return 0; }

    // Request operations, by request code.
    virtual hxda::ApiStatus ReadEvents(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus SetSingleValue(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus GetSingleValue(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus GetSingleValues(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus Configure(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus Start(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus Stop(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus Pause(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus Continue(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus Reset(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus Abort(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus PreStart(DaRequest& request) { return HXNOTSUPPORTED; }
    // Direct output: copies the data in process into request.DirectOutput() and reports the bytes
    // copied with request.SetInformation.
    virtual hxda::ApiStatus FlushInProcess(DaRequest& request) { return HXNOTSUPPORTED; }
    virtual hxda::ApiStatus SimultaneousStart(DaRequest& request) { return HXNOTSUPPORTED; }

    // A read or write of the subsystem's data.
    virtual NTSTATUS QueueDataRequest(PIRP irp) { return STATUS_NOT_SUPPORTED; }
    // A WAITEVENT request (its record of 336 bytes checked).
    virtual NTSTATUS WaitForEvent(PIRP irp) { return STATUS_NOT_SUPPORTED; }
    // Cleanup of a file bound to this object: its queued requests complete cancelled.
    virtual void CancelAll(PFILE_OBJECT file) {}
    // An event for the program or one of the driver's own (SubsystemEvent), with its data.
    virtual void PostEvent(SubsystemEvent event, ULONG data) {}
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
