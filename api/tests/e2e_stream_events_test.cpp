// Driver events through the copy thread's pending event requests: errors that abort the transfer,
// device removal, event values, and the subsystem streaming again afterwards.
#include <mutex>

#include "stream_fixture.h"

namespace hxda::test {
namespace {

using StreamEvents = StreamFixture;

// A notification procedure that records what it is told and holds the copy thread inside the
// notification of HXWM_EVENTDONE until the test releases it, so that what the test does meanwhile
// waits for the thread's next wait all at once.
struct HeldProcedure {
    std::mutex mutex;
    std::vector<std::uint32_t> calls;
    HANDLE inside = nullptr;
    HANDLE release = nullptr;
    std::vector<std::uint32_t> seen() {
        std::lock_guard guard(mutex);
        return calls;
    }
};
HeldProcedure g_held;

void CALLBACK holdAtEventDone(UINT message, HDASS, LPARAM) {
    {
        std::lock_guard guard(g_held.mutex);
        g_held.calls.push_back(message);
    }
    if (message == HXWM_EVENTDONE) {
        SetEvent(g_held.inside);
        WaitForSingleObject(g_held.release, 10000);
    }
}

TEST_F(StreamEvents, ErrorEventsAbortAndReport) {
    struct Case {
        const char* name;
        std::uint32_t event;
        std::uint32_t message;
    };
    for (const Case c : {Case{"Overrun", HXEV_OVERRUN, HXWM_OVERRUNERROR},
                         Case{"Underrun", HXEV_UNDERRUN, HXWM_UNDERRUNERROR},
                         Case{"EventError", HXEV_EVENTERROR, HXWM_EVENTERROR},
                         Case{"TriggerError", HXEV_TRIGGERERROR, HXWM_TRIGGERERROR}}) {
        SCOPED_TRACE(c.name);
        restart();
        const HDASS hDass = open();
        configure(hDass);
        const std::vector<HBUF> made = queue(hDass, 4);
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 4));
        streamer::CompleteReads(u"\\AD0", 1);
        streamer::RaiseEvent(u"\\AD0", c.event);
        ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
        EXPECT_EQ(waitForMessages(2), (std::vector<std::uint32_t>{HXWM_BUFFERDONE, c.message}));
        EXPECT_EQ(messages(30).size(), 2u);
        std::vector<HBUF> done = takeDone(hDass);
        expectSameBuffers(done, made);
        // Usable again: the same buffers stream to the end of the queue.
        for (HBUF buffer : done)
            ASSERT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
        ASSERT_TRUE(streamer::WaitForPendingEventRequests(u"\\AD0", 3));
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 4));
        streamer::CompleteReads(u"\\AD0", 4);
        ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
        EXPECT_EQ(waitForMessages(7).back(), HXWM_QUEUEDONE);
        expectSameBuffers(takeDone(hDass), made);
    }
}

TEST_F(StreamEvents, AReadDoneBeforeAnErrorEventIsReportedInEitherArrivalOrder) {
    g_held.inside = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    g_held.release = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    for (const bool readFirst : {true, false}) {
        SCOPED_TRACE(readFirst ? "read, then overrun" : "overrun, then read");
        restart();
        {
            std::lock_guard guard(g_held.mutex);
            g_held.calls.clear();
        }
        const HDASS hDass = open();
        configure(hDass);
        ASSERT_EQ(hxDaSetNotificationProcedure(hDass, holdAtEventDone, 0), HXNOERROR);
        ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
        const std::vector<HBUF> made = queue(hDass, 4);
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 4));
        streamer::RaiseEvent(u"\\AD0", HXEV_EVENTDONE);
        ASSERT_EQ(WaitForSingleObject(g_held.inside, 10000), WAIT_OBJECT_0);
        if (readFirst) {
            ASSERT_EQ(streamer::CompleteReads(u"\\AD0", 1), 1u);
        }
        streamer::RaiseEvent(u"\\AD0", HXEV_OVERRUN);
        if (!readFirst) {
            ASSERT_EQ(streamer::CompleteReads(u"\\AD0", 1), 1u);
        }
        SetEvent(g_held.release);
        ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
        // The finished buffer is reported once, before the overrun that aborts the rest.
        EXPECT_EQ(g_held.seen(),
                  (std::vector<std::uint32_t>{HXWM_EVENTDONE, HXWM_BUFFERDONE, HXWM_OVERRUNERROR}));
        const std::vector<HBUF> done = takeDone(hDass);
        expectSameBuffers(done, made);
        ASSERT_FALSE(done.empty());
        EXPECT_EQ(done.front(), made.front());
        EXPECT_EQ(validSamples(done.front()), 64u);
    }
    CloseHandle(g_held.inside);
    CloseHandle(g_held.release);
}

