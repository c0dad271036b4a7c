// The message queue of one thread: posted messages, messages sent from other threads and waiting
// for an answer, the quit request and the window timers. Private to platform/win32.
#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "simclock/condition.h"
#include "win32/messages.h"

namespace win32::detail {

struct Window;
class ThreadQueue;

// A message sent from another thread. The owner's thread answers it and wakes the sender.
struct SentMessage {
    std::shared_ptr<Window> target;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::shared_ptr<ThreadQueue> sender;
    LRESULT result = 0;
    bool answered = false;  // guarded by the sender's queue lock
};

struct PostedMessage {
    MSG msg;
    std::shared_ptr<Window> target;  // null for a thread message
};

struct WindowTimer {
    HWND hwnd;
    UINT_PTR id;
    std::chrono::milliseconds elapse;
    TIMERPROC procedure;
    simclock::Duration due;  // on the stand-ins' clock
};

class ThreadQueue {
  public:
    explicit ThreadQueue(DWORD threadId) : threadId(threadId) {}

    const DWORD threadId;

    // Everything below is guarded by mutex. changed wakes the owner (new message, quit, timer) and
    // the owner's own sends waiting for their answers.
    std::mutex mutex;
    simclock::ConditionVariable changed;
    std::deque<PostedMessage> posted;
    std::deque<std::shared_ptr<SentMessage>> incoming;
    std::vector<WindowTimer> timers;
    UINT_PTR lastThreadTimerId = 0;
    bool quitPending = false;
    int quitCode = 0;
    bool exited = false;
    unsigned long long changes = 0;  // counts every arrival, for WaitMessage
};

// The calling thread's queue, made on first use. When the thread exits its windows are
// destroyed, waiting senders get 0 and the queue no longer accepts messages.
std::shared_ptr<ThreadQueue> CurrentQueue();
// The calling thread's queue if it has one.
std::shared_ptr<ThreadQueue> CurrentQueueIfAny();
// The queue of a live thread that has one, by thread id.
std::shared_ptr<ThreadQueue> FindQueue(DWORD threadId);

// Answers a sent message and wakes its sender.
void Answer(const std::shared_ptr<SentMessage>& sent, LRESULT result);

// Appends a posted message; false when the owner has exited or the queue is full.
enum class PostResult { Posted, Exited, Full };
PostResult Post(ThreadQueue& queue, PostedMessage message);

}  // namespace win32::detail
