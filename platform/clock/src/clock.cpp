// The readings of the clock in each mode, the changes of mode, and the stall rule of real mode.
#include "simclock/clock.h"

#include <tuple>

#include "state.h"

namespace simclock {
namespace detail {
namespace {

constexpr std::int64_t kEpochDifference100ns = 116444736000000000LL;  // 1601 -> 1970

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void RaiseTo(std::atomic<std::int64_t>& value, std::int64_t candidate) {
    std::int64_t seen = value.load();
    while (seen < candidate && !value.compare_exchange_weak(seen, candidate)) {
    }
}

// The stall rule: a reading more than the bound past the earliest due wait finds a thread that
// should have come back from that wait and has not, because the host did not run it. The reading
// stands at the due reading plus the bound until the thread comes back; what the host ran on
// meanwhile is held. Consecutive holds are one stall; one stall holds at most kStallHoldLimit, so
// a thread stopped for good (a debugger) does not stop the clock. Under stallMutex.
std::int64_t HoldOverdue(State& state, std::int64_t host, std::int64_t due) {
    std::lock_guard guard(state.stallMutex);
    const std::int64_t reading = host + state.biasNs.load() - state.heldNs.load();
    const std::int64_t limit = std::max(due + kStallBound.count(), state.lastReturnedNs.load());
    if (reading <= limit)
        return reading;
    if (!state.holding.load()) {
        state.holding.store(true);
        ++state.stalls.count;
        state.stallHeldNs = 0;
    }
    const std::int64_t hold =
        std::min(reading - limit, kStallHoldLimit.count() - state.stallHeldNs);
    if (hold <= 0)
        return reading;
    state.heldNs.fetch_add(hold);
    state.stallHeldNs += hold;
    state.stalls.longest = std::max(state.stalls.longest, Duration(state.stallHeldNs));
    state.stalls.total += Duration(hold);
    return reading - hold;
}

std::int64_t RealReadingNs(State& state) {
    const std::int64_t host = HostNs();
    std::int64_t reading = host + state.biasNs.load() - state.heldNs.load();
    if (const std::int64_t due = state.earliestDueNs.load();
        due != std::numeric_limits<std::int64_t>::max() && reading - due > kStallBound.count())
        reading = HoldOverdue(state, host, due);
    else if (state.holding.load(std::memory_order_relaxed))
        state.holding.store(false);  // nothing overdue: the stall has ended
    RaiseTo(state.lastReturnedNs, reading);
    return std::max(reading, state.lastReturnedNs.load());
}

}  // namespace

State::State() {
    using namespace std::chrono;
    const auto wall = duration_cast<nanoseconds>(system_clock::now().time_since_epoch());
    const auto steady = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch());
    wallOffsetNs = (wall - steady).count();
}

State& TheState() {
    static State* state = new State;
    return *state;
}

std::int64_t HostNs() {
    const State& state = TheState();
    return state.manualHost.load() ? state.manualHostNs.load() : SteadyNs();
}

std::int64_t ReadingNs() {
    State& state = TheState();
    switch (state.mode.load()) {
        case Mode::Manual:
            return state.manualNs.load();
        case Mode::Virtual:
            return state.virtualNs.load();
        case Mode::Real:
            break;
    }
    return RealReadingNs(state);
}

void NotifyJump() {
    State& state = TheState();
    PokeDueWaits();
    std::lock_guard guard(state.subscribersMutex);
    for (auto& [id, routine] : state.subscribers)
        routine();
}

namespace {

// Leaves the current mode for another one at the same reading. Real mode resumes from the reading
// it is given through the bias, never going back.
void SwitchMode(Mode to) {
    State& state = TheState();
    {
        std::lock_guard guard(state.mutex);
        const Mode from = state.mode.load();
        if (from == to)
            return;
        const std::int64_t reading = ReadingNs();
        if (to == Mode::Real) {
            // The bias puts the real reading where the other mode stood.
            const std::int64_t bias = reading - SteadyNs() + state.heldNs.load();
            if (bias > state.biasNs.load())
                state.biasNs.store(bias);
        } else if (to == Mode::Manual) {
            state.manualNs.store(reading);
        } else {
            state.virtualNs.store(reading);
        }
        state.mode.store(to);
    }
    NotifyJump();
    AdvanceIfIdle();
}

}  // namespace
}  // namespace detail

