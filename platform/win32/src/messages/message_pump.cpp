#include "messages/message_pump.h"

#include <algorithm>
#include <optional>

#include "messages/window_table.h"
#include "win32/timing.h"

namespace win32::detail {
namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

bool InRange(UINT message, const MessageFilter& filter) {
    return (filter.first == 0 && filter.last == 0) ||
           (message >= filter.first && message <= filter.last);
}

bool WindowMatches(HWND hwnd, const MessageFilter& filter) {
    if (filter.window == nullptr)
        return true;
    if (filter.window == kThreadMessagesOnly)
        return hwnd == nullptr;
    return hwnd == filter.window;
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    return msg;
}

}  // namespace

bool AnswerIncoming(const std::shared_ptr<ThreadQueue>& queue) {
    bool answeredAny = false;
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        {
            std::lock_guard lock(queue->mutex);
            if (queue->incoming.empty())
                return answeredAny;
            sent = std::move(queue->incoming.front());
            queue->incoming.pop_front();
        }
        LRESULT result = 0;
        if (!sent->target->destroyed.load())
            result = CallWindow(sent->target, sent->message, sent->wParam, sent->lParam);
        Answer(sent, result);
        answeredAny = true;
    }
}

bool TakeMessage(const std::shared_ptr<ThreadQueue>& queue, const MessageFilter& filter,
                 bool remove, MSG* msg) {
    AnswerIncoming(queue);
    std::lock_guard lock(queue->mutex);
    // Messages for windows destroyed since they were posted are dropped here.
    std::erase_if(queue->posted, [](const PostedMessage& p) {
        return p.target != nullptr && p.target->destroyed.load();
    });
    auto posted = std::find_if(queue->posted.begin(), queue->posted.end(), [&](const auto& p) {
        return WindowMatches(p.msg.hwnd, filter) && InRange(p.msg.message, filter);
    });
    if (posted != queue->posted.end()) {
        *msg = posted->msg;
        if (remove)
            queue->posted.erase(posted);
        return true;
    }
    if (queue->quitPending) {
        *msg = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(queue->quitCode), 0);
        if (remove)
            queue->quitPending = false;
        return true;
    }
    if (InRange(WM_TIMER, filter)) {
        const simclock::Duration now = simclock::Now();
        for (WindowTimer& timer : queue->timers) {
            if (timer.due <= now && WindowMatches(timer.hwnd, filter)) {
                *msg = MakeMessage(timer.hwnd, WM_TIMER, timer.id,
                                   reinterpret_cast<LPARAM>(timer.procedure));
                // Periods that passed unseen make one WM_TIMER, as on the platform.
                if (remove)
                    timer.due = now + timer.elapse;
                return true;
            }
        }
    }
    return false;
}

void WaitForArrival(const std::shared_ptr<ThreadQueue>& queue, const MessageFilter& filter,
                    unsigned long long seen) {
    std::unique_lock lock(queue->mutex);
    auto arrived = [&] {
        return queue->changes != seen || !queue->incoming.empty() || queue->quitPending;
    };
    std::optional<simclock::Duration> due;
    if (InRange(WM_TIMER, filter)) {
        for (const WindowTimer& timer : queue->timers) {
            if (WindowMatches(timer.hwnd, filter) && (!due || timer.due < *due))
                due = timer.due;
        }
    }
    if (!due) {
        queue->changed.wait(lock, arrived);
        return;
    }
    while (!arrived()) {
        if (queue->changed.wait_until_reading(lock, *due) == std::cv_status::timeout)
            return;  // a timer is due
    }
}

}  // namespace win32::detail
