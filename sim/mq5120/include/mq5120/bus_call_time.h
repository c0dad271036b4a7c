// The host time that the simulated MQ5120 boards of this process spend serving the bus (their In
// and Out calls, where streams advance, convert and are read): the boards' own share of a
// benchmark's CPU time. Each call is timed on the steady clock once it holds its board's lock,
// so waiting for the lock is not counted; a thread descheduled inside a call is.
//
// The totals only grow: a reader takes the difference between two readings.
#pragma once

#include <chrono>
#include <cstdint>

namespace mq5120 {

struct BusCallTime {
    std::chrono::nanoseconds busy{0};  // inside the calls, all boards of the process
    std::uint64_t calls = 0;
};

BusCallTime BusCallTimeSoFar();

}  // namespace mq5120
