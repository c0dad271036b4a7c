// The methods: single values, counters and frequency measurement, the buffer queue, capability
// questions, enumerations fired as events, and the notification window's events.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "control_fixture.h"
#include "hxmem32.h"

namespace controltest {
namespace {

namespace d = mqacq32::dispid;
namespace e = mqacq32::event;
using Methods = ControlTest;

LPARAM FloatBits(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return static_cast<LPARAM>(bits);
}

TEST_F(Methods, SingleValuesAreReadAndWritten) {
    open(kMq5204, kAdIndex);
    ASSERT_TRUE(control->put(d::DataFlow, Variant::Short(1)).ok());
    ASSERT_TRUE(control->call(d::Config).ok());
    const Outcome read = control->call(d::GetSingleValue, {Variant::Long(0), Variant::Double(1.0)});
    ASSERT_TRUE(read.ok()) << read.description;
    EXPECT_EQ(read.value.vt, VT_I4);
    INT expected = 0;
    ASSERT_EQ(hxDaVoltsToCode(-10.0, 10.0, 1.0, 16, HXENCODING_BINARY, 2.5, &expected), HXNOERROR);
    EXPECT_EQ(read.value.lVal, expected);  // the board list's 2.5 V on channel 0

    ASSERT_TRUE(control->put(d::SubSystem, Variant::Short(kDaIndex)).ok());
    ASSERT_TRUE(control->put(d::DataFlow, Variant::Short(1)).ok());
    ASSERT_TRUE(control->call(d::Config).ok());
    EXPECT_TRUE(
        control
            ->call(d::PutSingleValue, {Variant::Long(0), Variant::Double(1.0), Variant::Long(1234)})
            .ok());
    EXPECT_TRUE(Raised(control->call(d::PutSingleValue,
                                     {Variant::Long(7), Variant::Double(1.0), Variant::Long(0)}),
                       StatusError(HXINVALIDCHANNEL)));
}

TEST_F(Methods, CountersCountAndMeasureWithTheResultOnTheContainersThread) {
    open(kMq5204, kCt0Index);
    ASSERT_TRUE(control->put(d::CTMode, Variant::Short(0)).ok());
    ASSERT_TRUE(control->put(d::DataFlow, Variant::Short(0)).ok());
    ASSERT_TRUE(control->call(d::Config).ok());
    ASSERT_TRUE(control->call(d::Start).ok());
    LONG counted = 0;
    EXPECT_TRUE(PumpUntil([&] {
        counted = control->call(d::CTReadEvents).value.lVal;
        return counted > 0;
    }));
    ASSERT_TRUE(control->call(d::Abort).ok());

    ASSERT_TRUE(control->call(d::MeasureFrequency, {Variant::Double(0.05)}).ok());
    ASSERT_TRUE(PumpUntil([&] { return control->events.count(e::MeasureDone) == 1; }));
    const SeenEvent& done = control->events.events.back();
    EXPECT_EQ(done.thread, std::this_thread::get_id());
    ASSERT_EQ(done.arguments.size(), 1u);
    EXPECT_EQ(done.arguments[0].vt, VT_R4);
    EXPECT_GT(done.arguments[0].fltVal, 0.0f);  // the 1 kHz square wave's edges per second

    EXPECT_TRUE(Raised(control->call(d::MeasureFrequency, {Variant::Double(0.0005)}),
                       StatusError(HXINVALIDCOUNTDURATION)));
}

TEST_F(Methods, TheQueueHandsBuffersToTheLibraryAndBack) {
    open(kMq5204, kAdIndex);
    EXPECT_EQ(control->getLong(d::Queue), 0);  // nothing done: 0, no error
    HBUF buffers[2] = {};
    for (HBUF& buffer : buffers) {
        ASSERT_EQ(hxDmAllocBuffer(0, 100, &buffer), 0u);
        ASSERT_TRUE(control->put(d::Queue, Variant::Long(static_cast<LONG>(buffer))).ok());
    }
    EXPECT_EQ(control->getLong(d::QueueSize, {Variant::Short(0)}), 2);
    EXPECT_EQ(control->getLong(d::QueueSize, {Variant::Short(1)}), 0);
    EXPECT_EQ(control->getLong(d::QueueSize, {Variant::Short(2)}), 0);
    EXPECT_TRUE(Raised(control->put(d::Queue, Variant::Long(static_cast<LONG>(buffers[0]))),
                       StatusError(HXBUFFERONLIST)));
    ASSERT_TRUE(control->call(d::Flush).ok());
    EXPECT_EQ(control->getLong(d::QueueSize, {Variant::Short(1)}), 2);
    EXPECT_EQ(static_cast<HBUF>(control->getLong(d::Queue)), buffers[0]);
    EXPECT_EQ(static_cast<HBUF>(control->getLong(d::Queue)), buffers[1]);
    for (HBUF buffer : buffers)
        EXPECT_EQ(hxDmFreeBuffer(buffer), 0u);  // the container's again
    EXPECT_TRUE(
        Raised(control->get(d::QueueSize, {Variant::Short(3)}), StatusError(HXINVALIDQUEUE)));

    // Without a subsystem the queue neither takes nor gives.
    ASSERT_TRUE(control->put(d::SubSysType, Variant::Short(HXSS_CT)).ok());
    ASSERT_TRUE(control->put(d::SubSysElement, Variant::Short(1)).ok());
    ASSERT_TRUE(control->put(d::SubSysType, Variant::Short(HXSS_DIN)).ok());  // no element 1
    ASSERT_EQ(control->getLong(d::hDass), 0);
    EXPECT_TRUE(control->put(d::Queue, Variant::Long(12345)).ok());
    EXPECT_EQ(control->getLong(d::Queue), 0);
}

TEST_F(Methods, CapabilityQuestionsAnswerTheLibrarysValues) {
    open(kMq5204, kAdIndex);
    EXPECT_EQ(control->call(d::GetDevCaps, {Variant::Short(HXSS_CT)}).value.iVal, 2);
    const Outcome notifications =
        control->call(d::GetSSCaps, {Variant::Short(HXSSC_NOTIFICATIONS)});
    EXPECT_EQ(notifications.value.vt, VT_I4);
    EXPECT_EQ(notifications.value.lVal, 1);
    const Outcome top = control->call(d::GetSSCapsEx, {Variant::Short(HXSSC_MAXFREQ)});
    EXPECT_EQ(top.value.vt, VT_R8);
    EXPECT_EQ(top.value.dblVal, 100000.0);
    EXPECT_TRUE(
        Raised(control->call(d::GetDevCaps, {Variant::Short(9)}), StatusError(HXINVALIDSUBSYS)));
    EXPECT_TRUE(control->call(d::PowerOn).ok());
}

TEST_F(Methods, EnumerationsFireOneEventPerItemDuringTheCall) {
    ASSERT_TRUE(control->call(d::EnumBoards).ok());
    ASSERT_EQ(control->events.count(e::EnumBoards), 4u);
    bool sawMq5204 = false;
    for (const SeenEvent& seen : control->events.events) {
        ASSERT_EQ(seen.arguments.size(), 2u);
        if (com::NarrowFromBstr(seen.arguments[0].bstrVal) == kMq5204) {
            sawMq5204 = true;
            EXPECT_EQ(com::NarrowFromBstr(seen.arguments[1].bstrVal), "Mq5200");
        }
    }
    EXPECT_TRUE(sawMq5204);

    open(kMq5204, kAdIndex);
    control->events.events.clear();
    ASSERT_TRUE(control->call(d::EnumSS).ok());
    ASSERT_EQ(control->events.events.size(), 6u);
    const SeenEvent& last = control->events.events.back();
    EXPECT_EQ(last.id, e::EnumSubsystems);
    EXPECT_EQ(com::NarrowFromBstr(last.arguments[0].bstrVal), "CT Unit 1");
    EXPECT_EQ(last.arguments[1].iVal, HXSS_CT);
    EXPECT_EQ(last.arguments[2].iVal, 1);

    control->events.events.clear();
    ASSERT_TRUE(control->call(d::EnumSSCaps, {Variant::Short(2)}).ok());  // gains
    ASSERT_EQ(control->events.events.size(), 4u);
    const float gains[] = {1.0f, 2.0f, 4.0f, 8.0f};
    for (std::size_t i = 0; i < 4; ++i) {
        const SeenEvent& seen = control->events.events[i];
        EXPECT_EQ(seen.id, e::EnumSSCaps);
        EXPECT_EQ(seen.arguments[0].iVal, 2);
        EXPECT_EQ(seen.arguments[1].fltVal, gains[i]);
        EXPECT_EQ(seen.arguments[2].fltVal, 0.0f);
    }
    EXPECT_TRUE(
        Raised(control->call(d::EnumSSCaps, {Variant::Short(7)}), StatusError(HXCANTENUMCAP)));
}

// Every notification the library posts, from whichever thread, fires its event on the thread
// that made the control.
TEST_F(Methods, PostedNotificationsFireTheirEventsOnTheContainersThread) {
    open(kMq5204, kAdIndex);
    HWND window = nullptr;
    ASSERT_EQ(hxDaGetWndHandle(hDass(), &window), HXNOERROR);
    ASSERT_NE(window, nullptr);
    struct Route {
        UINT message;
        DISPID event;
    };
    const Route routes[] = {
        {HXWM_TRIGGERERROR, e::TriggerError},
        {HXWM_UNDERRUNERROR, e::UnderrunError},
        {HXWM_OVERRUNERROR, e::OverrunError},
        {HXWM_BUFFERDONE, e::BufferDone},
        {HXWM_QUEUEDONE, e::QueueDone},
        {HXWM_BUFFERREUSED, e::BufferReused},
        {HXWM_QUEUESTOPPED, e::QueueStopped},
        {HXWM_EVENTERROR, e::SSEventError},
        {HXWM_MEASUREDONE, e::MeasureDone},
        {HXWM_MQCONNECTDONE, e::MQConnectDone},
        {HXWM_MQCONNECTSTOPPED, e::MQConnectStopped},
        {HXWM_EVENTDONE, e::SSEventDone},
        {HXWM_PRETRIGBUFFERDONE, e::PreTrigBufferDone},
        {HXWM_DEVICEREMOVAL, e::DeviceRemoval},
        {HXWM_IOCOMPLETE, e::IoComplete},
    };
    std::thread poster([&] {
        for (const Route& route : routes) {
            const LPARAM lParam = route.message == HXWM_MEASUREDONE ? FloatBits(1000.0f)
                                  : route.message == HXWM_EVENTDONE ? 5
                                                                    : 0;
            PostMessageA(window, route.message, hDass(), lParam);
        }
        PostMessageA(window, WM_USER + 99, 0, 0);  // not a notification: no event
    });
    poster.join();
    ASSERT_TRUE(PumpUntil([&] { return control->events.events.size() >= std::size(routes); }));
    ASSERT_EQ(control->events.events.size(), std::size(routes));
    for (std::size_t i = 0; i < std::size(routes); ++i) {
        const SeenEvent& seen = control->events.events[i];
        EXPECT_EQ(seen.id, routes[i].event);
        EXPECT_EQ(seen.thread, std::this_thread::get_id());
    }
    EXPECT_EQ(control->events.events[8].arguments[0].fltVal, 1000.0f);
    EXPECT_EQ(control->events.events[11].arguments[0].lVal, 5);
}

TEST_F(Methods, FrozenEventsAreDroppedAndASubsystemWithoutNotificationsIsNotBound) {
    open(kMq5204, kAdIndex);
    HWND window = nullptr;
    ASSERT_EQ(hxDaGetWndHandle(hDass(), &window), HXNOERROR);
    Ref<IOleControl> oleControl;
    ASSERT_EQ(control->dispatch->QueryInterface(IID_IOleControl, oleControl.outVoid()), S_OK);
    oleControl->FreezeEvents(TRUE);
    oleControl->FreezeEvents(TRUE);
    PostMessageA(window, HXWM_BUFFERDONE, 0, 0);
    oleControl->FreezeEvents(FALSE);
    PostMessageA(window, HXWM_QUEUEDONE, 0, 0);
    PumpUntil([] { return false; }, 50);
    EXPECT_TRUE(control->events.events.empty());
    oleControl->FreezeEvents(FALSE);
    PostMessageA(window, HXWM_QUEUESTOPPED, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !control->events.events.empty(); }));
    EXPECT_EQ(control->events.events[0].id, e::QueueStopped);

    // The MQ5310's port cannot notify: the control opens it without handing it its window
    // (which the library would refuse).
    open(kMq5310, kDinIndex);
    HWND bound = nullptr;
    EXPECT_EQ(hxDaGetWndHandle(hDass(), &bound), HXNOTSUPPORTED);
    EXPECT_EQ(control->getLong(d::LastError), 0);
}

}  // namespace
}  // namespace controltest
