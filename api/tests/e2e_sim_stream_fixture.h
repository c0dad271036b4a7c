// The fixture of the streaming tests on stand-in boards: a simulated machine with one board of the
// family under test, opened through the library's exports, subsystems with their copy threads, a
// message-only window that collects the notifications, and buffers that come back. The machine runs
// on the virtual clock, so the boards' clocks hold on a loaded machine.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "e2e_board_session.h"
#include "hxdaapi32.h"
#include "hxmem32.h"
#include "kernel/testing.h"
#include "sim/machine_testing.h"
#include "simclock/thread.h"
#include "win32/messages.h"

namespace simstream {

using namespace e2e;  // the buffer checks

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

class SimStream : public ::testing::TestWithParam<BoardUnderTest>, protected e2e::BoardSession {
  protected:
    void SetUp() override {
        createWindow("simStreamTests");
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(hxDaInitialize(GetParam().name, &hDev), HXNOERROR);
    }
    void TearDown() override {
        releaseAll();
        destroyWindow();
        EXPECT_TRUE(nothingOutstanding());
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

    simclock::testing::VirtualClock clock;  // before the machine, which lives on it
    sim::testing::ScopedSimulatedMachine machine{{GetParam().line}};
};

}  // namespace simstream
