// Pool memory of the driver's framework: every block carries the tag "Wdm ", so that the pool
// ledger shows what the driver holds. Objects of the framework's classes that live in pool derive
// from PoolObject: when the pool is out of memory their nothrow new answers null and their plain
// new throws std::bad_alloc, so the driver's code makes them with new (std::nothrow).
#pragma once

#include <cstddef>
#include <new>

#include "kernel/wdm.h"

namespace wdm {

inline constexpr ULONG kPoolTag = MQ_POOL_TAG('W', 'd', 'm', ' ');

// Zero-filled; null when the pool is out of memory.
inline void* PoolAllocate(POOL_TYPE type, SIZE_T bytes) {
    return ExAllocatePoolWithTag(type, bytes, kPoolTag);
}
inline void PoolFree(void* block) {
    if (block != nullptr)
        ExFreePoolWithTag(block, kPoolTag);
}

// Objects allocated from non-paged pool with the driver's tag (they are reached at dispatch level).
class PoolObject {
  public:
    static void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
        return PoolAllocate(NonPagedPool, bytes);
    }
    static void* operator new(std::size_t bytes) {
        void* block = PoolAllocate(NonPagedPool, bytes);
        if (block == nullptr)
            throw std::bad_alloc();
        return block;
    }
    static void operator delete(void* block) noexcept { PoolFree(block); }
    static void operator delete(void* block, const std::nothrow_t&) noexcept { PoolFree(block); }
};

}  // namespace wdm
