// DbgPrint: formatted texts reach the debug sink in order, cut at the platform's limit, from any
// thread; a clear empties it.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "kernel/debug_print.h"

namespace {

TEST(DebugPrintTest, FormatsInOrderCutsLongTextsAndClears) {
    kernel::testing::ClearDebugPrintOutput();
    EXPECT_EQ(DbgPrint("MQ5120k: pipe %u failed 0x%08X\n", 3u, 0xC0000001u), 34u);
    DbgPrint("%s", "second\n");
    EXPECT_EQ(kernel::testing::DebugPrintOutput(), "MQ5120k: pipe 3 failed 0xC0000001\nsecond\n");

    kernel::testing::ClearDebugPrintOutput();
    const std::string longText(700, 'x');
    EXPECT_EQ(DbgPrint("%s", longText.c_str()), 512u);
    EXPECT_EQ(kernel::testing::DebugPrintOutput(), std::string(512, 'x'));
    kernel::testing::ClearDebugPrintOutput();
    EXPECT_EQ(kernel::testing::DebugPrintOutput(), "");
}

TEST(DebugPrintTest, LinesFromManyThreadsStayWhole) {
    kernel::testing::ClearDebugPrintOutput();
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                DbgPrint("thread %d line %03d\n", t, i);
        });
    for (auto& thread : threads)
        thread.join();
    const std::string text = kernel::testing::DebugPrintOutput();
    std::size_t lines = 0;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        EXPECT_EQ(end - at, std::string("thread 0 line 000").size());
        ++lines;
    }
    EXPECT_EQ(lines, static_cast<std::size_t>(kThreads * kLines));
}

}  // namespace
