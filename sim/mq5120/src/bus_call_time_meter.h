// The bus-call time of one board, and the meter that adds the lifetime of a scope (one bus call,
// under the board's lock) to it. The process's totals are the sum over the boards there are and
// the totals of those there were: no counter is shared between boards, so calls on different
// boards never contend.
#pragma once

#include <atomic>
#include <cstdint>

#include "mq5120/bus_call_time.h"

namespace mq5120 {

class BusCallLedger {
  public:
    BusCallLedger();
    ~BusCallLedger();
    BusCallLedger(const BusCallLedger&) = delete;
    BusCallLedger& operator=(const BusCallLedger&) = delete;

    // Under the board's lock: one writer at a time.
    void Add(std::int64_t ns) {
        busyNs_.store(busyNs_.load(std::memory_order_relaxed) + ns, std::memory_order_relaxed);
        calls_.store(calls_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
    BusCallTime Totals() const {
        return {std::chrono::nanoseconds(busyNs_.load(std::memory_order_relaxed)),
                calls_.load(std::memory_order_relaxed)};
    }

  private:
    std::atomic<std::int64_t> busyNs_{0};
    std::atomic<std::uint64_t> calls_{0};
};

class BusCallTimeMeter {
  public:
    explicit BusCallTimeMeter(BusCallLedger& ledger);
    ~BusCallTimeMeter();
    BusCallTimeMeter(const BusCallTimeMeter&) = delete;
    BusCallTimeMeter& operator=(const BusCallTimeMeter&) = delete;

  private:
    BusCallLedger& ledger_;
    std::int64_t startNs_;
};

}  // namespace mq5120
