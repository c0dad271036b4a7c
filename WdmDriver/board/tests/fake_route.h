// A StatusRoute that records what it is told, for the tests, with bounded waits.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "board/status_route.h"

namespace board_test {

class FakeRoute : public board::StatusRoute {
  public:
    struct Call {
        std::string what;  // "signal", "da-ready", "removed", "transaction-error"
        board::SubsystemKind kind = board::SubsystemKind::kAd;
        dalayer::SubsystemEvent event = dalayer::SubsystemEvent::kOverrun;
        ULONG data = 0;
        bool operator==(const Call&) const = default;
    };

    void Signal(board::SubsystemKind kind, dalayer::SubsystemEvent event, ULONG data) override {
        Add({"signal", kind, event, data});
    }
    void DaReady() override { Add({"da-ready"}); }
    void DeviceRemoved() override { Add({"removed"}); }
    void TransactionError() override {
        Add({"transaction-error"});
        if (onTransactionError)
            onTransactionError();
    }
    // Runs at each transaction error, after it was recorded (DISPATCH_LEVEL).
    std::function<void()> onTransactionError;

    std::vector<Call> Calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }
    // Waits (bounded) until at least n calls were made.
    bool WaitCalls(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return calls_.size() >= n; });
    }

  private:
    void Add(Call call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Call> calls_;
};

}  // namespace board_test
