// Reads and event requests: queued on the bound object, completed by events, cancelled at cleanup,
// each exactly once; the board's status messages routed to element 0 of each subsystem type.
#include <memory>
#include <vector>

#include "da_test_device.h"
#include "dalayer/status_message.h"

namespace dalayer_test {
namespace {

using Entries = std::vector<std::string>;
using kernel::user_io::Operation;

struct PendingWait {
    hxda::DriverRequest record{};
    Outcome outcome;
};

class EventsTest : public DaDeviceTest {
  protected:
    std::unique_ptr<PendingWait> Wait(kernel::user_io::FileId file) {
        auto wait = std::make_unique<PendingWait>();
        Submit(file,
               {Operation::DeviceControl, IOCTL_HXDA_WAITEVENT, &wait->record, sizeof wait->record,
                &wait->record, sizeof wait->record},
               &wait->outcome);
        EXPECT_EQ(wait->outcome.submitted, STATUS_PENDING);
        return wait;
    }
};

TEST_F(EventsTest, CleanupCancelsEveryQueuedRequestOnce) {
    auto ad = Open("\\AD0");
    auto da = Open("\\DA0");
    std::vector<std::unique_ptr<Outcome>> reads;
    char buffer[3][64];
    for (auto& b : buffer) {
        reads.push_back(std::make_unique<Outcome>());
        Submit(ad, {Operation::Read, 0, nullptr, 0, b, sizeof b}, reads.back().get());
        EXPECT_EQ(reads.back()->submitted, STATUS_PENDING);
    }
    auto first = Wait(ad);
    auto second = Wait(ad);
    auto other = Wait(da);
    EXPECT_EQ(device_->BusyCount(), 1 + 3 + 2 + 1);

    Close(ad);
    for (auto& read : reads) {
        ASSERT_TRUE(read->WaitCompleted());
        EXPECT_EQ(read->status, STATUS_CANCELLED);
        EXPECT_EQ(read->information, 0u);
    }
    for (auto* wait : {first.get(), second.get()}) {
        ASSERT_TRUE(wait->outcome.WaitCompleted());
        EXPECT_EQ(wait->outcome.status, STATUS_CANCELLED);
    }
    // The other file's request waits on.
    EXPECT_EQ(other->outcome.completions, 0);
    EXPECT_EQ(device_->BusyCount(), 2);
    Close(da);
    ASSERT_TRUE(other->outcome.WaitCompleted());
    EXPECT_EQ(other->outcome.status, STATUS_CANCELLED);
    for (auto& read : reads)
        EXPECT_EQ(read->completions, 1);
    for (auto* wait : {first.get(), second.get(), other.get()})
        EXPECT_EQ(wait->outcome.completions, 1);
}

TEST_F(EventsTest, AnEventCompletesTheCurrentRequestOrIsLost) {
    auto din = Open("\\DIN0");
    device_->RouteStatusMessage(dalayer::kStatusTypeDinChange, 0x1234);  // nobody waits: lost
    auto first = Wait(din);
    auto second = Wait(din);
    device_->RouteStatusMessage(dalayer::kStatusTypeDinChange, 0x00FF);
    ASSERT_TRUE(first->outcome.WaitCompleted());
    EXPECT_EQ(first->outcome.status, STATUS_SUCCESS);
    EXPECT_EQ(first->outcome.information, 336u);
    EXPECT_EQ(first->record.parameters.event.code, HXEV_EVENTVALUE);
    EXPECT_EQ(first->record.parameters.event.data, 0x00FFu);
    EXPECT_EQ(second->outcome.completions, 0);
    device_->BroadcastEvent(dalayer::SubsystemEvent::kDeviceRemoved, 0);
    ASSERT_TRUE(second->outcome.WaitCompleted());
    EXPECT_EQ(second->record.parameters.event.code, HXEV_DEVICEREMOVED);
    Close(din);
}

// The board's readiness is the driver's own event: a program waiting on the D/A never sees it,
// and the next event for the program still finds its request waiting.
TEST_F(EventsTest, TheBoardReadinessNeverReachesTheProgram) {
    auto da = Open("\\DA0");
    auto wait = Wait(da);
    device_->RouteStatusMessage(dalayer::kStatusTypeDaReady, 0);
    EXPECT_EQ(wait->outcome.completions, 0);
    device_->RouteStatusMessage(dalayer::kStatusTypeFlags, dalayer::kFlagDaUnderrun);
    ASSERT_TRUE(wait->outcome.WaitCompleted());
    EXPECT_EQ(wait->record.parameters.event.code, HXEV_UNDERRUN);
    Close(da);
}

TEST_F(EventsTest, StatusMessagesReachElementZeroOfTheirSubsystem) {
    std::vector<kernel::user_io::FileId> files;
    for (const char* name : {"\\AD0", "\\AD1", "\\DA0", "\\DIN0", "\\CT0", "\\CT1", "\\DOUT0"})
        files.push_back(Open(name));
    log_.Take();
    using dalayer::SubsystemEvent;
    const std::string overrun = EventName(SubsystemEvent::kOverrun);
    const std::string underrun = EventName(SubsystemEvent::kUnderrun);
    const std::string ioComplete = EventName(SubsystemEvent::kIoComplete);
    const std::string value = EventName(SubsystemEvent::kEventValue);
    struct Case {
        USHORT type;
        USHORT flags;
        Entries events;
    };
    const Case cases[] = {
        {dalayer::kStatusTypeFlags, 0x0001, {"PostEvent 0:0 " + overrun + " 0"}},
        {dalayer::kStatusTypeFlags, 0x0002, {"PostEvent 0:0 " + overrun + " 0"}},
        {dalayer::kStatusTypeFlags, 0x0004, {"PostEvent 1:0 " + underrun + " 0"}},
        {dalayer::kStatusTypeFlags, 0x0010, {"PostEvent 1:0 " + underrun + " 0"}},
        {dalayer::kStatusTypeFlags, 0x0008, {"PostEvent 1:0 " + ioComplete + " 0"}},
        {dalayer::kStatusTypeFlags,
         0x000C,
         {"PostEvent 1:0 " + underrun + " 0", "PostEvent 1:0 " + ioComplete + " 0"}},
        {dalayer::kStatusTypeFlags, 0x0020, {"PostEvent 5:0 " + overrun + " 0"}},
        {dalayer::kStatusTypeFlags, 0x0200, {"PostEvent 5:0 " + overrun + " 0"}},
        {dalayer::kStatusTypeFlags,
         0x03FF,
         {"PostEvent 0:0 " + overrun + " 0", "PostEvent 1:0 " + underrun + " 0",
          "PostEvent 1:0 " + ioComplete + " 0", "PostEvent 5:0 " + overrun + " 0"}},
        {dalayer::kStatusTypeFlags, 0xFC00, {}},
        {dalayer::kStatusTypeDinChange, 0x0081, {"PostEvent 2:0 " + value + " 129"}},
        {dalayer::kStatusTypeDaReady,
         0,
         {"PostEvent 1:0 " + EventName(SubsystemEvent::kBoardReady) + " 0"}},
        {0x8000, 0x0003, {}},
        {0x4000, 0x0003, {}},
        {7, 0x0003, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.flags));
        device_->RouteStatusMessage(c.type, c.flags);
        EXPECT_EQ(log_.Take(), c.events);
    }
    // Broadcast: every open object.
    device_->BroadcastEvent(dalayer::SubsystemEvent::kDeviceRemoved, 0);
    EXPECT_EQ(log_.Take().size(), files.size());
    for (auto file : files)
        Close(file);
    // Nothing open: nothing to route to.
    device_->RouteStatusMessage(dalayer::kStatusTypeFlags, 0x03FF);
    EXPECT_FALSE(device_->PostEventTo(HXSS_AD, 0, dalayer::SubsystemEvent::kOverrun, 0));
}

}  // namespace
}  // namespace dalayer_test
