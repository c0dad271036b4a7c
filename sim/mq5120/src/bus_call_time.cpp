// The boards' bus-call time: each board's ledger, and the process's list of them.
#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

#include "bus_call_time_meter.h"

namespace mq5120 {
namespace {

struct Ledgers {
    std::mutex mutex;
    std::vector<const BusCallLedger*> live;
    BusCallTime departed;
};

Ledgers& AllLedgers() {
    static Ledgers ledgers;
    return ledgers;
}

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void AddTo(BusCallTime& sum, const BusCallTime& more) {
    sum.busy += more.busy;
    sum.calls += more.calls;
}

}  // namespace

BusCallLedger::BusCallLedger() {
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

BusCallTimeMeter::BusCallTimeMeter(BusCallLedger& ledger) : ledger_(ledger), startNs_(SteadyNs()) {}

BusCallTimeMeter::~BusCallTimeMeter() {
    ledger_.Add(SteadyNs() - startNs_);
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
