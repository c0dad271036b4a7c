// The bus's frame thread: it sleeps until the earliest frame end a port named and runs the passes
// of every port due by then.
#include "frame_service.h"

#include <algorithm>
#include <vector>

#include "port.h"

namespace usb {

FrameService::FrameService() : thread_([this] { Loop(); }) {}

FrameService::~FrameService() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void FrameService::Due(Port* port, std::optional<simclock::Duration> at) {
    bool earlier = false;
    {
        std::lock_guard lock(mutex_);
        if (!at) {
            due_.erase(port);
            return;
        }
        const simclock::Duration end = BusFrameEnd(*at);
        due_[port] = end;
        earlier = end < sleepsUntil_;
    }
    // A frame after the one the thread sleeps until is found when that one comes.
    if (earlier)
        changed_.notify_all();
}

void FrameService::Forget(Port* port) {
    std::unique_lock lock(mutex_);
    passed_.wait(lock, [&] { return passing_ != port; });
    due_.erase(port);
    std::erase(ready_, port);
}

void FrameService::Loop() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        simclock::Duration earliest = simclock::Duration::max();
        for (const auto& [port, at] : due_)
            earliest = std::min(earliest, at);
        if (earliest == simclock::Duration::max()) {
            sleepsUntil_ = earliest;
            changed_.wait(lock);
            sleepsUntil_ = simclock::Duration::min();
            continue;
        }
        const simclock::Duration now = simclock::Now();
        if (earliest > now) {
            sleepsUntil_ = earliest;
            changed_.wait_until_reading(lock, earliest);
            sleepsUntil_ = simclock::Duration::min();
            continue;  // the ports or the clock may have changed meanwhile
        }
        for (auto it = due_.begin(); it != due_.end();) {
            if (it->second <= now) {
                ready_.push_back(it->first);
                it = due_.erase(it);
            } else {
                ++it;
            }
        }
        // Taken one at a time under the lock: a Forget meanwhile takes its port out of the list.
        while (!ready_.empty()) {
            Port* port = ready_.front();
            ready_.erase(ready_.begin());
            passing_ = port;
            lock.unlock();
            port->Pass();
            lock.lock();
            passing_ = nullptr;
            passed_.notify_all();
        }
    }
}

}  // namespace usb
