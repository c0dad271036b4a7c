#include "module/export_lookup.h"

namespace win32::detail {

std::optional<DecoratedName> ParseDecoratedName(std::string_view text) {
    if (text.size() < 4 || text.front() != '_')
        return std::nullopt;
    auto at = text.rfind('@');
    if (at == std::string_view::npos || at < 2 || at + 1 == text.size())
        return std::nullopt;
    int bytes = 0;
    for (char c : text.substr(at + 1)) {
        if (c < '0' || c > '9' || bytes > 100000)
            return std::nullopt;
        bytes = bytes * 10 + (c - '0');
    }
    return DecoratedName{text.substr(1, at - 1), bytes};
}

const ExportEntry* FindExportByName(const ExportTable& table, std::string_view text) {
    for (DWORD i = 0; i < table.count; ++i) {
        if (table.entries[i].name != nullptr && text == table.entries[i].name)
            return &table.entries[i];
    }
    auto decorated = ParseDecoratedName(text);
    if (!decorated)
        return nullptr;
    for (DWORD i = 0; i < table.count; ++i) {
        const ExportEntry& entry = table.entries[i];
        if (entry.name != nullptr && entry.argumentBytes == decorated->argumentBytes &&
            decorated->name == entry.name)
            return &entry;
    }
    return nullptr;
}

const ExportEntry* FindExportByOrdinal(const ExportTable& table, WORD ordinal) {
    if (ordinal == 0)
        return nullptr;
    for (DWORD i = 0; i < table.count; ++i) {
        if (table.entries[i].ordinal == ordinal)
            return &table.entries[i];
    }
    return nullptr;
}

}  // namespace win32::detail
