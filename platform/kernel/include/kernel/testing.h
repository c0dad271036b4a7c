// Test hooks of the kernel stand-in: the pool ledger, pool failure injection, counts of the
// I/O manager's live objects, and an observer of read completions. Not for drivers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>

namespace kernel::testing {

struct PoolUsage {
    std::size_t allocations = 0;  // blocks still allocated
    std::size_t bytes = 0;
    bool operator==(const PoolUsage&) const = default;
};

// The tag of IRPs, which come from non-paged pool.
inline constexpr std::uint32_t kIrpPoolTag = 0x49727020;  // MQ_POOL_TAG('I', 'r', 'p', ' ')

// Outstanding pool blocks of one tag, and of all tags.
PoolUsage PoolOutstanding(std::uint32_t tag);
std::map<std::uint32_t, PoolUsage> PoolLedger();
// The n-th allocation from now (1 = the next) with the given tag (0 = any) fails; 0 disarms.
void FailPoolAllocation(int nth, std::uint32_t tag = 0);

// Live objects of the I/O manager: user requests not yet finished, open file objects, devices.
std::size_t OutstandingUserRequests();
std::size_t OpenFileObjects();
std::size_t LiveDevices();
// Kernel waits (KeWaitForSingleObject) blocked now, and the wake-ups of blocked waits by a change
// of the object they wait on, since the process started.
std::size_t BlockedKernelWaits();
std::uint64_t KernelWaitWakeups();
// Waits (bounded) until deferred IRP_MJ_CLOSE requests have been sent; false on timeout.
bool DrainDeferredCloses(int timeoutMs = 5000);

// Called when a read issued from user mode is completed to the I/O manager, with the caller's
// read buffer and the bytes transferred (IoStatus.Information; 0 for a failed read), after the
// data are in the buffer and before the issuer hears of it. It runs on the completing thread
// (often a DPC at DISPATCH_LEVEL): it must be short, must not wait, and must not install another
// observer. An empty function removes the observer; once SetCompletionObserver returns, the
// previous observer is not running and is not called again. Without an observer a completion
// pays one relaxed atomic load.
using CompletionObserver = std::function<void(const void* userBuffer, std::size_t bytes)>;
void SetCompletionObserver(CompletionObserver observer);

}  // namespace kernel::testing
