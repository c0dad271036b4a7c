// The DPC queue: the simulated processors take the queued DPCs in order and run them at
// DISPATCH_LEVEL, several at once.
#include <algorithm>
#include <string>

#include "host/built_at_load.h"
#include "ke/deferred.h"
#include "kernel/rules.h"

namespace kernel::ke {
namespace {
std::atomic<std::uint64_t> g_activity{0};
// DpcData of a queued DPC: any non-null value marks it queued.
char g_queuedMark;
}  // namespace

std::uint64_t DeferredActivity() {
    return g_activity.load();
}
void NoteDeferredActivity() {
    g_activity.fetch_add(1);
}

DpcQueue& DpcQueue::Instance() {
    static DpcQueue queue;
    return queue;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&DpcQueue::Instance);

// Work items queued by DPC routines: the work queue is built first, so that it is destroyed after
// the DPC threads.
DpcQueue::DpcQueue() {
    WorkQueue::Instance();
    InitializeListHead(&queue_);
}

DpcQueue::~DpcQueue() {
    {
        host::Guard guard(lock_);
        stopping_ = true;
        changed_.NotifyAll();
    }
    for (auto& processor : processors_)
        processor.Join();
}

bool DpcQueue::Insert(KDPC* dpc, PVOID argument1, PVOID argument2, bool wakeProcessor) {
    host::Guard guard(lock_);
    if (dpc->DpcData != nullptr)
        return false;
    dpc->DpcData = &g_queuedMark;
    dpc->SystemArgument1 = argument1;
    dpc->SystemArgument2 = argument2;
    InsertTailList(&queue_, &dpc->DpcListEntry);
    NoteDeferredActivity();
    while (processors_.size() < kSimulatedProcessors)
        processors_.emplace_back([this] { Run(); });
    // A DPC queued again while it runs is taken by its own processor once that run ends.
    if (wakeProcessor && std::find(running_.begin(), running_.end(), dpc) == running_.end())
        changed_.NotifyOne();
    return true;
}

void DpcQueue::RunHere(KDPC* dpc) {
    host::Guard guard(lock_);
    // Looked for among the queued ones, not through the pointer: a DPC taken out of the queue
    // since (KeRemoveQueueDpc) may be gone.
    if (!Queued(dpc) || std::find(running_.begin(), running_.end(), dpc) != running_.end())
        return;  // taken by a processor already, or running: its processor takes it next
    RemoveEntryList(&dpc->DpcListEntry);
    dpc->DpcData = nullptr;
    RunTaken(dpc, guard);
    // Queued again while it ran here: no processor was woken for it then, since it was running.
    // Found by address only: once its routine has returned, its owner may have freed it.
    if (Queued(dpc))
        changed_.NotifyOne();
}

bool DpcQueue::Queued(const KDPC* dpc) const {
    for (const LIST_ENTRY* entry = queue_.Flink; entry != &queue_; entry = entry->Flink)
        if (entry == &dpc->DpcListEntry)
            return true;
    return false;
}

bool DpcQueue::Remove(KDPC* dpc) {
    host::Guard guard(lock_);
    if (dpc->DpcData == nullptr)
        return false;
    RemoveEntryList(&dpc->DpcListEntry);
    dpc->DpcData = nullptr;
    return true;
}

bool DpcQueue::Idle() {
    host::Guard guard(lock_);
    return IsListEmpty(&queue_) && running_.empty();
}

bool DpcQueue::Reset(host::TimePoint deadline) {
    host::Guard guard(lock_);
    while (!IsListEmpty(&queue_)) {
        auto* dpc = CONTAINING_RECORD(RemoveHeadList(&queue_), KDPC, DpcListEntry);
        dpc->DpcData = nullptr;
    }
    while (!running_.empty()) {
        if (!idle_.WaitUntil(guard, deadline) && !running_.empty())
            return false;
    }
    return true;
}

KDPC* DpcQueue::TakeRunnable() {
    for (LIST_ENTRY* entry = queue_.Flink; entry != &queue_; entry = entry->Flink) {
        auto* dpc = CONTAINING_RECORD(entry, KDPC, DpcListEntry);
        if (std::find(running_.begin(), running_.end(), dpc) != running_.end())
            continue;  // it runs on another processor: it starts when that run has ended
        RemoveEntryList(entry);
        dpc->DpcData = nullptr;  // it may be queued again from now on
        return dpc;
    }
    return nullptr;
}

void DpcQueue::Run() {
    host::Guard guard(lock_);
    for (;;) {
        KDPC* dpc = nullptr;
        while (!stopping_ && (dpc = TakeRunnable()) == nullptr)
            changed_.Wait(guard);
        if (stopping_)
            return;
        RunTaken(dpc, guard);
    }
}

void DpcQueue::RunTaken(KDPC* dpc, host::Guard& guard) {
    const PKDEFERRED_ROUTINE routine = dpc->DeferredRoutine;
    const PVOID context = dpc->DeferredContext;
    const PVOID argument1 = dpc->SystemArgument1;
    const PVOID argument2 = dpc->SystemArgument2;
    running_.push_back(dpc);
    guard.unlock();

    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    routine(dpc, context, argument1, argument2);
    if (KeGetCurrentIrql() != DISPATCH_LEVEL)
        ReportRuleViolation("DPC routine returned at another IRQL",
                            std::to_string(KeGetCurrentIrql()));
    KeLowerIrql(old);

    guard.lock();
    running_.erase(std::find(running_.begin(), running_.end(), dpc));
    // A DPC queued again while it ran on a processor is taken by that processor in its next round;
    // a reset may wait for the last run.
    if (running_.empty())
        idle_.NotifyAll();
}

}  // namespace kernel::ke

void KeInitializeDpc(PRKDPC dpc, PKDEFERRED_ROUTINE routine, PVOID context) {
    dpc->Type = 19;
    dpc->Importance = 1;
    dpc->Number = 0;
    dpc->DpcListEntry.Flink = dpc->DpcListEntry.Blink = nullptr;
    dpc->DeferredRoutine = routine;
    dpc->DeferredContext = context;
    dpc->SystemArgument1 = dpc->SystemArgument2 = nullptr;
    dpc->DpcData = nullptr;
}

BOOLEAN KeInsertQueueDpc(PRKDPC dpc, PVOID systemArgument1, PVOID systemArgument2) {
    return kernel::ke::DpcQueue::Instance().Insert(dpc, systemArgument1, systemArgument2) ? TRUE
                                                                                          : FALSE;
}

BOOLEAN KeRemoveQueueDpc(PRKDPC dpc) {
    return kernel::ke::DpcQueue::Instance().Remove(dpc) ? TRUE : FALSE;
}
