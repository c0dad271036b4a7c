#include "core/clock.h"

#include <atomic>

namespace win32::detail {
namespace {

std::atomic<std::chrono::nanoseconds::rep> g_biasNs{0};

}  // namespace

std::chrono::nanoseconds ClockNow() {
    return std::chrono::steady_clock::now().time_since_epoch() +
           std::chrono::nanoseconds(g_biasNs.load(std::memory_order_relaxed));
}

void SetClockBiasForTesting(std::chrono::nanoseconds bias) {
    g_biasNs.store(bias.count(), std::memory_order_relaxed);
}

}  // namespace win32::detail
