#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/object.h"
#include "sync/event_object.h"
#include "win32/sync.h"

namespace win32::detail {
namespace {

// Named events of the process. Names compare case-sensitively; an entry lives as long as its event.
struct EventNames {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<EventObject>> events;
};

EventNames& Names() {
    static auto* names = new EventNames;  // never destroyed: events may die after main
    return *names;
}

}  // namespace

EventObject::~EventObject() {
    if (name_.empty())
        return;
    EventNames& names = Names();
    std::lock_guard lock(names.mutex);
    auto it = names.events.find(name_);
    if (it != names.events.end() && it->second.expired())
        names.events.erase(it);
}

void EventObject::Set() {
    WithWaitLock([this] {
        signaled_ = true;
        SignalWaiters(*this);
    });
}

void EventObject::Reset() {
    WithWaitLock([this] { signaled_ = false; });
}

namespace {

HANDLE CreateNamedEvent(bool manualReset, bool initialState, const std::string& name) {
    EventNames& names = Names();
    std::shared_ptr<EventObject> event;
    bool existed = false;
    {
        std::lock_guard lock(names.mutex);
        auto& entry = names.events[name];
        event = entry.lock();
        existed = event != nullptr;
        if (!event) {
            event = std::make_shared<EventObject>(manualReset, initialState, name);
            entry = event;
        }
    }
    HANDLE handle = InsertHandle(event);
    if (handle)
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

}  // namespace
}  // namespace win32::detail

using win32::detail::EventObject;

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
    if (lpName && *lpName)
        return win32::detail::CreateNamedEvent(bManualReset, bInitialState, lpName);
    HANDLE handle =
        win32::detail::InsertHandle(std::make_shared<EventObject>(bManualReset, bInitialState));
    if (handle)
        SetLastError(ERROR_SUCCESS);
    return handle;
}

HANDLE OpenEventA(DWORD, BOOL, LPCSTR lpName) {
    if (!lpName || !*lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto& names = win32::detail::Names();
    std::shared_ptr<EventObject> event;
    {
        std::lock_guard lock(names.mutex);
        auto it = names.events.find(lpName);
        if (it != names.events.end())
            event = it->second.lock();
    }
    if (!event) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return win32::detail::InsertHandle(event);
}

BOOL SetEvent(HANDLE hEvent) {
    auto event = win32::detail::LookupHandleAs<EventObject>(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
    auto event = win32::detail::LookupHandleAs<EventObject>(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->Reset();
    return TRUE;
}
