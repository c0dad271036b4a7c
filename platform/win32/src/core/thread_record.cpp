#include "core/thread_record.h"

#include <mutex>
#include <utility>
#include <vector>

#include "core/wait_block.h"
#include "core/wait_lock.h"
#include "win32/sync.h"

namespace win32::detail {
namespace {

// Thread ids are never reused within a process; like the platform's they are multiples of four.
std::atomic<DWORD> g_nextThreadId{0x100};

struct ExitHooks {
    std::mutex mutex;
    std::vector<std::pair<int, ThreadExitHook>> hooks;
    int nextId = 1;
};

ExitHooks& Hooks() {
    static auto* hooks = new ExitHooks;  // never destroyed, see WaitMutex
    return *hooks;
}

// The calling thread's record. Its destructor finishes an adopted thread; t_slotGone (trivially
// destructible, so readable during thread-local destruction) keeps later calls from reviving it.
struct CurrentThreadSlot {
    std::shared_ptr<ThreadRecord> record;
    ~CurrentThreadSlot();
};
thread_local CurrentThreadSlot t_slot;
thread_local bool t_slotGone = false;

CurrentThreadSlot::~CurrentThreadSlot() {
    if (record)
        FinishThread(record, 0);
    t_slotGone = true;
}

}  // namespace

ThreadRecord::ThreadRecord() : id_(g_nextThreadId.fetch_add(4)) {}

std::shared_ptr<ThreadRecord> CurrentThreadRecord() {
    if (t_slotGone) {
        // Called from a thread-local destructor after ours ran: an already exited stand-in.
        auto gone = std::make_shared<ThreadRecord>();
        gone->exited = true;
        gone->acceptsApcs = false;
        return gone;
    }
    if (!t_slot.record)
        t_slot.record = std::make_shared<ThreadRecord>();
    return t_slot.record;
}

void AdoptAsCurrentThread(std::shared_ptr<ThreadRecord> record) {
    t_slot.record = std::move(record);
}

DWORD ThreadIdOf(const ThreadRecord& thread) {
    return thread.Id();
}

bool TryQueueApc(const std::shared_ptr<ThreadRecord>& thread, std::function<void()> routine) {
    if (!thread || !routine)
        return false;
    bool queued = false;
    WithWaitLock([&] {
        if (!thread->acceptsApcs)
            return;
        thread->apcs.push_back(std::move(routine));
        queued = true;
        if (thread->blockedWait != nullptr && thread->blockedWait->alertable)
            EndWait(*thread->blockedWait, WAIT_IO_COMPLETION);
    });
    // A dropped routine is destroyed here, outside the wait lock.
    return queued;
}

void QueueApc(const std::shared_ptr<ThreadRecord>& thread, std::function<void()> routine) {
    TryQueueApc(thread, std::move(routine));
}

bool RunQueuedApcs(ThreadRecord& self) {
    bool ran = false;
    for (;;) {
        std::function<void()> routine;
        WithWaitLock([&] {
            if (self.apcs.empty())
                return;
            routine = std::move(self.apcs.front());
            self.apcs.pop_front();
        });
        if (!routine)
            return ran;
        routine();
        ran = true;
    }
}

int AddThreadExitHook(ThreadExitHook hook) {
    ExitHooks& hooks = Hooks();
    std::lock_guard lock(hooks.mutex);
    const int id = hooks.nextId++;
    hooks.hooks.emplace_back(id, std::move(hook));
    return id;
}

void RemoveThreadExitHook(int id) {
    ExitHooks& hooks = Hooks();
    std::lock_guard lock(hooks.mutex);
    std::erase_if(hooks.hooks, [id](const auto& entry) { return entry.first == id; });
}

void FinishThread(const std::shared_ptr<ThreadRecord>& record, DWORD exitCode) {
    bool alreadyExited = false;
    WithWaitLock([&] { alreadyExited = record->exited; });
    if (alreadyExited)
        return;

    std::vector<ThreadExitHook> hooks;
    {
        ExitHooks& registry = Hooks();
        std::lock_guard lock(registry.mutex);
        for (const auto& entry : registry.hooks)
            hooks.push_back(entry.second);
    }
    for (const auto& hook : hooks)
        hook(record);

    // The dropped APCs are destroyed before the handle signals, so whatever they hold is released
    // by the time a waiter sees the thread gone.
    {
        std::deque<std::function<void()>> dropped;
        WithWaitLock([&] {
            record->acceptsApcs = false;
            dropped.swap(record->apcs);
        });
    }
    WithWaitLock([&] {
        if (record->exited)
            return;
        record->exited = true;
        record->exitCode = exitCode;
        SignalWaiters(*record);
    });
}

}  // namespace win32::detail
