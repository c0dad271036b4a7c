// The waveform generator's table: how many samples hold a whole number of periods of a wave at a
// clock, and the codes of one sine, square or triangle over them, centred on the middle of the
// output's range.
#pragma once

#include <cstdint>
#include <vector>

namespace larkspur::wave {

inline constexpr std::int32_t kMinTableLength = 5000;
inline constexpr std::int32_t kMaxTableLength = 10000;
// The wave may be at most this fraction of the clock.
inline constexpr double kClockPerWave = 10;

enum class Shape { Sine, Square, Triangle };

struct Fit {
    float frequency;      // the frequency that `length` samples at the clock hold whole periods of
    std::int32_t length;  // the table length, kMinTableLength..kMaxTableLength
};

// The table length for a wave at a clock, and the frequency it plays: above a tenth of the clock
// the tenth (at the shortest length); a wave whose shortest table holds a whole number of
// periods (within a hundredth of one) as it is; otherwise the length whose count of periods lies
// nearest a whole number (the shortest among equals), and the frequency of that whole number. A
// wave too slow for one period in any table gives 0.
Fit FitTable(float waveHz, float clockHz);

struct Scale {
    std::int16_t resolution;  // bits of the output's codes, at most 16
    std::int16_t encoding;    // 1 two's complement, anything else offset binary
};

// One table of `length` codes: the wave starts at phase 0 (the sine at its top, the square's
// high half, the triangle rising from the middle) and advances by `cyclesPerSample` periods a
// sample. Values are `amplitude` codes around the middle of the range, rounded half to even and
// held to the codes the resolution has; offset binary tables count from the bottom of the range.
std::vector<std::int16_t> BuildTable(Shape shape, std::int32_t length, double amplitude,
                                     double cyclesPerSample, const Scale& scale);

}  // namespace larkspur::wave
