// Reading a subsystem's capability tables. A table the extension did not set reads as empty:
// capability entries as 0, clock limits as 0.0.
#pragma once

#include <cstdint>

#include "core/personality.h"

namespace hxda {

// CapabilityTable entry `index`; 0 beyond the table's 94 entries or without a table.
std::uint32_t capabilityEntry(const PersonalityRecord& personality, std::uint32_t index);

// The value of integer capability code `code` (0-60, 73-105); 0 for any other code.
std::uint32_t capability(const PersonalityRecord& personality, std::uint32_t code);

// ClockLimits entry `index` (0-6); 0.0 without the table.
double clockLimit(const PersonalityRecord& personality, std::uint32_t index);

// Nearest-entry rule: the index of the entry closest to `value`, the first of equally close
// entries winning. `count` must be at least 1.
std::uint32_t nearestEntry(const double* table, std::uint32_t count, double value);

}  // namespace hxda
