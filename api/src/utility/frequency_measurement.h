// Frequency measurement on a counter/timer: count events for a gate time, then report the rate.
#pragma once

#include <cstdint>

#include "hxda/api_status.h"
#include "hxdaapi32.h"

namespace hxda {

// Configures the subsystem to count events, starts it and sets a one-shot timer for the gate time;
// when it fires, the count is read, the subsystem stopped and HXWM_MEASUREDONE posted to `window`
// with the frequency's single-precision bits as lParam.
ApiStatus measureFrequency(HDASS hDass, HWND window, double gateSeconds);

// Kills a measurement still pending on the subsystem, so that its timer never reaches a released
// subsystem. Called before the subsystem's handle is released.
void cancelFrequencyMeasurement(HDASS hDass);

// Kills every pending measurement (fixtures, process detach).
void cancelAllFrequencyMeasurements();

}  // namespace hxda
