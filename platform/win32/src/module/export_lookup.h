// Lookups in a module's export table: by name, by decorated stdcall name and by ordinal.
#pragma once

#include <optional>
#include <string_view>

#include "win32/exports.h"

namespace win32::detail {

// "_Name@N" taken apart; none for a name that is not of that form.
struct DecoratedName {
    std::string_view name;
    int argumentBytes;
};
std::optional<DecoratedName> ParseDecoratedName(std::string_view text);

// An entry whose name equals the text, or else, for a decorated text, the entry with that name
// and that many argument bytes. Names are compared with regard to case, as on the platform.
const ExportEntry* FindExportByName(const ExportTable& table, std::string_view text);
const ExportEntry* FindExportByOrdinal(const ExportTable& table, WORD ordinal);

}  // namespace win32::detail
