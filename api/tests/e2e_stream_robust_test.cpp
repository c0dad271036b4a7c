// The library under careless and concurrent use while it streams: buffers the driver holds are
// neither freed nor queued twice, a notification procedure calls the library while other threads
// stop, abort or release, and a command the copy thread never answers is reported as a failure.
#include <future>
#include <mutex>

#include "stream_fixture.h"
#include "testing/hxda_testing.h"

namespace hxda::test {
namespace {

using StreamRobust = StreamFixture;
using namespace std::chrono_literals;

// Generous bounds for what must happen at once; a hang shows as a time-out, never as a wait for
// ever.
constexpr auto kPrompt = 10s;
constexpr DWORD kPromptMs = 10000;
// The tick count's step: a timeout counted in whole milliseconds may end up to one late.
constexpr std::uint32_t kTickMs = 1;

std::uint32_t locationOf(HBUF buffer) {
    std::uint32_t location = ~0u;
    return hxDmGetBufferLocation(buffer, &location) == 0 ? location : ~0u;
}

// ---- Buffers the driver holds ------------------------------------------------------------------

TEST_F(StreamRobust, ABufferInProcessIsNeitherFreedNorQueuedAgain) {
    const HDASS hDass = open();
    configure(hDass);
    const HDASS other = open(HXSS_AD, 1);
    configure(other);
    const std::vector<HBUF> made = queue(hDass, 3);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 3));
    for (const HBUF buffer : made) {
        EXPECT_EQ(hxDmFreeBuffer(buffer), HXBUFFERLOCKED);
        EXPECT_EQ(hxDaPutBuffer(hDass, buffer), HXBUFFERLOCKED);
        EXPECT_EQ(hxDaPutBuffer(other, buffer), HXBUFFERLOCKED);
    }
    EXPECT_EQ(queueSize(other, HXQUEUE_READY), 0u);
    EXPECT_EQ(streamer::CompleteReads(u"\\AD0", 3), 3u);
    ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
    // Each buffer came back once, whole, and is the caller's again.
    const std::vector<HBUF> done = takeDone(hDass);
    EXPECT_EQ(done, made);
    for (const HBUF buffer : done) {
        EXPECT_EQ(validSamples(buffer), 64u);
        EXPECT_EQ(hxDmFreeBuffer(buffer), 0u);
    }
}

TEST_F(StreamRobust, AFlushTargetMustBeABufferInTheCallersHands) {
    tables.set(HXSSC_FLUSHINPROCESS, 1);
    const HDASS hDass = open();
    configure(hDass);
    const std::vector<HBUF> made = queue(hDass, 2);
    HBUF listed = 0, held = 0, freed = 0;
    ASSERT_EQ(hxDmAllocBuffer(0, 64, &held), 0u);
    ASSERT_EQ(hxDmAllocBuffer(0, 64, &freed), 0u);
    ASSERT_EQ(hxDmFreeBuffer(freed), 0u);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 2));
    listed = queue(hDass, 1).front();
    struct Case {
        const char* name;
        HBUF target;
        std::uint32_t status;
    };
    const Case refusals[] = {
        {"the buffer in process", made.front(), HXBUFFERLOCKED},
        {"a buffer on the ready list", listed, HXBUFFERONLIST},
        {"a freed buffer", freed, HXINVALIDHBUF},
        {"no buffer at all", 0x12345u, HXINVALIDHBUF},
    };
    for (const Case& c : refusals) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hxDaFlushFromBufferInprocess(hDass, c.target, 16), c.status);
    }
    EXPECT_EQ(locationOf(made.front()), HXDM_LOCATION_INPROCESS);
    EXPECT_EQ(locationOf(listed), HXDM_LOCATION_LISTED);
    // A buffer of the caller's own takes the data gathered so far and joins the done list.
    ASSERT_EQ(hxDaFlushFromBufferInprocess(hDass, held, 16), HXNOERROR);
    EXPECT_EQ(waitForMessages(1), std::vector<std::uint32_t>{HXWM_BUFFERDONE});
    EXPECT_EQ(takeDone(hDass), std::vector<HBUF>{held});
    EXPECT_EQ(validSamples(held), 16u);
    ASSERT_EQ(hxDaAbort(hDass), HXNOERROR);
    expectSameBuffers(takeDone(hDass), {made[0], made[1], listed});
}

