// `PnpDeviceBase`: the device base of the driver. Every request of the device passes its dispatch
// gate; it runs the Plug and Play state machine under its policy, passes power requests down,
// keeps the busy count that removal waits on and the device mutex that serialises create, close
// and removal, and holds requests while the device cannot serve them.
//
// Handlers of request codes (OnCreate, OnRead, ...) own their request: they complete it (or queue
// it) and release the busy count the gate took, for example with CompleteRequest; a request queue
// given this device as its BusyCounter releases it with each completion. The Plug and Play minor
// handlers (OnStartDevice, ...) only return a status: the base finishes those requests.
//
// Busy count: 1 while idle, +1 for each request inside the driver, 0 only after removal. The idle
// event is set when it falls to 1 and cleared when it rises to 2; the removed event is set when
// it falls to 0.
#pragma once

#include <atomic>

#include "framework/busy_counter.h"
#include "framework/kernel_device_base.h"
#include "framework/kernel_sync.h"
#include "framework/locked_list.h"
#include "framework/pnp_policy.h"
#include "framework/spin_lock.h"
#include "kernel/wdm.h"

namespace wdm {

class PnpDeviceBase : public KernelDeviceBase, public BusyCounter {
  public:
    enum StateFlag : ULONG {
        kStarted = 1u << 0,
        kStopPending = 1u << 1,
        kRemovePending = 1u << 2,
        kRemoved = 1u << 3,
        kRemovalInProgress = 1u << 4,
        kSurpriseRemoved = 1u << 5,
    };

    PnpDeviceBase();
    // Frees the interface records and their names.
    ~PnpDeviceBase() override;

    // Creates the device object (flags of the derived class plus the physical device's power
    // paging flags), its link when one is named, attaches it to the physical device's stack and
    // registers the device interface (when a GUID is given). The result is also kept as the
    // construction status; on failure the caller destroys the record.
    NTSTATUS Initialize(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice, PCWSTR deviceName,
                        PCWSTR linkName, ULONG flags, const GUID* interfaceClass);
    NTSTATUS ConstructionStatus() const { return constructionStatus_; }

    // The dispatch gate.
    NTSTATUS Dispatch(PIRP irp) override;

    void SetDefaultPnpPolicy() { policy_ = PnpPolicy::Default(); }
    PnpPolicy& Policy() { return policy_; }
    // Timeouts of the waits at removal, query stop and query remove: 100 ns units, 0 = no limit.
    void SetWaitTimeouts(LONGLONG removal, LONGLONG queryStop, LONGLONG queryRemove);

    // BusyCounter.
    void AcquireBusy() override;
    void ReleaseBusy() override;
    LONG BusyCount() const { return busy_.load(); }
    LONG OpenCount() const { return open_.load(); }
    ULONG State() const { return state_.load(); }
    bool Is(StateFlag flag) const { return (state_.load() & flag) != 0; }

    // Waits for the idle / removed event: STATUS_UNSUCCESSFUL above APC_LEVEL; timeout 0 waits
    // without limit, any other value t for t units of 100 ns (STATUS_TIMEOUT when it expires).
    NTSTATUS WaitForIdle(LONGLONG timeout);
    NTSTATUS WaitForRemoval(LONGLONG timeout);

    // The hold queue. HoldRequest: STATUS_PENDING when held, STATUS_CANCELLED (and completed)
    // for a request cancelled already. ReleaseHeld: each held request is failed with
    // STATUS_DELETE_PENDING (fail) or handed to the gate again; cancelled ones complete with
    // STATUS_CANCELLED. CancelHeld: the held requests of the file (all for null).
    NTSTATUS HoldRequest(PIRP irp);
    void ReleaseHeld(bool fail);
    void CancelHeld(PFILE_OBJECT file);
    std::size_t HeldCount();

    // Completes a request and releases the busy count the gate took for it.
    NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information = 0);

    PDEVICE_OBJECT LowerDevice() const { return lower_; }
    PDEVICE_OBJECT PhysicalDevice() const { return physical_; }
    KernelMutex& DeviceMutex() { return mutex_; }

  protected:
    NTSTATUS NotImplemented(PIRP irp) override;
    NTSTATUS OnPnp(PIRP irp) override;
    NTSTATUS OnPower(PIRP irp) override;

