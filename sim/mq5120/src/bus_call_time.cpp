// The boards' bus-call time: each board's ledger, and the process's list of them.
#include <time.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

#include "bus_call_time_meter.h"

namespace mq5120 {
namespace {

constexpr std::size_t kCalibrationReads = 31;

struct Ledgers {
    std::mutex mutex;
    std::vector<const BusCallLedger*> live;
    BusCallTime departed;
};

Ledgers& AllLedgers() {
    static Ledgers ledgers;
    return ledgers;
}

std::int64_t ThreadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// What a timed call's reading includes of the clock's own reads: the median between two reads in
// a row.
std::int64_t ClockReadCost() {
    static const std::int64_t cost = [] {
        std::array<std::int64_t, kCalibrationReads> spans{};
        for (auto& span : spans) {
            const std::int64_t start = ThreadCpuNs();
            span = ThreadCpuNs() - start;
        }
        std::nth_element(spans.begin(), spans.begin() + spans.size() / 2, spans.end());
        return spans[spans.size() / 2];
    }();
    return cost;
}

void AddTo(BusCallTime& sum, const BusCallTime& more) {
    sum.busy += more.busy;
    sum.calls += more.calls;
}

}  // namespace

BusCallLedger::BusCallLedger() {
    ClockReadCost();  // calibrated before the first call is timed
    Ledgers& ledgers = AllLedgers();
    std::lock_guard lock(ledgers.mutex);
    ledgers.live.push_back(this);
}

BusCallLedger::~BusCallLedger() {
    Ledgers& ledgers = AllLedgers();
    std::lock_guard lock(ledgers.mutex);
    AddTo(ledgers.departed, Totals());
    ledgers.live.erase(std::find(ledgers.live.begin(), ledgers.live.end(), this));
}

BusCallTimeMeter::BusCallTimeMeter(BusCallLedger& ledger) : ledger_(ledger), timed_(ledger.Draw()) {
    if (timed_)
        startNs_ = ThreadCpuNs();
}

BusCallTimeMeter::~BusCallTimeMeter() {
    const std::int64_t cpuNs =
        timed_ ? std::max<std::int64_t>(ThreadCpuNs() - startNs_ - ClockReadCost(), 0) : 0;
    ledger_.Add(timed_, cpuNs);
}

BusCallTime BusCallTimeSoFar() {
    Ledgers& ledgers = AllLedgers();
    std::lock_guard lock(ledgers.mutex);
    BusCallTime sum = ledgers.departed;
    for (const BusCallLedger* ledger : ledgers.live)
        AddTo(sum, ledger->Totals());
    return sum;
}

}  // namespace mq5120