using detail::Mode;
using detail::TheState;

Duration Now() {
    return Duration(detail::ReadingNs());
}

std::int64_t SystemTime100ns() {
    return detail::kEpochDifference100ns + (Now().count() + TheState().wallOffsetNs) / 100;
}

bool IsManual() {
    return TheState().mode.load() == Mode::Manual;
}

bool IsVirtual() {
    return TheState().mode.load() == Mode::Virtual;
}

HostTimePoint HostDeadline(Duration deadline) {
    if (TheState().mode.load() != Mode::Real)
        return HostTimePoint::max();
    const Duration remaining = deadline - Now();
    return std::chrono::steady_clock::now() + (remaining.count() > 0 ? remaining : Duration{0});
}

StallRecord Stalls() {
    detail::State& state = TheState();
    std::lock_guard guard(state.stallMutex);
    return state.stalls;
}

namespace {

// A due wait with no thread sleeping in it (due work, a test's pending deadline): listed at a
// reading, with the key RemoveDueWait takes.
std::pair<void*, std::int64_t> ListDue(std::int64_t reading) {
    auto* waiter = new detail::Waiter;
    return {waiter, detail::AddDueWait(reading, waiter)};
}

void UnlistDue(void* entry, std::int64_t key) {
    auto* waiter = static_cast<detail::Waiter*>(entry);
    detail::RemoveDueWait(key, waiter);
    delete waiter;
}

}  // namespace

DueWork::DueWork() {
    if (TheState().mode.load() == Mode::Real)
        std::tie(entry_, key_) = ListDue(detail::ReadingNs());
}

DueWork::~DueWork() {
    if (entry_ != nullptr)
        UnlistDue(entry_, key_);
}

Subscription::Subscription(std::function<void()> onJump) {
    detail::State& state = TheState();
    std::lock_guard guard(state.subscribersMutex);
    id_ = state.nextId++;
    state.subscribers.emplace(id_, std::move(onJump));
}

Subscription::~Subscription() {
    detail::State& state = TheState();
    std::lock_guard guard(state.subscribersMutex);
    state.subscribers.erase(id_);
}

void ResetStalls() {
    detail::State& state = TheState();
    std::lock_guard guard(state.stallMutex);
    state.stalls = {};
    state.holding.store(false);  // a hold going on counts as a new stall
}

namespace testing {

void UseManualClock() {
    detail::SwitchMode(Mode::Manual);
}

void UseVirtualClock() {
    detail::SwitchMode(Mode::Virtual);
}

void UseRealClock() {
    detail::SwitchMode(Mode::Real);
}

void Advance(Duration step) {
    detail::State& state = TheState();
    {
        std::lock_guard guard(state.mutex);
        if (state.mode.load() != Mode::Manual || step.count() < 0)
            return;
        state.manualNs.fetch_add(step.count());
    }
    detail::NotifyJump();
}

void SetBias(Duration bias) {
    detail::State& state = TheState();
    {
        std::lock_guard guard(state.mutex);
        state.biasNs.store(bias.count());
        state.lastReturnedNs.store(0);
    }
    detail::NotifyJump();
}

ManualHostClock::ManualHostClock() {
    detail::State& state = TheState();
    std::lock_guard guard(state.mutex);
    state.manualHostNs.store(detail::SteadyNs());
    state.manualHost.store(true);
}

ManualHostClock::~ManualHostClock() {
    detail::State& state = TheState();
    std::lock_guard guard(state.mutex);
    // Real readings go on from the steady clock without going back: the gap becomes bias.
    const std::int64_t ahead = state.manualHostNs.load() - detail::SteadyNs();
    if (ahead > 0)
        state.biasNs.fetch_add(ahead);
    state.manualHost.store(false);
}

void ManualHostClock::Advance(Duration step) {
    if (step.count() > 0)
        TheState().manualHostNs.fetch_add(step.count());
}

PendingDeadline::PendingDeadline(Duration due) {
    std::tie(entry_, due_) = ListDue(due.count());
}

PendingDeadline::~PendingDeadline() {
    UnlistDue(entry_, due_);
}

}  // namespace testing
}  // namespace simclock
