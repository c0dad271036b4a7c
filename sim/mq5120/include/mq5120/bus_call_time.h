// The CPU time that the simulated MQ5120 boards of this process spend serving the bus (their In
// and Out calls, where streams advance, convert and are read): the boards' own share of a
// benchmark's CPU time. Every call is counted; a random one in kBusCallSampling is timed on its
// thread's CPU clock once it holds its board's lock (so neither waiting for the lock nor being
// descheduled counts), less what reading that clock costs, and the time of the calls is that of
// the timed ones kBusCallSampling times over.
//
// The totals only grow: a reader takes the difference between two readings.
#pragma once

#include <chrono>
#include <cstdint>

namespace mq5120 {

constexpr std::uint32_t kBusCallSampling = 4;  // a power of two

struct BusCallTime {
    std::chrono::nanoseconds busy{0};  // inside the calls, all boards of the process
    std::uint64_t calls = 0;
};

BusCallTime BusCallTimeSoFar();

}  // namespace mq5120
