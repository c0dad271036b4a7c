// The bulk-in stream on the simulated board: eight transfers into the ring at the board's rate,
// overrun detection once per start, the fault pairs, and removal or destruction while streaming,
// which waits for every transfer before anything is freed. The board runs on the virtual clock:
// its rate holds however slowly the host runs the test.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "framework/stream_in_transfers.h"
#include "simclock/condition.h"
#include "simclock/thread.h"
#include "usb_fixture.h"
#include "usb_stream_testing.h"

namespace wdm_usb_test {
namespace {

using namespace mq5120;
using namespace std::chrono_literals;
using wdm::StreamInTransfers;

class StreamInTest : public UsbFixture {
  protected:
    BoardIdentity Identity() override {
        BoardIdentity identity;
        identity.boardType = 4;  // 16-bit: the code pattern runs through every value
        return identity;
    }
    std::shared_ptr<TimeSource> Clock() override { return std::make_shared<RealTime>(); }

    void SetUp() override {
        UsbFixture::SetUp();
        Select();
    }

    void Write(std::uint16_t reg, std::uint16_t value) {
        Message m = Command(kRegister, true, {reg, value});
        ASSERT_EQ(Transact(m), STATUS_SUCCESS);
    }
    void Send(Message m) { ASSERT_EQ(Transact(m), STATUS_SUCCESS); }

    // Channel 0 with a counting pattern, paced by the divider (18 MHz / divider samples/s),
    // delivered in chunks of `chunk` bytes.
    void StartAd(std::uint32_t divider, std::uint16_t chunk = 1024) {
        board->SetSignal(0, Signal::Codes(0, 1));
        Write(kAdControl, 0x8000 | kAdControlSingleEnded);
        Write(kAdDividerLow, static_cast<std::uint16_t>(divider));
        Write(kAdDividerHigh, 0);
        Write(kStrobes, kStrobeListReset);
        Send(Command(kRegisterList, true, {4, kChannelList, 0}));
        Write(kStrobes, kStrobeListComplete);
        Send(Command(kAdTransferSize, true, {chunk, 0}));
        Write(kRunEnables, kRunAd);
        Write(kStrobes, kStrobeListComplete | kStrobeAdRun);
        Send(Command(kAdStart, true, {1}));
    }
    void StopAd() { Send(Command(kAdStop, true, {1})); }

    simclock::testing::VirtualClock clock;
    RecordingInOwner owner;
};

TEST_F(StreamInTest, EightTransfersFillTheRingAtTheBoardsRateWithoutLoss) {
    StreamInTransfers stream(&owner, &Target(), &pipes.ad);
    ASSERT_EQ(stream.Create(), STATUS_SUCCESS);
    EXPECT_EQ(stream.Count(), 8u);
    ASSERT_EQ(stream.Start(4096), STATUS_SUCCESS);
    EXPECT_EQ(stream.Posted(), 8u);
    std::vector<std::uint8_t> chunk(6000);
    // A read of the empty ring succeeds and leaves the caller's count as it was.
    constexpr ULONG kUntouched = 7;
    ULONG untouched = kUntouched;
    EXPECT_EQ(stream.Read(chunk.data(), 16, &untouched), STATUS_SUCCESS);
    EXPECT_EQ(untouched, kUntouched);

    const simclock::Duration begin = simclock::Now();
    StartAd(180);  // 100,000 samples/s: 200,000 bytes/s
    std::vector<std::uint8_t> bytes;
    while (simclock::Now() - begin < 300ms) {
        ULONG count = 0;
        ASSERT_EQ(stream.Read(chunk.data(), static_cast<ULONG>(chunk.size()), &count),
                  STATUS_SUCCESS);
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + count);
        simclock::SleepFor(5ms);  // the driver polls every 20 ms; faster here
    }
    StopAd();
    const double seconds = std::chrono::duration<double>(simclock::Now() - begin).count();
    EXPECT_EQ(stream.Posted(), 8u) << "every transfer is posted again";
    stream.Stop();
    ULONG count = 0;
    EXPECT_EQ(stream.Read(chunk.data(), 1, &count), STATUS_UNSUCCESSFUL) << "stopping";
    const LONGLONG second = -10'000'000;
    ASSERT_EQ(stream.WaitIdle(&second), STATUS_SUCCESS);
    EXPECT_EQ(stream.Posted(), 0u);

    const std::size_t samples = bytes.size() / 2;
    EXPECT_GT(samples, 100'000 * 0.2) << "paced at 100,000/s for " << seconds << " s";
    EXPECT_LT(samples, 100'000 * (seconds + 0.1));
    for (std::size_t i = 0; i < samples; ++i) {
        const auto value = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        ASSERT_EQ(value, static_cast<std::uint16_t>(i)) << "sample " << i << " lost or repeated";
    }
    EXPECT_TRUE(owner.Events().empty());
    EXPECT_FALSE(stream.OverrunReported());
}

TEST_F(StreamInTest, AFullRingIsEmptiedAndReportedOncePerStart) {
    StreamInTransfers stream(&owner, &Target(), &pipes.ad);
    ASSERT_EQ(stream.Create(8192), STATUS_SUCCESS);  // 40 ms of data at 200,000 bytes/s
    ASSERT_EQ(stream.Start(4096), STATUS_SUCCESS);
    StartAd(180);
    // Nothing reads: the ring overflows again and again, and says so once.
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return stream.OverrunReported(); }));
    simclock::SleepFor(150ms);
    EXPECT_EQ(owner.Count(wdm::TransferEvent::kOverrun), 1u);
    {
        wdm::SpinLockHold hold(stream.Ring().Lock());
        EXPECT_LE(stream.Ring().Count(), 8192u);
    }

