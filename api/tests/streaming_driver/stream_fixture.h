// The fixture of the streaming tests: the scripted streaming driver loaded, a board device opened
// on it, subsystems opened with a real copy thread, and a message-only window on the test's
// thread that collects the notifications. It runs on the virtual clock: the test's polls hold it
// still, so simulated time passes only while the test waits inside the library and nothing else
// of the simulation runs, and a wait that should answer at once is shown to take no time at all.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "../api_test_support.h"
#include "../buffer_checks.h"
#include "core/engine.h"
#include "kernel/testing.h"
#include "kernel/wide.h"
#include "ops/make_copy_thread.h"
#include "simclock/thread.h"
#include "streaming_driver.h"
#include "win32/messages.h"

namespace hxda::test {

using e2e::expectSameBuffers;
using e2e::queueSize;
using e2e::takeDone;
using e2e::validSamples;

struct Notification {
    std::uint32_t message;
    WPARAM wParam;
    LPARAM lParam;
};

class StreamFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::resetHandleTables();
        ASSERT_EQ(streamer::Load(), 0);
        ASSERT_EQ(testing::openTestDeviceAt(streamer::kDevicePath, &hDev), HXNOERROR);
        tables.set(HXSSC_WRAP_SINGLE, 1);
        tables.set(HXSSC_DATAFLOW_CONTPRETRIG, 1);
        tables.set(HXSSC_DATAFLOW_CONTABOUTTRIG, 1);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "hxdaStreamTests";
        RegisterClassA(&windowClass);  // already there after the first test
        window = CreateWindowExA(0, "hxdaStreamTests", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        testing::resetHandleTables();  // ends and joins the copy threads
        EXPECT_EQ(kernel::testing::OutstandingUserRequests(), 0u);
        DestroyWindow(window);
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
        streamer::Unload();
    }

    static std::u16string fileOf(std::uint32_t type, std::uint32_t element) {
        static const char16_t* const words[] = {u"AD", u"DA", u"DIN", u"DOUT", u"SRL", u"CT"};
        return std::u16string(u"\\") + words[type] + kernel::WideNumber(element);
    }

    // Opens a subsystem on the streaming driver and starts its copy thread, as opening a
    // subsystem with continuous transfers does.
    HDASS open(std::uint32_t type = HXSS_AD, std::uint32_t element = 0) {
        SubsystemParts parts;
        parts.type = type;
        parts.element = element;
        parts.personality = tables.personality();
        HDASS hDass = 0;
        EXPECT_EQ(testing::openTestSubsystemAt(hDev, std::move(parts), &hDass), HXNOERROR);
        const std::shared_ptr<SubsystemRecord> record = findSubsystem(hDass);
        if (!record)
            return 0;
        record->copyThread = makeCopyThread(*record);
        EXPECT_NE(record->copyThread, nullptr);
        EXPECT_TRUE(streamer::WaitForPendingEventRequests(fileOf(type, element), 3));
        return hDass;
    }

    // Notifications to the fixture's window (lParam `value`), a wrap mode (0: none to set) and a
    // data flow, then the configure request.
    void configure(HDASS hDass, std::uint32_t wrap = HXWRAP_NONE,
                   std::uint32_t flow = HXDF_CONTINUOUS, LPARAM value = 77) {
        ASSERT_EQ(hxDaSetWndHandle(hDass, window, value), HXNOERROR);
        ASSERT_EQ(hxDaSetDataFlow(hDass, flow), HXNOERROR);
        if (wrap != 0) {
            ASSERT_EQ(hxDaSetWrapMode(hDass, wrap), HXNOERROR);
        }
        ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    }

    // Puts `count` new buffers of `samples` 16-bit samples on the ready list.
    std::vector<HBUF> queue(HDASS hDass, std::size_t count, std::uint32_t samples = 64) {
        std::vector<HBUF> made;
        for (std::size_t i = 0; i < count; ++i) {
            HBUF buffer = 0;
            EXPECT_EQ(hxDmAllocBuffer(0, samples, &buffer), 0u);
            EXPECT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
            made.push_back(buffer);
        }
        return made;
    }

    // Releases everything for the next case of a table.
    void restart() {
        testing::resetHandleTables();
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
        EXPECT_EQ(testing::openTestDeviceAt(streamer::kDevicePath, &hDev), HXNOERROR);
        messages(0);
        received.clear();
    }

    static std::int32_t state(HDASS hDass) {
        return std::atomic_ref<std::int32_t>(testing::configurationOf(hDass)->state).load();
    }
    // Takes every buffer left in the ready list.
    static std::vector<HBUF> takeReady(HDASS hDass) {
        std::vector<HBUF> ready;
        const std::shared_ptr<SubsystemRecord> record = findSubsystem(hDass);
        for (HBUF buffer = 0; hxDmGetBufferFromList(record->readyList, &buffer) == 0 && buffer != 0;
             buffer = 0)
            ready.push_back(buffer);
        return ready;
    }

    // Collects the window's notifications until `count` have arrived in all (bounded).
    const std::vector<Notification>& waitForNotifications(std::size_t count, int timeoutMs = 5000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            MSG msg{};
            while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
                received.push_back({msg.message, msg.wParam, msg.lParam});
            if (received.size() >= count || std::chrono::steady_clock::now() >= deadline)
                return received;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // The message codes received so far (after collecting for `settleMs`).
    std::vector<std::uint32_t> messages(int settleMs = 0) {
        waitForNotifications(~std::size_t{0}, settleMs);
        std::vector<std::uint32_t> codes;
        for (const Notification& n : received)
            codes.push_back(n.message);
        return codes;
    }
    std::vector<std::uint32_t> waitForMessages(std::size_t count) {
        waitForNotifications(count);
        return messages();
    }

    // Polls (bounded) until the subsystem's state is `expected`.
    static bool waitForState(HDASS hDass, std::int32_t expected, int timeoutMs = 5000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (state(hDass) != expected) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    simclock::testing::VirtualClock clock;  // before the driver and the copy threads
    BoardTables tables;
    HDEV hDev = 0;
    HWND window = nullptr;
    std::vector<Notification> received;
};

}  // namespace hxda::test
