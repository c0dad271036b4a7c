// The configuration block of a freshly opened (or reset) subsystem.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace hxda {

// List entries the block is allocated for: the larger of the list capacity and the filter count.
std::uint32_t configurationEntries(const PersonalityRecord& personality);

// Writes every default of the block from the subsystem's capabilities and tables and sets the
// state to HXSTATE_NEEDSCONFIG. A missing or empty table gives 0 for the defaults taken from it.
void writeConfigurationDefaults(SubsystemRecord& subsystem);

}  // namespace hxda
