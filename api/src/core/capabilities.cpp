#include "core/capabilities.h"

#include <cmath>

namespace hxda {

std::uint32_t capabilityEntry(const PersonalityRecord& personality, std::uint32_t index) {
    if (!personality.capabilities || index >= kCapabilityTableEntries)
        return 0;
    return personality.capabilities[index];
}

std::uint32_t capability(const PersonalityRecord& personality, std::uint32_t code) {
    if (code <= 60)
        return capabilityEntry(personality, code);
    if (code >= 73 && code <= 105)
        return capabilityEntry(personality, code - 12);
    return 0;
}

double clockLimit(const PersonalityRecord& personality, std::uint32_t index) {
    if (!personality.clockLimits || index >= kClockLimitCount)
        return 0.0;
    return personality.clockLimits[index];
}

std::uint32_t nearestEntry(const double* table, std::uint32_t count, double value) {
    std::uint32_t best = 0;
    double bestDistance = std::fabs(value - table[0]);
    for (std::uint32_t i = 1; i < count; ++i) {
        const double distance = std::fabs(value - table[i]);
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace hxda
