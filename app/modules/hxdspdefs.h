// Wrappers of the signal-processing library hxdsp32 ("hxdsp32.dll"), bound on first call. Each
// raises a nonzero status as error 0x80040000 + status, with the outside routine's name as source
// and the library's text. A library or entry that cannot be found raises at the call.
#pragma once

#include <cstdint>
#include <string>

#include "modules/hxdadefs.h"

namespace larkspur::hxdspdefs {

// hxDspInputToVolts(in, out, encoding, min range, max range, resolution), the four values as
// read from the control just before the call.
void InputToVolts(const hxdadefs::Scale& scale, std::int32_t in, std::int32_t out);
void Window(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t a4, std::int32_t a5,
            std::int32_t a6);
void RealFFT(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int16_t n);
void MagToDB(std::int32_t a1, std::int32_t a2);
[[noreturn]] void RaiseDspError(const std::string& source, std::int16_t status);

}  // namespace larkspur::hxdspdefs
