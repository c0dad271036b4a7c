// The fixture of the streaming tests on stand-in boards: a simulated machine with one board of the
// family under test, opened through the library's exports, subsystems with their copy threads, a
// message-only window that collects the notifications, and buffers that come back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "hxdaapi32.h"
#include "hxmem32.h"
#include "kernel/testing.h"
#include "sim/machine_testing.h"
#include "win32/messages.h"

namespace simstream {

// A board of a family with its streaming subsystems. The A/D's channels 0 and 1 carry patterns, so
// that every sample's code is known; counter 0 counts a 1 kHz square wave.
struct BoardUnderTest {
    const char* family;  // as the board list and the fault injection name it
    const char* line;    // the board-list line
    const char* name;    // the board's name in the library
    std::uint32_t serialNumber;
    bool continuousOutput;  // its D/A 0 streams
    bool measures;          // its counter 0 starts in a continuous flow and counts events
};

// The families the stand-in driver serves (MQ5120 boards have their driver's own suite).
inline const BoardUnderTest kBoards[] = {
    {"Mq5200", "Mq5200 0x5204 0x20 AD0.0=pattern:1,2,3 AD0.1=pattern:100,200 CT0.0=square:1:1000",
     "Mq5200(00)", 0x20, false, true},
    {"MQ5310", "MQ5310 1 0x4D2 AD0.0=pattern:1,2,3 AD0.1=pattern:100,200 CT0.0=square:1:1000",
     "MQ5310(00)", 0x4D2, true, false},
};

inline void PrintTo(const BoardUnderTest& board, std::ostream* out) {
    *out << board.line;
}

inline std::string BoardName(const ::testing::TestParamInfo<BoardUnderTest>& info) {
    return info.param.family;
}

// The codes of the A/D's channel list {0, 1}: sample n reads channel n % 2.
inline std::uint16_t ExpectedCode(std::size_t n) {
    const std::uint16_t first[3] = {1, 2, 3};
    const std::uint16_t second[2] = {100, 200};
    return n % 2 == 0 ? first[(n / 2) % 3] : second[(n / 2) % 2];
}

class SimStream : public ::testing::TestWithParam<BoardUnderTest> {
  protected:
    void SetUp() override {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "simStreamTests";
        RegisterClassA(&windowClass);  // already there after the first test
        window = CreateWindowExA(0, "simStreamTests", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(hxDaInitialize(GetParam().name, &hDev), HXNOERROR);
    }
    void TearDown() override {
        releaseAll();
        DestroyWindow(window);
        EXPECT_TRUE(nothingOutstanding());
    }

    // Releases the subsystems (for the next case of a table) and the notifications seen.
    void releaseSubsystems() {
        for (HDASS hDass : opened) {
            EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
        }
        opened.clear();
        MSG msg{};
        while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
        }
        messages.clear();
        lParams.clear();
    }
    // Releases the subsystems and the board, so that the machine can boot again.
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
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
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

    // A continuous transfer at `rate` over channels {0, 1} (one channel on an output), with
    // notifications to the fixture's window.
    void configure(HDASS hDass, std::uint32_t wrap, double rate, std::uint32_t channels = 2) {
        ASSERT_EQ(hxDaSetWndHandle(hDass, window, 77), HXNOERROR);
        ASSERT_EQ(hxDaSetDataFlow(hDass, HXDF_CONTINUOUS), HXNOERROR);
        ASSERT_EQ(hxDaSetWrapMode(hDass, wrap), HXNOERROR);
        ASSERT_EQ(hxDaSetClockFrequency(hDass, rate), HXNOERROR);
        ASSERT_EQ(hxDaSetChannelListSize(hDass, channels), HXNOERROR);
        for (std::uint32_t entry = 0; entry < channels; ++entry)
            ASSERT_EQ(hxDaSetChannelListEntry(hDass, entry, entry), HXNOERROR);
        ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    }

    // Puts `count` new buffers of `samples` samples on the ready list.
    std::vector<HBUF> queue(HDASS hDass, std::size_t count, std::uint32_t samples) {
        std::vector<HBUF> made;
        for (std::size_t i = 0; i < count; ++i) {
            HBUF buffer = 0;
            EXPECT_EQ(hxDmAllocBuffer(0, samples, &buffer), 0u);
            buffers.push_back(buffer);
            EXPECT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
            made.push_back(buffer);
        }
        return made;
    }

    static std::vector<HBUF> takeDone(HDASS hDass) {
        std::vector<HBUF> done;
        for (;;) {
            HBUF buffer = 0;
            EXPECT_EQ(hxDaGetBuffer(hDass, &buffer), HXNOERROR);
            if (buffer == 0)
                return done;
            done.push_back(buffer);
        }
    }
    static void expectSameBuffers(std::vector<HBUF> back, std::vector<HBUF> made) {
        std::sort(back.begin(), back.end());
        std::sort(made.begin(), made.end());
        EXPECT_EQ(back, made);
    }
    static std::uint32_t validSamples(HBUF buffer) {
        std::uint32_t valid = ~0u;
        EXPECT_EQ(hxDmGetValidSamples(buffer, &valid), 0u);
        return valid;
    }
    static std::vector<std::uint16_t> samplesOf(HBUF buffer) {
        std::vector<std::uint16_t> samples(validSamples(buffer));
        if (!samples.empty()) {
            EXPECT_EQ(hxDmCopyFromBuffer(buffer, samples.data(),
                                         static_cast<std::uint32_t>(samples.size())),
                      0u);
        }
        return samples;
    }

    // The window's notifications: collects until `count` have arrived (bounded), or for
    // `settleMs` when count is 0.
    std::vector<std::uint32_t> waitForMessages(std::size_t count, int timeoutMs = 10000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            MSG msg{};
            while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
                messages.push_back(msg.message);
                lParams.push_back(msg.lParam);
            }
            if ((count != 0 && messages.size() >= count) ||
                std::chrono::steady_clock::now() >= deadline)
                return messages;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // Collects until `message` has arrived `times` times in all (bounded); true when it did.
    bool waitForMessage(std::uint32_t message, std::size_t times = 1, int timeoutMs = 10000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (countOf(message) < times) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            waitForMessages(messages.size() + 1, 20);
        }
        return true;
    }
    std::size_t countOf(std::uint32_t message) const {
        return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), message));
    }

    sim::testing::ScopedSimulatedMachine machine{{GetParam().line}};
    HDEV hDev = 0;
    HWND window = nullptr;
    std::vector<HDASS> opened;
    std::vector<HBUF> buffers;
    std::vector<std::uint32_t> messages;
    std::vector<LPARAM> lParams;
};

}  // namespace simstream
