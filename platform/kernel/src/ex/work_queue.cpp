// Worker threads of work items. Items start strictly in queue order, and one at a time while their
// routines return promptly. When the running routine has run for a while (it blocks), it stops
// holding up the queue: the next item starts on another worker, which the supervisor adds when
// none is idle.
#include <chrono>
#include <string>

#include "host/built_at_load.h"
#include "io/io_manager.h"
#include "ke/deferred.h"
#include "kernel/ex.h"
#include "kernel/rules.h"
#include "kernel/workitem.h"

namespace kernel::ke {
namespace {
constexpr auto kBlockedAfter = std::chrono::milliseconds(5);
constexpr std::size_t kMaximumWorkers = 16;
}  // namespace

WorkQueue& WorkQueue::Instance() {
    static WorkQueue queue;
    return queue;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&WorkQueue::Instance);

// The I/O manager (device references of I/O work items) is built first, so that it is destroyed
// after the workers.
WorkQueue::WorkQueue() {
    io::IoManager::Instance();
}

WorkQueue::~WorkQueue() {
    {
        host::Guard guard(lock_);
        stopping_ = true;
        changed_.NotifyAll();
    }
    supervisor_.Join();
    for (auto& worker : workers_)
        worker.Join();
}

void WorkQueue::Queue(LIST_ENTRY* entry, Routine routine) {
    host::Guard guard(lock_);
    queue_.push_back(Pending{entry, routine, host::Now()});
    NoteDeferredActivity();
    if (workers_.empty())
        workers_.emplace_back([this] { Work(); });
    if (!supervisor_.Running())
        supervisor_ = host::Thread([this] { Supervise(); });
    changed_.NotifyAll();
}

bool WorkQueue::Idle() {
    host::Guard guard(lock_);
    return queue_.empty() && running_.empty();
}

bool WorkQueue::Reset(host::TimePoint deadline) {
    std::deque<Pending> dropped;
    {
        host::Guard guard(lock_);
        dropped.swap(queue_);
    }
    for (const Pending& pending : dropped)
        pending.routine(pending.entry, false);
    host::Guard guard(lock_);
    while (!running_.empty()) {
        if (!changed_.WaitUntil(guard, deadline) && !running_.empty())
            return false;
    }
    return true;
}

void WorkQueue::Hold(bool hold) {
    host::Guard guard(lock_);
    held_ = hold;
    changed_.NotifyAll();
}

bool WorkQueue::MayStartNext() const {
    return !held_ && !queue_.empty() && running_.size() == blocked_;
}

void WorkQueue::Work() {
    host::Guard guard(lock_);
    for (;;) {
        ++idleWorkers_;
        while (!MayStartNext() && !stopping_)
            changed_.Wait(guard);
        --idleWorkers_;
        if (stopping_)
            return;
        const Pending pending = queue_.front();
        queue_.pop_front();
        const auto self = running_.insert(running_.end(), Running{host::Now(), false});
        changed_.NotifyAll();
        guard.unlock();

        pending.routine(pending.entry, true);
        if (KeGetCurrentIrql() != PASSIVE_LEVEL) {
            ReportRuleViolation("work item returned above PASSIVE_LEVEL",
                                std::to_string(KeGetCurrentIrql()));
            KeLowerIrql(PASSIVE_LEVEL);
        }

        guard.lock();
        if (self->blocked)
            --blocked_;
        running_.erase(self);
        changed_.NotifyAll();
    }
}

void WorkQueue::Supervise() {
    host::Guard guard(lock_);
    while (!stopping_) {
        if (queue_.empty() || held_ || running_.size() == blocked_) {
            changed_.Wait(guard);
            continue;
        }
        // Items wait behind the one routine that runs unblocked: has it run too long?
        Running* current = nullptr;
        for (auto& running : running_)
            if (!running.blocked)
                current = &running;
        const host::TimePoint blockedAt = current->started + kBlockedAfter;
        if (host::Now() < blockedAt) {
            changed_.WaitUntil(guard, blockedAt);
            continue;
        }
        current->blocked = true;
        ++blocked_;
        if (idleWorkers_ == 0 && workers_.size() < kMaximumWorkers)
            workers_.emplace_back([this] { Work(); });
        changed_.NotifyAll();
    }
}

}  // namespace kernel::ke

