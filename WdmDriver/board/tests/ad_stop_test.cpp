// Stop and abort of the A/D as a caller waiting for them sees them: a request that the board stops
// without waiting for data returns once the board is idle and every read is back; a stop of a
// board still filling its read answers at once; a held request ends on cancel, on the cleanup of
// its file and on the board's removal, even while the board does not answer.
#include <thread>

#include "ad_fixture.h"
#include "mq5120/signals.h"
#include "simclock/thread.h"

namespace board_test {
namespace {

class AdStopTest : public AdFixture {
  protected:
    // Queues `count` reads of `bytes` each.
    void QueueReads(UserFile& ad, int count, std::uint32_t bytes) {
        buffers_.assign(static_cast<std::size_t>(count), std::vector<std::uint8_t>(bytes));
        done_.clear();
        for (auto& b : buffers_)
            done_.push_back(ad.Read(b.data(), bytes));
    }
    bool AllReadsBack() const {
        for (const auto& d : done_)
            if (d.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
                return false;
        return true;
    }
    // The unplugged board's stack has been removed.
    void ExpectGone() {
        auto gone = kernel::pnp::DeviceGone(p_.pdo);
        ASSERT_TRUE(ReadyWithin(gone, kBound));
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
        EXPECT_TRUE(kernel::pnp::testing::WaitIdle(10000));
        EXPECT_TRUE(bus->WaitDeleted(p_.pdo, 10000));
    }
    std::vector<std::vector<std::uint8_t>> buffers_;
    std::vector<std::shared_future<Answer>> done_;
};

TEST_F(AdStopTest, ARequestTheBoardStopsForReturnsWithTheBoardIdleAndEveryReadBack) {
    enum class Begin { kReadsFilling, kNoReadInProcess, kPrestartedOnly, kArmedOnly };
    struct Case {
        const char* what;
        std::uint32_t code;
        int reads;
        Begin begin;
    };
    const Case cases[] = {
        {"abort while reads fill", IOCTL_HXDA_ABORT, 5, Begin::kReadsFilling},
        {"stop without a read in process", IOCTL_HXDA_STOP, 0, Begin::kNoReadInProcess},
        {"abort without a read in process", IOCTL_HXDA_ABORT, 0, Begin::kNoReadInProcess},
        {"stop after the pre-start", IOCTL_HXDA_STOP, 2, Begin::kPrestartedOnly},
        {"abort of reads queued before any start", IOCTL_HXDA_ABORT, 2, Begin::kArmedOnly},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(NothingOpen());
        UserFile ad(kAdPath);
        Block block({{0, 1}}, 800, 10'000);
        ASSERT_EQ(Configure(ad, block), HXNOERROR) << c.what;
        QueueReads(ad, c.reads, 4'000);
        switch (c.begin) {
            case Begin::kReadsFilling:
                ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR) << c.what;
                ASSERT_EQ(UserFile::Wait(done_[0], kBound).information, 4'000u) << c.what;
                break;
            case Begin::kNoReadInProcess:
                ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR) << c.what;
                ASSERT_TRUE(p_.board->AdRunning()) << c.what;
                break;
            case Begin::kPrestartedOnly:
                ASSERT_EQ(Simple(ad, IOCTL_HXDA_PRESTART), HXNOERROR) << c.what;
                break;
            case Begin::kArmedOnly:
                break;
        }
        auto record = Record(HXSS_AD);
        record.status = 0xFFFF;
        const Answer a = ad.Control(c.code, record);
        EXPECT_EQ(a.status, STATUS_SUCCESS) << c.what;
        EXPECT_EQ(a.information, hxda::kDriverRequestSize) << c.what;
        EXPECT_EQ(record.status, HXNOERROR) << c.what;
        // Right when the request returns, not eventually.
        EXPECT_TRUE(AllReadsBack()) << c.what;
        EXPECT_FALSE(p_.board->AdRunning()) << c.what;
        EXPECT_EQ(AdState(), board::AdSubsystem::kIdle) << c.what;
        // And the subsystem starts again at once.
        std::vector<std::uint8_t> again(400);
        auto read = ad.Read(again.data(), 400);
        EXPECT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR) << c.what;
        EXPECT_EQ(UserFile::Wait(read, kBound).information, 400u) << c.what;
        EXPECT_EQ(Simple(ad, IOCTL_HXDA_ABORT), HXNOERROR) << c.what;
    }
}

TEST_F(AdStopTest, AStopWithAReadInProcessAnswersAtOnceAndTheReadStillFills) {
    p_.board->SetSignal(0, mq5120::Signal::Codes(0));
    UserFile ad(kAdPath);
    Block block({{0, 1}}, 800, 10'000);
    ASSERT_EQ(Configure(ad, block), HXNOERROR);
    QueueReads(ad, 2, 4'000);  // 0.2 s each
    ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR);
    // The stop does not wait for the read to fill.
    EXPECT_EQ(Simple(ad, IOCTL_HXDA_STOP), HXNOERROR);
    EXPECT_FALSE(done_[0].wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    // The read in process ends full, with the samples from the start on; the next is not begun.
    const Answer first = UserFile::Wait(done_[0], kBound);
    EXPECT_EQ(first.status, STATUS_SUCCESS);
    ASSERT_EQ(first.information, 4'000u);
    for (std::size_t i = 0; i < 2'000; ++i)
        ASSERT_EQ(buffers_[0][2 * i] | (buffers_[0][2 * i + 1] << 8), static_cast<int>(i & 0xFFF))
            << "sample " << i;
    const Answer second = UserFile::Wait(done_[1], kBound);
    EXPECT_TRUE(second.status == STATUS_CANCELLED ||
                (second.status == STATUS_SUCCESS && second.information == 0))
        << second.status << " " << second.information;
    EXPECT_TRUE(Eventually([&] { return AdState() == board::AdSubsystem::kIdle; }));
    EXPECT_FALSE(p_.board->AdRunning());
}

TEST_F(AdStopTest, AHeldAbortEndsOnCancelAndOnRemovalWhileTheBoardDoesNotAnswer) {
    auto ad = std::make_unique<UserFile>(kAdPath);
    Block block({{0, 1}}, 800, 10'000);
    ASSERT_EQ(Configure(*ad, block), HXNOERROR);
    QueueReads(*ad, 3, 100'000);  // 5 s each: none fills here
    ASSERT_EQ(Simple(*ad, IOCTL_HXDA_START), HXNOERROR);
    // The board takes no further command: the stop work waits on its first one.
    bus->InjectFault(p_.pdo, board::kEndpointCommand, usb::Fault::NeverAnswer);
    PendingRequest cancelled(*ad, IOCTL_HXDA_ABORT);
    simclock::SleepFor(std::chrono::milliseconds(100));
    ASSERT_FALSE(cancelled.Ready()) << "the abort returned while the board still ran";
    ad->CancelRequests();
    ASSERT_TRUE(cancelled.Ready(kBound));
    EXPECT_EQ(cancelled.done.get().status, STATUS_CANCELLED);

    // Another abort waits for the same stop; the removal ends the stuck command and the stop.
    PendingRequest held(*ad, IOCTL_HXDA_ABORT);
    simclock::SleepFor(std::chrono::milliseconds(50));
    ASSERT_FALSE(held.Ready());
    bus->Unplug(p_.pdo);
    ASSERT_TRUE(held.Ready(kBound));
    EXPECT_EQ(held.done.get().status, STATUS_SUCCESS);
    EXPECT_EQ(held.record.status, HXNOERROR);
    EXPECT_TRUE(AllReadsBack());
    ad.reset();
    ExpectGone();
}

TEST_F(AdStopTest, ClosingTheFileEndsAHeldAbortAtOnce) {
    auto ad = std::make_unique<UserFile>(kAdPath);
    Block block({{0, 1}}, 800, 10'000);
    ASSERT_EQ(Configure(*ad, block), HXNOERROR);
    QueueReads(*ad, 2, 100'000);
    ASSERT_EQ(Simple(*ad, IOCTL_HXDA_START), HXNOERROR);
    bus->InjectFault(p_.pdo, board::kEndpointCommand, usb::Fault::NeverAnswer);
    PendingRequest held(*ad, IOCTL_HXDA_ABORT);
    simclock::SleepFor(std::chrono::milliseconds(50));
    ASSERT_FALSE(held.Ready());
    // The cleanup ends the file's held request and waiting reads before it waits for the board.
    // On a thread of the simulation, which the virtual clock waits for.
    std::promise<void> closing;
    std::future<void> closed = closing.get_future();
    simclock::Thread closer([&] {
        ad.reset();
        closing.set_value();
    });
    ASSERT_TRUE(held.Ready(kBound));
    EXPECT_EQ(held.done.get().status, STATUS_CANCELLED);
    ASSERT_TRUE(UserFile::Wait(done_[1], kBound).status != -1);
    // The stop then ends when the board goes.
    bus->Unplug(p_.pdo);
    ASSERT_TRUE(ReadyWithin(closed, kBound));
    EXPECT_TRUE(AllReadsBack());
    ExpectGone();
}

}  // namespace
}  // namespace board_test
