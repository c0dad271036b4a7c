// The stream's request queues: reads and event requests wait in lists with a cancel routine; a
// request is claimed (its cancel routine taken back) before anything completes it, so that it is
// completed once, by whoever claimed it or by its cancel routine.
#include <cstring>

#include "hxda/request_codes.h"
#include "stream.h"

namespace sim {
namespace {

// Offsets of the event answer in the 336-byte request record.
constexpr ULONG kStatusOffset = 12;
constexpr ULONG kEventCodeOffset = 16;
constexpr ULONG kEventDataOffset = 20;
constexpr std::size_t kMaxHeldEvents = 64;

void Unlink(PIRP irp) {
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    InitializeListHead(&irp->Tail.Overlay.ListEntry);  // a second unlink is harmless
}

void WriteEvent(PIRP irp, std::uint32_t code, std::uint32_t data) {
    auto* record = static_cast<std::uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    const std::uint32_t status = 0;
    std::memcpy(record + kStatusOffset, &status, 4);
    std::memcpy(record + kEventCodeOffset, &code, 4);
    std::memcpy(record + kEventDataOffset, &data, 4);
    irp->IoStatus.Information =
        IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
}

NTSTATUS CompleteNow(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

}  // namespace

SubsystemStream::SubsystemStream(SimulatedBoard* board, bool unpaced)
    : board_(board), unpaced_(unpaced) {
    KeInitializeSpinLock(&lock_);
    InitializeListHead(&reads_);
    InitializeListHead(&waits_);
    KeInitializeTimer(&timer_);
    KeInitializeDpc(&dpc_, &SubsystemStream::TickRoutine, this);
    KeInitializeEvent(&idle_, NotificationEvent, TRUE);
}

SubsystemStream::~SubsystemStream() {
    StopPacing();
}

void SubsystemStream::CompleteAll(Completions& done) {
    for (auto& [irp, status] : done) {
        irp->IoStatus.Status = status;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    }
    done.clear();
}

void SubsystemStream::CancelRoutine(PDEVICE_OBJECT, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    auto* stream = static_cast<SubsystemStream*>(irp->Tail.Overlay.DriverContext[1]);
    KIRQL irql;
    KeAcquireSpinLock(&stream->lock_, &irql);
    Unlink(irp);
    KeReleaseSpinLock(&stream->lock_, irql);
    CompleteNow(irp, STATUS_CANCELLED);
}

bool SubsystemStream::EnqueueLocked(PLIST_ENTRY queue, PIRP irp) {
    irp->Tail.Overlay.DriverContext[0] = nullptr;  // bytes moved so far
    irp->Tail.Overlay.DriverContext[1] = this;
    IoMarkIrpPending(irp);
    InsertTailList(queue, &irp->Tail.Overlay.ListEntry);
    IoSetCancelRoutine(irp, &SubsystemStream::CancelRoutine);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
        Unlink(irp);
        return false;
    }
    return true;
}

PIRP SubsystemStream::ClaimLocked(PLIST_ENTRY queue) {
    while (!IsListEmpty(queue)) {
        PIRP irp = CONTAINING_RECORD(queue->Flink, IRP, Tail.Overlay.ListEntry);
        Unlink(irp);
        // Without its cancel routine the request is being cancelled: the routine completes it.
        if (IoSetCancelRoutine(irp, nullptr) != nullptr)
            return irp;
    }
    return nullptr;
}

NTSTATUS SubsystemStream::QueueRead(PIRP irp) {
    Completions done;
    KIRQL irql;
    KeAcquireSpinLock(&lock_, &irql);
    if (phase_ == Phase::kRemoved || settings_.counter) {
        KeReleaseSpinLock(&lock_, irql);
        return CompleteNow(
            irp, phase_ == Phase::kRemoved ? STATUS_DEVICE_REMOVED : STATUS_INVALID_DEVICE_REQUEST);
    }
    const bool queued = EnqueueLocked(&reads_, irp);
    if (queued && phase_ == Phase::kRunning && unpaced_ && settings_.input)
        FillUnpacedLocked(done);
    KeReleaseSpinLock(&lock_, irql);
    if (!queued)
        CompleteNow(irp, STATUS_CANCELLED);
    CompleteAll(done);
    return STATUS_PENDING;
}

NTSTATUS SubsystemStream::QueueWait(PIRP irp) {
    const auto& parameters = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl;
    if (irp->AssociatedIrp.SystemBuffer == nullptr ||
        parameters.OutputBufferLength < kEventDataOffset + 4)
        return CompleteNow(irp, STATUS_INVALID_PARAMETER);
    KIRQL irql;
    KeAcquireSpinLock(&lock_, &irql);
    if (phase_ == Phase::kRemoved) {
        KeReleaseSpinLock(&lock_, irql);
        return CompleteNow(irp, STATUS_DEVICE_REMOVED);
    }
    if (!events_.empty()) {
        const auto [code, data] = events_.front();
        events_.pop_front();
        KeReleaseSpinLock(&lock_, irql);
        WriteEvent(irp, code, data);
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_SUCCESS;
    }
    const bool queued = EnqueueLocked(&waits_, irp);
    KeReleaseSpinLock(&lock_, irql);
    if (!queued)
        CompleteNow(irp, STATUS_CANCELLED);
    return STATUS_PENDING;
}

void SubsystemStream::RaiseLocked(std::uint32_t code, std::uint32_t data, Completions& done) {
    if (PIRP wait = ClaimLocked(&waits_)) {
        WriteEvent(wait, code, data);
        done.emplace_back(wait, STATUS_SUCCESS);
        return;
    }
    if (events_.size() < kMaxHeldEvents)
        events_.emplace_back(code, data);
}

void SubsystemStream::Close() {
    Completions done;
    KIRQL irql;
    KeAcquireSpinLock(&lock_, &irql);
    if (phase_ != Phase::kRemoved) {
        EndLocked(true, done);
        while (PIRP wait = ClaimLocked(&waits_)) {
            wait->IoStatus.Information = 0;
            done.emplace_back(wait, STATUS_CANCELLED);
        }
        events_.clear();
    }
    KeReleaseSpinLock(&lock_, irql);
    StopPacing();
    CompleteAll(done);
}

void SubsystemStream::Remove() {
    Completions done;
    KIRQL irql;
    KeAcquireSpinLock(&lock_, &irql);
    if (phase_ != Phase::kRemoved) {
        if (PIRP wait = ClaimLocked(&waits_)) {
            WriteEvent(wait, HXEV_DEVICEREMOVED, 0);
            done.emplace_back(wait, STATUS_SUCCESS);
        }
        while (PIRP wait = ClaimLocked(&waits_)) {
            wait->IoStatus.Information = 0;
            done.emplace_back(wait, STATUS_DEVICE_REMOVED);
        }
        if (current_ != nullptr) {
            current_->IoStatus.Information = 0;
            done.emplace_back(current_, STATUS_DEVICE_REMOVED);
            current_ = nullptr;
        }
        while (PIRP read = ClaimLocked(&reads_)) {
            read->IoStatus.Information = 0;
            done.emplace_back(read, STATUS_DEVICE_REMOVED);
        }
        events_.clear();
        fifo_.clear();
        phase_ = Phase::kRemoved;
        board_ = nullptr;
    }
    KeReleaseSpinLock(&lock_, irql);
    StopPacing();
    CompleteAll(done);
}

}  // namespace sim
