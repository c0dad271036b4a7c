// Input signals and the converter's transfer function.
#include <algorithm>
#include <cmath>

#include "mq5120/signals.h"

namespace mq5120 {

double Signal::VoltsAt(double seconds) const {
    switch (kind) {
        case Kind::Constant:
        case Kind::Codes:
        case Kind::Pattern:
            return offset;
        case Kind::AnalogOutput:
            return 0.0;
        case Kind::Sine:
            return offset + amplitude * std::sin(2.0 * M_PI * frequencyHz * seconds);
        case Kind::Square: {
            const double phase = frequencyHz * seconds - std::floor(frequencyHz * seconds);
            return phase < 0.5 ? amplitude : offset;
        }
    }
    return 0.0;
}

std::uint16_t CodeFor(double volts, int gain, int resolution) {
    const double full = std::ldexp(1.0, resolution);
    const double code = std::floor((volts * gain + 10.0) / 20.0 * full + 0.5);
    return static_cast<std::uint16_t>(std::clamp(code, 0.0, full - 1.0));
}

}  // namespace mq5120
