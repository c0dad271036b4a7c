// The status reads on the board model: three kept outstanding, every message decoded and routed,
// the board's disappearance reported once, and nothing left behind after Stop.
#include <chrono>
#include <thread>

#include "board/status_reader.h"
#include "channel_fixture.h"
#include "clock_waits.h"
#include "fake_route.h"
#include "hxda/request_codes.h"

namespace board_test {
namespace {

using Call = FakeRoute::Call;
using board::SubsystemKind;

// Waits (bounded) for a condition that other threads make true.

class StatusReaderTest : public ChannelFixture {
  protected:
    void SetUp() override {
        ChannelFixture::SetUp();
        reader = std::make_unique<board::StatusReader>(*target, pipes.status);
        reader->SetRoute(&route);
    }
    void TearDown() override {
        if (reader) {
            EXPECT_EQ(reader->Stop(5000), STATUS_SUCCESS);
        }
        reader.reset();
        ChannelFixture::TearDown();
    }
    FakeRoute route;
    std::unique_ptr<board::StatusReader> reader;
};

// A message the route ignores, sent after one under test, marks the end of its calls.
constexpr std::uint16_t kMarkerType = board::kStatusTypeDinChange;
constexpr std::uint16_t kMarkerFlags = 0xFFFF;
const Call kMarker{"signal", SubsystemKind::kDin, dalayer::SubsystemEvent::kEventValue, 0xFFFF};

TEST_F(StatusReaderTest, MessagesAreDecodedAndRouted) {
    struct Case {
        std::uint16_t type, flags;
        std::vector<Call> calls;
    };
    const Call adOverrun{"signal", SubsystemKind::kAd, dalayer::SubsystemEvent::kOverrun, 0};
    const Call underrun{"signal", SubsystemKind::kDa, dalayer::SubsystemEvent::kUnderrun, 0};
    const Call complete{"signal", SubsystemKind::kDa, dalayer::SubsystemEvent::kIoComplete, 0};
    const Call ctOverrun{"signal", SubsystemKind::kCounter, dalayer::SubsystemEvent::kOverrun, 0};
    const Case cases[] = {
        {board::kStatusTypeFlags, 0x0001, {adOverrun}},
        {board::kStatusTypeFlags, 0x0002, {adOverrun}},
        {board::kStatusTypeFlags, 0x0004, {underrun}},
        {board::kStatusTypeFlags, 0x0010, {underrun}},
        {board::kStatusTypeFlags, 0x0008, {complete}},
        {board::kStatusTypeFlags, 0x000C, {underrun, complete}},
        {board::kStatusTypeFlags, 0x0020, {ctOverrun}},
        {board::kStatusTypeFlags, 0x0200, {ctOverrun}},
        {board::kStatusTypeFlags, 0x0209, {adOverrun, complete, ctOverrun}},
        {board::kStatusTypeFlags, 0x0000, {}},
        {board::kStatusTypeDinChange,
         0x0042,
         {{"signal", SubsystemKind::kDin, dalayer::SubsystemEvent::kEventValue, 0x42}}},
        {board::kStatusTypeDaReady, 0x0000, {{"da-ready"}}},
        {0x8000, 0x0001, {}},
        {0x4000, 0x0001, {}},
        {0x1234, 0x00FF, {}},
    };
    ASSERT_EQ(reader->Start(), STATUS_SUCCESS);
    for (const Case& c : cases) {
        route.Clear();
        board->PostStatus(c.type, c.flags);
        board->PostStatus(kMarkerType, kMarkerFlags);
        ASSERT_TRUE(route.WaitCalls(c.calls.size() + 1)) << c.type << "/" << c.flags;
        auto expected = c.calls;
        expected.push_back(kMarker);
        EXPECT_EQ(route.Calls(), expected) << c.type << "/" << c.flags;
        // Each routed message was replaced by a new read.
        EXPECT_TRUE(Eventually([&] { return bus.PendingTransfers(pdo) == 3; }));
        EXPECT_EQ(reader->Outstanding(), 3);
    }
}

TEST_F(StatusReaderTest, StartKeepsExactlyThreeReadsOutstanding) {
    ASSERT_EQ(reader->Start(), STATUS_SUCCESS);
    ASSERT_EQ(reader->Start(), STATUS_SUCCESS);
    EXPECT_EQ(reader->Outstanding(), 3);
    for (int i = 0; i < 50; ++i)
        board->PostStatus(board::kStatusTypeDaReady, 0);
    ASSERT_TRUE(route.WaitCalls(50));
    EXPECT_TRUE(Eventually([&] { return bus.PendingTransfers(pdo) == 3; }));
    EXPECT_EQ(reader->Outstanding(), 3);
    ASSERT_EQ(reader->Start(), STATUS_SUCCESS);
    EXPECT_EQ(bus.PendingTransfers(pdo), 3u);

    // After Stop nothing is pending and a new start posts three again.
    ASSERT_EQ(reader->Stop(5000), STATUS_SUCCESS);
    EXPECT_EQ(reader->Outstanding(), 0);
    EXPECT_EQ(bus.PendingTransfers(pdo), 0u);
    ASSERT_EQ(reader->Start(), STATUS_SUCCESS);
    EXPECT_TRUE(Eventually([&] { return bus.PendingTransfers(pdo) == 3; }));
}

TEST_F(StatusReaderTest, FailuresEndTheirReadAndReportOnce) {
    struct Case {
        const char* what;
        usb::Fault fault;
        int count;
        std::vector<Call> calls;
        LONG left;  // reads still outstanding afterwards
    };
    const Case cases[] = {
        // A stall halts the pipe: the other two reads fail as well, without a second report.
        {"stall", usb::Fault::Stall, 1, {{"removed"}}, 0},
        {"data error", usb::Fault::DataError, 1, {{"removed"}}, 2},
        {"data error twice", usb::Fault::DataError, 2, {{"removed"}}, 1},
        {"removed", usb::Fault::Removed, 1, {{"removed"}}, 2},
        {"transaction error", usb::Fault::TransactionError, 1, {{"transaction-error"}}, 2},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(reader->Stop(5000), STATUS_SUCCESS);
        target->ResetPipe(pipes.status);
        route.Clear();
        ASSERT_EQ(reader->Start(), STATUS_SUCCESS) << c.what;
        bus.InjectFault(pdo, board::kEndpointStatus, c.fault, c.count);
        board->Wake();
        ASSERT_TRUE(Eventually([&] { return reader->Outstanding() == c.left; })) << c.what;
        // No replacement was posted for a failed read.
        simclock::SleepFor(std::chrono::milliseconds(20));
        EXPECT_EQ(reader->Outstanding(), c.left) << c.what;
        EXPECT_EQ(route.Calls(), c.calls) << c.what;
    }
}

TEST_F(StatusReaderTest, UnplugEndsEveryReadWithOneRemoval) {
    ASSERT_EQ(reader->Start(), STATUS_SUCCESS);
    bus.Unplug(pdo);
    ASSERT_TRUE(Eventually([&] { return reader->Outstanding() == 0; }));
    EXPECT_EQ(route.Calls(), std::vector<Call>{{"removed"}});
    EXPECT_TRUE(reader->RemovalReported());
    // Topping up on the gone board fails the new reads at once and tells nobody again.
    reader->Start();
    EXPECT_TRUE(Eventually([&] { return reader->Outstanding() == 0; }));
    EXPECT_EQ(route.Calls().size(), 1u);
}

}  // namespace
}  // namespace board_test
