// The tables a board extension library hands out for one subsystem. Any pointer may be null
// (the extension did not set it); readers treat a missing table as empty.
#pragma once

#include <cstdint>

namespace hxda {

struct PersonalityRecord {
    const double* gains = nullptr;
    // One pointer per channel to an array of range limits; entry 0 serves the whole subsystem.
    const double* const* rangeMinima = nullptr;
    const double* const* rangeMaxima = nullptr;
    const double* filters = nullptr;
    const double* resolutions = nullptr;
    const std::uint32_t* capabilities = nullptr;  // kCapabilityTableEntries entries
    const double* clockLimits = nullptr;          // kClockLimitCount entries
};

inline constexpr std::uint32_t kCapabilityTableEntries = 94;
inline constexpr std::uint32_t kClockLimitCount = 7;

}  // namespace hxda
