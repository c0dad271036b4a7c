// Code/volts conversion for the subsystem a control holds, and the one API entry the
// application calls itself.
//
// The scale is read from the control at every call (Resolution, Encoding, MinRange, MaxRange),
// so a change of range or resolution takes effect at the next conversion. N = 2^Resolution codes.
// Encoding 1 is two's complement, anything else offset binary.
#pragma once

#include <cstdint>

#include "uilang/automation.h"

namespace larkspur::hxdadefs {

inline constexpr std::int16_t kEncodingTwosComplement = 1;

struct Scale {
    std::int16_t resolution;
    std::int16_t encoding;
    float minRange;
    float maxRange;
};

// Volts of a code: two's complement masks the code to N bits and sign-extends it, then centres
// on (Max + Min) / 2; offset binary counts from Min. No clamping: codes outside 0..N-1 in offset
// binary extrapolate.
float CodeToVolts(const Scale& scale, std::int32_t code);
// The code of a voltage, clamped to the range first and rounded half to even; the code one past
// the top (N, or N/2 in two's complement) is pulled back by one. Max = Min raises division by
// zero (11).
std::int32_t VoltsToCode(const Scale& scale, float volts);

// The scale of the subsystem an acquisition control holds, read afresh (one get each).
Scale ReadScale(uilang::Automation& control);
float CodeToVolts(uilang::Automation& control, std::int32_t code);
std::int32_t VoltsToCode(uilang::Automation& control, float volts);

// hxDaReleaseDASS of "HXDAAPI32.DLL", bound on first call; its status.
std::int32_t ReleaseDASS(std::int32_t hdass);

}  // namespace larkspur::hxdadefs
