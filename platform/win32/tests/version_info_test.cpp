// Version information of our modules (by module name, by path, as a driver file in the machine's
// Windows directory) and the queries over it; the Windows directory itself.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "registry/testing.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/module.h"
#include "win32/version_info.h"

namespace {

const std::string kModuleDir = MQ_WIN32_TEST_MODULE_DIR;

std::vector<unsigned char> ReadInfo(const std::string& name) {
    DWORD handle = 123;
    const DWORD size = GetFileVersionInfoSizeA(name.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    if (size == 0)
        return {};
    std::vector<unsigned char> block(size);
    EXPECT_TRUE(GetFileVersionInfoA(name.c_str(), 0, size, block.data()));
    return block;
}

std::string QueryString(const std::vector<unsigned char>& block, const char* path) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path, &value, &length))
        return "<none>";
    EXPECT_EQ(length, std::strlen(static_cast<const char*>(value)) + 1);
    return static_cast<const char*>(value);
}

TEST(VersionInfo, ModuleVersionTableAnswersTheQueries) {
    // The same module by path with either separator and another case, and by module name.
    const std::vector<std::string> names = {kModuleDir + "/libmqtest_alpha.so",
                                            kModuleDir + "\\LIBMQTEST_ALPHA.SO",
                                            kModuleDir + "/mqtest_alpha.dll"};
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const auto block = ReadInfo(name);
        ASSERT_FALSE(block.empty());

        LPVOID value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
        ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
        EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
        EXPECT_EQ(fixed->dwFileVersionLS, 0x00030004u);
        EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
        EXPECT_EQ(fixed->dwProductVersionLS, 0u);
        EXPECT_EQ(fixed->dwFileType, VFT_DLL);

        ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
        EXPECT_EQ(length, 4u);
        EXPECT_EQ(*static_cast<const DWORD*>(value), 0x04E40409u);
    }

    const auto block = ReadInfo(names[0]);
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"\\StringFileInfo\\040904E4\\FileVersion", "1.2.3.4"},
        {"\\StringFileInfo\\040904e4\\fileversion", "1.2.3.4"},
        {"\\StringFileInfo\\040904E4\\CompanyName", "Marquell"},
        {"\\StringFileInfo\\040904E4\\ProductName", ""},
        {"\\StringFileInfo\\040904E4\\Comments", "<none>"},
        {"\\StringFileInfo\\040704E4\\FileVersion", "<none>"},  // another language block
        {"\\StringFileInfo\\FileVersion", "<none>"},
        {"\\Other\\040904E4\\FileVersion", "<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(QueryString(block, c.path), c.expected);
    }
}

// A module name denotes the module of that name loaded in the process, wherever its file lies: a
// library installed apart from its program reads its own version by its name.
TEST(VersionInfo, ModuleNameOfALoadedModuleOffTheSearchPath) {
    const std::string name = "mqtest_alpha.dll";
    DWORD handle = 0;
    SetLastError(0);
    ASSERT_EQ(GetFileVersionInfoSizeA(name.c_str(), &handle), 0u) << "on the search path";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    const HMODULE alpha = LoadLibraryA((kModuleDir + "/libmqtest_alpha.so").c_str());
    ASSERT_NE(alpha, nullptr);
    const auto block = ReadInfo(name);
    EXPECT_EQ(QueryString(block, "\\StringFileInfo\\040904E4\\FileVersion"), "1.2.3.4");
    EXPECT_TRUE(FreeLibrary(alpha));
    EXPECT_EQ(GetFileVersionInfoSizeA(name.c_str(), &handle), 0u);
}

TEST(VersionInfo, FilesWithoutVersionInformationAndBadBlocksAreRefused) {
    struct Case {
        std::string name;
        DWORD error;
    };
    const Case cases[] = {{kModuleDir + "/libmqtest_beta.so", ERROR_RESOURCE_DATA_NOT_FOUND},
                          {kModuleDir + "/missing.dll", ERROR_FILE_NOT_FOUND},
                          {"no_such_module.dll", ERROR_FILE_NOT_FOUND}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD handle = 0;
        SetLastError(0);
        EXPECT_EQ(GetFileVersionInfoSizeA(c.name.c_str(), &handle), 0u);
        EXPECT_EQ(GetLastError(), c.error);
    }

    const std::string alpha = kModuleDir + "/libmqtest_alpha.so";
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(alpha.c_str(), &handle);
    std::vector<unsigned char> block(size, 0xEE);
    SetLastError(0);
    EXPECT_FALSE(GetFileVersionInfoA(alpha.c_str(), 0, size - 1, block.data()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(block[0], 0xEE);  // nothing written

    // Not a version block: refused without reading past it.
    std::vector<unsigned char> junk(64, 0);
    LPVOID value = nullptr;
    UINT length = 99;
    EXPECT_FALSE(VerQueryValueA(junk.data(), "\\", &value, &length));
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(VerQueryValueA(nullptr, "\\", &value, &length));
}

// The library builds the driver file's path from the Windows directory with backslashes and asks
// its version; the machine keeps its driver files there.
TEST(VersionInfo, DriverFileInTheMachinesWindowsDirectory) {
    registry::ScopedMachine machine;
    char windows[512];
    const UINT length = GetWindowsDirectoryA(windows, sizeof(windows));
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, sizeof(windows));
    EXPECT_EQ(std::strlen(windows), length);
    EXPECT_EQ(std::filesystem::path(windows), machine.directory() / "windows");
    const auto drivers = std::filesystem::path(windows) / "system32" / "drivers";
    ASSERT_TRUE(std::filesystem::is_directory(drivers));

    // A buffer too small gets nothing and learns the size with the terminator.
    char small[4] = "xyz";
    EXPECT_EQ(GetWindowsDirectoryA(small, sizeof(small)), length + 1);
    EXPECT_STREQ(small, "xyz");
    EXPECT_EQ(GetWindowsDirectoryA(nullptr, 0), length + 1);
    char system[512];
    EXPECT_EQ(GetSystemDirectoryA(system, sizeof(system)), length + 9);
    EXPECT_EQ(std::string(system), std::string(windows) + "/system32");

    std::filesystem::copy_file(kModuleDir + "/libmqtest_alpha.so", drivers / "alpha5120k.sys");
    const std::string driverPath = std::string(windows) + "\\system32\\drivers\\ALPHA5120K.SYS";
    const auto block = ReadInfo(driverPath);
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(QueryString(block, "\\StringFileInfo\\040904E4\\FileVersion"), "1.2.3.4");
}

}  // namespace
