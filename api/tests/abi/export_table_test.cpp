// The shipped library's exports stand at their fixed ordinals, by plain and by decorated name.
#include <gtest/gtest.h>

#include <string>

#include "export_ordinals.h"
#include "hxdaapi32.h"
#include "win32/module.h"

namespace hxda::test {
namespace {

TEST(ExportTable, EveryExportAtItsOrdinal) {
    const HMODULE module = LoadLibraryA("hxdaapi32.dll");
    ASSERT_NE(module, nullptr);
    int found = 0;
    for (const ExportOrdinal& entry : kExportOrdinals) {
        SCOPED_TRACE(entry.name);
        const FARPROC byName = GetProcAddress(module, entry.name);
        const FARPROC byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(entry.ordinal));
        ASSERT_NE(byName, nullptr);
        EXPECT_EQ(byName, byOrdinal);
        ++found;
        const std::string decorated =
            "_" + std::string(entry.name) + "@" + std::to_string(entry.argumentBytes);
        EXPECT_EQ(GetProcAddress(module, decorated.c_str()), byName);
    }
    EXPECT_EQ(found, static_cast<int>(std::size(kExportOrdinals)));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(51)),
              reinterpret_cast<FARPROC>(&hxDaGetErrorString));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(14)),
              reinterpret_cast<FARPROC>(&hxDaReleaseDASS));
    FreeLibrary(module);
}

}  // namespace
}  // namespace hxda::test
