// Conversion between converter codes and volts for a range, gain, resolution and encoding.
#pragma once

#include <cstdint>

#include "status/api_status.h"

namespace hxda {

// 11 for a resolution above 32, 9 for an encoding other than binary (200) and two's complement
// (201), 29 when the minimum is not below the maximum, 86 for a gain not above 0; else 0.
ApiStatus checkConversion(double minimum, double maximum, double gain, std::uint32_t resolution,
                          std::uint32_t encoding);

// Volts of a code. A two's-complement code is read as a signed number of `resolution` bits around
// the middle of the range. Results are not clamped.
double codeToVolts(double minimum, double maximum, double gain, std::uint32_t resolution,
                   std::uint32_t encoding, std::int32_t code);

// The code of a voltage, truncated toward zero; not clamped to the code range.
std::int32_t voltsToCode(double minimum, double maximum, double gain, std::uint32_t resolution,
                         std::uint32_t encoding, double volts);

}  // namespace hxda
