// Work items: FIFO start order at PASSIVE_LEVEL on worker threads, a blocking routine does not hold
// up the queue, and an I/O work item keeps its device referenced while it is queued or running.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "kernel/deferred_testing.h"
#include "kernel/loader.h"
#include "kernel/rules.h"
#include "kernel/testing.h"
#include "kernel/wdm.h"

namespace {

using namespace std::chrono_literals;

template <class Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class WorkItemTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(kernel::testing::ResetDeferredWork()); }
};

struct Record {
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<int> notPassive{0};
    std::atomic<int> onCaller{0};
    std::thread::id caller = std::this_thread::get_id();
};
struct Numbered {
    WORK_QUEUE_ITEM item;
    Record* record;
    int index;
};

void RecordOrder(PVOID parameter) {
    auto* numbered = static_cast<Numbered*>(parameter);
    Record& record = *numbered->record;
    if (KeGetCurrentIrql() != PASSIVE_LEVEL)
        ++record.notPassive;
    if (std::this_thread::get_id() == record.caller)
        ++record.onCaller;
    std::lock_guard lock(record.mutex);
    record.order.push_back(numbered->index);
}

TEST_F(WorkItemTest, RunInQueueOrderAtPassiveLevelOnWorkerThreads) {
    Record record;
    constexpr int kCount = 50;
    std::vector<Numbered> items(kCount);
    for (int i = 0; i < kCount; ++i) {
        items[i].record = &record;
        items[i].index = i;
        ExInitializeWorkItem(&items[i].item, RecordOrder, &items[i]);
    }
    // Queued from DISPATCH_LEVEL, as a DPC would.
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    for (auto& numbered : items)
        ExQueueWorkItem(&numbered.item, DelayedWorkQueue);
    KeLowerIrql(old);
    ASSERT_TRUE(kernel::testing::DrainDeferredWork());
    std::vector<int> expected(kCount);
    for (int i = 0; i < kCount; ++i)
        expected[i] = i;
    EXPECT_EQ(record.order, expected);
    EXPECT_EQ(record.notPassive, 0);
    EXPECT_EQ(record.onCaller, 0);
}

struct Pair {
    WORK_QUEUE_ITEM blocker;
    WORK_QUEUE_ITEM releaser;
    KEVENT event;
    std::atomic<NTSTATUS> waitStatus{STATUS_PENDING};
};

void WaitForPartner(PVOID parameter) {
    auto* pair = static_cast<Pair*>(parameter);
    LARGE_INTEGER timeout;
    timeout.QuadPart = -50'000'000;  // 5 s
    pair->waitStatus = KeWaitForSingleObject(&pair->event, Executive, KernelMode, FALSE, &timeout);
}
void SetPartnerEvent(PVOID parameter) {
    KeSetEvent(&static_cast<Pair*>(parameter)->event, IO_NO_INCREMENT, FALSE);
}

// A routine that blocks until a later item has run: the later item must get a worker.
TEST_F(WorkItemTest, BlockingRoutineDoesNotHoldUpLaterItems) {
    Pair pair;
    KeInitializeEvent(&pair.event, NotificationEvent, FALSE);
    ExInitializeWorkItem(&pair.blocker, WaitForPartner, &pair);
    ExInitializeWorkItem(&pair.releaser, SetPartnerEvent, &pair);
    ExQueueWorkItem(&pair.blocker, DelayedWorkQueue);
    ExQueueWorkItem(&pair.releaser, DelayedWorkQueue);
    ASSERT_TRUE(WaitFor([&] { return pair.waitStatus != STATUS_PENDING; }, 10s));
    EXPECT_EQ(pair.waitStatus, STATUS_SUCCESS);
}

NTSTATUS EmptyEntry(PDRIVER_OBJECT, PUNICODE_STRING) {
    return STATUS_SUCCESS;
}

