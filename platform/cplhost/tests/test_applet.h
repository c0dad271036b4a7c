// The test applet module's values and its two test entries.
#pragma once

#include <cstdint>
#include <vector>

#include "win32/types.h"

inline constexpr std::int32_t kTestIconId = 100;
inline constexpr std::int32_t kTestNameId = 101;
inline constexpr std::int32_t kTestInfoId = 102;
inline constexpr std::int32_t kTestStaticData = 0x51;
inline constexpr std::int32_t kTestDynamicData = 0x52;
inline constexpr std::uint32_t kTestIcon = 0x7001;
inline constexpr DWORD kTestHelpContext = 42;
inline constexpr LONG kTestDblClkAnswer = 9;
inline constexpr char kTestDynamicInfo[] = "Described at run time";
inline constexpr char kTestHelpFile[] = "TEST.HLP";
inline constexpr char kTestAppletModule[] = "cplhost_test_applet.cpl";

struct TestAppletMessage {
    HWND window;
    UINT message;
    LPARAM lParam1;
    LPARAM lParam2;
};

using TestAppletSetInitAnswerProc = void (*)(LONG answer);
using TestAppletReceivedProc = const std::vector<TestAppletMessage>* (*)();
