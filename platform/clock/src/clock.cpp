#include "simclock/clock.h"

#include <atomic>
#include <map>
#include <mutex>

namespace simclock {
namespace {

constexpr std::int64_t kEpochDifference100ns = 116444736000000000LL;  // 1601 -> 1970

struct State {
    std::mutex mutex;  // serialises the setters
    std::atomic<bool> manual{false};
    std::atomic<std::int64_t> manualNs{0};  // the reading in manual mode
    std::atomic<std::int64_t> biasNs{0};    // added to the host time in real mode
    // System time minus steady time, taken once, so that system time moves with Now().
    std::int64_t wallOffsetNs = 0;

    std::mutex subscribersMutex;  // held while the subscribers are called
    std::map<int, std::function<void()>> subscribers;
    int nextId = 1;

    State() {
        using namespace std::chrono;
        const auto wall = duration_cast<nanoseconds>(system_clock::now().time_since_epoch());
        const auto steady = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch());
        wallOffsetNs = (wall - steady).count();
    }
};

// Never destroyed: services of other libraries may still read the clock or unsubscribe while the
// process's statics are destroyed.
State& TheState() {
    static State* state = new State;
    return *state;
}

std::int64_t HostNs() {
    return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t BaseNs(const State& state) {
    return state.manual.load() ? state.manualNs.load() : HostNs() + state.biasNs.load();
}

void NotifyJump() {
    State& state = TheState();
    std::lock_guard guard(state.subscribersMutex);
    for (auto& [id, routine] : state.subscribers)
        routine();
}

}  // namespace

Duration Now() {
    const State& state = TheState();
    return Duration(BaseNs(state));
}

std::int64_t SystemTime100ns() {
    return kEpochDifference100ns + (Now().count() + TheState().wallOffsetNs) / 100;
}

bool IsManual() {
    return TheState().manual.load();
}

HostTimePoint HostDeadline(Duration deadline) {
    if (IsManual())
        return HostTimePoint::max();
    const Duration remaining = deadline - Now();
    return std::chrono::steady_clock::now() + (remaining.count() > 0 ? remaining : Duration{0});
}

Subscription::Subscription(std::function<void()> onJump) {
    State& state = TheState();
    std::lock_guard guard(state.subscribersMutex);
    id_ = state.nextId++;
    state.subscribers.emplace(id_, std::move(onJump));
}

Subscription::~Subscription() {
    State& state = TheState();
    std::lock_guard guard(state.subscribersMutex);
    state.subscribers.erase(id_);
}

namespace testing {

void UseManualClock() {
    State& state = TheState();
    {
        std::lock_guard guard(state.mutex);
        if (state.manual.load())
            return;
        state.manualNs.store(HostNs() + state.biasNs.load());
        state.manual.store(true);
    }
    NotifyJump();
}

void Advance(Duration step) {
    State& state = TheState();
    {
        std::lock_guard guard(state.mutex);
        if (!state.manual.load() || step.count() < 0)
            return;
        state.manualNs.fetch_add(step.count());
    }
    NotifyJump();
}

void UseRealClock() {
    State& state = TheState();
    {
        std::lock_guard guard(state.mutex);
        if (!state.manual.load())
            return;
        const std::int64_t bias = state.manualNs.load() - HostNs();
        if (bias > state.biasNs.load())
            state.biasNs.store(bias);
        state.manual.store(false);
    }
    NotifyJump();
}

void SetBias(Duration bias) {
    State& state = TheState();
    {
        std::lock_guard guard(state.mutex);
        state.biasNs.store(bias.count());
    }
    NotifyJump();
}

}  // namespace testing
}  // namespace simclock