    // Plug and Play minor handlers: a status; the base finishes the request.
    virtual NTSTATUS OnStartDevice(PIRP irp) { return STATUS_SUCCESS; }
    virtual NTSTATUS OnStopDevice(PIRP irp) { return STATUS_SUCCESS; }
    virtual NTSTATUS OnQueryStopDevice(PIRP irp) { return STATUS_SUCCESS; }
    virtual NTSTATUS OnCancelStopDevice(PIRP irp) { return STATUS_SUCCESS; }
    virtual NTSTATUS OnQueryRemoveDevice(PIRP irp) { return STATUS_SUCCESS; }
    virtual NTSTATUS OnCancelRemoveDevice(PIRP irp) { return STATUS_SUCCESS; }
    virtual NTSTATUS OnRemoveDevice(PIRP irp) { return STATUS_SUCCESS; }
    virtual NTSTATUS OnSurpriseRemoval(PIRP irp) { return STATUS_SUCCESS; }
    virtual NTSTATUS OnQueryDeviceState(PIRP irp) { return STATUS_SUCCESS; }
    // Handlers that own their request; the default passes it on.
    virtual NTSTATUS OnQueryCapabilities(PIRP irp) { return ForwardPnp(irp); }
    // Answers QUERY_CAPABILITIES without the lower driver: the capabilities the device reports
    // (SurpriseRemovalOK) go into the caller's record, and the request completes with success.
    NTSTATUS AnswerCapabilities(PIRP irp);
    virtual NTSTATUS OnOtherPnp(PIRP irp) { return ForwardPnp(irp); }

    // Skips the own stack location, releases the busy count and passes the request down.
    virtual NTSTATUS ForwardPnp(PIRP irp);
    // Starts the next power request, then passes it down with the power call.
    virtual NTSTATUS ForwardPower(PIRP irp);
    // Sends the request down and waits for the lower driver's answer (passive level); the request
    // is the caller's again afterwards. Returns the lower driver's status.
    NTSTATUS ForwardAndWait(PIRP irp);

  private:
    static void HoldCancelRoutine(PDEVICE_OBJECT device, PIRP irp);
    NTSTATUS PassOn(PIRP irp, bool releaseBusy);
    NTSTATUS GateCreate(PIRP irp);
    NTSTATUS GateClose(PIRP irp);
    bool ShouldHold() const;
    // Waits for idle after a query; false (held requests cancelled when the policy says so) when
    // the wait timed out.
    bool WaitedIdle(LONGLONG timeout, ULONG queryPolicy);
    void SetState(ULONG flags) { state_.fetch_or(flags); }
    void ClearState(ULONG flags) { state_.fetch_and(~flags); }
    void EnableInterfaces(bool enable);
    void CancelSystemQueue();

    NTSTATUS PnpStart(PIRP irp);
    NTSTATUS PnpQueryStop(PIRP irp);
    NTSTATUS PnpStop(PIRP irp);
    NTSTATUS PnpCancelStop(PIRP irp);
    NTSTATUS PnpQueryRemove(PIRP irp);
    NTSTATUS PnpCancelRemove(PIRP irp);
    NTSTATUS PnpRemove(PIRP irp);
    NTSTATUS PnpSurpriseRemoval(PIRP irp);
    NTSTATUS PnpQueryDeviceState(PIRP irp);

    struct InterfaceRecord;

    NTSTATUS constructionStatus_ = STATUS_UNSUCCESSFUL;
    PDEVICE_OBJECT lower_ = nullptr;
    PDEVICE_OBJECT physical_ = nullptr;
    std::atomic<LONG> busy_{1};
    std::atomic<LONG> open_{0};
    SpinLock busyLock_;  // keeps each count change and its event change together
    KernelMutex mutex_{1};
    KernelEvent idleEvent_{SynchronizationEvent, false};
    KernelEvent removedEvent_{SynchronizationEvent, false};
    RequestList held_;
    std::atomic<ULONG> state_{0};
    PnpPolicy policy_;
    LONGLONG removalTimeout_ = 0;
    LONGLONG queryStopTimeout_ = 0;
    LONGLONG queryRemoveTimeout_ = 0;
    UnlockedList interfaces_;
    bool interfacesEnabled_ = false;
};

}  // namespace wdm
