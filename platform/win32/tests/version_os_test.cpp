// GetVersionEx: the size check, the default NT answer and the configurable version.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/version.h"

namespace {

class OsVersionTest : public ::testing::Test {
  protected:
    void SetUp() override { unsetenv("MQ_OS_VERSION"); }
    void TearDown() override {
        unsetenv("MQ_OS_VERSION");
        win32::testing::ResetOsVersionForTesting();
    }
    static OSVERSIONINFOA Query() {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof(info);
        EXPECT_TRUE(GetVersionExA(&info));
        return info;
    }
};

TEST_F(OsVersionTest, AnswersTheNtFamilyAndChecksTheRecordSize) {
    OSVERSIONINFOA info = Query();
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwBuildNumber, 2600u);

    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof(extended);
    EXPECT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&extended)));
    EXPECT_EQ(extended.wServicePackMajor, 2u);

    for (DWORD size : {0u, static_cast<DWORD>(sizeof(OSVERSIONINFOA) - 1),
                       static_cast<DWORD>(sizeof(OSVERSIONINFOA) + 1)}) {
        OSVERSIONINFOA bad{};
        bad.dwOSVersionInfoSize = size;
        SetLastError(0);
        EXPECT_FALSE(GetVersionExA(&bad)) << size;
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    }
}

TEST_F(OsVersionTest, TheVersionIsSetByTestsOrByTheEnvironment) {
    win32::testing::SetOsVersionForTesting({VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 6"});
    OSVERSIONINFOA info = Query();
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 0u);
    EXPECT_EQ(info.dwBuildNumber, 1381u);
    EXPECT_STREQ(info.szCSDVersion, "Service Pack 6");
    EXPECT_EQ(GetVersion(), 4u | (1381u << 16));
    win32::testing::ResetOsVersionForTesting();

    struct Case {
        const char* text;
        DWORD platform, major, minor, build;
    };
    const Case cases[] = {
        {"nt 4.0.1381", VER_PLATFORM_WIN32_NT, 4, 0, 1381},
        {"NT 6.1", VER_PLATFORM_WIN32_NT, 6, 1, 0},
        {"9x 4.10.2222", VER_PLATFORM_WIN32_WINDOWS, 4, 10, (4u << 24) | (10u << 16) | 2222u},
        {"win32s 3.1", VER_PLATFORM_WIN32s, 3, 1, (3u << 24) | (1u << 16)},
        {"os2 4.0", VER_PLATFORM_WIN32_NT, 5, 1, 2600},  // not understood: the default
        {"nt", VER_PLATFORM_WIN32_NT, 5, 1, 2600},
    };
    for (const Case& c : cases) {
        setenv("MQ_OS_VERSION", c.text, 1);
        OSVERSIONINFOA answer = Query();
        EXPECT_EQ(answer.dwPlatformId, c.platform) << c.text;
        EXPECT_EQ(answer.dwMajorVersion, c.major) << c.text;
        EXPECT_EQ(answer.dwMinorVersion, c.minor) << c.text;
        EXPECT_EQ(answer.dwBuildNumber, c.build) << c.text;
    }
}

}  // namespace
