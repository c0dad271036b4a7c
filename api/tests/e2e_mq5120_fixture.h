// The fixture of the end-to-end tests on the MQ5120: a simulated machine of the test's own whose
// MQ5120 boards are served by the board driver onto the board model, the first board opened
// through the library, a message-only window that collects the notifications, buffers that come
// back, and the read completions as the kernel saw them, to check every sample where the channel
// list says. The machine runs on the virtual clock: the board converts, the driver polls and the
// library copies in simulated time, which passes only while all of them and the test wait, so a
// loaded machine gives the same samples and notifications as an idle one.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
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

namespace mq5120e2e {

using namespace e2e;  // the buffer checks

using namespace std::chrono_literals;

// The A/D inputs carry code patterns (each conversion of a channel reads its next code, from the
// first again at each start): codes with every byte distinct, so that a swapped or shifted byte
// shows.
inline const std::map<std::uint32_t, std::vector<std::uint16_t>> kPatterns = {
    {0, {0x1234, 0xABCD, 0x0001}},
    {1, {0xFFFF, 0x8000}},
    {3, {0x00FF, 0xFF00, 0x5A5A, 0xA5A5}},
    {9, {0x0102, 0x0304, 0x0506, 0x0708, 0x090A}},
};
inline constexpr char kBoardWithPatterns[] =
    "MQ5120 4 1 AD0.0=pattern:0x1234,0xABCD,0x0001 AD0.1=pattern:0xFFFF,0x8000 "
    "AD0.3=pattern:0x00FF,0xFF00,0x5A5A,0xA5A5 "
    "AD0.9=pattern:0x0102,0x0304,0x0506,0x0708,0x090A";

struct ListEntry {
    std::uint32_t channel;
    double gain;
};

// The codes a continuous acquisition of `list` reads from the patterns, from its start.
inline std::vector<std::uint16_t> ExpectedCodes(const std::vector<ListEntry>& list,
                                                std::size_t count) {
    std::map<std::uint32_t, std::size_t> conversions;
    std::vector<std::uint16_t> codes;
    codes.reserve(count);
    for (std::size_t n = 0; n < count; ++n) {
        const std::uint32_t channel = list[n % list.size()].channel;
        const auto pattern = kPatterns.find(channel);
        const std::size_t k = conversions[channel]++;
        codes.push_back(pattern == kPatterns.end() ? 0x8000
                                                   : pattern->second[k % pattern->second.size()]);
    }
    return codes;
}

// The index of the first sample that differs from the expected codes, or the size when none does.
inline std::size_t FirstMismatch(const std::vector<std::uint16_t>& samples,
                                 const std::vector<std::uint16_t>& expected) {
    const auto [a, b] =
        std::mismatch(samples.begin(), samples.end(), expected.begin(), expected.end());
    return static_cast<std::size_t>(a - samples.begin());
}

// The board's converter: -10 to +10 V over the 16 bits, offset binary, held to the code range.
inline std::uint32_t CodeOf(double volts, double gain) {
    const double code = std::floor((volts * gain + 10.0) / 20.0 * 65536.0 + 0.5);
    return static_cast<std::uint32_t>(std::clamp(code, 0.0, 65535.0));
}

// The data of every read of the caller's buffers as the kernel completed them, in order.
class CompletedReads {
  public:
    CompletedReads() {
        kernel::testing::SetCompletionObserver([this](const void* buffer, std::size_t bytes) {
            std::lock_guard guard(mutex_);
            if (std::find(watched_.begin(), watched_.end(), buffer) == watched_.end())
                return;
            const auto* samples = static_cast<const std::uint16_t*>(buffer);
            stream_.insert(stream_.end(), samples, samples + bytes / 2);
            ++reads_;
        });
    }
    ~CompletedReads() { kernel::testing::SetCompletionObserver({}); }
    CompletedReads(const CompletedReads&) = delete;
    CompletedReads& operator=(const CompletedReads&) = delete;

    void watch(HBUF buffer) {
        void* data = nullptr;
        EXPECT_EQ(hxDmGetBufferPtr(buffer, &data), 0u);
        std::lock_guard guard(mutex_);
        watched_.push_back(data);
    }
    std::vector<std::uint16_t> stream() const {
        std::lock_guard guard(mutex_);
        return stream_;
    }
    std::size_t reads() const {
        std::lock_guard guard(mutex_);
        return reads_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<const void*> watched_;
    std::vector<std::uint16_t> stream_;
    std::size_t reads_ = 0;
};

class Mq5120Test : public ::testing::Test, protected e2e::BoardSession {
  protected:
    void TearDown() override {
        releaseAll();
        destroyWindow();
        EXPECT_TRUE(nothingOutstanding());
    }

    // A machine with the board-list lines and the first MQ5120 opened as `name`.
    void boot(const std::vector<std::string>& lines = {kBoardWithPatterns},
              const char* name = "MQ5120(00)") {
        machine.emplace(lines);
        createWindow("mq5120E2eTests");
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(hxDaInitialize(name, &hDev), HXNOERROR);
    }

    HDASS open(std::uint32_t type = HXSS_AD, std::uint32_t element = 0) {
        return BoardSession::open(type, element);
    }

    // A continuous acquisition of `list` at `rate`, notifications to the fixture's window.
    void configure(HDASS hDass, std::uint32_t wrap, double rate, const std::vector<ListEntry>& list,
                   std::uint32_t trigger = HXTRIG_SOFTWARE,
                   std::uint32_t channelType = HXCHANTYPE_SINGLEENDED) {
        ASSERT_EQ(hxDaSetWndHandle(hDass, window, 77), HXNOERROR);
        ASSERT_EQ(hxDaSetChannelType(hDass, channelType), HXNOERROR);
        ASSERT_EQ(hxDaSetDataFlow(hDass, HXDF_CONTINUOUS), HXNOERROR);
        ASSERT_EQ(hxDaSetWrapMode(hDass, wrap), HXNOERROR);
        ASSERT_EQ(hxDaSetClockFrequency(hDass, rate), HXNOERROR);
        ASSERT_EQ(hxDaSetTrigger(hDass, trigger), HXNOERROR);
        ASSERT_EQ(hxDaSetChannelListSize(hDass, static_cast<UINT>(list.size())), HXNOERROR);
        for (std::size_t entry = 0; entry < list.size(); ++entry) {
            const UINT e = static_cast<UINT>(entry);
            ASSERT_EQ(hxDaSetChannelListEntry(hDass, e, list[entry].channel), HXNOERROR);
            ASSERT_EQ(hxDaSetGainListEntry(hDass, e, list[entry].gain), HXNOERROR);
        }
        ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    }

    // Puts `count` new buffers of `samples` samples on the ready list; the reads of each are
    // recorded by `reads` when given.
    std::vector<HBUF> queue(HDASS hDass, std::size_t count, std::uint32_t samples,
                            CompletedReads* reads = nullptr) {
        return BoardSession::queue(hDass, count, samples, [reads](HBUF buffer) {
            if (reads != nullptr)
                reads->watch(buffer);
        });
    }

    simclock::testing::VirtualClock clock;  // before the machine, which lives on it
    std::optional<sim::testing::ScopedSimulatedMachine> machine;
};

}  // namespace mq5120e2e
