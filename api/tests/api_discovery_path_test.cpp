// Which board source each operating system version gets.
#include <gtest/gtest.h>

#include "discovery/os_support.h"
#include "win32/version.h"

namespace hxda {
namespace {

struct VersionCase {
    DWORD platform;
    DWORD major;
    DWORD minor;
    DiscoveryPath expected;
};

TEST(DiscoveryPath, FollowsThePlatformAndVersion) {
    const VersionCase cases[] = {
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, DiscoveryPath::Unsupported},  // the first 9x release
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, DiscoveryPath::DeviceInterfaces},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, DiscoveryPath::DeviceInterfaces},
        {VER_PLATFORM_WIN32_NT, 3, 51, DiscoveryPath::Unsupported},
        {VER_PLATFORM_WIN32_NT, 4, 0, DiscoveryPath::DeviceMap},
        {VER_PLATFORM_WIN32_NT, 5, 0, DiscoveryPath::DeviceInterfaces},
        {VER_PLATFORM_WIN32_NT, 6, 1, DiscoveryPath::DeviceInterfaces},
        {VER_PLATFORM_WIN32s, 5, 0, DiscoveryPath::Unsupported},
    };
    for (const VersionCase& c : cases) {
        win32::testing::SetOsVersionForTesting({c.platform, c.major, c.minor, 1000, ""});
        EXPECT_EQ(discoveryPath(), c.expected) << c.platform << " " << c.major << "." << c.minor;
    }
    win32::testing::ResetOsVersionForTesting();
}

}  // namespace
}  // namespace hxda
