// The board device's life after its start, through the Plug and Play manager on the bus stand-in:
// status reads while files are open (kept until the last close), the removal told to the route
// once, removal while idle and while a command waits for its reply, stop and a new start, and the
// unnumbered link of instance 0.
#include <atomic>
#include <thread>

#include "board_machine.h"
#include "fake_route.h"
#include "hxda/request_codes.h"
#include "kernel/io_user.h"

namespace board_test {
namespace {

using Call = FakeRoute::Call;
constexpr std::uint32_t kAnyAccess = 0xC0000000;
constexpr auto kBound = std::chrono::seconds(10);

mq5120::BoardIdentity Identity(std::uint32_t serial) {
    mq5120::BoardIdentity identity;
    identity.stored.serialNumber = serial;
    return identity;
}

class BoardLifecycleTest : public BoardMachine {
  protected:
    kernel::user_io::FileId Open(const char* path) {
        const auto result = kernel::user_io::Open(path, kAnyAccess, 1);
        EXPECT_EQ(result.status, STATUS_SUCCESS) << path;
        return result.file;
    }
    void Close(kernel::user_io::FileId file) {
        kernel::user_io::Close(file);
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
    }
    FakeRoute route;
};

TEST_F(BoardLifecycleTest, StatusReadsRunFromTheFirstOpenToTheLastClose) {
    Plugged p;
    ASSERT_EQ(Plug(Identity(0x10), &p), STATUS_SUCCESS);
    DeviceOf(p.pdo)->SetStatusRoute(&route);
    EXPECT_EQ(bus->PendingTransfers(p.pdo), 0u);

    const auto first = Open("\\\\.\\MQ51200");
    EXPECT_TRUE(Eventually([&] { return bus->PendingTransfers(p.pdo) == 3; }));
    const auto second = Open("\\\\.\\MQ51200");
    EXPECT_EQ(bus->PendingTransfers(p.pdo), 3u);

    // Closing one file leaves the other its status messages.
    Close(first);
    EXPECT_EQ(bus->PendingTransfers(p.pdo), 3u);
    p.board->PostStatus(board::kStatusTypeFlags, mq5120::kFlagAdOverflow);
    p.board->PostStatus(board::kStatusTypeFlags, board::kFlagDaComplete);
    ASSERT_TRUE(route.WaitCalls(2));
    const std::vector<Call> expected = {
        {"signal", board::SubsystemKind::kAd, dalayer::SubsystemEvent::kOverrun, 0},
        {"signal", board::SubsystemKind::kDa, dalayer::SubsystemEvent::kIoComplete, 0}};
    EXPECT_EQ(route.Calls(), expected);
    EXPECT_TRUE(Eventually([&] { return bus->PendingTransfers(p.pdo) == 3; }));

    Close(second);
    EXPECT_EQ(bus->PendingTransfers(p.pdo), 0u);
    EXPECT_EQ(DeviceOf(p.pdo)->Status().Outstanding(), 0);
}

TEST_F(BoardLifecycleTest, ATransactionErrorOnTheStatusPipeIsRecovered) {
    Plugged p;
    ASSERT_EQ(Plug(Identity(0x15), &p), STATUS_SUCCESS);
    board::BoardDevice* device = DeviceOf(p.pdo);
    std::atomic<int> queued{0};
    route.onTransactionError = [&] { queued += device->QueueRecovery() ? 1 : 0; };
    device->SetStatusRoute(&route);
    const auto file = Open("\\\\.\\MQ51200");
    EXPECT_TRUE(Eventually([&] { return bus->PendingTransfers(p.pdo) == 3; }));

    bus->InjectFault(p.pdo, board::kEndpointStatus, usb::Fault::TransactionError);
    p.board->Wake();
    ASSERT_TRUE(Eventually([&] { return queued.load() == 1; }));
    // The recovery posted the reads again, and messages flow as before.
    EXPECT_TRUE(Eventually([&] { return device->Status().Outstanding() == 3; }));
    p.board->PostStatus(board::kStatusTypeDaReady, 0);
    ASSERT_TRUE(route.WaitCalls(2));
    EXPECT_EQ(route.Calls(), (std::vector<Call>{{"transaction-error"}, {"da-ready"}}));
    EXPECT_TRUE(Eventually([&] { return device->BusyCount() == 1; }));
    Close(file);
}

TEST_F(BoardLifecycleTest, UnplugWithAFileOpenTellsTheRouteOnce) {
    Plugged p;
    ASSERT_EQ(Plug(Identity(0x11), &p), STATUS_SUCCESS);
    DeviceOf(p.pdo)->SetStatusRoute(&route);
    const auto file = Open("\\\\.\\MQ51200");
    EXPECT_TRUE(Eventually([&] { return bus->PendingTransfers(p.pdo) == 3; }));

    bus->Unplug(p.pdo);
    auto gone = kernel::pnp::DeviceGone(p.pdo);
    ASSERT_TRUE(ReadyWithin(gone, kBound));
    // The status pipe and the surprise removal both saw the board go; the route heard it once.
    EXPECT_EQ(route.Calls(), std::vector<Call>{{"removed"}});
    EXPECT_EQ(kernel::pnp::StateOf(p.pdo), kernel::pnp::DeviceState::SurpriseRemoved);

    // The removal follows the last close.
    Close(file);
    EXPECT_TRUE(kernel::pnp::testing::WaitIdle(10000));
    EXPECT_TRUE(bus->WaitDeleted(p.pdo, 10000));
    EXPECT_EQ(route.Calls().size(), 1u);
}

TEST_F(BoardLifecycleTest, RemovalWhileIdle) {
    struct Case {
        const char* what;
        bool orderly;
    };
    for (const Case& c : {Case{"orderly", true}, Case{"unplugged", false}}) {
        Plugged p;
        ASSERT_EQ(Plug(Identity(0x12), &p), STATUS_SUCCESS) << c.what;
        if (c.orderly) {
            auto removal = kernel::pnp::RequestRemoval(p.pdo);
            ASSERT_TRUE(ReadyWithin(removal, kBound));
            EXPECT_EQ(removal.get(), STATUS_SUCCESS) << c.what;
            EXPECT_TRUE(kernel::pnp::testing::WaitIdle(10000));
            EXPECT_NE(kernel::pnp::StateOf(p.pdo), kernel::pnp::DeviceState::Started) << c.what;
            EXPECT_EQ(kernel::user_io::Open("\\\\.\\MQ51200", kAnyAccess, 1).status,
                      STATUS_OBJECT_NAME_NOT_FOUND)
                << c.what;
        }
        RemoveAll();
        EXPECT_FALSE(kernel::pnp::DriverLoaded(board::kServiceName)) << c.what;
        EXPECT_EQ(kernel::testing::PoolOutstanding(wdm::kPoolTag), kernel::testing::PoolUsage{})
            << c.what;
    }
}

TEST_F(BoardLifecycleTest, UnplugEndsACommandWaitingForItsReply) {
    Plugged p;
    ASSERT_EQ(Plug(Identity(0x13), &p), STATUS_SUCCESS);
    board::BoardDevice* device = DeviceOf(p.pdo);
    p.board->DropNextReply();

    // A request of a subsystem holds the busy count while its command runs.
    std::atomic<NTSTATUS> result{STATUS_PENDING};
    std::atomic<bool> finished{false};
    const simclock::Duration started = simclock::Now();
    std::thread request([&] {
        device->AcquireBusy();
        ULONG serial = 0;
        result = device->Commands().ReadSerialNumber(&serial);
        device->ReleaseBusy();
        finished = true;
    });
    ASSERT_TRUE(Eventually([&] { return device->Commands().InProgress() == 1; }));
    // A second command waits for the first one's transaction.
    std::atomic<NTSTATUS> second{STATUS_PENDING};
    std::thread other([&] {
        device->AcquireBusy();
        USHORT value = 0;
        second = device->Commands().ReadRegister(32, &value);
        device->ReleaseBusy();
    });
    ASSERT_TRUE(Eventually([&] { return device->Commands().InProgress() == 2; }));

    bus->Unplug(p.pdo);
    auto gone = kernel::pnp::DeviceGone(p.pdo);
    ASSERT_TRUE(ReadyWithin(gone, kBound));
    request.join();
    other.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(result.load(), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(second.load(), STATUS_DEVICE_NOT_CONNECTED);
    // Ended by the removal, not by the reply's time-out.
    EXPECT_LT(simclock::Now() - started, std::chrono::seconds(4));
    EXPECT_TRUE(kernel::pnp::testing::WaitIdle(10000));
    EXPECT_TRUE(bus->WaitDeleted(p.pdo, 10000));
}

TEST_F(BoardLifecycleTest, StopDeselectsAndANewStartRegistersAgain) {
    Plugged p;
    ASSERT_EQ(Plug(Identity(0x14), &p), STATUS_SUCCESS);
    const auto before = InterfaceValues()[p.instanceId];
    p.board->ClearLog();
    auto rebalance = kernel::pnp::Rebalance(p.pdo);
    ASSERT_TRUE(ReadyWithin(rebalance, kBound));
    EXPECT_EQ(rebalance.get(), STATUS_SUCCESS);
    EXPECT_EQ(p.board->SelectedConfiguration(), 1);
    EXPECT_EQ(p.board->Commands().size(), 16u);  // the whole start again
    EXPECT_EQ(InterfaceValues()[p.instanceId], before);
    EXPECT_EQ(kernel::pnp::StateOf(p.pdo), kernel::pnp::DeviceState::Started);
}

TEST_F(BoardLifecycleTest, InstanceZeroAlsoAnswersToTheUnnumberedLink) {
    Plugged zero, one;
    ASSERT_EQ(Plug(Identity(0x20), &zero), STATUS_SUCCESS);
    ASSERT_EQ(Plug(Identity(0x21), &one), STATUS_SUCCESS);
    Close(Open("\\\\.\\MQ5120"));
    Close(Open("\\\\.\\MQ51201"));
    Close(Open("\\Device\\MQ51201"));

    Unplug(zero);
    EXPECT_NE(kernel::user_io::Open("\\\\.\\MQ5120", kAnyAccess, 1).status, STATUS_SUCCESS);
    Close(Open("\\\\.\\MQ51201"));
}

}  // namespace
}  // namespace board_test