// ---- I/O work items
// ------------------------------------------------------------------------------

struct IO_WORKITEM {
    LIST_ENTRY link;
    PDEVICE_OBJECT device;
    PDRIVER_OBJECT driver;  // of the device, while queued or running
    PIO_WORKITEM_ROUTINE routine;
    PVOID context;
    std::atomic<bool> queued;
};

namespace {

constexpr ULONG kWorkItemTag = MQ_POOL_TAG('I', 'o', 'W', 'k');

// A queued item holds a reference on its device, so that IoDeleteDevice does not free it first,
// and keeps the device's driver loaded until its routine has returned.
void ReferenceDevice(PDEVICE_OBJECT device) {
    auto& io = kernel::io::IoManager::Instance();
    kernel::host::Guard guard(io.lock);
    ++static_cast<kernel::io::DeviceRecord*>(device->IoManagerPrivate)->references;
    ++io.workItemsOut[device->DriverObject];
}

void DereferenceDevice(PDEVICE_OBJECT device, PDRIVER_OBJECT driver) {
    auto& io = kernel::io::IoManager::Instance();
    kernel::host::Guard guard(io.lock);
    io.ReleaseDevice(device);
    auto it = io.workItemsOut.find(driver);
    if (it != io.workItemsOut.end() && --it->second == 0)
        io.workItemsOut.erase(it);
    io.workItemsChanged.NotifyAll();
}

void RunIoWorkItem(LIST_ENTRY* entry, bool run) {
    auto* item = CONTAINING_RECORD(entry, IO_WORKITEM, link);
    // The routine may queue the item again or free it: nothing of it is read afterwards.
    const PDEVICE_OBJECT device = item->device;
    const PDRIVER_OBJECT driver = item->driver;
    const PIO_WORKITEM_ROUTINE routine = item->routine;
    const PVOID context = item->context;
    item->queued.store(false);
    if (run)
        routine(device, context);
    DereferenceDevice(device, driver);
}

void RunExWorkItem(LIST_ENTRY* entry, bool run) {
    auto* item = CONTAINING_RECORD(entry, WORK_QUEUE_ITEM, List);
    const PWORKER_THREAD_ROUTINE routine = item->WorkerRoutine;
    const PVOID parameter = item->Parameter;
    item->List.Flink = nullptr;
    if (run)
        routine(parameter);
}

}  // namespace

PIO_WORKITEM IoAllocateWorkItem(PDEVICE_OBJECT device) {
    void* memory = ExAllocatePoolWithTag(NonPagedPool, sizeof(IO_WORKITEM), kWorkItemTag);
    if (memory == nullptr)
        return nullptr;
    auto* item = new (memory) IO_WORKITEM{};
    item->device = device;
    return item;
}

void IoFreeWorkItem(PIO_WORKITEM item) {
    if (item->queued.load()) {
        kernel::ReportRuleViolation("IoFreeWorkItem of a queued work item");
        return;  // (recorded) left allocated: the queue still refers to it
    }
    item->~IO_WORKITEM();
    ExFreePoolWithTag(item, kWorkItemTag);
}

void IoQueueWorkItem(PIO_WORKITEM item, PIO_WORKITEM_ROUTINE routine, WORK_QUEUE_TYPE,
                     PVOID context) {
    if (item->queued.exchange(true)) {
        kernel::ReportRuleViolation("IoQueueWorkItem of a work item already queued");
        return;
    }
    item->routine = routine;
    item->context = context;
    item->driver = item->device->DriverObject;
    ReferenceDevice(item->device);
    kernel::ke::WorkQueue::Instance().Queue(&item->link, &RunIoWorkItem);
}

void ExQueueWorkItem(PWORK_QUEUE_ITEM item, WORK_QUEUE_TYPE) {
    if (item->List.Flink != nullptr) {
        kernel::ReportRuleViolation("ExQueueWorkItem of a work item already queued");
        return;
    }
    item->List.Flink = &item->List;  // marks it queued until its routine starts
    kernel::ke::WorkQueue::Instance().Queue(&item->List, &RunExWorkItem);
}
