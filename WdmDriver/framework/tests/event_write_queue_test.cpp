// The event queue, whose current request stays cancellable, and the D/A write queue, which
// completes a cancelled current write only after its transfers are back.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "framework/event_queue.h"
#include "framework/write_queue.h"
#include "queue_testing.h"

namespace {

using wdm_test::TestIrp;

class QueueFixture : public wdm_test::PoolCheckedTest {
  protected:
    std::unique_ptr<TestIrp> Send(UCHAR major, PFILE_OBJECT file = nullptr, ULONG length = 0) {
        auto irp = std::make_unique<TestIrp>(device_.Device()->StackSize, major, 0, file);
        irp->Location()->Parameters.Write.Length = length;
        EXPECT_EQ(irp->Send(device_.Device()), STATUS_PENDING);
        return irp;
    }

    wdm_test::QueueDevice device_;
    wdm_test::CountingDevice busy_;
};

class EventQueueTest : public QueueFixture {
  protected:
    void SetUp() override { device_.Attach(&queue_); }
    void TearDown() override {
        EXPECT_FALSE(queue_.Busy());
        QueueFixture::TearDown();
    }
    wdm::EventQueue queue_{&busy_};
};

TEST_F(EventQueueTest, EventsCompleteTheCurrentRequestAndAreDroppedWithoutOne) {
    EXPECT_FALSE(queue_.PostEvent(STATUS_SUCCESS, 336, [](PIRP) { FAIL(); }));
    auto first = Send(IRP_MJ_DEVICE_CONTROL);
    auto second = Send(IRP_MJ_DEVICE_CONTROL);
    EXPECT_TRUE(queue_.PostEvent(STATUS_SUCCESS, 336, [](PIRP irp) {
        irp->UserBuffer = reinterpret_cast<PVOID>(0x1234);  // stands for the event record
    }));
    EXPECT_EQ(first->Status(), STATUS_SUCCESS);
    EXPECT_EQ(first->Information(), 336u);
    EXPECT_EQ(first->Get()->UserBuffer, reinterpret_cast<PVOID>(0x1234));
    EXPECT_EQ(queue_.Current(), second->Get());

    bool filled = false;
    EXPECT_TRUE(queue_.PostEvent(STATUS_DEVICE_NOT_CONNECTED, 336, [&](PIRP) { filled = true; }));
    EXPECT_FALSE(filled);
    EXPECT_EQ(second->Status(), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(second->Information(), 0u);
    EXPECT_EQ(busy_.released, 2);
}

// The current request is reached by a cancel of its own and by the cleanup of its file.
TEST_F(EventQueueTest, TheCurrentRequestIsCancellable) {
    FILE_OBJECT mine{};
    FILE_OBJECT other{};
    auto current = Send(IRP_MJ_DEVICE_CONTROL, &mine);
    auto next = Send(IRP_MJ_DEVICE_CONTROL, &mine);
    auto others = Send(IRP_MJ_DEVICE_CONTROL, &other);

    EXPECT_TRUE(IoCancelIrp(current->Get()));
    EXPECT_EQ(current->Completions(), 1);
    EXPECT_EQ(current->Status(), STATUS_CANCELLED);
    EXPECT_EQ(current->Information(), 0u);
    EXPECT_EQ(queue_.Current(), next->Get());

    queue_.CancelAll(&other);  // the other file's waiting request only
    EXPECT_EQ(others->Status(), STATUS_CANCELLED);
    EXPECT_EQ(queue_.Current(), next->Get());
    queue_.CancelAll(&mine);  // now the current one of this file
    EXPECT_EQ(next->Status(), STATUS_CANCELLED);
    EXPECT_EQ(busy_.released, 3);

    // Cancelled before it was queued to an idle queue: completed, never left current.
    TestIrp early(device_.Device()->StackSize, IRP_MJ_DEVICE_CONTROL);
    IoCancelIrp(early.Get());
    EXPECT_EQ(early.Send(device_.Device()), STATUS_PENDING);
    EXPECT_EQ(early.Status(), STATUS_CANCELLED);
    EXPECT_EQ(early.Completions(), 1);
}

// Events posted while requests are cancelled from another thread: each completes once.
TEST_F(EventQueueTest, EventsRacingCancelsCompleteEachRequestOnce) {
    std::mt19937 random(6);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::unique_ptr<TestIrp>> irps;
        for (int i = 0; i < 30; ++i)
            irps.push_back(Send(IRP_MJ_DEVICE_CONTROL));
        std::vector<PIRP> order;
        for (auto& irp : irps)
            order.push_back(irp->Get());
        std::shuffle(order.begin(), order.end(), random);
        std::atomic<bool> go{false};
        std::thread canceller([&] {
            while (!go)
                std::this_thread::yield();
            for (PIRP irp : order)
                IoCancelIrp(irp);
        });
        go = true;
        const auto allDone = [&] {
            return std::all_of(irps.begin(), irps.end(),
                               [](const auto& irp) { return irp->Completions() > 0; });
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!allDone() && std::chrono::steady_clock::now() < deadline)
            queue_.PostEvent(STATUS_SUCCESS, 336, [](PIRP) {});
        canceller.join();
        for (const auto& irp : irps)
            EXPECT_EQ(irp->Completions(), 1);
    }
    EXPECT_EQ(busy_.released, 20 * 30);
}

// A sink that records what it is sent; its transfers come back when the test says so, or during
// the cancel call when none is outstanding.
class TestSink : public wdm::WriteSink {
  public:
    wdm::WriteQueue* queue = nullptr;
    std::vector<std::pair<PVOID, ULONG>> sent;
    int cancels = 0;
    bool transfersPosted = true;
    std::function<void()> duringSend;

