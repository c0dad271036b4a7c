// The stream's clock: the timer and DPC that move the samples due between the reads and the board,
// the input FIFO, the output FIFO, and the unpaced mode.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "hxda/request_codes.h"
#include "hxdacodes.h"
#include "stream.h"

namespace sim {
namespace {

constexpr LONGLONG kTickIn100ns = 10'000;  // 1 ms
constexpr std::uint64_t kMinFifoSamples = 1024;
constexpr std::uint64_t kChunkSamples = 65'536;  // samples moved per step, to bound the scratch

ULONG LengthOf(PIRP irp) {
    return IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
}

std::uint8_t* DataOf(PIRP irp) {
    if (irp->MdlAddress != nullptr)
        return static_cast<std::uint8_t*>(
            MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority));
    if (irp->AssociatedIrp.SystemBuffer != nullptr)
        return static_cast<std::uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    return static_cast<std::uint8_t*>(irp->UserBuffer);
}

ULONG ProgressOf(PIRP irp) {
    return static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(irp->Tail.Overlay.DriverContext[0]));
}

void SetProgress(PIRP irp, ULONG bytes) {
    irp->Tail.Overlay.DriverContext[0] = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(bytes));
}

// Samples a read still has room for (input) or still holds (output).
std::uint64_t SamplesLeft(PIRP irp, std::uint32_t width) {
    return (LengthOf(irp) - ProgressOf(irp)) / width;
}

// Appends codes to a read as little-endian samples of `width` bytes.
void PutSamples(PIRP irp, const std::uint32_t* codes, std::size_t count, std::uint32_t width) {
    std::uint8_t* at = DataOf(irp) + ProgressOf(irp);
    switch (width) {
        case 1:
            for (std::size_t i = 0; i < count; ++i)
                at[i] = static_cast<std::uint8_t>(codes[i]);
            break;
        case 2:
            for (std::size_t i = 0; i < count; ++i) {
                const auto sample = static_cast<std::uint16_t>(codes[i]);
                std::memcpy(at + 2 * i, &sample, 2);
            }
            break;
        default:
            std::memcpy(at, codes, 4 * count);
            break;
    }
    SetProgress(irp, ProgressOf(irp) + static_cast<ULONG>(count * width));
}

std::uint32_t GetSample(const std::uint8_t* at, std::uint32_t width) {
    std::uint32_t code = 0;
    std::memcpy(&code, at, width);
    return code;
}

}  // namespace

std::uint64_t SubsystemStream::DueLocked() const {
    if (phase_ != Phase::kRunning)
        return dueBefore_;
    // From nanoseconds, so that whole milliseconds at whole rates come out exact.
    const auto elapsed = std::max<std::int64_t>((simclock::Now() - runStart_).count(), 0);
    const double samples = static_cast<double>(elapsed) * settings_.rate / 1e9;
    return dueBefore_ + static_cast<std::uint64_t>(std::floor(samples + 1e-7));
}

std::uint64_t SubsystemStream::FifoCapacityLocked() const {
    return std::max(kMinFifoSamples, static_cast<std::uint64_t>(settings_.rate / 10.0));
}

PIRP SubsystemStream::CurrentReadLocked() {
    if (current_ != nullptr)
        return current_;
    while (PIRP read = ClaimLocked(&reads_)) {
        if (LengthOf(read) >= settings_.width && DataOf(read) != nullptr) {
            current_ = read;
            return read;
        }
        read->IoStatus.Information = 0;  // no room for one sample: done at once
        pendingDone_.emplace_back(read, STATUS_SUCCESS);
    }
    return nullptr;
}

void SubsystemStream::ArmTimerLocked() {
    pacing_ = true;
    armed_ = true;
    KeClearEvent(&idle_);
    LARGE_INTEGER due;
    due.QuadPart = -kTickIn100ns;
    KeSetTimer(&timer_, due, &dpc_);
}

