// Wide text for the kernel stand-in's host-side users (its own code, the machine and its buses,
// tests): conversions between narrow text and 16-bit WCHAR text by the registry's one rule (one
// byte per character both ways, Latin-1; a character above 0xFF narrows to '?'), and numbers.
// Drivers use counted strings and the run-time calls of kernel/crt.h instead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "registry/encoding.h"

namespace kernel {

inline std::u16string WideFromNarrow(std::string_view narrow) {
    return registry::WidenText(narrow);
}

inline std::string NarrowFromWide(std::u16string_view wide) {
    return registry::NarrowText(wide);
}

inline std::u16string WideNumber(std::uint64_t value) {
    return WideFromNarrow(std::to_string(value));
}

}  // namespace kernel
