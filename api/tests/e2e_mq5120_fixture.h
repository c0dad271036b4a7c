// The fixture of the end-to-end tests on the MQ5120: a simulated machine of the test's own whose
// MQ5120 boards are served by the board driver onto the board model, the first board opened
// through the library, a message-only window that collects the notifications, buffers that come
// back, and the read completions as the kernel saw them, to check every sample where the channel
// list says.
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

#include "hxdaapi32.h"
#include "hxmem32.h"
#include "kernel/testing.h"
#include "sim/machine_testing.h"
#include "win32/messages.h"

namespace mq5120e2e {

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

class Mq5120Test : public ::testing::Test {
  protected:
    void TearDown() override {
        releaseAll();
        if (window != nullptr)
            DestroyWindow(window);
        EXPECT_TRUE(nothingOutstanding());
    }

    // A machine with the board-list lines and the first MQ5120 opened as `name`.
    void boot(const std::vector<std::string>& lines = {kBoardWithPatterns},
              const char* name = "MQ5120(00)") {
        machine.emplace(lines);
        if (window != nullptr)
            DestroyWindow(window);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "mq5120E2eTests";
        RegisterClassA(&windowClass);  // already there after the first test
        window = CreateWindowExA(0, "mq5120E2eTests", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(hxDaInitialize(name, &hDev), HXNOERROR);
    }

    // Releases the subsystems, the buffers and the board, so that the machine can boot again.
    void releaseAll() {
        for (HDASS hDass : opened) {
            EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
        }
        opened.clear();
        for (HBUF buffer : buffers)
            hxDmFreeBuffer(buffer);
        buffers.clear();
        if (hDev != 0) {
            EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
        }
        hDev = 0;
        MSG msg{};
        while (window != nullptr && PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
        }
        messages.clear();
    }

    // Every request finished and every close sent (bounded).
    static bool nothingOutstanding() {
        for (int waited = 0; waited < 5000; ++waited) {
            if (kernel::testing::OutstandingUserRequests() == 0)
                return kernel::testing::DrainDeferredCloses();
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    HDASS open(std::uint32_t type = HXSS_AD, std::uint32_t element = 0) {
        HDASS hDass = 0;
        EXPECT_EQ(hxDaGetDASS(hDev, type, element, &hDass), HXNOERROR);
        if (hDass != 0)
            opened.push_back(hDass);
        return hDass;
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
        std::vector<HBUF> made;
        for (std::size_t i = 0; i < count; ++i) {
            HBUF buffer = 0;
            EXPECT_EQ(hxDmAllocBuffer(0, samples, &buffer), 0u);
            buffers.push_back(buffer);
            if (reads != nullptr)
                reads->watch(buffer);
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
    static UINT queueSize(HDASS hDass, UINT queue) {
        UINT size = ~0u;
        EXPECT_EQ(hxDaGetQueueSize(hDass, queue, &size), HXNOERROR);
        return size;
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

    // The window's notifications: collects until `count` have arrived in all (bounded), or for
    // `timeoutMs` when count is 0.
    std::vector<std::uint32_t> waitForMessages(std::size_t count, int timeoutMs = 10000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            MSG msg{};
            while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
                messages.push_back(msg.message);
            if ((count != 0 && messages.size() >= count) ||
                std::chrono::steady_clock::now() >= deadline)
                return messages;
            std::this_thread::sleep_for(1ms);
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
    // Waits (bounded) until the subsystem holds no read in process.
    static bool idle(HDASS hDass, int timeoutMs = 10000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (queueSize(hDass, HXQUEUE_INPROCESS) != 0) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    std::optional<sim::testing::ScopedSimulatedMachine> machine;
    HDEV hDev = 0;
    HWND window = nullptr;
    std::vector<HDASS> opened;
    std::vector<HBUF> buffers;
    std::vector<std::uint32_t> messages;
};

}  // namespace mq5120e2e
