// The export list as data, for the tests: name, ordinal and 32-bit stdcall argument bytes.
#pragma once

#include <cstdint>

namespace plot32 {

struct ExportOrdinal {
    const char* name;
    std::uint16_t ordinal;
    std::uint16_t argumentBytes;
};

inline constexpr ExportOrdinal kExportOrdinals[] = {
#define PLOT32_EXPORT_ENTRY(name, ordinal, bytes) {#name, ordinal, bytes},
#include "export_ordinals.inc"
#undef PLOT32_EXPORT_ENTRY
};

}  // namespace plot32
