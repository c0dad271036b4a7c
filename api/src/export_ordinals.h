// The export table of the library as data: name, ordinal and 32-bit stdcall argument bytes.
#pragma once

#include <cstdint>

namespace hxda {

struct ExportOrdinal {
    const char* name;
    std::uint16_t ordinal;
    std::uint16_t argumentBytes;
};

inline constexpr ExportOrdinal kExportOrdinals[] = {
#define HXDA_EXPORT(name, ordinal, bytes) {#name, ordinal, bytes},
#include "export_ordinals.inc"
#undef HXDA_EXPORT
};

}  // namespace hxda
