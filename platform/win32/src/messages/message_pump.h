// Taking messages out of the calling thread's queue: answering sent messages, finding posted
// messages by filter, WM_QUIT and WM_TIMER. Private to platform/win32.
#pragma once

#include <memory>

#include "messages/thread_queue.h"

namespace win32::detail {

struct MessageFilter {
    HWND window;  // nullptr: any; (HWND)-1: thread messages only
    UINT first;
    UINT last;  // first = last = 0: every message
};

// Answers, on the calling (owning) thread, every message other threads have sent to it.
// Returns true if it answered any.
bool AnswerIncoming(const std::shared_ptr<ThreadQueue>& queue);

// One pass over the queue: sent messages first, then the first matching posted message, then a
// pending quit, then a due timer. False when none of them is there.
bool TakeMessage(const std::shared_ptr<ThreadQueue>& queue, const MessageFilter& filter,
                 bool remove, MSG* msg);

// Blocks until something arrives after `seen` changes, or a timer that the filter takes falls due.
void WaitForArrival(const std::shared_ptr<ThreadQueue>& queue, const MessageFilter& filter,
                    unsigned long long seen);

}  // namespace win32::detail
