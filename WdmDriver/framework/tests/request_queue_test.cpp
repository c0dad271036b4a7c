// The generic request queue on the kernel stand-in: order and the start-next rule, cancel of
// waiting requests and of requests cancelled before they were queued, cleanup by file, and
// cancels racing the start of the next request (every request completed exactly once).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "framework/kernel_device_base.h"
#include "framework/locked_list.h"
#include "framework/request_queue.h"
#include "queue_testing.h"

namespace {

using wdm_test::TestIrp;

// Records the requests it starts, the level they start at, and how many requests had completed
// by then.
class RecordingQueue : public wdm::RequestQueue {
  public:
    explicit RecordingQueue(wdm::BusyCounter* device) : RequestQueue(device, {true, false}) {}

    struct Start {
        PIRP irp;
        KIRQL irql;
    };
    std::vector<Start> Starts() {
        std::lock_guard lock(mutex_);
        return starts_;
    }

  protected:
    void StartRequest(PIRP irp) override {
        std::lock_guard lock(mutex_);
        starts_.push_back({irp, KeGetCurrentIrql()});
    }

  private:
    std::mutex mutex_;
    std::vector<Start> starts_;
};

class RequestQueueTest : public wdm_test::PoolCheckedTest {
  protected:
    void SetUp() override { device_.Attach(&queue_); }
    void TearDown() override {
        EXPECT_FALSE(queue_.Busy());
        EXPECT_EQ(queue_.WaitingCount(), 0u);
        PoolCheckedTest::TearDown();
    }

    std::unique_ptr<TestIrp> Send(UCHAR major = IRP_MJ_READ, PFILE_OBJECT file = nullptr) {
        auto irp = std::make_unique<TestIrp>(device_.Device()->StackSize, major, 0, file);
        EXPECT_EQ(irp->Send(device_.Device()), STATUS_PENDING);
        return irp;
    }

