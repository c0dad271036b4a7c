// The local heap: blocks named by tokens, sizes, locks, and stale or foreign handles refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/local_heap.h"

namespace {

constexpr SIZE_T kBlockBytes = 56;

std::uintptr_t TokenOf(HLOCAL handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

TEST(LocalHeap, ABlockIsATokenWithItsSizeAndZeroedBytes) {
    const std::size_t before = win32::LocalBlockCount();
    HLOCAL block = LocalAlloc(LHND, kBlockBytes);
    ASSERT_NE(block, nullptr);
    EXPECT_LT(TokenOf(block), 0x80000000u);  // fits a signed 32-bit word, never -1
    EXPECT_EQ(LocalSize(block), kBlockBytes);
    auto* bytes = static_cast<unsigned char*>(LocalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + kBlockBytes),
              std::vector<unsigned char>(kBlockBytes, 0));
    std::memset(bytes, 0xA5, kBlockBytes);
    EXPECT_EQ(LocalLock(block), bytes);  // blocks never move
    EXPECT_TRUE(LocalUnlock(block));     // one lock remains
    EXPECT_FALSE(LocalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(LocalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(win32::LocalBlockCount(), before + 1);
    EXPECT_EQ(LocalFree(block), nullptr);
    EXPECT_EQ(win32::LocalBlockCount(), before);
}

TEST(LocalHeap, AFreedBlockIsRefusedEverywhere) {
    HLOCAL block = LocalAlloc(LPTR, kBlockBytes);
    ASSERT_EQ(LocalFree(block), nullptr);
    // Blocks made after it do not bring its token back.
    std::vector<HLOCAL> later;
    for (int i = 0; i < 8; ++i)
        later.push_back(LocalAlloc(LMEM_FIXED, kBlockBytes));
    for (HLOCAL other : later)
        EXPECT_NE(other, block);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(LocalSize(block), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(LocalLock(block), nullptr);
    EXPECT_FALSE(LocalUnlock(block));
    EXPECT_EQ(LocalFree(block), block);  // a second free is refused
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    for (HLOCAL other : later)
        EXPECT_EQ(LocalFree(other), nullptr);
}

TEST(LocalHeap, ForeignAndNullHandlesAreRefused) {
    HLOCAL block = LocalAlloc(LHND, kBlockBytes);
    int notABlock = 0;  // an address is never a token
    const HLOCAL foreign[] = {nullptr, reinterpret_cast<HLOCAL>(TokenOf(block) ^ 0x40000000u),
                              reinterpret_cast<HLOCAL>(TokenOf(block) + 0x100000u),
                              reinterpret_cast<HLOCAL>(static_cast<std::uintptr_t>(-1)),
                              reinterpret_cast<HLOCAL>(&notABlock)};
    for (HLOCAL handle : foreign) {
        SCOPED_TRACE(TokenOf(handle));
        EXPECT_EQ(LocalSize(handle), 0u);
        EXPECT_EQ(LocalLock(handle), nullptr);
        EXPECT_EQ(LocalFree(handle), handle);
    }
    EXPECT_EQ(LocalSize(block), kBlockBytes);  // untouched by the refused calls
    EXPECT_EQ(LocalFree(block), nullptr);
}

TEST(LocalHeap, AnEmptyBlockHasNoAddressAndUnknownFlagsAreRefused) {
    HLOCAL empty = LocalAlloc(LHND, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(LocalSize(empty), 0u);
    EXPECT_EQ(LocalLock(empty), nullptr);
    EXPECT_EQ(LocalFree(empty), nullptr);
    EXPECT_EQ(LocalFree(empty), empty);  // freed: now refused

    constexpr UINT kDiscardable = 0x0F00u;
    EXPECT_EQ(LocalAlloc(kDiscardable, kBlockBytes), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(LocalHeap, ThreadsAllocateAndFreeSideBySide) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 500;
    const std::size_t before = win32::LocalBlockCount();
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            for (int round = 0; round < kRounds; ++round) {
                HLOCAL block = LocalAlloc(LHND, kBlockBytes);
                auto* bytes = static_cast<unsigned char*>(LocalLock(block));
                if (!bytes) {
                    ++failures[t];
                    continue;
                }
                bytes[0] = static_cast<unsigned char>(t);
                failures[t] += LocalSize(block) == kBlockBytes ? 0 : 1;
                LocalUnlock(block);
                failures[t] += LocalFree(block) == nullptr ? 0 : 1;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
    EXPECT_EQ(win32::LocalBlockCount(), before);
}

}  // namespace
