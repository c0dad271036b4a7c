// The shipped library as programs bind it: the export table at its fixed ordinals by plain and
// decorated name, and exactly the header's functions exported.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "elf_symbols.h"
#include "export_ordinals.h"
#include "win32/module.h"

namespace plot32 {
namespace {

using Names = std::set<std::string>;

constexpr const char* kExportMacro = "PLOT32_EXPORT ";

// The functions of the public header: the declarations that begin with its export macro.
Names HeaderFunctions() {
    std::ifstream header(PLOT32_HEADER);
    Names functions;
    for (std::string line; std::getline(header, line);) {
        if (line.rfind(kExportMacro, 0) != 0)
            continue;
        const std::string declaration = line.substr(0, line.find('('));
        functions.insert(declaration.substr(declaration.find_last_of(" *") + 1));
    }
    return functions;
}

TEST(Plot32Exports, EveryEntryAtItsOrdinalByNameAndDecoratedName) {
    const HMODULE module = LoadLibraryA("PLOT32.dll");
    ASSERT_NE(module, nullptr);
    for (const ExportOrdinal& entry : kExportOrdinals) {
        SCOPED_TRACE(entry.name);
        const FARPROC byName = GetProcAddress(module, entry.name);
        ASSERT_NE(byName, nullptr);
        EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(entry.ordinal)), byName);
        const std::string decorated =
            "_" + std::string(entry.name) + "@" + std::to_string(entry.argumentBytes);
        EXPECT_EQ(GetProcAddress(module, decorated.c_str()), byName);
    }
    EXPECT_EQ(std::size(kExportOrdinals), 13u);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(15)), nullptr);
    // GraphLongLine is GraphIntLine's entry point under its second name.
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(7)), GetProcAddress(module, "GraphIntLine"));
    EXPECT_EQ(GetProcAddress(module, "_GraphOpen@92"), GetProcAddress(module, MAKEINTRESOURCEA(2)));
    FreeLibrary(module);
}

TEST(Plot32Exports, TheLibraryExportsTheHeadersFunctionsAndItsTableOnly) {
    const auto exported = elf::ExportedSymbols(PLOT32_LIBRARY);
    ASSERT_TRUE(exported.has_value());
    Names expected = HeaderFunctions();
    EXPECT_EQ(expected.size(), 13u);
    expected.insert("mq_module_export_table");
    EXPECT_EQ(*exported, expected);
    Names listed;
    for (const ExportOrdinal& entry : kExportOrdinals)
        listed.insert(entry.name);
    EXPECT_EQ(listed, HeaderFunctions());
}

}  // namespace
}  // namespace plot32
