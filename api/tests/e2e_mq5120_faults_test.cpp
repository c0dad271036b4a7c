// What can go wrong while the MQ5120 streams, seen through the library: the board's FIFO overflow
// and the driver's ring overflow are overruns that end the acquisition, the board pulled out ends
// it with the device's removal; either way every buffer comes back once and nothing hangs. And a
// triggered start waits for the board's trigger input.
#include <atomic>
#include <fstream>
#include <mutex>
#include <vector>

#include "e2e_mq5120_fixture.h"
#include "win32/sync.h"

namespace mq5120e2e {
namespace {

using sim::testing::Fault;
using sim::testing::InjectFault;

const std::vector<ListEntry> kList = {{0, 1}, {3, 2}};

using Mq5120Faults = Mq5120Test;

TEST_F(Mq5120Faults, TheBoardsFifoOverflowIsAnOverrunThatEndsTheAcquisition) {
    boot();
    const HDASS hDass = open(HXSS_AD);
    configure(hDass, HXWRAP_NONE, 20'000, kList);
    const std::vector<HBUF> made = queue(hDass, 4, 4'000);  // 0.2 s each
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    simclock::SleepFor(50ms);
    ASSERT_TRUE(InjectFault("MQ5120", 1, HXSS_AD, 0, Fault::kOverrun));
    ASSERT_TRUE(waitForMessage(HXWM_OVERRUNERROR));
    ASSERT_TRUE(idle(hDass));
    waitForMessages(0, 100);
    EXPECT_EQ(messages, (std::vector<std::uint32_t>{HXWM_OVERRUNERROR}));
    expectSameBuffers(takeDone(hDass), made);

    // Over, it starts again and reports no overrun of the last run.
    messages.clear();
    queue(hDass, 1, 400);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    EXPECT_EQ(waitForMessages(2), (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_QUEUEDONE}));
}

// Another program part closing its own handle of the board (a second hxDaInitialize) leaves the
// board's status messages flowing for the acquisition that goes on: its overrun is reported.
TEST_F(Mq5120Faults, ClosingAnotherHandleOfTheBoardKeepsTheOverrunsReported) {
    boot();
    const HDASS hDass = open(HXSS_AD);
    configure(hDass, HXWRAP_MULTIPLE, 20'000, kList);
    const std::vector<HBUF> made = queue(hDass, 2, 400);  // 20 ms each
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    for (int round = 0; round < 3; ++round) {
        HDEV other = 0;
        ASSERT_EQ(hxDaInitialize("MQ5120(00)", &other), HXNOERROR);
        ASSERT_EQ(hxDaTerminate(other), HXNOERROR);
    }
    ASSERT_TRUE(waitForMessage(HXWM_BUFFERREUSED, 3));
    ASSERT_TRUE(InjectFault("MQ5120", 1, HXSS_AD, 0, Fault::kOverrun));
    EXPECT_TRUE(waitForMessage(HXWM_OVERRUNERROR, 1, 5000));
    ASSERT_TRUE(idle(hDass));
    expectSameBuffers(takeDone(hDass), made);
}

// The notifications of a procedure that holds up the copy thread at its first buffer, as an
// application too slow to give the driver its reads would.
struct SlowApplication {
    std::mutex mutex;
    std::vector<std::uint32_t> messages;
    std::chrono::milliseconds stall{0};
};
std::atomic<SlowApplication*> g_slow{nullptr};

void CALLBACK slowNotification(UINT message, HDASS, LPARAM) {
    SlowApplication* app = g_slow.load();
    if (app == nullptr)
        return;
    std::chrono::milliseconds stall{0};
    {
        std::lock_guard guard(app->mutex);
        app->messages.push_back(message);
        if (app->messages.size() == 1)
            stall = app->stall;
    }
    Sleep(static_cast<DWORD>(stall.count()));  // the copy thread held up on the clock
}

// At 500 kHz the driver's 64 KB ring holds 65 ms of samples: with no read to fill for longer, it
// overflows, and the overrun ends the acquisition.
TEST_F(Mq5120Faults, NoReadForTheDriverAtATopRateIsAnOverrun) {
    boot();
    SlowApplication app;
    app.stall = 400ms;
    g_slow.store(&app);
    const HDASS hDass = open(HXSS_AD);
    ASSERT_EQ(hxDaSetNotificationProcedure(hDass, slowNotification, 0), HXNOERROR);
    configure(hDass, HXWRAP_MULTIPLE, 500'000, kList);
    const std::vector<HBUF> made = queue(hDass, 2, 10'000);  // 0.02 s each
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);

    const auto overrunSeen = [&] {
        std::lock_guard guard(app.mutex);
        return std::count(app.messages.begin(), app.messages.end(), HXWM_OVERRUNERROR);
    };
    const auto deadline = simclock::Deadline::After(10s);
    while (overrunSeen() == 0 && !deadline.Passed())
        simclock::SleepFor(1ms);
    ASSERT_TRUE(idle(hDass));
    simclock::SleepFor(100ms);
    {
        std::lock_guard guard(app.mutex);
        ASSERT_FALSE(app.messages.empty());
        EXPECT_EQ(app.messages.front(), HXWM_BUFFERDONE);
        EXPECT_EQ(std::count(app.messages.begin(), app.messages.end(), HXWM_OVERRUNERROR), 1);
    }
    expectSameBuffers(takeDone(hDass), made);
    EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
    opened.clear();
    g_slow.store(nullptr);
}

// Pulled out while it streams, by a fault or by its line leaving the board list: the library
// reports the removal, every buffer comes back once, and closing the board does not hang.
TEST_F(Mq5120Faults, TheBoardPulledOutWhileStreamingGivesEveryBufferBack) {
    for (const bool byList : {false, true}) {
        SCOPED_TRACE(byList ? "board list" : "fault");
        boot({kBoardWithPatterns, "MQ5120 4 2"});
        const HDASS hDass = open(HXSS_AD);
        configure(hDass, HXWRAP_MULTIPLE, 100'000, kList);
        const std::vector<HBUF> made = queue(hDass, 4, 4'000);  // 40 ms each
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        ASSERT_TRUE(waitForMessage(HXWM_BUFFERREUSED));
        if (byList) {
            std::ofstream(machine->directory() / sim::kBoardListFileName) << "MQ5120 4 2\n";
        } else {
            ASSERT_TRUE(InjectFault("MQ5120", 1, HXSS_AD, 0, Fault::kRemoval));
        }
        ASSERT_TRUE(waitForMessage(HXWM_DEVICEREMOVAL));
        // When the removal is heard every buffer is back already: the program may free them.
        expectSameBuffers(takeDone(hDass), made);
        ASSERT_TRUE(idle(hDass));
        waitForMessages(0, 50);
        // Once each: the removal, and the end of the reads that failed with it.
        EXPECT_EQ(countOf(HXWM_DEVICEREMOVAL), 1u);
        EXPECT_EQ(countOf(HXWM_QUEUESTOPPED), 1u);
        EXPECT_TRUE(takeDone(hDass).empty());

        // The other board is still there and streams.
        HDEV other = 0;
        ASSERT_EQ(hxDaInitialize("MQ5120(01)", &other), HXNOERROR);
        EXPECT_EQ(hxDaTerminate(other), HXNOERROR);
        releaseAll();
        EXPECT_TRUE(nothingOutstanding());
    }
}

// A start on the external trigger or the threshold trigger arms the board; nothing is converted
// until the board's trigger input fires, then the list's codes come from their start.
TEST_F(Mq5120Faults, ATriggeredStartWaitsForTheBoardsTriggerInput) {
    boot();
    for (const UINT trigger : {HXTRIG_EXTERNAL, HXTRIG_THRESHOLDPOS}) {
        SCOPED_TRACE(trigger);
        const HDASS hDass = open(HXSS_AD);
        configure(hDass, HXWRAP_NONE, 100'000, kList, trigger);
        CompletedReads reads;
        const std::vector<HBUF> made = queue(hDass, 3, 2'000, &reads);  // 20 ms each
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        waitForMessages(0, 200);
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(reads.reads(), 0u);
        EXPECT_EQ(queueSize(hDass, HXQUEUE_INPROCESS), 3u);

        ASSERT_TRUE(InjectFault("MQ5120", 1, HXSS_AD, 0, Fault::kTrigger));
        EXPECT_EQ(waitForMessages(4),
                  (std::vector<std::uint32_t>{HXWM_BUFFERDONE, HXWM_BUFFERDONE, HXWM_BUFFERDONE,
                                              HXWM_QUEUEDONE}));
        const std::vector<HBUF> done = takeDone(hDass);
        ASSERT_EQ(done, made);
        const std::vector<std::uint16_t> delivered = samplesOf(done);
        const std::vector<std::uint16_t> expected = ExpectedCodes(kList, 3 * 2'000);
        EXPECT_EQ(FirstMismatch(delivered, expected), expected.size());
        EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
        opened.clear();
        messages.clear();
    }
}

}  // namespace
}  // namespace mq5120e2e
