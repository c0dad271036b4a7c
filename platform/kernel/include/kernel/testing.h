// Test hooks of the kernel stand-in: the pool ledger, pool failure injection, and counts of the
// I/O manager's live objects. Not for drivers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

namespace kernel::testing {

struct PoolUsage {
    std::size_t allocations = 0;  // blocks still allocated
    std::size_t bytes = 0;
    bool operator==(const PoolUsage&) const = default;
};

// Outstanding pool blocks of one tag, and of all tags.
PoolUsage PoolOutstanding(std::uint32_t tag);
std::map<std::uint32_t, PoolUsage> PoolLedger();
// The n-th allocation from now (1 = the next) with the given tag (0 = any) fails; 0 disarms.
void FailPoolAllocation(int nth, std::uint32_t tag = 0);

// Live objects of the I/O manager: user requests not yet finished, open file objects, devices.
std::size_t OutstandingUserRequests();
std::size_t OpenFileObjects();
std::size_t LiveDevices();
// Waits (bounded) until deferred IRP_MJ_CLOSE requests have been sent; false on timeout.
bool DrainDeferredCloses(int timeoutMs = 5000);

}  // namespace kernel::testing