    void SendWrite(PVOID address, ULONG length) override {
        sent.emplace_back(address, length);
        transfersPosted = true;
        if (duringSend) {
            auto action = std::move(duringSend);
            duringSend = nullptr;
            action();
        }
    }
    void CancelTransfers() override {
        ++cancels;
        if (!transfersPosted)
            queue->TransfersReturned();
    }
    // The last posted transfer comes back.
    void LastTransferBack() {
        transfersPosted = false;
        if (cancels > returned_) {
            ++returned_;
            queue->TransfersReturned();
        }
    }

  private:
    int returned_ = 0;
};

class WriteQueueTest : public QueueFixture {
  protected:
    void SetUp() override {
        sink_.queue = &queue_;
        device_.Attach(&queue_);
    }
    void TearDown() override {
        EXPECT_FALSE(queue_.Busy());
        QueueFixture::TearDown();
    }
    TestSink sink_;
    wdm::WriteQueue queue_{&busy_, &sink_};
};

TEST_F(WriteQueueTest, WritesAreSentInTurnWithTheirBufferAndLength) {
    auto first = Send(IRP_MJ_WRITE, nullptr, 10000);
    std::vector<UCHAR> data(512);
    TestIrp second(device_.Device()->StackSize, IRP_MJ_WRITE);
    second.Location()->Parameters.Write.Length = 512;
    PMDL mdl = IoAllocateMdl(data.data(), 512, FALSE, FALSE, second.Get());
    EXPECT_EQ(second.Send(device_.Device()), STATUS_PENDING);

    ASSERT_EQ(sink_.sent.size(), 1u);
    EXPECT_EQ(sink_.sent[0], std::make_pair(PVOID{nullptr}, ULONG{10000}));
    EXPECT_TRUE(queue_.CompleteCurrentWrite(STATUS_SUCCESS, 10000));
    EXPECT_EQ(first->Status(), STATUS_SUCCESS);
    EXPECT_EQ(first->Information(), 10000u);
    ASSERT_EQ(sink_.sent.size(), 2u);
    EXPECT_EQ(sink_.sent[1], std::make_pair(PVOID{data.data()}, ULONG{512}));
    EXPECT_TRUE(queue_.CompleteCurrentWrite(STATUS_SUCCESS, 512));
    EXPECT_FALSE(queue_.CompleteCurrentWrite(STATUS_SUCCESS, 0));  // nothing current
    second.Get()->MdlAddress = nullptr;
    IoFreeMdl(mdl);
    EXPECT_EQ(busy_.released, 2);
}

// The cancelled current write completes only after its transfers are back, and only then is the
// next write sent; a late completion of the cancelled write is ignored.
TEST_F(WriteQueueTest, ACancelledCurrentWriteWaitsForItsTransfers) {
    auto first = Send(IRP_MJ_WRITE, nullptr, 4096);
    auto second = Send(IRP_MJ_WRITE, nullptr, 2048);
    auto third = Send(IRP_MJ_WRITE, nullptr, 1024);
    EXPECT_TRUE(IoCancelIrp(first->Get()));
    EXPECT_EQ(sink_.cancels, 1);
    EXPECT_TRUE(queue_.Draining());
    EXPECT_EQ(first->Completions(), 0);
    EXPECT_EQ(sink_.sent.size(), 1u);
    EXPECT_FALSE(queue_.CompleteCurrentWrite(STATUS_SUCCESS, 4096));

    sink_.LastTransferBack();
    EXPECT_EQ(first->Completions(), 1);
    EXPECT_EQ(first->Status(), STATUS_CANCELLED);
    EXPECT_EQ(first->Information(), 0u);
    ASSERT_EQ(sink_.sent.size(), 2u);
    EXPECT_EQ(sink_.sent[1].second, 2048u);

    // Cancelling the last waiting write takes the current one with it.
    EXPECT_TRUE(IoCancelIrp(third->Get()));
    EXPECT_EQ(third->Status(), STATUS_CANCELLED);
    EXPECT_EQ(sink_.cancels, 2);
    EXPECT_EQ(second->Completions(), 0);
    sink_.LastTransferBack();
    EXPECT_EQ(second->Status(), STATUS_CANCELLED);
    EXPECT_EQ(sink_.sent.size(), 2u);
    EXPECT_EQ(busy_.released, 3);
}

// A cancel or a completion that arrives while the sink is being handed the write acts once the
// hand-over is done; the sink never sees a cancel before it has the write.
TEST_F(WriteQueueTest, CancelAndCompletionDuringTheHandOverWaitForIt) {
    auto idle = std::make_unique<TestIrp>(device_.Device()->StackSize, IRP_MJ_WRITE);
    sink_.duringSend = [&] {
        EXPECT_TRUE(IoCancelIrp(idle->Get()));
        EXPECT_EQ(sink_.cancels, 0);
    };
    sink_.transfersPosted = false;
    EXPECT_EQ(idle->Send(device_.Device()), STATUS_PENDING);
    EXPECT_EQ(sink_.cancels, 1);
    sink_.LastTransferBack();
    EXPECT_EQ(idle->Status(), STATUS_CANCELLED);

    auto quick = std::make_unique<TestIrp>(device_.Device()->StackSize, IRP_MJ_WRITE);
    sink_.duringSend = [&] {
        EXPECT_TRUE(queue_.CompleteCurrentWrite(STATUS_SUCCESS, 3));
        EXPECT_EQ(quick->Completions(), 0);
    };
    EXPECT_EQ(quick->Send(device_.Device()), STATUS_PENDING);
    EXPECT_EQ(quick->Status(), STATUS_SUCCESS);
    EXPECT_EQ(quick->Information(), 3u);
    EXPECT_FALSE(IoCancelIrp(quick->Get()));

    // The D/A object's own cancel of its current write drains the same way.
    auto aborted = Send(IRP_MJ_WRITE);
    queue_.CancelCurrent();
    EXPECT_EQ(aborted->Completions(), 0);
    sink_.LastTransferBack();
    EXPECT_EQ(aborted->Status(), STATUS_CANCELLED);
    EXPECT_EQ(busy_.released, 3);
}

}  // namespace
