// The MQ5120 through the library when its copy thread cannot answer in time or is asked from its
// own notification procedure: a stop of buffers that fill slowly fails instead of answering
// success, a reset from the procedure ends the transfer, and the release that follows never waits
// for a read the driver keeps.
#include <atomic>
#include <functional>

#include "e2e_mq5120_fixture.h"
#include "simclock/condition.h"
#include "simclock/thread.h"
#include "testing/hxda_testing.h"

namespace mq5120e2e {
namespace {

constexpr auto kPrompt = std::chrono::seconds(10);

class Mq5120Robust : public Mq5120Test {
  protected:
    // Releases the subsystem on a thread of the simulation while the test waits on the clock, so
    // that a release that never returned would fail the test instead of hanging it, and one that
    // needs the board to stop gets the simulated time it needs (a test thread blocked outside the
    // clock's waits would hold the clock still).
    void releaseBounded(HDASS hDass) {
        HANDLE answered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HXSTATUS status = ~0u;
        simclock::Thread releaser([&] {
            status = hxDaReleaseDASS(hDass);
            SetEvent(answered);
        });
        const DWORD waited = WaitForSingleObject(
            answered, static_cast<DWORD>(
                          std::chrono::duration_cast<std::chrono::milliseconds>(kPrompt).count()));
        releaser.join();
        CloseHandle(answered);
        ASSERT_EQ(waited, WAIT_OBJECT_0);
        EXPECT_EQ(status, HXNOERROR);
        opened.erase(std::find(opened.begin(), opened.end(), hDass));
    }
};

constexpr std::uint32_t kShortTimeoutMs = 300;
constexpr double kSlowRate = 1000.0;
constexpr std::uint32_t kSlowBufferSamples = 100000;  // 100 s at the slow rate
constexpr double kQuickRate = 10000.0;
constexpr std::uint32_t kQuickBufferSamples = 100;

TEST_F(Mq5120Robust, AStopOfBuffersThatFillSlowlyFailsAndAResetAndReleaseStillEndIt) {
    boot();
    hxda::testing::setAcknowledgeTimeout(kShortTimeoutMs);
    const HDASS hDass = open();
    configure(hDass, HXWRAP_NONE, kSlowRate, {{0, 1.0}});
    const std::vector<HBUF> made = queue(hDass, 2, kSlowBufferSamples);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    EXPECT_EQ(hxDaStop(hDass), HXNOHWRESPONSE);
    UINT inProcess = 0;
    EXPECT_EQ(hxDaGetQueueSize(hDass, HXQUEUE_INPROCESS, &inProcess), HXNOERROR);
    EXPECT_EQ(inProcess, 2u);
    // The reset aborts the reads the driver holds before it resets.
    EXPECT_EQ(hxDaReset(hDass), HXNOERROR);
    EXPECT_EQ(hxDaGetQueueSize(hDass, HXQUEUE_INPROCESS, &inProcess), HXNOERROR);
    EXPECT_EQ(inProcess, 0u);
    expectSameBuffers(takeDone(hDass), made);
    releaseBounded(hDass);
    hxda::testing::setAcknowledgeTimeout(0);
}

std::atomic<HXSTATUS> g_resetStatus{~0u};

void CALLBACK resetOnFirstBuffer(UINT message, HDASS hDass, LPARAM) {
    HXSTATUS expected = ~0u;
    if (message == HXWM_BUFFERDONE && g_resetStatus.load() == expected)
        g_resetStatus.compare_exchange_strong(expected, hxDaReset(hDass));
}

// Polls until the condition holds, for at most kPrompt of the clock: the test sleeps on the
// clock, so simulated time passes while it waits.
bool eventually(const std::function<bool()>& condition) {
    const auto deadline = simclock::Deadline::After(kPrompt);
    while (!condition()) {
        if (deadline.Passed())
            return false;
        simclock::SleepFor(std::chrono::milliseconds(1));
    }
    return true;
}

TEST_F(Mq5120Robust, AResetFromTheProcedureEndsTheTransferAndTheReleaseFindsNoReadLeft) {
    boot();
    g_resetStatus = ~0u;
    const HDASS hDass = open();
    configure(hDass, HXWRAP_NONE, kQuickRate, {{0, 1.0}});
    ASSERT_EQ(hxDaSetNotificationProcedure(hDass, resetOnFirstBuffer, 0), HXNOERROR);
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    const std::vector<HBUF> made = queue(hDass, 8, kQuickBufferSamples);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(eventually([] { return g_resetStatus.load() != ~0u; }));
    EXPECT_EQ(g_resetStatus.load(), HXNOERROR);
    // The reset's abort ran once the procedure returned: nothing stays in process.
    ASSERT_TRUE(eventually([&] {
        UINT inProcess = 1;
        return hxDaGetQueueSize(hDass, HXQUEUE_INPROCESS, &inProcess) == HXNOERROR &&
               inProcess == 0;
    }));
    expectSameBuffers(takeDone(hDass), made);
    releaseBounded(hDass);
}

}  // namespace
}  // namespace mq5120e2e
