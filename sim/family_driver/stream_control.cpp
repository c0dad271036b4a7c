// The stream's start/stop family: start (at once, or prestarted until the simultaneous start),
// stop (the reads in process finish with what they hold), abort and reset (they are cancelled),
// pause and continue (the clock stands still in between), and the fault injection of tests.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "hxda/request_codes.h"
#include "hxdacodes.h"
#include "stream.h"

namespace sim {
namespace {

constexpr std::uint16_t kOneShot = 702;
constexpr std::uint16_t kEdgeToEdge = 705;

simclock::Duration SecondsOf(double seconds) {
    return std::chrono::duration_cast<simclock::Duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

void SubsystemStream::BeginRunLocked(Completions& done) {
    phase_ = Phase::kRunning;
    runStart_ = simclock::Now();
    if (settings_.counter) {
        // Counting needs no clock of its own; a one-shot or a measurement ends with an event.
        counterEventPending_ = false;
        const double f = settings_.eventFrequency;
        if (settings_.counterMode == kOneShot) {
            counterEventPending_ = true;
            counterEventDue_ = runStart_ + SecondsOf(1.0 / settings_.rate);
            counterEventCode_ = HXEV_EVENTDONE;
            counterEventData_ = 0;
        } else if (settings_.counterMode == kEdgeToEdge && f > 0.0) {
            counterEventPending_ = true;
            counterEventDue_ = runStart_ + SecondsOf(2.0 / f);
            counterEventCode_ = HXEV_EVENTVALUE;
            counterEventData_ = static_cast<std::uint32_t>(
                std::fmin(std::round(settings_.baseClock / f), 4294967295.0));
        }
        if (counterEventPending_)
            ArmTimerLocked();
        return;
    }
    if (unpaced_ && settings_.input)
        FillUnpacedLocked(done);
    else
        ArmTimerLocked();
}

std::uint32_t SubsystemStream::Start(const StreamSettings& settings, bool prestart) {
    return UnderLock([&](Completions& done) -> std::uint32_t {
        if (phase_ == Phase::kRemoved)
            return HXGENERALFAILURE;
        if (phase_ != Phase::kIdle)
            return HXSUBSYSRUNNING;
        settings_ = settings;
        moved_ = 0;
        dueBefore_ = 0;
        fifo_.clear();
        bootSeconds_ = board_->SecondsSinceBoot();
        if (prestart)
            phase_ = Phase::kPrestarted;
        else
            BeginRunLocked(done);
        return HXNOERROR;
    });
}

std::uint32_t SubsystemStream::SimultaneousStart() {
    return UnderLock([&](Completions& done) -> std::uint32_t {
        if (phase_ != Phase::kPrestarted)
            return phase_ == Phase::kIdle ? HXNOTPRESTARTED : HXSUBSYSRUNNING;
        BeginRunLocked(done);
        return HXNOERROR;
    });
}

void SubsystemStream::EndLocked(bool abort, Completions& done) {
    const bool wasRunning = phase_ != Phase::kIdle;
    // Stopped, the input due so far still reaches the read in process; an output takes no more.
    if (phase_ == Phase::kRunning && !abort && settings_.input &&
        (current_ != nullptr || !IsListEmpty(&reads_)))
        AdvanceLocked(done);
    // Stopped, a read in process keeps what it got and the reads behind it come back empty;
    // aborted, they are all cancelled.
    const NTSTATUS status = abort ? STATUS_CANCELLED : STATUS_SUCCESS;
    if (current_ != nullptr) {
        current_->IoStatus.Information =
            abort ? 0 : reinterpret_cast<ULONG_PTR>(current_->Tail.Overlay.DriverContext[0]);
        done.emplace_back(current_, status);
        current_ = nullptr;
    }
    while (PIRP read = ClaimLocked(&reads_)) {
        read->IoStatus.Information = 0;
        done.emplace_back(read, status);
    }
    done.insert(done.end(), pendingDone_.begin(), pendingDone_.end());
    pendingDone_.clear();
    fifo_.clear();
    // A stopped output has left the board once its reads are back.
    if (!abort && wasRunning && !settings_.input && !settings_.counter)
        RaiseLocked(HXEV_IOCOMPLETE, 0, done);
    if (settings_.counter && phase_ == Phase::kRunning)
        dueBefore_ = CountLocked();
    phase_ = Phase::kIdle;
}

std::uint32_t SubsystemStream::Stop() {
    return UnderLock(
        [&](Completions& done) -> std::uint32_t {
            if (phase_ != Phase::kRemoved)
                EndLocked(false, done);
            return HXNOERROR;
        },
        [&] { StopPacing(); });
}

std::uint32_t SubsystemStream::Abort() {
    return UnderLock(
        [&](Completions& done) -> std::uint32_t {
            if (phase_ != Phase::kRemoved)
                EndLocked(true, done);
            return HXNOERROR;
        },
        [&] { StopPacing(); });
}

std::uint32_t SubsystemStream::Reset() {
    return UnderLock(
        [&](Completions& done) -> std::uint32_t {
            if (phase_ != Phase::kRemoved) {
                EndLocked(true, done);
                events_.clear();
                dueBefore_ = 0;
            }
            return HXNOERROR;
        },
        [&] { StopPacing(); });
}

std::uint32_t SubsystemStream::Pause() {
    return UnderLock(
        [&](Completions& done) -> std::uint32_t {
            if (phase_ != Phase::kRunning)
                return HXSUBSYSNOTRUNNING;
            if (settings_.counter) {
                dueBefore_ = CountLocked();
            } else {
                AdvanceLocked(done);
                dueBefore_ = DueLocked();
            }
            phase_ = Phase::kPaused;
            return HXNOERROR;
        },
        [&] { StopPacing(); });
}

std::uint32_t SubsystemStream::Continue() {
    return UnderLock([&](Completions& done) -> std::uint32_t {
        if (phase_ != Phase::kPaused)
            return phase_ == Phase::kRunning ? HXSUBSYSRUNNING : HXSUBSYSNOTRUNNING;
        BeginRunLocked(done);
        return HXNOERROR;
    });
}

ULONG SubsystemStream::Flush(void* output, ULONG length) {
    KIRQL irql;
    KeAcquireSpinLock(&lock_, &irql);
    ULONG copied = 0;
    if (output != nullptr && current_ != nullptr && settings_.input) {
        const auto gathered = static_cast<ULONG>(
            reinterpret_cast<ULONG_PTR>(current_->Tail.Overlay.DriverContext[0]));
        copied = std::min(gathered, length);
        const void* data =
            current_->MdlAddress != nullptr
                ? MmGetSystemAddressForMdlSafe(current_->MdlAddress, NormalPagePriority)
                : nullptr;
        if (data == nullptr)
            copied = 0;
        else
            std::memcpy(output, data, copied);
    }
    KeReleaseSpinLock(&lock_, irql);
    return copied;
}

std::uint32_t SubsystemStream::CountLocked() const {
    if (phase_ != Phase::kRunning)
        return static_cast<std::uint32_t>(dueBefore_);
    const auto elapsed = std::max<std::int64_t>((simclock::Now() - runStart_).count(), 0);
    const double count =
        static_cast<double>(dueBefore_) +
        std::floor(static_cast<double>(elapsed) * settings_.eventFrequency / 1e9 + 1e-7);
    return static_cast<std::uint32_t>(std::fmin(count, 4294967295.0));
}

std::uint32_t SubsystemStream::EventCount() const {
    KIRQL irql;
    KeAcquireSpinLock(&lock_, &irql);
    const std::uint32_t count = settings_.counter ? CountLocked() : 0;
    KeReleaseSpinLock(&lock_, irql);
    return count;
}

bool SubsystemStream::Inject(StreamFault fault) {
    return UnderLock(
        [&](Completions& done) -> bool {
            if (phase_ != Phase::kRunning && phase_ != Phase::kPaused)
                return false;
            switch (fault) {
                case StreamFault::kOverrun:
                    RaiseLocked(HXEV_OVERRUN, 0, done);
                    phase_ = Phase::kHalted;
                    break;
                case StreamFault::kTrigger:
                    RaiseLocked(HXEV_TRIGGER, 0, done);
                    break;
            }
            return true;
        },
        [&] { StopPacingIfHalted(); });
}

void SubsystemStream::StopPacingIfHalted() {
    KIRQL irql;
    KeAcquireSpinLock(&lock_, &irql);
    const bool halted = phase_ != Phase::kRunning;
    KeReleaseSpinLock(&lock_, irql);
    if (halted)
        StopPacing();
}

}  // namespace sim
