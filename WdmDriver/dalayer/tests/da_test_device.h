// A data-acquisition device for the layer's tests, on the kernel stand-in: a driver "dalayertest"
// with one device "\Device\DaTest0" linked as "\\.\DaTest0", whose subsystem objects and board
// operations note every call in a log, a fake status pipe that counts the reads outstanding, and
// helpers that drive the device through the user-mode I/O boundary.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "dalayer/da_device.h"
#include "dalayer/subsystem_event_queue.h"
#include "framework/request_queue.h"
#include "kernel/deferred_testing.h"
#include "kernel/io_user.h"
#include "kernel/testing.h"

namespace dalayer_test {

// What the device and its objects did, in order.
class Log {
  public:
    void Add(std::string entry) {
        std::lock_guard<std::mutex> hold(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> hold(mutex_);
        return std::exchange(entries_, {});
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> entries_;
};

// The status pipe of a board that answers nothing until the test says so.
class FakeStatusPipe : public dalayer::StatusPipe {
  public:
    explicit FakeStatusPipe(dalayer::DaDevice* device) : device_(device) {}

    NTSTATUS PostStatusRead() override;
    void AbortStatusPipe() override;

    // One outstanding read completes with a message (routed, then replaced) or fails.
    bool DeliverMessage(USHORT type, USHORT flags);
    bool FailRead();

    int Outstanding() const { return outstanding_.load(); }
    int MostOutstanding() const { return most_.load(); }
    int Aborts() const { return aborts_.load(); }
    std::atomic<bool> refusePosts{false};

  private:
    bool TakeOne();

    dalayer::DaDevice* device_;
    std::atomic<int> outstanding_{0};
    std::atomic<int> most_{0};
    std::atomic<int> aborts_{0};
};

// Reads wait here until cancelled.
class ParkedReads : public wdm::RequestQueue {
  public:
    explicit ParkedReads(wdm::BusyCounter* device) : RequestQueue(device, {true, true}) {}

  protected:
    void StartRequest(PIRP) override {}
};

// Answers each request operation with its own status (kStatusOf) and notes it as
// "<op> <type>:<element>"; list capacity 1024 for the A/D, 5 for the D/A, none for the others.
class RecordingSubsystem : public dalayer::DaSubsystem {
  public:
    RecordingSubsystem(dalayer::DaDevice* device, Log* log, ULONG type, ULONG element,
                       bool pendStops);
    ~RecordingSubsystem() override;

    ULONG ListCapacity() const override;
    hxda::ApiStatus ReadEvents(dalayer::DaRequest& r) override { return Note("ReadEvents", r); }
    hxda::ApiStatus SetSingleValue(dalayer::DaRequest& r) override {
        return Note("SetSingleValue", r);
    }
    hxda::ApiStatus GetSingleValue(dalayer::DaRequest& r) override {
        return Note("GetSingleValue", r);
    }
    hxda::ApiStatus Configure(dalayer::DaRequest& r) override;
    hxda::ApiStatus Start(dalayer::DaRequest& r) override { return Note("Start", r); }
    hxda::ApiStatus Stop(dalayer::DaRequest& r) override;
    hxda::ApiStatus Reset(dalayer::DaRequest& r) override { return Note("Reset", r); }
    hxda::ApiStatus Abort(dalayer::DaRequest& r) override { return Note("Abort", r); }
    hxda::ApiStatus PreStart(dalayer::DaRequest& r) override { return Note("PreStart", r); }
    hxda::ApiStatus FlushInProcess(dalayer::DaRequest& r) override;
    hxda::ApiStatus SimultaneousStart(dalayer::DaRequest& r) override {
        return Note("SimultaneousStart", r);
    }
    NTSTATUS QueueDataRequest(PIRP irp) override { return reads_.Queue(irp); }
    NTSTATUS WaitForEvent(PIRP irp) override { return events_.Wait(irp); }
    void CancelAll(PFILE_OBJECT file) override;
    void PostEvent(dalayer::SubsystemEvent event, ULONG data) override;

    void SetErrorForTest(NTSTATUS error) { SetError(error); }
    // The stop request it keeps when told to pend stops.
    PIRP TakePendedStop() { return pendedStop_.exchange(nullptr); }

  private:
    hxda::ApiStatus Note(const char* op, dalayer::DaRequest& request);

    Log* log_;
    bool pendStops_;
    std::atomic<PIRP> pendedStop_{nullptr};
    ParkedReads reads_;
    dalayer::SubsystemEventQueue events_;
};

// The status each operation answers, so that a test sees which one ran.
ULONG StatusOf(const std::string& op);

// The name an event has in the recording log ("overrun", "board-ready", ...).
std::string EventName(dalayer::SubsystemEvent event);

class TestDaDevice : public dalayer::DaDevice {
  public:
    explicit TestDaDevice(Log* log) : log_(log), pipe_(this) { SetStatusPipe(&pipe_); }

    FakeStatusPipe& Pipe() { return pipe_; }
    std::atomic<bool> pendStops{false};
    std::atomic<NTSTATUS> constructionError{STATUS_SUCCESS};
    RecordingSubsystem* Find(ULONG type, ULONG element);

  protected:
    dalayer::DaSubsystem* CreateSubsystem(ULONG type, ULONG element) override;
    hxda::ApiStatus SetHardwareInfo(dalayer::DaRequest& r) override {
        return Note("SetHardwareInfo");
    }
    hxda::ApiStatus GetHardwareInfo(dalayer::DaRequest& r) override {
        return Note("GetHardwareInfo");
    }
    hxda::ApiStatus WriteRegister(dalayer::DaRequest& r) override { return Note("WriteRegister"); }
    hxda::ApiStatus ReadRegister(dalayer::DaRequest& r) override { return Note("ReadRegister"); }
    hxda::ApiStatus WriteCalPot(dalayer::DaRequest& r) override { return Note("WriteCalPot"); }
    hxda::ApiStatus ReadCalPot(dalayer::DaRequest& r) override { return Note("ReadCalPot"); }
    void ReservedRequest(dalayer::DaRequest& r) override {
        static_cast<void>(Note("ReservedRequest"));
    }

  private:
    hxda::ApiStatus Note(const char* op);

    Log* log_;
    FakeStatusPipe pipe_;
};

// One request through the user-mode boundary and its completion.
struct Outcome {
    std::int32_t submitted = 0;
    std::atomic<int> completions{0};
    std::atomic<std::int32_t> status{0};
    std::atomic<std::uint64_t> information{0};
    kernel::user_io::CompletionCallback Callback();
    // Bounded wait for the completion.
    bool WaitCompleted(int milliseconds = 5000) const;
};

// Loads the driver, creates the device and checks at the end that every file, request, device and
// pool block of the test is gone.
class DaDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    kernel::user_io::FileId Open(const std::string& name, std::int32_t expected = STATUS_SUCCESS);
    std::int32_t OpenStatus(const std::string& name);
    void Close(kernel::user_io::FileId file);
    // A synchronous device-control request; the completion is checked to have happened.
    void Control(kernel::user_io::FileId file, std::uint32_t code, const void* input,
                 std::uint32_t inputLength, void* output, std::uint32_t outputLength,
                 Outcome* outcome);
    // Submits without waiting.
    void Submit(kernel::user_io::FileId file, const kernel::user_io::Request& request,
                Outcome* outcome);

    Log log_;
    TestDaDevice* device_ = nullptr;
    PDRIVER_OBJECT driver_ = nullptr;
};

inline constexpr kernel::user_io::IssuerId kIssuer = 77;

}  // namespace dalayer_test