// A caller who finds nothing in process finds every buffer on a list: a buffer on its way back
// from the driver still counts as in process. The test holds the done list's lock, so that the
// copy thread's hand-back stops inside that moment.
TEST_F(StreamRobust, ABufferOnItsWayBackCountsAsInProcessUntilItIsListed) {
    for (const bool fail : {false, true}) {
        SCOPED_TRACE(fail ? "a failed read" : "a completed read");
        restart();
        const HDASS hDass = open();
        configure(hDass);
        const std::vector<HBUF> made = queue(hDass, 1);
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 1));
        const HLIST done = findSubsystem(hDass)->doneList;
        ASSERT_EQ(hxDmLockList(done), 0u);
        if (fail)
            EXPECT_EQ(streamer::FailReads(u"\\AD0", 1, streamer::DataError()), 1u);
        else
            EXPECT_EQ(streamer::CompleteReads(u"\\AD0", 1), 1u);
        const auto deadline = std::chrono::steady_clock::now() + kPrompt;
        while (locationOf(made.front()) == HXDM_LOCATION_INPROCESS &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        const bool handedBack = locationOf(made.front()) != HXDM_LOCATION_INPROCESS;
        EXPECT_EQ(queueSize(hDass, HXQUEUE_INPROCESS), 1u);
        ASSERT_EQ(hxDmUnlockList(done), 0u);
        ASSERT_TRUE(handedBack);
        ASSERT_TRUE(e2e::idle(hDass));
        EXPECT_EQ(takeDone(hDass), made);
    }
}

// A transfer that runs dry ends on the copy thread, which writes the state on its way out; a
// configure or a reset as soon as the state shows the end is ordered with those writes (a thread
// checker sees it otherwise), and what it sets stays.
TEST_F(StreamRobust, AConfigureOrResetAsSoonAsATransferEndsIsOrderedWithTheCopyThread) {
    constexpr int kRounds = 20;
    const HDASS hDass = open();
    configure(hDass);
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        const bool reset = round % 2 == 1;
        const std::vector<HBUF> made = queue(hDass, 1);
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 1));
        ASSERT_EQ(streamer::CompleteReads(u"\\AD0", 1), 1u);
        ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
        ASSERT_EQ(reset ? hxDaReset(hDass) : hxDaConfig(hDass), HXNOERROR);
        ASSERT_TRUE(e2e::idle(hDass));
        EXPECT_EQ(takeDone(hDass), made);
        EXPECT_EQ(state(hDass), reset ? HXSTATE_NEEDSCONFIG : HXSTATE_READY);
        if (reset)
            configure(hDass);
    }
}

// ---- The notification procedure calls the library -----------------------------------------------

// What the procedures below share with their test: the subsystem, what to do, what happened.
struct ProcedureScript {
    std::mutex mutex;
    HDASS hDass = 0;
    std::function<void(UINT)> onMessage;
    std::vector<std::uint32_t> seen;
    std::vector<std::uint32_t> statuses;
    void record(UINT message) {
        std::lock_guard guard(mutex);
        seen.push_back(message);
    }
    void status(std::uint32_t value) {
        std::lock_guard guard(mutex);
        statuses.push_back(value);
    }
    std::vector<std::uint32_t> messages() {
        std::lock_guard guard(mutex);
        return seen;
    }
    std::vector<std::uint32_t> results() {
        std::lock_guard guard(mutex);
        return statuses;
    }
};
ProcedureScript* g_script = nullptr;

