// OutputDebugString: the process sink and the stderr echo.
#include <gtest/gtest.h>

#include <cstdlib>

#include "win32/debug.h"

namespace {

TEST(DebugOutputTest, TextsCollectInTheSinkUntilCleared) {
    win32::testing::ClearDebugOutput();
    unsetenv("MQ_DEBUG_OUTPUT");
    testing::internal::CaptureStderr();
    OutputDebugStringA("first ");
    OutputDebugStringA(nullptr);
    OutputDebugString("second\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(win32::testing::DebugOutput(), "first second\n");
    win32::testing::ClearDebugOutput();
    EXPECT_EQ(win32::testing::DebugOutput(), "");

    setenv("MQ_DEBUG_OUTPUT", "1", 1);
    testing::internal::CaptureStderr();
    OutputDebugStringA("echoed\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "echoed\n");
    unsetenv("MQ_DEBUG_OUTPUT");
    EXPECT_EQ(win32::testing::DebugOutput(), "echoed\n");
    win32::testing::ClearDebugOutput();
}

}  // namespace
