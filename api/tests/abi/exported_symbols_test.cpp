// The shared libraries that programs link export the functions their public headers mark for
// export and the module tables the module loader reads, and nothing else: no function, class or
// template instance of their insides can be bound to by another module.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "elf_symbols.h"
#include "export_ordinals.h"

namespace {

using Names = std::set<std::string>;

// The functions of a public header: the declarations that begin with its export macro.
Names HeaderFunctions(const std::string& header, const std::string& exportMacro) {
    std::ifstream stream(header);
    Names functions;
    for (std::string line; std::getline(stream, line);) {
        if (line.rfind(exportMacro + " ", 0) != 0)
            continue;
        const std::string declaration = line.substr(0, line.find('('));
        const auto start = declaration.find_last_of(" *") + 1;
        functions.insert(declaration.substr(start));
    }
    return functions;
}

std::string Listed(const Names& names) {
    std::ostringstream text;
    for (const auto& name : names)
        text << "\n  " << name;
    return text.str();
}

Names Without(const Names& names, const Names& removed) {
    Names rest;
    std::set_difference(names.begin(), names.end(), removed.begin(), removed.end(),
                        std::inserter(rest, rest.end()));
    return rest;
}

struct Library {
    const char* name;
    const char* file;
    const char* header;
    const char* exportMacro;
    Names moduleTables;
};

const Library kLibraries[] = {
    {"hxdaapi32",
     HXDAAPI32_LIBRARY,
     HXDAAPI32_HEADER,
     "HXDAAPI32_EXPORT",
     {"mq_module_export_table", "mq_module_version_table"}},
    {"hxmem32", HXMEM32_LIBRARY, HXMEM32_HEADER, "HXMEM32_EXPORT", {"mq_module_export_table"}},
};

void PrintTo(const Library& library, std::ostream* out) {
    *out << library.name;
}

class ExportedSymbols : public ::testing::TestWithParam<Library> {};

TEST_P(ExportedSymbols, AreTheHeaderFunctionsAndTheModuleTables) {
    const Library& library = GetParam();
    const auto exported = elf::ExportedSymbols(library.file);
    ASSERT_TRUE(exported.has_value()) << library.file;
    Names expected = HeaderFunctions(library.header, library.exportMacro);
    ASSERT_FALSE(expected.empty()) << library.header;
    expected.insert(library.moduleTables.begin(), library.moduleTables.end());
    EXPECT_EQ(Without(*exported, expected), Names{})
        << "exported, but not an entry point:" << Listed(Without(*exported, expected));
    EXPECT_EQ(Without(expected, *exported), Names{})
        << "an entry point not exported:" << Listed(Without(expected, *exported));
}

INSTANTIATE_TEST_SUITE_P(ProgramsLink, ExportedSymbols, ::testing::ValuesIn(kLibraries),
                         [](const auto& info) { return std::string(info.param.name); });

// The export list that the export table is declared from names exactly the header's functions.
TEST(ExportList, IsTheFunctionsOfThePublicHeader) {
    Names listed;
    for (const auto& entry : hxda::kExportOrdinals)
        listed.insert(entry.name);
    EXPECT_EQ(listed, HeaderFunctions(HXDAAPI32_HEADER, "HXDAAPI32_EXPORT"));
}

}  // namespace