void SubsystemStream::TickRoutine(KDPC*, PVOID context, PVOID, PVOID) {
    auto* stream = static_cast<SubsystemStream*>(context);
    Completions done;
    KeAcquireSpinLockAtDpcLevel(&stream->lock_);
    if (stream->pacing_ && stream->phase_ == Phase::kRunning)
        stream->AdvanceLocked(done);
    const bool more = stream->phase_ == Phase::kRunning &&
                      (!stream->settings_.counter || stream->counterEventPending_);
    if (stream->pacing_ && more) {
        LARGE_INTEGER due;
        due.QuadPart = -kTickIn100ns;
        KeSetTimer(&stream->timer_, due, &stream->dpc_);
    } else {
        stream->pacing_ = false;
        stream->armed_ = false;
        KeSetEvent(&stream->idle_, IO_NO_INCREMENT, FALSE);
    }
    KeReleaseSpinLockFromDpcLevel(&stream->lock_);
    CompleteAll(done);
}

void SubsystemStream::StopPacing() {
    KIRQL irql;
    KeAcquireSpinLock(&lock_, &irql);
    pacing_ = false;
    const bool armed = armed_;
    KeReleaseSpinLock(&lock_, irql);
    if (!armed)
        return;
    // A timer still set, or a DPC still queued, will not run: the stream is idle. Otherwise the
    // DPC is about to run or running, and it reports when it has seen that pacing ended.
    if (KeCancelTimer(&timer_) || KeRemoveQueueDpc(&dpc_)) {
        KeAcquireSpinLock(&lock_, &irql);
        armed_ = false;
        KeSetEvent(&idle_, IO_NO_INCREMENT, FALSE);
        KeReleaseSpinLock(&lock_, irql);
        return;
    }
    KeWaitForSingleObject(&idle_, Executive, KernelMode, FALSE, nullptr);
}

void SubsystemStream::CounterEventLocked(Completions& done) {
    if (!counterEventPending_ || simclock::Now() < counterEventDue_)
        return;
    counterEventPending_ = false;
    RaiseLocked(counterEventCode_, counterEventData_, done);
    if (counterEventCode_ == HXEV_EVENTVALUE) {
        dueBefore_ = CountLocked();  // the measurement is over: the counter stops
        phase_ = Phase::kIdle;
    }
}

void SubsystemStream::AdvanceLocked(Completions& done) {
    if (settings_.counter) {
        CounterEventLocked(done);
        return;
    }
    if (board_ == nullptr)
        return;
    const std::uint64_t due = DueLocked();
    if (settings_.input)
        AdvanceInputLocked(due, done);
    else
        AdvanceOutputLocked(due, done);
    done.insert(done.end(), pendingDone_.begin(), pendingDone_.end());
    pendingDone_.clear();
}

void SubsystemStream::FillFromFifoLocked(Completions& done) {
    while (!fifo_.empty()) {
        PIRP read = CurrentReadLocked();
        if (read == nullptr)
            return;
        const std::size_t count = static_cast<std::size_t>(
            std::min<std::uint64_t>(SamplesLeft(read, settings_.width), fifo_.size()));
        scratch_.assign(fifo_.begin(), fifo_.begin() + static_cast<std::ptrdiff_t>(count));
        fifo_.erase(fifo_.begin(), fifo_.begin() + static_cast<std::ptrdiff_t>(count));
        PutSamples(read, scratch_.data(), count, settings_.width);
        if (SamplesLeft(read, settings_.width) == 0) {
            read->IoStatus.Information = ProgressOf(read);
            done.emplace_back(read, STATUS_SUCCESS);
            current_ = nullptr;
        }
    }
}

