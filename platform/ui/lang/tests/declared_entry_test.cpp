// Declared entry points: bound by library and entry name at the first call, raising at the call
// when the library or the entry is missing.
#include <gtest/gtest.h>

#include <cstdint>

#include "uilang/declared_entry.h"

namespace {

using namespace uilang;

using ErrorText = std::uint32_t(std::uint32_t, char*, std::uint32_t);

TEST(DeclaredEntryTest, BindsOnFirstCallAndCalls) {
    DeclaredEntry<ErrorText> text("HXMEM32.DLL", "hxDmGetErrorString");
    char buffer[80] = {};
    EXPECT_EQ(text(0u, buffer, 80u), 0u);
    EXPECT_NE(buffer[0], '\0');
}

TEST(DeclaredEntryTest, AMissingLibraryOrEntryRaisesAtTheCall) {
    DeclaredEntry<ErrorText> missingLibrary("nosuch32.dll", "hxDspGetErrorString");
    char buffer[80];
    try {
        missingLibrary(0u, buffer, 80u);
        FAIL() << "a missing library was called";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), kErrFileNotFound);
        EXPECT_EQ(error.Description(), "File not found: nosuch32.dll");
    }
    DeclaredEntry<ErrorText> missingEntry("HXMEM32.DLL", "hxDmNoSuchEntry");
    try {
        missingEntry(0u, buffer, 80u);
        FAIL() << "a missing entry was called";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), kErrEntryPointNotFound);
    }
}

}  // namespace
