// MQ5120 boards of the board list on the machine's USB bus, started by their driver MQ5120k: boot
// and registration, names, signals reaching the running board, the board list's changes, faults,
// and shutdown.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "client.h"
#include "hxdaapi32.h"
#include "hxmem32.h"
#include "kernel/machine.h"
#include "kernel/rules.h"
#include "kernel/testing.h"
#include "machine_waits.h"
#include "sim/machine_pnp_testing.h"
#include "sim/machine_testing.h"
#include "simclock/condition.h"
#include "simclock/thread.h"
#include "win32/handles.h"

namespace {

using Minors = std::vector<unsigned char>;
constexpr unsigned char kStart = 0x00, kRemove = 0x02, kQueryState = 0x14, kSurpriseRemoval = 0x17;
// MQ5120k answers the capability query itself: the bus sees the start and the state query.
const Minors kPlugIn = {kStart, kQueryState};

Minors Then(Minors first, const Minors& next) {
    first.insert(first.end(), next.begin(), next.end());
    return first;
}
Minors Seen(std::uint32_t serialNumber) {
    return sim::testing::PnpRequestsSeen("MQ5120", serialNumber);
}

BOOL CALLBACK Collect(LPSTR board, LPSTR, LPARAM user) {
    reinterpret_cast<std::vector<std::string>*>(user)->push_back(board);
    return TRUE;
}

// The board names the library lists.
std::vector<std::string> Enumerated() {
    std::vector<std::string> names;
    hxDaEnumBoards(&Collect, reinterpret_cast<LPARAM>(&names));
    return names;
}

using simtest::DatabaseName;

// A board opened through the library with its A/D subsystem.
class OpenAd {
  public:
    explicit OpenAd(const std::string& board) {
        if (hxDaInitialize(board.c_str(), &device_) != HXNOERROR) {
            device_ = 0;
            return;
        }
        if (hxDaGetDASS(device_, HXSS_AD, 0, &ad_) != HXNOERROR) {
            ad_ = 0;
            return;
        }
        configured_ =
            hxDaSetDataFlow(ad_, HXDF_SINGLEVALUE) == HXNOERROR && hxDaConfig(ad_) == HXNOERROR;
    }
    ~OpenAd() {
        if (ad_ != 0)
            hxDaReleaseDASS(ad_);
        if (device_ != 0)
            hxDaTerminate(device_);
    }
    OpenAd(const OpenAd&) = delete;
    OpenAd& operator=(const OpenAd&) = delete;

    // Opened and configured for single values.
    bool ok() const { return configured_; }
    HDASS ad() const { return ad_; }
    HDEV device() const { return device_; }
    // A single value of a channel at gain 1; nothing when the library refuses.
    std::optional<UINT> Single(UINT channel) const {
        UINT value = 0;
        if (!configured_ || hxDaGetSingleValue(ad_, &value, channel, 1.0) != HXNOERROR)
            return std::nullopt;
        return value;
    }

  private:
    HDEV device_ = 0;
    HDASS ad_ = 0;
    bool configured_ = false;
};

// The notifications of a subsystem, as its notification procedure receives them.
class Notifications {
  public:
    // One at a time: the procedure's value travels in a 32-bit word, too narrow for a pointer.
    explicit Notifications(HDASS hDass) : hDass_(hDass) {
        current_ = this;
        hxDaSetNotificationProcedure(hDass, &Notifications::Receive, 0);
    }
    ~Notifications() {
        hxDaSetNotificationProcedure(hDass_, nullptr, 0);
        current_ = nullptr;
    }
    Notifications(const Notifications&) = delete;
    Notifications& operator=(const Notifications&) = delete;
    // Waits (bounded) until the message has come; whether it did.
    bool WaitFor(UINT message, int timeoutMs = 5000) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return Count(message) > 0; });
    }
    std::size_t CountOf(UINT message) {
        std::lock_guard lock(mutex_);
        return Count(message);
    }

  private:
    static void CALLBACK Receive(UINT message, HDASS, LPARAM) {
        Notifications* notifications = current_;
        if (notifications == nullptr)
            return;
        std::lock_guard lock(notifications->mutex_);
        notifications->messages_.push_back(message);
        notifications->changed_.notify_all();
    }
    std::size_t Count(UINT message) const {
        return static_cast<std::size_t>(std::count(messages_.begin(), messages_.end(), message));
    }
    static inline std::atomic<Notifications*> current_{nullptr};
    HDASS hDass_;
    std::mutex mutex_;
    simclock::ConditionVariable changed_;  // its timeouts on the stand-ins' clock
    std::vector<UINT> messages_;
};

