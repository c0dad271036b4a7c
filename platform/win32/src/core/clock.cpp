#include "core/clock.h"

#include "simclock/clock.h"

namespace win32::detail {

std::chrono::nanoseconds ClockNow() {
    return simclock::Now();
}

void SetClockBiasForTesting(std::chrono::nanoseconds bias) {
    simclock::testing::SetBias(bias);
}

}  // namespace win32::detail
