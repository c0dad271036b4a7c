// The buffer manager's records and its process-wide tables.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "handle_table.h"
#include "hxmem32.h"
#include "owner_lock.h"

namespace hxmem32 {

// Room for the platform's overlapped record (32 bytes with 64-bit pointers), with a margin.
inline constexpr std::size_t kOverlappedStorageBytes = 64;

struct Buffer {
    std::mutex mutex;  // guards every field below
    bool freed = false;
    std::unique_ptr<std::byte[]> data;
    std::uint32_t bytes = 0;
    std::uint32_t width = 2;  // bytes per sample
    std::uint32_t bits = 0;
    std::uint32_t validSamples = 0;
    std::uint32_t stamp = 0;
    std::uint32_t flags = 0;
    HLIST list = 0;          // the list the buffer is on, 0 for none
    bool inProcess = false;  // handed to a driver; never on a list at the same time
    alignas(16) std::byte overlapped[kOverlappedStorageBytes] = {};

    std::uint32_t CapacitySamples() const { return bytes / width; }
};

struct List {
    OwnerLock lock;  // guards every field below
    bool freed = false;
    std::deque<HBUF> buffers;
};

struct State {
    HandleTable<Buffer> buffers{false};
    HandleTable<List> lists{true};
    std::atomic<std::uint32_t> lastStamp{0};
};

State& GlobalState();

}  // namespace hxmem32