    wdm_test::QueueDevice device_;
    wdm_test::CountingDevice busy_;
    RecordingQueue queue_{&busy_};
};

TEST_F(RequestQueueTest, RequestsStartInOrderAndTheNextStartsBeforeTheFinishedOneCompletes) {
    auto first = Send();
    auto second = Send();
    auto third = Send();
    ASSERT_EQ(queue_.Starts().size(), 1u);
    EXPECT_EQ(queue_.Starts()[0].irp, first->Get());
    EXPECT_EQ(queue_.Starts()[0].irql, DISPATCH_LEVEL);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    EXPECT_EQ(queue_.Current(), first->Get());
    EXPECT_EQ(queue_.WaitingCount(), 2u);

    // What is current when the finished request completes.
    PIRP currentWhenFirstCompleted = nullptr;
    first->onComplete = [&] { currentWhenFirstCompleted = queue_.Current(); };
    queue_.CompleteCurrentAndStartNext(STATUS_SUCCESS, 7);
    EXPECT_EQ(currentWhenFirstCompleted, second->Get());
    EXPECT_EQ(first->Information(), 7u);
    EXPECT_EQ(busy_.released, 1);

    queue_.CompleteCurrentAndStartNext(STATUS_UNSUCCESSFUL, 9);  // a failure carries no bytes
    EXPECT_EQ(second->Completions(), 1);
    EXPECT_EQ(second->Status(), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(second->Information(), 0u);
    queue_.CompleteCurrentAndStartNext(STATUS_SUCCESS, 1);
    EXPECT_EQ(third->Completions(), 1);
    EXPECT_EQ(queue_.Starts().size(), 3u);
    EXPECT_EQ(busy_.released, 3);
}

TEST_F(RequestQueueTest, CancelledRequestsCompleteOnceAndNeverStart) {
    auto current = Send();
    auto waiting = Send();
    auto later = Send();

    // A waiting request: out of the list, cancelled; the current one untouched.
    EXPECT_TRUE(IoCancelIrp(waiting->Get()));
    EXPECT_EQ(waiting->Completions(), 1);
    EXPECT_EQ(waiting->Status(), STATUS_CANCELLED);
    EXPECT_EQ(queue_.Current(), current->Get());
    EXPECT_EQ(queue_.WaitingCount(), 1u);
    EXPECT_EQ(busy_.released, 1);

    // Requests cancelled before they reach the queue: to a busy queue, and to an idle one.
    TestIrp early(device_.Device()->StackSize, IRP_MJ_READ);
    EXPECT_FALSE(IoCancelIrp(early.Get()));  // nothing to call yet
    EXPECT_EQ(early.Send(device_.Device()), STATUS_PENDING);
    EXPECT_EQ(early.Completions(), 1);
    EXPECT_EQ(early.Status(), STATUS_CANCELLED);

    queue_.CompleteCurrentAndStartNext(STATUS_SUCCESS, 0);
    queue_.CompleteCurrentAndStartNext(STATUS_SUCCESS, 0);
    ASSERT_FALSE(queue_.Busy());
    TestIrp earlyIdle(device_.Device()->StackSize, IRP_MJ_READ);
    IoCancelIrp(earlyIdle.Get());
    EXPECT_EQ(earlyIdle.Send(device_.Device()), STATUS_PENDING);
    EXPECT_EQ(earlyIdle.Completions(), 1);
    EXPECT_EQ(earlyIdle.Status(), STATUS_CANCELLED);

    for (const auto& start : queue_.Starts())
        EXPECT_TRUE(start.irp != waiting->Get() && start.irp != early.Get() &&
                    start.irp != earlyIdle.Get());
    EXPECT_EQ(current->Completions(), 1);
    EXPECT_EQ(later->Completions(), 1);
    EXPECT_EQ(busy_.released, 5);
    // A cancel after completion finds no routine.
    EXPECT_FALSE(IoCancelIrp(waiting->Get()));
}

TEST_F(RequestQueueTest, CleanupCancelsOnlyTheWaitingRequestsOfItsFile) {
    FILE_OBJECT mine{};
    FILE_OBJECT other{};
    auto current = Send(IRP_MJ_READ, &mine);
    auto a = Send(IRP_MJ_READ, &mine);
    auto b = Send(IRP_MJ_READ, &other);
    auto c = Send(IRP_MJ_READ, &mine);
    EXPECT_TRUE(queue_.RemoveWaiting(c->Get()));
    EXPECT_FALSE(queue_.RemoveWaiting(c->Get()));

    queue_.CancelAll(&mine);
    EXPECT_EQ(a->Status(), STATUS_CANCELLED);
    EXPECT_EQ(a->Completions(), 1);
    EXPECT_EQ(b->Completions(), 0);
    EXPECT_EQ(current->Completions(), 0);  // left to its owner
    EXPECT_EQ(queue_.WaitingCount(), 1u);

    queue_.CancelAll(nullptr);
    EXPECT_EQ(b->Status(), STATUS_CANCELLED);
    EXPECT_EQ(busy_.released, 2);
    queue_.CompleteCurrentAndStartNext(STATUS_SUCCESS, 0);
    // The removed request is the caller's now; complete it as its owner would.
    wdm::CompleteIrp(c->Get(), STATUS_SUCCESS);
    EXPECT_EQ(c->Completions(), 1);
}

// A cancel has taken a waiting request's routine but the routine has not run yet when that
// request becomes current: neither start-next nor the owner of the current request may finish
// it; the routine does, once, and starts the next.
TEST_F(RequestQueueTest, ARequestWhoseCancelIsUnderwayIsLeftToItsCancelRoutine) {
    auto first = Send();
    auto second = Send();
    auto third = Send();
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    second->Get()->Cancel = TRUE;
    PDRIVER_CANCEL routine = IoSetCancelRoutine(second->Get(), nullptr);
    IoReleaseCancelSpinLock(irql);
    ASSERT_NE(routine, nullptr);

    queue_.CompleteCurrentAndStartNext(STATUS_SUCCESS, 0);
    EXPECT_EQ(first->Completions(), 1);
    EXPECT_EQ(queue_.Current(), second->Get());
    queue_.CompleteCurrentAndStartNext(STATUS_SUCCESS, 0);  // not the owner's to finish
    EXPECT_EQ(second->Completions(), 0);
    EXPECT_EQ(queue_.Starts().size(), 1u);  // never started

    IoAcquireCancelSpinLock(&irql);
    second->Get()->CancelIrql = irql;
    routine(device_.Device(), second->Get());
    EXPECT_EQ(second->Completions(), 1);
    EXPECT_EQ(second->Status(), STATUS_CANCELLED);
    EXPECT_EQ(queue_.Current(), third->Get());
    queue_.CompleteCurrentAndStartNext(STATUS_SUCCESS, 0);
    EXPECT_EQ(third->Completions(), 1);
    EXPECT_EQ(busy_.released, 3);
}

// One thread finishes the current request over and over while another cancels requests at
// random: each request completes exactly once, and every completion releases one busy count.
TEST_F(RequestQueueTest, CancelsRacingStartNextCompleteEachRequestOnce) {
    constexpr int kRounds = 20;
    constexpr int kRequests = 40;
    std::mt19937 random(5120);
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::unique_ptr<TestIrp>> irps;
        for (int i = 0; i < kRequests; ++i)
            irps.push_back(Send());
        std::vector<int> order(kRequests);
        for (int i = 0; i < kRequests; ++i)
            order[i] = i;
        std::shuffle(order.begin(), order.end(), random);

        std::atomic<bool> go{false};
        std::thread canceller([&] {
            while (!go)
                std::this_thread::yield();
            for (int index : order)
                IoCancelIrp(irps[index]->Get());
        });
        const auto allDone = [&] {
            for (const auto& irp : irps)
                if (irp->Completions() == 0)
                    return false;
            return true;
        };
        // Finish the current request as fast as possible while the cancels run.
        go = true;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!allDone() && std::chrono::steady_clock::now() < deadline)
            queue_.CompleteCurrentAndStartNext(STATUS_SUCCESS, 0);
        ASSERT_TRUE(allDone());
        canceller.join();
        for (const auto& irp : irps)
            EXPECT_EQ(irp->Completions(), 1);
        EXPECT_FALSE(queue_.Busy());
    }
    EXPECT_EQ(busy_.released, kRounds * kRequests);
}

