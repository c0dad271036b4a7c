// One plugged-in device on the bus: its PDO, its pipes and their transfer queues, and the passes
// that move data between pending transfers and the device model. The port's thread runs a pass
// when a submission to an empty queue, a cancel or the model wakes it; the bus's frame thread runs
// one at the end of the frame that holds the time the model named for a waiting transfer
// (DeviceModel::RetryAfter) on the stand-ins' clock. Passes of one port never overlap: a wake
// during a pass makes that pass go round again. A pass tries a waiting transfer again only after
// a wake or an OUT message taken, or at its own named time.
#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "frame_service.h"
#include "simclock/condition.h"
#include "simclock/thread.h"
#include "usb/bus.h"
#include "usb/usb.h"

namespace usb {

class Port final : public DevicePort {
  public:
    Port(PDEVICE_OBJECT pdo, std::shared_ptr<DeviceModel> model, FrameService& frames);
    ~Port() override;  // stops the thread; the PDO must be deleted by then

    static Port* From(PDEVICE_OBJECT device) {
        return *static_cast<Port**>(device->DeviceExtension);
    }

    NTSTATUS DispatchUrb(PIRP irp);
    NTSTATUS DispatchPnp(PIRP irp);
    NTSTATUS DispatchPower(PIRP irp);
    void CancelQueued(PIRP irp);

    void Wake() override;
    // Moves data for every pipe, completes what finished and names the next timed pass to the
    // frames; once at a time, from the port's thread or the frame thread.
    void Pass();
    void Unplug();
    // Stops the thread and deletes the PDO if it still exists (bus teardown).
    void Shutdown();

    void InjectFault(std::uint8_t endpoint, Fault fault, int count);
    void FailPnp(UCHAR minor, NTSTATUS status);
    std::size_t PendingTransfers() const;
    std::uint8_t SelectedConfiguration() const;
    bool Plugged() const;
    bool WaitDeleted(int timeoutMs);
    bool Deleted() const;
    PDEVICE_OBJECT Identity() const { return identity_; }

  private:
    struct Pipe {
        std::uint8_t endpoint = 0;
        USBD_PIPE_TYPE type = UsbdPipeTypeBulk;
        std::uint16_t maxPacket = 0;
        bool halted = false;
        // Of a configuration replaced while cancel routines still held some of its transfers:
        // kept only until they have taken them out.
        bool retired = false;
        std::deque<PIRP> queue;
        // The head transfer last tried and left waiting, the count of changes before that try
        // and the reading the model named for it: until another change or that reading, a try of
        // it would find what that one found.
        PIRP waiting = nullptr;
        std::uint64_t waitingChanges = 0;
        std::optional<simclock::Duration> waitingUntil;
    };
    struct Done {
        PIRP irp;
        NTSTATUS status;
        USBD_STATUS usbd;
        ULONG bytes;
    };

    NTSTATUS SelectConfiguration(PURB urb);
    NTSTATUS GetDescriptor(PURB urb);
    NTSTATUS SubmitTransfer(PIRP irp, PURB urb);
    // Takes every queued transfer of the pipe (all pipes when null) out with the given result;
    // transfers whose cancel routine is already running are left to it.
    void FailQueued(Pipe* pipe, NTSTATUS status, USBD_STATUS usbd, std::vector<Done>& done);
    // Moves data for every pipe. Returns the clock reading at which time alone may move on a
    // transfer that waits for the device, when the model named one.
    std::optional<simclock::Duration> Service(std::vector<Done>& done);
    // Notes the head transfer of the pipe as waiting, for `wanted` bytes, since a try that began
    // after `changes` changes, with the reading at which it may move on; keeps the earliest in
    // `next`.
    void NoteRetry(Pipe& pipe, std::size_t wanted, std::uint64_t changes,
                   std::optional<simclock::Duration>& next);
    // The head of the pipe waits as its last try left it: no wake and no OUT message taken since,
    // and the time named for it has not come.
    bool StillWaiting(const Pipe& pipe) const;
    // Forgets the waiting head of the pipe when it is the transfer leaving the queue.
    static void Leaving(Pipe& pipe, PIRP irp) {
        if (pipe.waiting == irp)
            pipe.waiting = nullptr;
    }
    // Takes the head transfer of the pipe out as finished; false when its cancel routine owns it.
    bool TakeHead(Pipe& pipe, NTSTATUS status, USBD_STATUS usbd, std::vector<Done>& done);
    void Finish(const Done& done);
    void FinishAll(const std::vector<Done>& done);
    void ThreadLoop();
    bool NextFault(std::uint8_t endpoint, Fault* fault);
    void TryDelete();

    PDEVICE_OBJECT pdo_;
    PDEVICE_OBJECT identity_;  // the PDO's address, kept for lookups after deletion
    std::shared_ptr<DeviceModel> model_;

    mutable std::mutex mutex_;  // guards everything below and calls into the model
    simclock::ConditionVariable changed_;
    bool plugged_ = true;
    bool removed_ = false;  // IRP_MN_REMOVE_DEVICE handled
    // Unplugged and removed: the thread deletes the PDO once nothing is attached to it.
    std::atomic<bool> deleteScheduled_{false};
    bool deleted_ = false;
    int held_ = 0;  // URB IRPs taken in and not yet completed
    std::uint8_t configuration_ = 0;
    std::map<PVOID, Pipe> pipes_;  // by pipe handle
    std::map<std::uint8_t, std::deque<Fault>> faults_;
    std::map<UCHAR, NTSTATUS> pnpFailures_;

    FrameService& frames_;
    std::mutex passMutex_;
    bool passing_ = false;  // a pass runs: a wake makes it go round again instead
    bool again_ = false;
    std::mutex wakeMutex_;
    simclock::ConditionVariable wakeCondition_;
    bool wake_ = false;
    bool stop_ = false;
    // Every Wake, counted before it wakes the thread, and every OUT message the model took (one
    // may change what the device offers on its other pipes).
    std::atomic<std::uint64_t> changes_{0};
    simclock::Thread thread_;
};

}  // namespace usb
