// Checks of the buffers a streaming test made: the ones that came back, their queues and their
// samples, through the library's and the buffer manager's exports.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "hxdaapi32.h"
#include "hxmem32.h"
#include "simclock/condition.h"

namespace e2e {

// Takes every buffer from the done list, oldest first.
inline std::vector<HBUF> takeDone(HDASS hDass) {
    std::vector<HBUF> done;
    for (;;) {
        HBUF buffer = 0;
        EXPECT_EQ(hxDaGetBuffer(hDass, &buffer), HXNOERROR);
        if (buffer == 0)
            return done;
        done.push_back(buffer);
    }
}
// Every buffer made came back exactly once.
inline void expectSameBuffers(std::vector<HBUF> back, std::vector<HBUF> made) {
    std::sort(back.begin(), back.end());
    std::sort(made.begin(), made.end());
    EXPECT_EQ(back, made);
}
inline UINT queueSize(HDASS hDass, UINT queue) {
    UINT size = ~0u;
    EXPECT_EQ(hxDaGetQueueSize(hDass, queue, &size), HXNOERROR);
    return size;
}
// Waits (bounded, on the stand-ins' clock) until the subsystem holds no read in process.
inline bool idle(HDASS hDass, int timeoutMs = 10000) {
    const auto deadline = simclock::Deadline::After(std::chrono::milliseconds(timeoutMs));
    while (queueSize(hDass, HXQUEUE_INPROCESS) != 0) {
        if (deadline.Passed())
            return false;
        simclock::SleepFor(std::chrono::milliseconds(1));
    }
    return true;
}
inline std::uint32_t validSamples(HBUF buffer) {
    std::uint32_t valid = ~0u;
    EXPECT_EQ(hxDmGetValidSamples(buffer, &valid), 0u);
    return valid;
}
inline std::vector<std::uint16_t> samplesOf(HBUF buffer) {
    std::vector<std::uint16_t> samples(validSamples(buffer));
    if (!samples.empty()) {
        EXPECT_EQ(
            hxDmCopyFromBuffer(buffer, samples.data(), static_cast<std::uint32_t>(samples.size())),
            0u);
    }
    return samples;
}
// The samples of the buffers one after another, in the order given.
inline std::vector<std::uint16_t> samplesOf(const std::vector<HBUF>& buffers) {
    std::vector<std::uint16_t> all;
    for (HBUF buffer : buffers) {
        const std::vector<std::uint16_t> codes = samplesOf(buffer);
        all.insert(all.end(), codes.begin(), codes.end());
    }
    return all;
}

}  // namespace e2e
