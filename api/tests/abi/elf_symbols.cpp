#include "elf_symbols.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace elf {
namespace {

using Bytes = std::vector<char>;

// A record of the file at offset, or null when it does not fit.
template <typename Record>
const Record* RecordAt(const Bytes& file, std::uint64_t offset) {
    if (offset > file.size() || file.size() - offset < sizeof(Record))
        return nullptr;
    return reinterpret_cast<const Record*>(file.data() + offset);
}

bool Binds(const Elf64_Sym& symbol) {
    const unsigned binding = ELF64_ST_BIND(symbol.st_info);
    const unsigned visibility = ELF64_ST_VISIBILITY(symbol.st_other);
    return symbol.st_shndx != SHN_UNDEF &&
           (binding == STB_GLOBAL || binding == STB_WEAK || binding == STB_GNU_UNIQUE) &&
           (visibility == STV_DEFAULT || visibility == STV_PROTECTED);
}

}  // namespace

std::optional<std::set<std::string>> ExportedSymbols(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    const auto* header = RecordAt<Elf64_Ehdr>(file, 0);
    if (header == nullptr || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
        header->e_ident[EI_CLASS] != ELFCLASS64 || header->e_shentsize != sizeof(Elf64_Shdr))
        return std::nullopt;
    auto section = [&](unsigned index) {
        return index < header->e_shnum
                   ? RecordAt<Elf64_Shdr>(file, header->e_shoff + index * sizeof(Elf64_Shdr))
                   : nullptr;
    };
    for (unsigned index = 0; index < header->e_shnum; ++index) {
        const Elf64_Shdr* symbols = section(index);
        if (symbols == nullptr || symbols->sh_type != SHT_DYNSYM)
            continue;
        const Elf64_Shdr* names = section(symbols->sh_link);
        if (names == nullptr || symbols->sh_entsize != sizeof(Elf64_Sym) ||
            names->sh_offset > file.size() || file.size() - names->sh_offset < names->sh_size)
            return std::nullopt;
        std::set<std::string> exported;
        for (std::uint64_t i = 1; i < symbols->sh_size / sizeof(Elf64_Sym); ++i) {
            const auto* symbol =
                RecordAt<Elf64_Sym>(file, symbols->sh_offset + i * sizeof(Elf64_Sym));
            if (symbol == nullptr || symbol->st_name >= names->sh_size)
                return std::nullopt;
            if (Binds(*symbol))
                exported.insert(
                    std::string(file.data() + names->sh_offset + symbol->st_name,
                                strnlen(file.data() + names->sh_offset + symbol->st_name,
                                        names->sh_size - symbol->st_name)));
        }
        return exported;
    }
    return std::nullopt;
}

}  // namespace elf
