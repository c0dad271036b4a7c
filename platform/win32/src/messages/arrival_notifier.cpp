#include "messages/arrival_notifier.h"

#include <mutex>
#include <unordered_map>

#include "win32/message_arrival.h"
#include "win32/threads.h"

namespace win32::detail {
namespace {

struct Registration {
    MessageArrivalNotifier notifier;
    void* context;
};

// The one lock serialises calls and changes, so a removal never overlaps a call.
struct NotifierTable {
    std::recursive_mutex mutex;
    std::unordered_map<DWORD, Registration> byThread;
};

NotifierTable& Table() {
    static NotifierTable table;
    return table;
}

[[maybe_unused]] const bool kBuiltAtLoad = (Table(), true);

void Remove(DWORD threadId) {
    NotifierTable& table = Table();
    std::lock_guard lock(table.mutex);
    table.byThread.erase(threadId);
}

// Removes the thread's notifier when the thread exits.
struct ThreadRegistration {
    bool registered = false;
    ~ThreadRegistration() {
        if (registered)
            Remove(GetCurrentThreadId());
    }
};

thread_local ThreadRegistration t_registration;

}  // namespace

void NotifyArrival(DWORD threadId) {
    NotifierTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.byThread.find(threadId);
    if (it != table.byThread.end())
        it->second.notifier(it->second.context);
}

}  // namespace win32::detail

namespace win32 {

void SetMessageArrivalNotifier(MessageArrivalNotifier notifier, void* context) {
    detail::NotifierTable& table = detail::Table();
    std::lock_guard lock(table.mutex);
    if (notifier == nullptr) {
        table.byThread.erase(GetCurrentThreadId());
        return;
    }
    table.byThread[GetCurrentThreadId()] = detail::Registration{notifier, context};
    detail::t_registration.registered = true;
}

}  // namespace win32
