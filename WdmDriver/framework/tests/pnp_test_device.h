// A function driver built on the device base for its tests ("wdmpnptest"). AddDevice makes a
// TestDevice named "\Device\WdmPnp<n>" and linked as "\\.\WdmPnp<n>", with the default policy.
// Reads wait in a queue until the test finishes them; cleanup cancels the file's reads. Its
// handlers note themselves in the journal and run the test's hooks.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include "framework/pnp_device_base.h"
#include "framework/request_queue.h"
#include "kernel/pnp.h"
#include "pnp_test_bus.h"

namespace wdm_test {

// Reads park here: nothing happens when one becomes current.
class ParkingQueue : public wdm::RequestQueue {
  public:
    explicit ParkingQueue(wdm::BusyCounter* device) : RequestQueue(device, {true, false}) {}

  protected:
    void StartRequest(PIRP) override {}
};

// What the tests set and read; one per test, reached by the driver through TheDriverLog().
struct DriverLog {
    Journal* journal = nullptr;
    std::atomic<NTSTATUS> queryStateStatus{STATUS_SUCCESS};
    std::function<void(UCHAR minor)> onPnp;  // runs inside the device's minor handlers
    std::atomic<int> destroyed{0};
    std::atomic<LONG> busyAtDestruction{-1};
    std::atomic<LONG> openAtDestruction{-1};
    std::atomic<int> nextIndex{0};
};
DriverLog*& TheDriverLog();

class TestDevice : public wdm::PnpDeviceBase {
  public:
    TestDevice() : reads_(this) {}
    ~TestDevice() override;

    // Finishes the current read.
    void CompleteRead(NTSTATUS status, ULONG_PTR information) {
        reads_.CompleteCurrentAndStartNext(status, information);
    }
    ParkingQueue& Reads() { return reads_; }

  protected:
    NTSTATUS OnCreate(PIRP irp) override { return CompleteRequest(irp, STATUS_SUCCESS); }
    NTSTATUS OnClose(PIRP irp) override { return CompleteRequest(irp, STATUS_SUCCESS); }
    NTSTATUS OnRead(PIRP irp) override { return reads_.Queue(irp); }
    // The file's reads go: the waiting ones and the current one.
    NTSTATUS OnCleanup(PIRP irp) override {
        PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
        reads_.CancelAll(file);
        PIRP current = reads_.ClaimCurrent();
        if (current != nullptr && IoGetCurrentIrpStackLocation(current)->FileObject == file)
            reads_.CompleteCurrentAndStartNext(STATUS_CANCELLED, 0);
        return CompleteRequest(irp, STATUS_SUCCESS);
    }
    NTSTATUS OnStartDevice(PIRP irp) override { return Handled(IRP_MN_START_DEVICE); }
    NTSTATUS OnStopDevice(PIRP irp) override { return Handled(IRP_MN_STOP_DEVICE); }
    NTSTATUS OnQueryStopDevice(PIRP irp) override { return Handled(IRP_MN_QUERY_STOP_DEVICE); }
    NTSTATUS OnCancelStopDevice(PIRP irp) override { return Handled(IRP_MN_CANCEL_STOP_DEVICE); }
    NTSTATUS OnQueryRemoveDevice(PIRP irp) override { return Handled(IRP_MN_QUERY_REMOVE_DEVICE); }
    NTSTATUS OnCancelRemoveDevice(PIRP irp) override {
        return Handled(IRP_MN_CANCEL_REMOVE_DEVICE);
    }
    NTSTATUS OnRemoveDevice(PIRP irp) override { return Handled(IRP_MN_REMOVE_DEVICE); }
    NTSTATUS OnSurpriseRemoval(PIRP irp) override { return Handled(IRP_MN_SURPRISE_REMOVAL); }
    // As the driver's devices do.
    NTSTATUS OnQueryCapabilities(PIRP irp) override { return AnswerCapabilities(irp); }
    NTSTATUS OnQueryDeviceState(PIRP irp) override {
        Handled(IRP_MN_QUERY_PNP_DEVICE_STATE);
        return TheDriverLog()->queryStateStatus.load();
    }

  private:
    NTSTATUS Handled(UCHAR minor);
    ParkingQueue reads_;
};

// The device interface class the test devices register.
extern const GUID kTestInterface;

kernel::pnp::FunctionDriver TestPnpDriver();

}  // namespace wdm_test
