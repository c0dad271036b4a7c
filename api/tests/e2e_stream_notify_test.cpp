// A notification procedure in place of the window: it alone is called, with the subsystem's
// handle and its own value, on the copy thread, and it may take finished buffers itself.
#include <mutex>

#include "stream_fixture.h"

namespace hxda::test {
namespace {

// What the procedure saw; reset by each test.
struct ProcedureLog {
    std::mutex mutex;
    std::vector<Notification> calls;
    std::vector<HBUF> taken;
    bool takeBuffers = false;
};
ProcedureLog g_log;

void CALLBACK recordNotification(UINT message, HDASS hDass, LPARAM value) {
    std::lock_guard guard(g_log.mutex);
    g_log.calls.push_back({message, static_cast<WPARAM>(hDass), value});
    if (g_log.takeBuffers && message == HXWM_BUFFERDONE) {
        HBUF buffer = 0;
        // No caller waits for the copy thread here, so the procedure may use its subsystem.
        if (hxDaGetBuffer(hDass, &buffer) == HXNOERROR && buffer != 0)
            g_log.taken.push_back(buffer);
    }
}

class StreamNotify : public StreamFixture {
  protected:
    void SetUp() override {
        StreamFixture::SetUp();
        std::lock_guard guard(g_log.mutex);
        g_log.calls.clear();
        g_log.taken.clear();
        g_log.takeBuffers = false;
    }
    std::vector<Notification> calls() {
        std::lock_guard guard(g_log.mutex);
        return g_log.calls;
    }
};

TEST_F(StreamNotify, ProcedureReplacesTheWindow) {
    const HDASS hDass = open();
    configure(hDass);
    ASSERT_EQ(hxDaSetNotificationProcedure(hDass, recordNotification, 4242), HXNOERROR);
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    queue(hDass, 2);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 2));
    streamer::CompleteReads(u"\\AD0", 2);
    ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
    streamer::RaiseEvent(u"\\AD0", HXEV_EVENTVALUE, 31);
    ASSERT_TRUE(streamer::WaitForPendingEventRequests(u"\\AD0", 3));
    const std::vector<Notification> seen = calls();
    const std::vector<std::uint32_t> expected = {HXWM_BUFFERDONE, HXWM_BUFFERDONE, HXWM_QUEUEDONE,
                                                 HXWM_EVENTDONE};
    ASSERT_EQ(seen.size(), expected.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].message, expected[i]);
        EXPECT_EQ(seen[i].wParam, static_cast<WPARAM>(hDass));
        // Only the event carries its own value.
        EXPECT_EQ(seen[i].lParam, expected[i] == HXWM_EVENTDONE ? 31 : 4242);
    }
    EXPECT_TRUE(messages(30).empty());
}

TEST_F(StreamNotify, ProcedureTakesFinishedBuffersItself) {
    const HDASS hDass = open();
    configure(hDass);
    ASSERT_EQ(hxDaSetNotificationProcedure(hDass, recordNotification, 0), HXNOERROR);
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    {
        std::lock_guard guard(g_log.mutex);
        g_log.takeBuffers = true;
    }
    streamer::SetUnpaced(u"\\AD0", true);
    const std::vector<HBUF> made = queue(hDass, 12);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (calls().empty() || calls().back().message != HXWM_QUEUEDONE) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard guard(g_log.mutex);
    EXPECT_EQ(g_log.taken, made);
    EXPECT_EQ(g_log.calls.size(), made.size() + 1);
}

}  // namespace
}  // namespace hxda::test
