// The settings store on the machine's registry, and the fixed date and time texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "registry/testing.h"
#include "simclock/clock.h"
#include "uilang/datetime.h"
#include "uilang/settings.h"
#include "win32/registry.h"

namespace {

using namespace uilang;

TEST(SettingsTest, StoredTextsComeBackPerApplicationSectionAndKey) {
    registry::ScopedMachine machine;
    EXPECT_EQ(GetSetting("Larkspur", "Settings", "MainLeft", "1000"), "1000");
    SaveSetting("Larkspur", "Settings", "MainLeft", "1200");
    SaveSetting("Larkspur", "Other", "MainLeft", "5");
    SaveSetting("Another", "Settings", "MainLeft", "7");
    EXPECT_EQ(GetSetting("Larkspur", "Settings", "MainLeft", "1000"), "1200");
    EXPECT_EQ(GetSetting("Larkspur", "Other", "MainLeft", ""), "5");
    EXPECT_EQ(GetSetting("Another", "Settings", "MainLeft", ""), "7");
    EXPECT_EQ(GetSetting("Larkspur", "Settings", "MainTop", "1000"), "1000");
    SaveSetting("Larkspur", "Settings", "MainLeft", "");
    EXPECT_EQ(GetSetting("Larkspur", "Settings", "MainLeft", "1000"), "");
}

TEST(SettingsTest, TheStoreLivesUnderTheCurrentUsersKeyOfTheMachine) {
    registry::ScopedMachine machine;
    SaveSetting("Larkspur", "Settings", "MainWidth", "6500");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Program Settings\\Larkspur\\Settings", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    {
        registry::ScopedMachine fresh;
        EXPECT_EQ(GetSetting("Larkspur", "Settings", "MainWidth", "none"), "none");
    }
}

TEST(SettingsTest, ANonTextValueReadsAsMissing) {
    registry::ScopedMachine machine;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Program Settings\\Larkspur\\Settings",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD number = 7;
    RegSetValueExA(key, "MainTop", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
    EXPECT_EQ(GetSetting("Larkspur", "Settings", "MainTop", "1000"), "1000");
}

TEST(DateTimeTest, FixedFormsFollowTheStandInsClock) {
    setenv("TZ", "UTC", 1);
    tzset();
    // 2026-12-11 01:02:03 UTC in 100 ns units since 1601.
    constexpr std::int64_t kUnixSeconds = 1796950923LL;
    constexpr std::int64_t kSystemTime = (kUnixSeconds + 11644473600LL) * 10000000LL;
    EXPECT_EQ(DateText(kSystemTime), "2026-12-11");
    EXPECT_EQ(TimeText(kSystemTime), "01:02:03");

    simclock::testing::ManualClock clock;
    std::string before = CurrentTimeText();
    clock.Advance(std::chrono::hours(1));
    EXPECT_NE(CurrentTimeText(), before);
    EXPECT_EQ(CurrentDateText().size(), 10u);
}

}  // namespace
