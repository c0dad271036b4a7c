// Conversion between converter codes and volts for a range, gain, resolution and encoding.
#pragma once

#include <cstdint>

#include "hxda/api_status.h"

namespace hxda {

// HXINVALIDRESOLUTION for a resolution above 32, HXINVALIDENCODING for an encoding other than
// HXENCODING_BINARY and HXENCODING_TWOSCOMP, HXINVALIDRANGE when the minimum is not below the
// maximum, HXINVALIDGAIN for a gain not above 0; else HXNOERROR.
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
