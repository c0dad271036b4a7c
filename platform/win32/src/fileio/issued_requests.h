// The requests each thread has issued on each file and that have not completed yet. CancelIo and
// a thread's exit cancel theirs and then wait here until they are back, as the platform does, so
// that no completion writes into an OVERLAPPED after its owner was told it may free it.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

#include "simclock/condition.h"

namespace win32::detail {

class IssuedRequests {
  public:
    using IssuerId = std::uint64_t;
    using FileId = std::uint64_t;

    static IssuedRequests& Instance();

    void Add(IssuerId issuer, FileId file);
    void Remove(IssuerId issuer, FileId file);
    // Waits until the issuer has no request outstanding on file (0: on any file), at most
    // `limit`. False when some are still outstanding then.
    bool WaitUntilNone(IssuerId issuer, FileId file, std::chrono::milliseconds limit);

  private:
    bool NoneLocked(IssuerId issuer, FileId file) const;

    std::mutex mutex_;
    simclock::ConditionVariable drained_;
    std::map<std::pair<IssuerId, FileId>, std::uint32_t> counts_;
    int waiting_ = 0;
};

}  // namespace win32::detail
