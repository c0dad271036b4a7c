// Helpers of the framework's tests: a fixture that checks the driver's pool tag is balanced after
// every test, and requests the tests issue themselves and watch complete.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "framework/pool.h"
#include "kernel/deferred_testing.h"
#include "kernel/testing.h"
#include "kernel/wdm.h"
#include "simclock/condition.h"

namespace wdm_test {

// Fails the test when blocks tagged "Wdm " outlive it.
class PoolCheckedTest : public ::testing::Test {
  protected:
    void TearDown() override {
        kernel::testing::FailPoolAllocation(0);
        EXPECT_EQ(kernel::testing::PoolOutstanding(wdm::kPoolTag), kernel::testing::PoolUsage{});
    }
};

// An IRP the test sends to a device: the completion routine of its originator's location counts
// completions and keeps the request, so that a test sees each completion and its status.
class TestIrp {
  public:
    TestIrp(CCHAR stackSize, UCHAR major, UCHAR minor = 0, PFILE_OBJECT file = nullptr)
        : irp_(IoAllocateIrp(stackSize, FALSE)) {
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp_);
        next->MajorFunction = major;
        next->MinorFunction = minor;
        next->FileObject = file;
        irp_->IoStatus.Status = STATUS_NOT_SUPPORTED;
        IoSetCompletionRoutine(irp_, Done, this, TRUE, TRUE, TRUE);
    }
    ~TestIrp() { IoFreeIrp(irp_); }
    TestIrp(const TestIrp&) = delete;
    TestIrp& operator=(const TestIrp&) = delete;

    // Called at each completion, before it is counted.
    std::function<void()> onComplete;

    PIRP Get() { return irp_; }
    PIO_STACK_LOCATION Location() { return IoGetNextIrpStackLocation(irp_); }
    NTSTATUS Send(PDEVICE_OBJECT device) { return IoCallDriver(device, irp_); }
    int Completions() const { return completions_.load(); }
    NTSTATUS Status() const { return status_.load(); }
    ULONG_PTR Information() const { return irp_->IoStatus.Information; }
    // Bounded wait for the first completion.
    bool WaitCompleted(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (completions_.load() == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

  private:
    static NTSTATUS Done(PDEVICE_OBJECT, PIRP irp, PVOID context) {
        auto* self = static_cast<TestIrp*>(context);
        self->status_ = irp->IoStatus.Status;
        if (self->onComplete)
            self->onComplete();
        ++self->completions_;
        return STATUS_MORE_PROCESSING_REQUIRED;
    }

    PIRP irp_;
    std::atomic<int> completions_{0};
    std::atomic<NTSTATUS> status_{STATUS_NOT_SUPPORTED};
};

// Polls (bounded, on the stand-ins' clock) until the predicate holds.
template <class Predicate>
bool WaitUntil(Predicate predicate, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = simclock::Deadline::After(timeout);
    while (!predicate()) {
        if (deadline.Passed())
            return false;
        simclock::SleepFor(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace wdm_test