// Buffers of a continuous A/D transfer, freed at the end.
class Buffers {
  public:
    Buffers(HDASS hDass, int count, std::uint32_t samples) {
        for (int i = 0; i < count; ++i) {
            HBUF buffer = 0;
            if (hxDmAllocBuffer(0, samples, &buffer) == 0 &&
                hxDaPutBuffer(hDass, buffer) == HXNOERROR)
                made_.push_back(buffer);
        }
    }
    ~Buffers() {
        for (HBUF buffer : made_)
            hxDmFreeBuffer(buffer);
    }
    Buffers(const Buffers&) = delete;
    Buffers& operator=(const Buffers&) = delete;
    std::size_t size() const { return made_.size(); }

  private:
    std::vector<HBUF> made_;
};

// Configures the open A/D for a continuous transfer of channel 0 at 1 kHz.
bool ConfigureContinuous(HDASS ad, UINT trigger = HXTRIG_SOFTWARE) {
    return hxDaSetDataFlow(ad, HXDF_CONTINUOUS) == HXNOERROR &&
           hxDaSetWrapMode(ad, HXWRAP_NONE) == HXNOERROR &&
           hxDaSetClockFrequency(ad, 1000.0) == HXNOERROR &&
           hxDaSetTrigger(ad, trigger) == HXNOERROR && hxDaConfig(ad) == HXNOERROR;
}

TEST(MachineMq5120, ABoardOfTheListRegistersAndItsAnalogInputReadsItsSignals) {
    sim::testing::ScopedSimulatedMachine machine(
        {"MQ5120 4 0x1234 AD0.0=pattern:1000,2000 AD0.5=const:2.5"});
    const auto boards = simtest::ListBoards();
    ASSERT_EQ(boards.size(), 1u);
    EXPECT_EQ(boards[0].boardName, "MQ5120(00)");
    EXPECT_EQ(boards[0].driverName, "MQ5120");
    EXPECT_EQ(boards[0].modelName, "MQ5120-16-04-16");
    EXPECT_EQ(boards[0].boardType, 4u);
    EXPECT_EQ(boards[0].serialNumber, 0x1234u);
    EXPECT_EQ(boards[0].instance, 0u);
    EXPECT_EQ(DatabaseName("MQ5120", "00001234"), "MQ5120(00)");
    EXPECT_EQ(Enumerated(), std::vector<std::string>{"MQ5120(00)"});

    OpenAd board("MQ5120(00)");
    ASSERT_TRUE(board.ok());
    EXPECT_EQ(board.Single(0), 1000u);
    EXPECT_EQ(board.Single(0), 2000u);
    EXPECT_EQ(board.Single(0), 1000u);
    EXPECT_EQ(board.Single(5), 40960u) << "2.5 V on the 16-bit converter's +-10 V";
    EXPECT_EQ(board.Single(1), 32768u) << "an input without a signal reads 0 V";
}

// Boards of both kinds side by side: each family's driver serves its own, and MQ5120 boards take
// their names from the board database in turn, their types from their lines.
TEST(MachineMq5120, MixedListsNameEachBoardAndServeItsAnalogInput) {
    sim::testing::ScopedSimulatedMachine machine({
        "MQ5120 4 1 AD0.0=pattern:0x1234",
        "Mq5200 0x5204 2 AD0.0=pattern:77",
        "MQ5120 0 3 AD0.0=pattern:0x1234",
    });
    std::vector<std::string> names = Enumerated();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"MQ5120(00)", "MQ5120(01)", "Mq5200(00)"}));
    EXPECT_EQ(DatabaseName("MQ5120", "00000003"), "MQ5120(01)");
    for (const auto& board : simtest::ListBoards()) {
        if (board.driverName != "MQ5120")
            continue;
        EXPECT_EQ(board.modelName, board.serialNumber == 1 ? "MQ5120-16-04-16" : "MQ5120-16-04-12")
            << board.boardName;
    }

    OpenAd first("MQ5120(00)"), second("MQ5120(01)"), other("Mq5200(00)");
    ASSERT_TRUE(first.ok() && second.ok() && other.ok());
    EXPECT_EQ(first.Single(0), 0x1234u);
    EXPECT_EQ(second.Single(0), 0x234u) << "a 12-bit board";
    EXPECT_EQ(other.Single(0), 77u);
}

