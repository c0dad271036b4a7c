// The DPC queue: one DPC thread runs the queued DPCs in order, at DISPATCH_LEVEL, one at a time.
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
// the DPC thread.
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
    thread_.Join();
}

bool DpcQueue::Insert(KDPC* dpc, PVOID argument1, PVOID argument2) {
    host::Guard guard(lock_);
    if (dpc->DpcData != nullptr)
        return false;
    dpc->DpcData = &g_queuedMark;
    dpc->SystemArgument1 = argument1;
    dpc->SystemArgument2 = argument2;
    InsertTailList(&queue_, &dpc->DpcListEntry);
    NoteDeferredActivity();
    if (!thread_.Running())
        thread_ = host::Thread([this] { Run(); });
    changed_.NotifyAll();
    return true;
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
    return IsListEmpty(&queue_) && !running_;
}

bool DpcQueue::Reset(host::TimePoint deadline) {
    host::Guard guard(lock_);
    while (!IsListEmpty(&queue_)) {
        auto* dpc = CONTAINING_RECORD(RemoveHeadList(&queue_), KDPC, DpcListEntry);
        dpc->DpcData = nullptr;
    }
    while (running_) {
        if (!changed_.WaitUntil(guard, deadline) && running_)
            return false;
    }
    return true;
}

void DpcQueue::Run() {
    host::Guard guard(lock_);
    for (;;) {
        while (IsListEmpty(&queue_) && !stopping_)
            changed_.Wait(guard);
        if (stopping_)
            return;
        auto* dpc = CONTAINING_RECORD(RemoveHeadList(&queue_), KDPC, DpcListEntry);
        dpc->DpcData = nullptr;  // it may be queued again from now on
        const PKDEFERRED_ROUTINE routine = dpc->DeferredRoutine;
        const PVOID context = dpc->DeferredContext;
        const PVOID argument1 = dpc->SystemArgument1;
        const PVOID argument2 = dpc->SystemArgument2;
        running_ = true;
        guard.unlock();

        KIRQL old;
        KeRaiseIrql(DISPATCH_LEVEL, &old);
        routine(dpc, context, argument1, argument2);
        if (KeGetCurrentIrql() != DISPATCH_LEVEL)
            ReportRuleViolation("DPC routine returned at another IRQL",
                                std::to_string(KeGetCurrentIrql()));
        KeLowerIrql(PASSIVE_LEVEL);

        guard.lock();
        running_ = false;
        changed_.NotifyAll();
    }
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