    // The next start reports the next overrun.
    stream.Stop();
    ASSERT_EQ(stream.WaitIdle(), STATUS_SUCCESS);
    ASSERT_EQ(stream.Start(4096), STATUS_SUCCESS);
    EXPECT_FALSE(stream.OverrunReported());
    ASSERT_TRUE(
        wdm_test::WaitUntil([&] { return owner.Count(wdm::TransferEvent::kOverrun) == 2; }));
    StopAd();
}

TEST_F(StreamInTest, FaultPairsEndTheirTransferAndReachTheOwner) {
    struct Case {
        const char* name;
        usb::Fault fault;
        LONG state;
        std::vector<wdm::TransferEvent> events;
        ULONG posted;  // transfers still waiting for data afterwards
    };
    const Case cases[] = {
        {"transaction error while running",
         usb::Fault::TransactionError,
         wdm::kStreamStateRunningLast,
         {wdm::TransferEvent::kRecovery},
         7},
        {"transaction error while idle",
         usb::Fault::TransactionError,
         wdm::kStreamStateIdle,
         {},
         7},
        {"data error",
         usb::Fault::DataError,
         wdm::kStreamStateRunningLast,
         {wdm::TransferEvent::kDeviceRemoved},
         7},
        {"removed",
         usb::Fault::Removed,
         wdm::kStreamStateIdle,
         {wdm::TransferEvent::kDeviceRemoved},
         7},
        {"zero-length packet", usb::Fault::ZeroLength, wdm::kStreamStateRunningLast, {}, 7},
        // A stall halts the pipe: the waiting transfers end too, and none is posted again.
        {"stall", usb::Fault::Stall, wdm::kStreamStateRunningLast, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingInOwner seen;
        seen.state = c.state;
        StreamInTransfers stream(&seen, &Target(), &pipes.ad);
        ASSERT_EQ(stream.Create(), STATUS_SUCCESS);
        ASSERT_EQ(stream.Start(4096), STATUS_SUCCESS);
        bus.InjectFault(pdo, kAdEndpoint, c.fault);
        board->Wake();
        // The faulted transfer is not posted again; the others wait for data.
        ASSERT_TRUE(wdm_test::WaitUntil([&] { return stream.Posted() == c.posted; }));
        simclock::SleepFor(10ms);
        EXPECT_EQ(stream.Posted(), c.posted);
        EXPECT_EQ(seen.Events(), c.events);
        stream.Destroy();
        if (c.fault == usb::Fault::Stall) {
            EXPECT_EQ(Target().ResetPipe(pipes.ad), STATUS_SUCCESS);
        }
    }
}

TEST_F(StreamInTest, RemovalOrDestructionWhileStreamingWaitsForEveryTransfer) {
    for (bool unplug : {false, true}) {
        SCOPED_TRACE(unplug ? "unplugged" : "destroyed while running");
        RecordingInOwner seen;
        auto stream = std::make_unique<StreamInTransfers>(&seen, &Target(), &pipes.ad);
        ASSERT_EQ(stream->Create(), STATUS_SUCCESS);
        ASSERT_EQ(stream->Start(1024), STATUS_SUCCESS);
        StartAd(180);
        simclock::SleepFor(30ms);
        if (unplug)
            bus.Unplug(pdo);
        // Destroy returns only once every completion is done with the records; a completion
        // that came later would touch freed memory (which the sanitizers report).
        stream.reset();
        EXPECT_EQ(bus.PendingTransfers(pdo), 0u);
        if (unplug) {
            EXPECT_EQ(seen.Count(wdm::TransferEvent::kDeviceRemoved), 8u);
        } else {
            EXPECT_TRUE(seen.Events().empty());
            StopAd();
        }
    }
}

TEST_F(StreamInTest, DestroyWaitsForACompletionStillRunning) {
    RecordingInOwner slow;
    slow.delayMs = 100;
    auto stream = std::make_unique<StreamInTransfers>(&slow, &Target(), &pipes.ad);
    ASSERT_EQ(stream->Create(), STATUS_SUCCESS);
    ASSERT_EQ(stream->Start(4096), STATUS_SUCCESS);
    bus.InjectFault(pdo, kAdEndpoint, usb::Fault::TransactionError);
    board->Wake();
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return slow.inEvent.load(); }));
    stream.reset();  // the other transfers are cancelled; the slow completion still runs
    EXPECT_TRUE(slow.eventDone) << "freed while a completion was still using the transfer";
}

TEST_F(StreamInTest, AllocationFailuresFailCreationAndLeakNothing) {
    // The ring, then per transfer its record and its buffer.
    for (int nth : {1, 2, 3, 4, 9, 17}) {
        SCOPED_TRACE(nth);
        StreamInTransfers stream(&owner, &Target(), &pipes.ad);
        kernel::testing::FailPoolAllocation(nth, wdm::kPoolTag);
        EXPECT_EQ(stream.Create(), STATUS_INSUFFICIENT_RESOURCES);
        kernel::testing::FailPoolAllocation(0);
        EXPECT_LT(stream.Count(), 8u);
    }
}

}  // namespace
}  // namespace wdm_usb_test