// A changed signal reaches the running board through its open files, and the board is not
// plugged in again for it.
TEST(MachineMq5120, AChangedSignalReachesTheRunningBoard) {
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1 AD0.0=pattern:7 AD0.1=const:2.5"});
    OpenAd board("MQ5120(00)");
    ASSERT_TRUE(board.ok());
    EXPECT_EQ(board.Single(0), 7u);
    EXPECT_EQ(board.Single(1), 40960u);

    simtest::WriteBoardList(machine.directory(),
                            {"MQ5120 4 1 AD0.0=pattern:9,10 AD0.1=const:-2.5"});
    EXPECT_TRUE(simtest::WaitFor([&] { return board.Single(1) == 24576u; }));
    EXPECT_EQ(board.Single(0), 9u) << "a new pattern starts from its first code";
    EXPECT_EQ(board.Single(0), 10u);
    // A signal dropped from the line leaves its input at 0 V.
    simtest::WriteBoardList(machine.directory(), {"MQ5120 4 1 AD0.0=pattern:9,10"});
    EXPECT_TRUE(simtest::WaitFor([&] { return board.Single(1) == 32768u; }));
    EXPECT_EQ(Seen(1), kPlugIn);
}

// A line leaving the list pulls the board out while it is open: its requests fail, the stack goes
// with the last file, and the line's return plugs the board in again under its name.
TEST(MachineMq5120, ALineLeavingPullsTheBoardOutAndItsReturnPlugsItInAgain) {
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1 AD0.0=pattern:5", "Mq5200 0x5204 2"});
    {
        OpenAd board("MQ5120(00)");
        ASSERT_TRUE(board.ok());
        ASSERT_EQ(board.Single(0), 5u);

        simtest::WriteBoardList(machine.directory(), {"Mq5200 0x5204 2"});
        ASSERT_TRUE(simtest::WaitFor([] { return Seen(1).size() > kPlugIn.size(); }));
        EXPECT_EQ(Seen(1), Then(kPlugIn, {kSurpriseRemoval}));
        EXPECT_EQ(board.Single(0), std::nullopt);
        HDEV again = 0;
        EXPECT_NE(hxDaInitialize("MQ5120(00)", &again), HXNOERROR) << "it no longer opens";
        EXPECT_EQ(Enumerated(), std::vector<std::string>{"Mq5200(00)"}) << "nor is it listed";
        simclock::SleepFor(std::chrono::milliseconds(300));
        EXPECT_EQ(Seen(1), Then(kPlugIn, {kSurpriseRemoval})) << "its files are still open";
    }
    ASSERT_TRUE(simtest::WaitFor([] { return Seen(1).back() == kRemove; }));
    EXPECT_TRUE(
        simtest::WaitFor([] { return Enumerated() == std::vector<std::string>{"Mq5200(00)"}; }));

    simtest::WriteBoardList(machine.directory(), {"Mq5200 0x5204 2", "MQ5120 4 1 AD0.0=pattern:6"});
    ASSERT_TRUE(simtest::WaitFor([] { return Enumerated().size() == 2; }));
    EXPECT_EQ(Seen(1), Then(kPlugIn, Then({kSurpriseRemoval, kRemove}, kPlugIn)));
    OpenAd back("MQ5120(00)");
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.Single(0), 6u);
}

// Changes that take a board away and bring another at once, back and forth: each board keeps its
// own Plug and Play record, goes for good with its removal, and comes back when listed again.
TEST(MachineMq5120, ABoardReplacedByAnotherInOneChangeKeepsItsOwnRecord) {
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1"});
    ASSERT_EQ(Enumerated(), std::vector<std::string>{"MQ5120(00)"});
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const std::uint32_t gone = round % 2 == 0 ? 1 : 2, come = round % 2 == 0 ? 2 : 1;
        simtest::WriteBoardList(machine.directory(), {"MQ5120 4 " + std::to_string(come)});
        ASSERT_TRUE(
            simtest::WaitFor([&] { return !Seen(come).empty() && Seen(gone).back() == kRemove; }));
        ASSERT_TRUE(simtest::WaitFor([] { return Enumerated().size() == 1; }));
        EXPECT_EQ(Seen(come).back(), kQueryState) << "started";
    }
    // Both boards went and came back in turn, each with its own requests.
    const Minors cycle = Then(kPlugIn, {kSurpriseRemoval, kRemove});
    EXPECT_EQ(Seen(1), Then(cycle, Then(kPlugIn, {kSurpriseRemoval, kRemove})));
    EXPECT_EQ(Seen(2), Then(cycle, kPlugIn));
    OpenAd board("MQ5120(01)");
    EXPECT_TRUE(board.ok());
}

