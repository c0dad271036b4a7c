// The bus-call time of one board, and the meter that counts one bus call (under the board's
// lock) and times it when the ledger draws it. The process's totals are the sum over the boards
// there are and the totals of those there were: no counter is shared between boards, so calls on
// different boards never contend.
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

    // Under the board's lock (one caller at a time): whether to time this call, then the call.
    bool Draw() {
        random_ ^= random_ << 13;
        random_ ^= random_ >> 17;
        random_ ^= random_ << 5;
        return (random_ & (kBusCallSampling - 1)) == 0;
    }
    void Add(bool timed, std::int64_t cpuNs) {
        calls_.store(calls_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        if (timed)
            timedNs_.store(timedNs_.load(std::memory_order_relaxed) + cpuNs,
                           std::memory_order_relaxed);
    }
    BusCallTime Totals() const {
        return {
            std::chrono::nanoseconds(timedNs_.load(std::memory_order_relaxed) * kBusCallSampling),
            calls_.load(std::memory_order_relaxed)};
    }

  private:
    std::atomic<std::uint64_t> calls_{0};
    std::atomic<std::int64_t> timedNs_{0};
    std::uint32_t random_ = 0x9E3779B9u;
};

class BusCallTimeMeter {
  public:
    explicit BusCallTimeMeter(BusCallLedger& ledger);
    ~BusCallTimeMeter();
    BusCallTimeMeter(const BusCallTimeMeter&) = delete;
    BusCallTimeMeter& operator=(const BusCallTimeMeter&) = delete;

  private:
    BusCallLedger& ledger_;
    bool timed_;
    std::int64_t startNs_ = 0;
};

}  // namespace mq5120
