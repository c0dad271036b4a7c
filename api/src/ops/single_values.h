// Single-value requests: one code out, one code in, or one code per channel in.
#pragma once

#include <cstdint>

#include "core/message_record.h"
#include "core/records.h"
#include "hxda/api_status.h"

namespace hxda {

ApiStatus putSingleValue(SubsystemRecord& subsystem, MessageRecord& message);
ApiStatus getSingleValue(SubsystemRecord& subsystem, MessageRecord& message);
// On success the record holds the number of values and the values (SingleValuesWords).
ApiStatus getSingleValues(SubsystemRecord& subsystem, MessageRecord& message);

// Volts of `code` for the block's range, resolution and encoding at `gain`.
double codeToVolts(const ConfigurationBlock& block, double gain, std::int32_t code);

}  // namespace hxda