void SubsystemStream::AdvanceInputLocked(std::uint64_t due, Completions& done) {
    while (moved_ < due) {
        FillFromFifoLocked(done);
        PIRP read = fifo_.empty() ? CurrentReadLocked() : nullptr;
        if (read == nullptr) {
            // No read: the samples wait in the FIFO until it overflows.
            const std::uint64_t count = std::min(due - moved_, kChunkSamples);
            if (fifo_.size() + count > FifoCapacityLocked()) {
                RaiseLocked(HXEV_OVERRUN, 0, done);
                phase_ = Phase::kHalted;
                return;
            }
            scratch_.resize(static_cast<std::size_t>(count));
            board_->ScanInputs(settings_.channels, settings_.formats, moved_, scratch_.size(),
                               bootSeconds_, settings_.rate, scratch_.data());
            fifo_.insert(fifo_.end(), scratch_.begin(), scratch_.end());
            moved_ += count;
            continue;
        }
        const std::uint64_t count =
            std::min({due - moved_, SamplesLeft(read, settings_.width), kChunkSamples});
        scratch_.resize(static_cast<std::size_t>(count));
        board_->ScanInputs(settings_.channels, settings_.formats, moved_, scratch_.size(),
                           bootSeconds_, settings_.rate, scratch_.data());
        PutSamples(read, scratch_.data(), scratch_.size(), settings_.width);
        moved_ += count;
        if (SamplesLeft(read, settings_.width) == 0) {
            read->IoStatus.Information = ProgressOf(read);
            done.emplace_back(read, STATUS_SUCCESS);
            current_ = nullptr;
        }
    }
    FillFromFifoLocked(done);
}

void SubsystemStream::AdvanceOutputLocked(std::uint64_t due, Completions& done) {
    // The FIFO holds what was taken and not yet converted: up to its capacity ahead of the clock.
    const std::uint64_t limit = due + FifoCapacityLocked();
    const std::size_t entries = settings_.channels.size();
    while (moved_ < limit) {
        PIRP read = CurrentReadLocked();
        if (read == nullptr)
            break;
        const std::uint64_t count = std::min(limit - moved_, SamplesLeft(read, settings_.width));
        const std::uint8_t* data = DataOf(read) + ProgressOf(read);
        // Each channel keeps the last code it was sent.
        const std::uint64_t from = count > entries ? count - entries : 0;
        for (std::uint64_t i = from; i < count; ++i)
            board_->WriteOutput(settings_.channels[(moved_ + i) % entries],
                                GetSample(data + i * settings_.width, settings_.width));
        SetProgress(read, ProgressOf(read) + static_cast<ULONG>(count * settings_.width));
        moved_ += count;
        if (SamplesLeft(read, settings_.width) == 0) {
            read->IoStatus.Information = ProgressOf(read);
            done.emplace_back(read, STATUS_SUCCESS);
            current_ = nullptr;
        }
    }
    if (moved_ >= due)
        return;
    // The FIFO ran dry: the end of a single pass, or data that came too late.
    if (settings_.wrapMode == HXWRAP_NONE) {
        RaiseLocked(HXEV_IOCOMPLETE, 0, done);
        phase_ = Phase::kIdle;
    } else {
        RaiseLocked(HXEV_UNDERRUN, 0, done);
        phase_ = Phase::kHalted;
    }
}

void SubsystemStream::FillUnpacedLocked(Completions& done) {
    while (PIRP read = CurrentReadLocked()) {
        const std::uint64_t count = SamplesLeft(read, settings_.width);
        for (std::uint64_t at = 0; at < count; at += kChunkSamples) {
            const std::uint64_t step = std::min(kChunkSamples, count - at);
            scratch_.resize(static_cast<std::size_t>(step));
            board_->ScanInputs(settings_.channels, settings_.formats, moved_, scratch_.size(),
                               bootSeconds_, settings_.rate, scratch_.data());
            PutSamples(read, scratch_.data(), scratch_.size(), settings_.width);
            moved_ += step;
        }
        read->IoStatus.Information = ProgressOf(read);
        done.emplace_back(read, STATUS_SUCCESS);
        current_ = nullptr;
    }
    done.insert(done.end(), pendingDone_.begin(), pendingDone_.end());
    pendingDone_.clear();
}

}  // namespace sim