void CALLBACK scriptedProcedure(UINT message, HDASS, LPARAM) {
    g_script->record(message);
    if (g_script->onMessage)
        g_script->onMessage(message);
}

// Takes each finished buffer back and queues it again, as a recycling program does.
void recycle() {
    HBUF buffer = 0;
    if (hxDaGetBuffer(g_script->hDass, &buffer) == HXNOERROR && buffer != 0)
        g_script->status(hxDaPutBuffer(g_script->hDass, buffer));
}

class StreamProcedure : public StreamFixture {
  protected:
    void SetUp() override {
        StreamFixture::SetUp();
        g_script = &script;
    }
    void TearDown() override {
        StreamFixture::TearDown();
        g_script = nullptr;
    }
    // A subsystem whose notifications go to the scripted procedure.
    HDASS openScripted(std::uint32_t wrap = HXWRAP_NONE) {
        const HDASS hDass = open();
        configure(hDass, wrap);
        EXPECT_EQ(hxDaSetNotificationProcedure(hDass, scriptedProcedure, 0), HXNOERROR);
        EXPECT_EQ(hxDaConfig(hDass), HXNOERROR);
        script.hDass = hDass;
        return hDass;
    }
    // Polls (bounded) until the condition holds.
    static bool eventually(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + kPrompt;
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    ProcedureScript script;
};

// A stop from another thread while the procedure recycles: the stop waits for the copy thread,
// whose procedure needs the subsystem meanwhile.
TEST_F(StreamProcedure, RecyclingWhileAnotherThreadStopsNeverDeadlocks) {
    const HDASS hDass = openScripted();
    queue(hDass, 4);
    streamer::SetFinishOnStop(u"\\AD0", false);
    HANDLE stopping = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    script.onMessage = [&](UINT message) {
        if (message != HXWM_BUFFERDONE)
            return;
        // The stop has begun on the other thread before this buffer is taken back.
        WaitForSingleObject(stopping, 5000);
        recycle();
    };
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 4));
    auto stop = std::async(std::launch::async, [&] { return hxDaStop(hDass); });
    ASSERT_TRUE(eventually([&] {
        const std::vector<std::uint32_t> codes = streamer::Codes(u"\\AD0");
        return std::find(codes.begin(), codes.end(), IOCTL_HXDA_STOP) != codes.end();
    }));
    SetEvent(stopping);
    EXPECT_EQ(streamer::CompleteReads(u"\\AD0", 4), 4u);
    ASSERT_EQ(stop.wait_for(kPrompt), std::future_status::ready);
    EXPECT_EQ(stop.get(), HXNOERROR);
    EXPECT_EQ(state(hDass), HXSTATE_READY);
    // Every buffer the procedure queued again is on the ready list; the release frees them.
    EXPECT_EQ(script.results(), std::vector<std::uint32_t>(4, HXNOERROR));
    EXPECT_EQ(queueSize(hDass, HXQUEUE_READY), 4u);
    auto release = std::async(std::launch::async, [&] { return hxDaReleaseDASS(hDass); });
    ASSERT_EQ(release.wait_for(kPrompt), std::future_status::ready);
    EXPECT_EQ(release.get(), HXNOERROR);
    CloseHandle(stopping);
}

