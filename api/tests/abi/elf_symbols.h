// What a shared object exports, read from its file.
#pragma once

#include <optional>
#include <set>
#include <string>

namespace elf {

// The names of the defined symbols of the object's dynamic symbol table that another module can
// bind to (global, weak or unique binding; default or protected visibility). None when the file
// is not a 64-bit ELF object with a dynamic symbol table.
std::optional<std::set<std::string>> ExportedSymbols(const std::string& path);

}  // namespace elf