// Faults on a running MQ5120: the board's FIFO overflow reaches the library as an overrun, its
// external trigger starts a transfer that waits for it, and a removal is reported. Each needs the
// transfer running.
TEST(MachineMq5120, InjectedFaultsReachTheLibraryThroughTheBoard) {
    using sim::testing::Fault;
    using sim::testing::InjectFault;
    simclock::testing::VirtualClock clock;  // the transfers run in simulated time
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1 AD0.0=pattern:1,2,3"});
    OpenAd board("MQ5120(00)");
    ASSERT_TRUE(board.ok());
    EXPECT_FALSE(InjectFault("MQ5120", 1, HXSS_AD, 0, Fault::kOverrun)) << "nothing runs";
    EXPECT_FALSE(InjectFault("MQ5120", 1, HXSS_AD, 0, Fault::kTrigger));
    EXPECT_FALSE(InjectFault("MQ5120", 2, HXSS_AD, 0, Fault::kOverrun)) << "no such board";

    {
        SCOPED_TRACE("overrun");
        Notifications notifications(board.ad());
        ASSERT_TRUE(ConfigureContinuous(board.ad()));
        Buffers buffers(board.ad(), 3, 1000);
        ASSERT_EQ(hxDaStart(board.ad()), HXNOERROR);
        EXPECT_FALSE(InjectFault("MQ5120", 1, HXSS_AD, 1, Fault::kOverrun)) << "no such element";
        ASSERT_TRUE(InjectFault("MQ5120", 1, HXSS_AD, 0, Fault::kOverrun));
        EXPECT_TRUE(notifications.WaitFor(HXWM_OVERRUNERROR));
        hxDaAbort(board.ad());
        hxDaFlushBuffers(board.ad());
    }
    {
        SCOPED_TRACE("trigger");
        Notifications notifications(board.ad());
        ASSERT_TRUE(ConfigureContinuous(board.ad(), HXTRIG_EXTERNAL));
        Buffers buffers(board.ad(), 1, 100);
        ASSERT_EQ(hxDaStart(board.ad()), HXNOERROR);
        EXPECT_FALSE(notifications.WaitFor(HXWM_BUFFERDONE, 300)) << "waiting for its trigger";
        ASSERT_TRUE(InjectFault("MQ5120", 1, HXSS_AD, 0, Fault::kTrigger));
        EXPECT_TRUE(notifications.WaitFor(HXWM_QUEUEDONE));
        hxDaFlushBuffers(board.ad());
    }
    {
        SCOPED_TRACE("removal");
        Notifications notifications(board.ad());
        ASSERT_TRUE(ConfigureContinuous(board.ad()));
        Buffers buffers(board.ad(), 3, 1000);
        ASSERT_EQ(hxDaStart(board.ad()), HXNOERROR);
        ASSERT_TRUE(InjectFault("MQ5120", 1, 0, 0, Fault::kRemoval));
        EXPECT_TRUE(notifications.WaitFor(HXWM_DEVICEREMOVAL));
        EXPECT_FALSE(InjectFault("MQ5120", 1, 0, 0, Fault::kRemoval)) << "out already";
        EXPECT_FALSE(InjectFault("MQ5120", 1, HXSS_AD, 0, Fault::kOverrun));
        EXPECT_EQ(Seen(1), Then(kPlugIn, {kSurpriseRemoval}));
        hxDaAbort(board.ad());
        hxDaFlushBuffers(board.ad());
    }
}

// Shutdown refuses while a file is open on an MQ5120, pulled out or not, and leaves the machine
// serving; once the files are closed every board's stack goes, the drivers are unloaded and no
// device is left.
TEST(MachineMq5120, ShutdownWaitsForTheLastFileAndRemovesEveryBoard) {
    sim::testing::ScopedSimulatedMachine machine(
        {"MQ5120 4 1 AD0.0=pattern:3", "MQ5120 4 2", "Mq5200 0x5204 3"});
    {
        OpenAd board("MQ5120(00)");
        ASSERT_TRUE(board.ok());
        {
            kernel::RuleViolationRecorder violations;
            EXPECT_FALSE(machine.Shutdown());
            EXPECT_TRUE(violations.Saw("files open on its boards"));
        }
        EXPECT_TRUE(kernel::machine::IsBooted());
        EXPECT_EQ(board.Single(0), 3u) << "still served";
        // Pulled out, its open file still holds the machine up.
        ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, 0, 0, sim::testing::Fault::kRemoval));
        kernel::RuleViolationRecorder violations;
        EXPECT_FALSE(machine.Shutdown());
    }
    EXPECT_TRUE(machine.Shutdown());
    EXPECT_FALSE(kernel::machine::IsBooted());
    EXPECT_EQ(kernel::testing::LiveDevices(), 0u);
    // The next boot has every board again, the one pulled out included.
    machine.Boot();
    EXPECT_EQ(Enumerated().size(), 3u);
    EXPECT_EQ(Seen(1), kPlugIn);
}

}  // namespace