TEST_F(StreamEvents, OverrunWhenNotRunningIsNotReported) {
    const HDASS hDass = open();
    configure(hDass);
    streamer::RaiseEvent(u"\\AD0", HXEV_OVERRUN);
    // Renewed: all three requests are pending again, and nothing was reported.
    ASSERT_TRUE(streamer::WaitForPendingEventRequests(u"\\AD0", 3));
    EXPECT_TRUE(messages(30).empty());
    EXPECT_EQ(state(hDass), HXSTATE_READY);
}

TEST_F(StreamEvents, DeviceRemovalEndsTheTransferAndIsNotRenewed) {
    const HDASS hDass = open();
    configure(hDass);
    const std::vector<HBUF> made = queue(hDass, 3);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 3));
    streamer::RemoveDevice(u"\\AD0");
    ASSERT_TRUE(waitForState(hDass, HXSTATE_READY));
    // The event and the failed reads reach the copy thread in either order.
    std::vector<std::uint32_t> reported = waitForMessages(2);
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(reported, (std::vector<std::uint32_t>{HXWM_QUEUESTOPPED, HXWM_DEVICEREMOVAL}));
    EXPECT_EQ(streamer::PendingEventRequests(u"\\AD0"), 2u);
    const std::vector<HBUF> done = takeDone(hDass);
    expectSameBuffers(done, made);
    EXPECT_EQ(hxDaStop(hDass), HXSUBSYSNOTRUNNING);
    // The board is back: the subsystem is configured and streams again.
    ASSERT_EQ(hxDaSetWrapMode(hDass, HXWRAP_MULTIPLE), HXNOERROR);
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    for (HBUF buffer : done)
        ASSERT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
    ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
    ASSERT_TRUE(streamer::WaitForPendingReads(u"\\AD0", 3));
    streamer::CompleteReads(u"\\AD0", 1);
    EXPECT_EQ(waitForMessages(3).back(), HXWM_BUFFERDONE);
}

TEST_F(StreamEvents, EventsAndTheirValues) {
    struct Case {
        const char* name;
        std::uint32_t type;
        std::uint32_t event;
        std::uint32_t data;
        Notification expected;
        std::int32_t state;
    };
    const std::vector<Case> cases = {
        // A counter's event value ends its measurement and travels as the message's value.
        {"EventValue", HXSS_CT, HXEV_EVENTVALUE, 1234, {HXWM_EVENTDONE, 0, 1234}, HXSTATE_READY},
        {"EventDone", HXSS_CT, HXEV_EVENTDONE, 99, {HXWM_EVENTDONE, 0, 0}, HXSTATE_RUNNING},
        {"BufferReused",
         HXSS_AD,
         HXEV_BUFFERREUSED,
         0,
         {HXWM_BUFFERREUSED, 0, 77},
         HXSTATE_RUNNING},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        tables.set(HXSSC_NOTIFICATIONS, 1);
        const HDASS hDass = open(c.type);
        configure(hDass, c.type == HXSS_CT ? 0 : HXWRAP_NONE);
        if (c.type == HXSS_AD)
            queue(hDass, 1);
        ASSERT_EQ(hxDaStart(hDass), HXNOERROR);
        streamer::RaiseEvent(fileOf(c.type, 0), c.event, c.data);
        ASSERT_EQ(waitForNotifications(1).size(), 1u);
        EXPECT_EQ(received[0].message, c.expected.message);
        EXPECT_EQ(received[0].wParam, static_cast<WPARAM>(hDass));
        EXPECT_EQ(received[0].lParam, c.expected.lParam);
        EXPECT_EQ(state(hDass), c.state);
        if (c.state == HXSTATE_RUNNING) {
            EXPECT_EQ(c.type == HXSS_CT ? hxDaAbort(hDass) : hxDaStop(hDass), HXNOERROR);
        }
        EXPECT_EQ(state(hDass), HXSTATE_READY);
    }
}

}  // namespace
}  // namespace hxda::test
