// Non-ASCII names follow one rule on the user and kernel sides: narrow names are Latin-1, the
// kernel's wide names convert to it character by character, and every Latin-1 letter compares
// without its case, whichever side wrote the name or asks for it.
#include <gtest/gtest.h>

#include <string>

#include "kernel_registry.h"
#include "registry/key_table.h"
#include "registry/testing.h"
#include "win32/registry.h"

namespace {

struct RegistryNames : ::testing::Test {
    ~RegistryNames() override { win32::detail::CloseAllRegistryKeys(); }
    registry::ScopedMachine machine;
};

LONG QueryDword(const char* key, const char* value, DWORD* data) {
    HKEY opened = nullptr;
    LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened);
    if (error != ERROR_SUCCESS)
        return error;
    DWORD size = sizeof *data;
    error = RegQueryValueExA(opened, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(opened);
    return error;
}

TEST_F(RegistryNames, BothSidesFindEachOthersLatinNamesInAnyCase) {
    // Written by the kernel ("Grüße", "Größe"), asked for by the narrow calls in upper case.
    ASSERT_EQ(kernel_registry::SetDword(u"\\Registry\\Machine\\Software\\Gr\u00FC\u00DFe",
                                        u"Gr\u00F6\u00DFe", 7),
              0);
    DWORD data = 0;
    EXPECT_EQ(QueryDword("SOFTWARE\\GR\xDC\xDF"
                         "E",
                         "GR\xD6\xDF"
                         "E",
                         &data),
              ERROR_SUCCESS);
    EXPECT_EQ(data, 7u);
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    char name[32];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(software, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(name),
              "Gr\xFC\xDF"
              "e");  // as the kernel wrote it
    RegCloseKey(software);

    // Written by the narrow calls ("ÉTÉ", "À"), asked for by the kernel in lower case.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\\xC9T\xC9", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD nine = 9;
    ASSERT_EQ(RegSetValueExA(key, "\xC0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&nine), 4),
              ERROR_SUCCESS);
    RegCloseKey(key);
    std::uint32_t fromKernel = 0;
    EXPECT_EQ(kernel_registry::GetDword(u"\\Registry\\Machine\\software\\\u00E9t\u00E9", u"\u00E0",
                                        &fromKernel),
              0);
    EXPECT_EQ(fromKernel, 9u);
}

}  // namespace