struct DeviceWork {
    PIO_WORKITEM item = nullptr;
    KEVENT gate;
    std::atomic<int> runs{0};
    std::atomic<PDEVICE_OBJECT> seen{nullptr};
};

void DeviceRoutine(PDEVICE_OBJECT device, PVOID context) {
    auto* work = static_cast<DeviceWork*>(context);
    work->seen = device;
    KeWaitForSingleObject(&work->gate, Executive, KernelMode, FALSE, nullptr);
    if (++work->runs == 1) {
        IoQueueWorkItem(work->item, DeviceRoutine, DelayedWorkQueue, work);  // again, once
    } else {
        IoFreeWorkItem(work->item);  // freed by its own routine
        work->item = nullptr;
    }
}

TEST_F(WorkItemTest, IoWorkItemKeepsItsDeviceUntilItsRoutineHasRun) {
    PDRIVER_OBJECT driver = nullptr;
    ASSERT_EQ(kernel::LoadDriver(u"workitems", EmptyEntry, u"", &driver), STATUS_SUCCESS);
    PDEVICE_OBJECT device = nullptr;
    ASSERT_EQ(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
              STATUS_SUCCESS);
    const std::size_t devicesBefore = kernel::testing::LiveDevices();

    DeviceWork work;
    KeInitializeEvent(&work.gate, NotificationEvent, FALSE);
    work.item = IoAllocateWorkItem(device);
    ASSERT_NE(work.item, nullptr);
    kernel::testing::HoldWorkItems(true);  // keeps the item queued while the test looks
    IoQueueWorkItem(work.item, DeviceRoutine, DelayedWorkQueue, &work);
    {
        kernel::RuleViolationRecorder recorder;
        IoQueueWorkItem(work.item, DeviceRoutine, DelayedWorkQueue, &work);
        EXPECT_TRUE(recorder.Saw("already queued"));
    }
    IoDeleteDevice(device);  // the queued item still holds the device
    EXPECT_EQ(kernel::testing::LiveDevices(), devicesBefore);

    kernel::testing::HoldWorkItems(false);
    KeSetEvent(&work.gate, IO_NO_INCREMENT, FALSE);
    ASSERT_TRUE(kernel::testing::DrainDeferredWork());
    EXPECT_EQ(work.runs, 2);
    EXPECT_EQ(work.seen, device);
    EXPECT_EQ(kernel::testing::LiveDevices(), devicesBefore - 1);
    EXPECT_EQ(kernel::testing::PoolOutstanding(MQ_POOL_TAG('I', 'o', 'W', 'k')).allocations, 0u);
    kernel::UnloadDriver(driver);
}

TEST_F(WorkItemTest, FreeingAQueuedItemIsARuleViolation) {
    PDRIVER_OBJECT driver = nullptr;
    ASSERT_EQ(kernel::LoadDriver(u"workitems", EmptyEntry, u"", &driver), STATUS_SUCCESS);
    PDEVICE_OBJECT device = nullptr;
    ASSERT_EQ(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
              STATUS_SUCCESS);
    DeviceWork work;
    KeInitializeEvent(&work.gate, NotificationEvent, FALSE);
    work.item = IoAllocateWorkItem(device);
    work.runs = 1;  // the routine frees the item on this run
    kernel::testing::HoldWorkItems(true);
    IoQueueWorkItem(work.item, DeviceRoutine, DelayedWorkQueue, &work);
    {
        kernel::RuleViolationRecorder recorder;
        IoFreeWorkItem(work.item);
        EXPECT_TRUE(recorder.Saw("IoFreeWorkItem of a queued work item"));
    }
    kernel::testing::HoldWorkItems(false);
    KeSetEvent(&work.gate, IO_NO_INCREMENT, FALSE);
    ASSERT_TRUE(kernel::testing::DrainDeferredWork());
    EXPECT_EQ(work.item, nullptr);
    IoDeleteDevice(device);
    kernel::UnloadDriver(driver);
}

}  // namespace
