// Posting, sending and taking messages; window timers.
#include <algorithm>

#include "messages/arrival_notifier.h"
#include "messages/message_pump.h"
#include "messages/thread_queue.h"
#include "messages/window_table.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/messages.h"
#include "win32/threads.h"
#include "win32/timing.h"

namespace {

using namespace win32::detail;

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

MSG Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    return msg;
}

BOOL PostTo(ThreadQueue& queue, PostedMessage message, DWORD exitedError) {
    switch (Post(queue, std::move(message))) {
        case PostResult::Posted:
            return TRUE;
        case PostResult::Exited:
            SetLastError(exitedError);
            return FALSE;
        case PostResult::Full:
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
            return FALSE;
    }
    return FALSE;
}

// A filter window must be a live window; another thread's window simply never matches.
bool FilterIsValid(HWND hwnd) {
    if (hwnd == nullptr || hwnd == kThreadMessagesOnly || LookupWindow(hwnd) != nullptr)
        return true;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
}

unsigned long long ChangesOf(ThreadQueue& queue) {
    std::lock_guard lock(queue.mutex);
    return queue.changes;
}

void Notify(ThreadQueue& queue) {
    {
        std::lock_guard lock(queue.mutex);
        queue.changes += 1;
    }
    queue.changed.notify_all();
}

}  // namespace

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd == nullptr) {
        return PostTo(*CurrentQueue(),
                      PostedMessage{Message(nullptr, Msg, wParam, lParam), nullptr},
                      ERROR_INVALID_THREAD_ID);
    }
    auto window = LookupWindow(hWnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return PostTo(*window->owner, PostedMessage{Message(hWnd, Msg, wParam, lParam), window},
                  ERROR_INVALID_WINDOW_HANDLE);
}

BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto queue = FindQueue(idThread);
    if (queue == nullptr) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return PostTo(*queue, PostedMessage{Message(nullptr, Msg, wParam, lParam), nullptr},
                  ERROR_INVALID_THREAD_ID);
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto window = LookupWindow(hWnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    auto self = CurrentQueue();
    if (window->owner == self)
        return CallWindow(window, Msg, wParam, lParam);

    auto sent = std::make_shared<SentMessage>();
    sent->target = window;
    sent->message = Msg;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->sender = self;
    {
        ThreadQueue& owner = *window->owner;
        std::lock_guard lock(owner.mutex);
        if (owner.exited || window->destroyed.load())
            return 0;
        owner.incoming.push_back(sent);
    }
    window->owner->changed.notify_all();
    NotifyArrival(window->owner->threadId);
    // Wait for the answer, answering what other threads send to this thread meanwhile, so that
    // two threads sending to each other do not deadlock.
    for (;;) {
        {
            std::unique_lock lock(self->mutex);
            self->changed.wait(lock, [&] { return sent->answered || !self->incoming.empty(); });
            if (sent->answered)
                return sent->result;
        }
        AnswerIncoming(self);
    }
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!FilterIsValid(hWnd))
        return -1;
    auto queue = CurrentQueue();
    MessageFilter filter{hWnd, wMsgFilterMin, wMsgFilterMax};
    for (;;) {
        unsigned long long seen = ChangesOf(*queue);
        if (TakeMessage(queue, filter, true, lpMsg))
            return lpMsg->message == WM_QUIT ? FALSE : TRUE;
        WaitForArrival(queue, filter, seen);
    }
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!FilterIsValid(hWnd))
        return FALSE;
    MessageFilter filter{hWnd, wMsgFilterMin, wMsgFilterMax};
    return TakeMessage(CurrentQueue(), filter, (wRemoveMsg & PM_REMOVE) != 0, lpMsg) ? TRUE : FALSE;
}

BOOL WINAPI WaitMessage() {
    auto queue = CurrentQueue();
    MessageFilter everything{nullptr, 0, 0};
    unsigned long long seen = ChangesOf(*queue);
    if (AnswerIncoming(queue))
        return TRUE;
    {
        std::lock_guard lock(queue->mutex);
        if (!queue->posted.empty() || queue->quitPending)
            return TRUE;
    }
    WaitForArrival(queue, everything, seen);
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (lpMsg == nullptr)
        return 0;
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
        auto procedure = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        procedure(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, GetTickCount());
        return 0;
    }
    if (lpMsg->hwnd == nullptr)
        return 0;
    auto window = LookupWindow(lpMsg->hwnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->owner != CurrentQueueIfAny()) {
        SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
        return 0;
    }
    return CallWindow(window, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

void WINAPI PostQuitMessage(int nExitCode) {
    auto queue = CurrentQueue();
    {
        std::lock_guard lock(queue->mutex);
        queue->quitPending = true;
        queue->quitCode = nExitCode;
        queue->changes += 1;
    }
    queue->changed.notify_all();
    NotifyArrival(queue->threadId);
}

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    std::shared_ptr<ThreadQueue> queue;
    if (hWnd != nullptr) {
        auto window = LookupWindow(hWnd);
        if (window == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        queue = window->owner;
    } else {
        queue = CurrentQueue();
    }
    auto elapse = std::chrono::milliseconds(
        std::clamp<UINT>(uElapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM));
    UINT_PTR id = nIDEvent;
    {
        std::lock_guard lock(queue->mutex);
        if (queue->exited) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        auto existing = std::find_if(queue->timers.begin(), queue->timers.end(),
                                     [&](auto& t) { return t.hwnd == hWnd && t.id == nIDEvent; });
        if (hWnd == nullptr && existing == queue->timers.end()) {
            // A new thread timer gets an id of its own, never 0 and not in use.
            do {
                id = ++queue->lastThreadTimerId;
            } while (id == 0 ||
                     std::any_of(queue->timers.begin(), queue->timers.end(),
                                 [&](auto& t) { return t.hwnd == nullptr && t.id == id; }));
        }
        WindowTimer timer{hWnd, id, elapse, lpTimerFunc, simclock::Now() + elapse};
        if (existing != queue->timers.end()) {
            *existing = timer;
        } else {
            queue->timers.push_back(timer);
        }
    }
    Notify(*queue);
    return hWnd == nullptr ? id : (id != 0 ? id : 1);
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    std::shared_ptr<ThreadQueue> queue;
    if (hWnd != nullptr) {
        auto window = LookupWindow(hWnd);
        if (window == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        queue = window->owner;
    } else {
        queue = CurrentQueue();
    }
    std::size_t removed;
    {
        std::lock_guard lock(queue->mutex);
        removed = std::erase_if(queue->timers, [&](const WindowTimer& t) {
            return t.hwnd == hWnd && t.id == uIDEvent;
        });
    }
    if (removed == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
