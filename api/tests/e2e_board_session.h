// What the end-to-end streaming fixtures share: a board opened through the library, its
// subsystems, the buffers made for them and the notifications a message-only window collects.
// Every wait is bounded on the stand-ins' clock, so that under the virtual clock it is a wait of
// the simulation that lets time pass.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "buffer_checks.h"
#include "hxdaapi32.h"
#include "hxmem32.h"
#include "kernel/testing.h"
#include "simclock/condition.h"
#include "simclock/thread.h"
#include "win32/messages.h"

namespace e2e {

class BoardSession {
  protected:
    // The message-only window of the notifications (its class registered once per process).
    void createWindow(const char* className) {
        if (window != nullptr)
            DestroyWindow(window);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = className;
        RegisterClassA(&windowClass);  // already there after the first test
        window = CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                 nullptr);
        EXPECT_NE(window, nullptr);
    }
    void destroyWindow() {
        if (window != nullptr)
            DestroyWindow(window);
        window = nullptr;
    }

    // Releases the subsystems (for the next case of a table) and the notifications seen.
    void releaseSubsystems() {
        for (HDASS hDass : opened) {
            EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
        }
        opened.clear();
        MSG msg{};
        while (window != nullptr && PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
        }
        messages.clear();
        lParams.clear();
        wParams.clear();
    }
    // Releases the subsystems, the buffers and the board, so that the machine can boot again.
    void releaseAll() {
        releaseSubsystems();
        for (HBUF buffer : buffers)
            hxDmFreeBuffer(buffer);
        buffers.clear();
        if (hDev != 0) {
            EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
        }
        hDev = 0;
    }

    // Every request finished and every close sent (bounded: a completion from the driver's DPC
    // is seen by its issuer a moment before the I/O manager has finished with it).
    static bool nothingOutstanding() {
        for (int waited = 0; waited < 5000; ++waited) {
            if (kernel::testing::OutstandingUserRequests() == 0)
                return kernel::testing::DrainDeferredCloses();
            simclock::SleepFor(std::chrono::milliseconds(1));
        }
        return false;
    }

    HDASS open(std::uint32_t type, std::uint32_t element = 0) {
        HDASS hDass = 0;
        EXPECT_EQ(hxDaGetDASS(hDev, type, element, &hDass), HXNOERROR);
        if (hDass != 0)
            opened.push_back(hDass);
        return hDass;
    }

    // Puts `count` new buffers of `samples` samples on the ready list, each shown to `beforePut`
    // (when given) before the library has it.
    std::vector<HBUF> queue(HDASS hDass, std::size_t count, std::uint32_t samples,
                            const std::function<void(HBUF)>& beforePut = {}) {
        std::vector<HBUF> made;
        for (std::size_t i = 0; i < count; ++i) {
            HBUF buffer = 0;
            EXPECT_EQ(hxDmAllocBuffer(0, samples, &buffer), 0u);
            buffers.push_back(buffer);
            if (beforePut)
                beforePut(buffer);
            EXPECT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
            made.push_back(buffer);
        }
        return made;
    }

    // The window's notifications: collects until `count` have arrived in all (bounded), or for
    // `timeoutMs` when count is 0; at the end, with what the other threads post at that same
    // moment of the clock.
    std::vector<std::uint32_t> waitForMessages(std::size_t count, int timeoutMs = 10000) {
        const auto deadline = simclock::Deadline::After(std::chrono::milliseconds(timeoutMs));
        for (;;) {
            collectMessages();
            if ((count != 0 && messages.size() >= count) || deadline.Passed()) {
                simclock::testing::Settle();
                collectMessages();
                return messages;
            }
            simclock::SleepFor(std::chrono::milliseconds(1));
        }
    }
    void collectMessages() {
        MSG msg{};
        while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
            messages.push_back(msg.message);
            lParams.push_back(msg.lParam);
            wParams.push_back(msg.wParam);
        }
    }
    // Collects until `message` has arrived `times` times in all (bounded); true when it did.
    bool waitForMessage(std::uint32_t message, std::size_t times = 1, int timeoutMs = 10000) {
        const auto deadline = simclock::Deadline::After(std::chrono::milliseconds(timeoutMs));
        while (countOf(message) < times) {
            if (deadline.Passed())
                return false;
            waitForMessages(messages.size() + 1, 20);
        }
        return true;
    }
    std::size_t countOf(std::uint32_t message) const {
        return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), message));
    }

    HDEV hDev = 0;
    HWND window = nullptr;
    std::vector<HDASS> opened;
    std::vector<HBUF> buffers;
    std::vector<std::uint32_t> messages;
    std::vector<LPARAM> lParams;
    std::vector<WPARAM> wParams;  // the subsystem's notification word
};

}  // namespace e2e
