// Owners of the streaming transfer objects as the A/D and D/A objects are to them: a state, the
// events received, and the ends of writes with the level they came at.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "framework/stream_transfers.h"

namespace wdm_usb_test {

class RecordingInOwner : public wdm::StreamInOwner {
  public:
    wdm::TransferState StreamState() override {
        return static_cast<wdm::TransferState>(state.load());
    }
    void StreamEvent(wdm::TransferEvent event) override {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
        }
        if (delayMs > 0) {  // a completion that takes its time
            inEvent = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
            eventDone = true;
        }
    }
    std::vector<wdm::TransferEvent> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::atomic<int> delayMs{0};
    std::atomic<bool> inEvent{false};
    std::atomic<bool> eventDone{false};
    std::size_t Count(wdm::TransferEvent event) {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count(events_.begin(), events_.end(), event));
    }
    std::atomic<LONG> state{4};

  private:
    std::mutex mutex_;
    std::vector<wdm::TransferEvent> events_;
};

class RecordingOutOwner : public wdm::StreamOutOwner {
  public:
    LONG volatile* StreamState() override { return &state; }
    bool SingleBuffer() override { return singleBuffer.load(); }
    void StreamEvent(wdm::TransferEvent event) override {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }
    void WriteCompleted(NTSTATUS status) override {
        std::lock_guard lock(mutex_);
        ends_.push_back(status);
        if (KeGetCurrentIrql() != PASSIVE_LEVEL)
            wrongLevel_ = true;
    }
    void TransfersReturned() override {
        std::lock_guard lock(mutex_);
        ++returned_;
        if (KeGetCurrentIrql() != PASSIVE_LEVEL)
            wrongLevel_ = true;
    }
    std::vector<wdm::TransferEvent> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<NTSTATUS> Ends() {
        std::lock_guard lock(mutex_);
        return ends_;
    }
    int Returned() {
        std::lock_guard lock(mutex_);
        return returned_;
    }
    bool WrongLevel() {
        std::lock_guard lock(mutex_);
        return wrongLevel_;
    }
    LONG State() { return InterlockedCompareExchange(&state, 0, 0); }

    LONG volatile state = 4;
    std::atomic<bool> singleBuffer{false};

  private:
    std::mutex mutex_;
    std::vector<wdm::TransferEvent> events_;
    std::vector<NTSTATUS> ends_;
    int returned_ = 0;
    bool wrongLevel_ = false;
};

}  // namespace wdm_usb_test