TEST(LockedListTest, IntrusiveOperationsFollowTheLinks) {
    struct Element {
        int value;
        LIST_ENTRY link;
    };
    Element e[4] = {{1, {}}, {2, {}}, {3, {}}, {4, {}}};
    wdm::LockedList list(offsetof(Element, link));
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.RemoveHead(), nullptr);
    for (auto& element : e)
        list.InsertTailLocked(&element);
    EXPECT_EQ(list.CountLocked(), 4u);
    EXPECT_EQ(list.First(), &e[0]);
    EXPECT_EQ(list.Last(), &e[3]);
    EXPECT_EQ(list.Next(&e[3]), nullptr);
    EXPECT_EQ(list.Previous(&e[0]), nullptr);
    const auto even = [](void* element) { return static_cast<Element*>(element)->value % 2 == 0; };
    EXPECT_EQ(list.Search(nullptr, true, even), &e[1]);
    EXPECT_EQ(list.Search(&e[2], true, even), &e[3]);
    EXPECT_EQ(list.Search(nullptr, false, even), &e[3]);
    EXPECT_EQ(list.Search(&e[2], false, even), &e[1]);
    list.RemoveLocked(&e[1]);
    EXPECT_FALSE(list.Contains(&e[1]));
    EXPECT_EQ(list.RemoveHeadLocked(), &e[0]);
    EXPECT_EQ(list.Next(&e[2]), &e[3]);
    EXPECT_EQ(list.Count(), 2u);
    list.Reset();
    EXPECT_TRUE(list.IsEmptyLocked());

    wdm::UnlockedList unlocked(offsetof(Element, link));
    unlocked.InsertTailLocked(&e[2]);  // the lock interface does nothing
    EXPECT_EQ(unlocked.RemoveHeadLocked(), &e[2]);
}

}  // namespace
