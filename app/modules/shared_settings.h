// The acquisition settings that the panels and the options dialog hand to each other, in the
// control's numbering; all zero when the program starts.
#pragma once

#include <cstdint>

namespace larkspur {

inline constexpr std::int16_t kTrue = -1;  // the 16-bit Boolean True
inline constexpr std::int16_t kFalse = 0;

struct SharedSettings {
    std::int32_t gFrequency = 0;     // sample clock in Hz
    std::int32_t gChannelCount = 0;  // channels of the current channel type
    std::int16_t gTrigger = 0;
    std::int16_t gClockSource = 0;   // 0 internal, 1 external
    std::int16_t gDifferential = 0;  // 0 single-ended, 1 differential
    std::int16_t gBipolar = kFalse;  // kTrue: bipolar range wanted
    float gMaxRange = 0;             // upper limit in volts of the current range
};

// The program's one record.
SharedSettings& Shared();
// Back to the values of a program start (tests).
void ResetShared();

}  // namespace larkspur
