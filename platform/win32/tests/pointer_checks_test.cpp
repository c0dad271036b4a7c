#include "win32/pointer_checks.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <array>

namespace {

void WINAPI someRoutine() {}

TEST(PointerChecks, AnswersFromTheProcessMappings) {
    std::array<char, 64> stackBuffer{};
    static const char constant[16] = "read only text";
    EXPECT_FALSE(IsBadWritePtr(stackBuffer.data(), stackBuffer.size()));
    EXPECT_FALSE(IsBadReadPtr(stackBuffer.data(), stackBuffer.size()));
    EXPECT_FALSE(IsBadReadPtr(constant, sizeof constant));
    EXPECT_TRUE(IsBadWritePtr(const_cast<char*>(constant), sizeof constant));
    EXPECT_TRUE(IsBadWritePtr(nullptr, 1));
    EXPECT_TRUE(IsBadReadPtr(nullptr, 4));
    EXPECT_FALSE(IsBadWritePtr(nullptr, 0));  // an empty range is never bad

    EXPECT_FALSE(IsBadCodePtr(&someRoutine));
    EXPECT_TRUE(IsBadCodePtr(nullptr));
    EXPECT_TRUE(IsBadCodePtr(reinterpret_cast<FARPROC>(stackBuffer.data())));
}

TEST(PointerChecks, ARangeRunningIntoAnUnmappedPageIsBad) {
    const long page = 4096;
    auto* pages = static_cast<char*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(munmap(pages + page, page), 0);
    EXPECT_FALSE(IsBadWritePtr(pages, page));
    EXPECT_TRUE(IsBadWritePtr(pages + page - 8, 16));
    EXPECT_TRUE(IsBadReadPtr(pages + page, 1));
    ASSERT_EQ(mprotect(pages, page, PROT_READ), 0);
    EXPECT_TRUE(IsBadWritePtr(pages, 8));
    EXPECT_FALSE(IsBadReadPtr(pages, 8));
    munmap(pages, page);
}

}  // namespace
