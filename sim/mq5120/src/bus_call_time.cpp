// The process's total of the boards' bus-call time.
#include "bus_call_time_meter.h"

namespace mq5120 {
namespace {

std::atomic<std::int64_t> g_busyNs{0};
std::atomic<std::uint64_t> g_calls{0};

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

BusCallTimeMeter::BusCallTimeMeter() : startNs_(SteadyNs()) {}

BusCallTimeMeter::~BusCallTimeMeter() {
    g_busyNs.fetch_add(SteadyNs() - startNs_, std::memory_order_relaxed);
    g_calls.fetch_add(1, std::memory_order_relaxed);
}

BusCallTime BusCallTimeSoFar() {
    return {std::chrono::nanoseconds(g_busyNs.load(std::memory_order_relaxed)),
            g_calls.load(std::memory_order_relaxed)};
}

}  // namespace mq5120