// Stop, abort and reset of the subsystem from its own procedure answer at once and end the
// transfer once the procedure returns; every buffer comes back.
TEST_F(StreamProcedure, StopAbortAndResetFromTheProcedureEndTheTransferWithoutWaiting) {
    struct Case {
        const char* name;
        HXSTATUS (*call)(HDASS);
        std::int32_t stateAfter;
    };
    const Case cases[] = {
        {"stop", hxDaStop, HXSTATE_READY},
        {"abort", hxDaAbort, HXSTATE_READY},
        {"reset", hxDaReset, HXSTATE_NEEDSCONFIG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        script.seen.clear();
        script.statuses.clear();
        // A copy thread that waited for itself would not answer within the test's bound.
        testing::setAcknowledgeTimeout(60000);
        const HDASS hDass = openScripted();
        const std::vector<HBUF> made = queue(hDass, 4);
        bool called = false;
        script.onMessage = [&](UINT message) {
            if (message == HXWM_BUFFERDONE && !called) {
                called = true;
                g_script->status(c.call(g_script->hDass));
            }
        };
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 4));
        EXPECT_EQ(streamer::CompleteReads(u"\\AD0", 1), 1u);
        ASSERT_TRUE(eventually([&] { return !script.results().empty(); }));
        EXPECT_EQ(script.results(), std::vector<std::uint32_t>{HXNOERROR});
        ASSERT_TRUE(waitForState(hDass, c.stateAfter));
        // A reset writes the defaults (and so its state) at once; the copy thread ends the
        // transfer when the procedure has returned, which may come just after.
        EXPECT_TRUE(eventually([&] {
            return queueSize(hDass, HXQUEUE_INPROCESS) == 0 &&
                   streamer::PendingReads(u"\\AD0") == 0;
        }));
        expectSameBuffers(takeDone(hDass), made);
    }
}

// A release from inside the procedure returns at once; the handle is dead from then on, and the
// release finishes once the procedure returns: no read stays with the driver, every buffer the
// library held is freed, and the device can be terminated.
TEST_F(StreamProcedure, ReleaseFromTheProcedureFinishesWhenItReturns) {
    const HDASS hDass = openScripted();
    const std::vector<HBUF> made = queue(hDass, 4);
    bool released = false;  // the copy thread's own
    script.onMessage = [&](UINT message) {
        if (message != HXWM_BUFFERDONE || released)
            return;
        released = true;
        g_script->status(hxDaReleaseDASS(g_script->hDass));
        HBUF buffer = 0;
        g_script->status(hxDaGetBuffer(g_script->hDass, &buffer));
    };
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 4));
    EXPECT_EQ(streamer::CompleteReads(u"\\AD0", 1), 1u);
    ASSERT_TRUE(eventually([&] { return script.results().size() == 2; }));
    // The release answered at once; the handle was refused right after it.
    EXPECT_EQ(script.results(), (std::vector<std::uint32_t>{HXNOERROR, HXINVALIDSSHANDLE}));
    ASSERT_TRUE(eventually([&] { return hxDaTerminate(hDev) != HXSUBSYSINUSE; }));
    for (const HBUF buffer : made)
        EXPECT_EQ(locationOf(buffer), ~0u);  // freed by the library
    EXPECT_EQ(streamer::PendingReads(u"\\AD0"), 0u);
    EXPECT_EQ(kernel::testing::OutstandingUserRequests(), 0u);
}

// ---- Commands the copy thread does not answer --------------------------------------------------

constexpr std::uint32_t kShortTimeoutMs = 200;

// A stop whose buffers never fill is not acknowledged: the stop reports the failure, and an abort
// and a release still end the transfer with every buffer back.
TEST_F(StreamRobust, AStopNotAcknowledgedInTimeFailsAndLeavesAbortAndReleaseWorking) {
    testing::setAcknowledgeTimeout(kShortTimeoutMs);
    streamer::SetFinishOnStop(u"\\AD0", false);
    const HDASS hDass = open();
    configure(hDass);
    const std::vector<HBUF> made = queue(hDass, 3);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 3));
    EXPECT_EQ(hxDaStop(hDass), HXNOHWRESPONSE);
    EXPECT_GT(state(hDass), HXSTATE_READY);
    EXPECT_EQ(hxDaAbort(hDass), HXNOERROR);
    EXPECT_EQ(state(hDass), HXSTATE_READY);
    expectSameBuffers(takeDone(hDass), made);
    EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
    EXPECT_EQ(streamer::PendingReads(u"\\AD0"), 0u);
}

// A reset while the copy thread is held inside the procedure is not acknowledged: it fails
// without resetting under the reads the driver holds, and once the procedure returns an abort,
// a reset and a release work.
TEST_F(StreamProcedure, AResetNotAcknowledgedInTimeFailsAndResetsNothing) {
    testing::setAcknowledgeTimeout(kShortTimeoutMs);
    const HDASS hDass = openScripted();
    const std::vector<HBUF> made = queue(hDass, 3);
    HANDLE inside = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE leave = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    script.onMessage = [&](UINT message) {
        if (message != HXWM_BUFFERDONE)
            return;
        SetEvent(inside);
        WaitForSingleObject(leave, 5000);
    };
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 3));
    EXPECT_EQ(streamer::CompleteReads(u"\\AD0", 1), 1u);
    ASSERT_EQ(WaitForSingleObject(inside, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(hxDaReset(hDass), HXNOHWRESPONSE);
    EXPECT_EQ(state(hDass), HXSTATE_RUNNING);
    SetEvent(leave);
    EXPECT_EQ(hxDaAbort(hDass), HXNOERROR);
    EXPECT_EQ(state(hDass), HXSTATE_READY);
    EXPECT_EQ(hxDaReset(hDass), HXNOERROR);
    EXPECT_EQ(state(hDass), HXSTATE_NEEDSCONFIG);
    expectSameBuffers(takeDone(hDass), made);
    EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
    EXPECT_EQ(streamer::PendingReads(u"\\AD0"), 0u);
    CloseHandle(inside);
    CloseHandle(leave);
}

// Several threads commanding a subsystem whose copy thread is held inside the procedure: each
// fails once its own time is up, however long the others held the subsystem before it, so their
// waits never add up (all answer one timeout after they called, while the procedure is held).
// The callers are threads of the simulation and the test waits on the clock, so that their
// timeouts pass in simulated time.
TEST_F(StreamProcedure, WaitsOfSeveralThreadsOnAHeldCopyThreadDoNotAddUp) {
    constexpr int kCallers = 3;
    testing::setAcknowledgeTimeout(kShortTimeoutMs);
    const HDASS hDass = openScripted();
    const std::vector<HBUF> made = queue(hDass, 2);
    HANDLE inside = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE leave = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    script.onMessage = [&](UINT message) {
        if (message != HXWM_BUFFERDONE)
            return;
        SetEvent(inside);
        WaitForSingleObject(leave, 10000);
    };
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 2));
    EXPECT_EQ(streamer::CompleteReads(u"\\AD0", 1), 1u);
    ASSERT_EQ(WaitForSingleObject(inside, 5000), WAIT_OBJECT_0);
    struct Call {
        HANDLE answered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HXSTATUS status = ~0u;
        simclock::Duration took{};
    };
    std::vector<Call> calls(kCallers);
    std::vector<simclock::Thread> callers;
    for (Call& call : calls) {
        callers.emplace_back([&] {
            const simclock::Duration before = simclock::Now();
            call.status = hxDaStop(hDass);
            call.took = simclock::Now() - before;
            SetEvent(call.answered);
        });
    }
    for (Call& call : calls) {
        ASSERT_EQ(WaitForSingleObject(call.answered, kPromptMs), WAIT_OBJECT_0);
        EXPECT_EQ(call.status, HXNOHWRESPONSE);
        EXPECT_LE(call.took, std::chrono::milliseconds(kShortTimeoutMs + kTickMs));
        CloseHandle(call.answered);
    }
    SetEvent(leave);
    callers.clear();
    EXPECT_EQ(hxDaAbort(hDass), HXNOERROR);
    expectSameBuffers(takeDone(hDass), made);
    CloseHandle(inside);
    CloseHandle(leave);
}

}  // namespace
}  // namespace hxda::test
