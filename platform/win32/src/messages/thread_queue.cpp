#include "messages/thread_queue.h"

#include <unordered_map>

#include "messages/arrival_notifier.h"
#include "messages/window_table.h"
#include "win32/threads.h"

namespace win32::detail {
namespace {

constexpr std::size_t kQueueLimit = 10000;

struct QueueDirectory {
    std::mutex mutex;
    std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>> byThread;
};

QueueDirectory& Directory() {
    static QueueDirectory directory;
    return directory;
}

// Built when the library loads, so that it outlives the libraries built on this one, which may
// still use it as they unload at exit.
[[maybe_unused]] const bool kBuiltAtLoad = (Directory(), true);

// What a thread's exit does to its queue: its windows go, the queue refuses new messages, and
// every sender still waiting for an answer from this thread gets 0.
void CloseQueue(const std::shared_ptr<ThreadQueue>& queue) {
    {
        QueueDirectory& directory = Directory();
        std::lock_guard lock(directory.mutex);
        directory.byThread.erase(queue->threadId);
    }
    for (const auto& window : WindowsOwnedBy(queue.get()))
        RetireWindow(window);
    std::deque<std::shared_ptr<SentMessage>> unanswered;
    {
        std::lock_guard lock(queue->mutex);
        queue->exited = true;
        unanswered.swap(queue->incoming);
        queue->posted.clear();
        queue->timers.clear();
    }
    for (const auto& sent : unanswered)
        Answer(sent, 0);
}

struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (queue)
            CloseQueue(queue);
    }
};

thread_local QueueHolder t_queue;

}  // namespace

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (!t_queue.queue) {
        auto queue = std::make_shared<ThreadQueue>(GetCurrentThreadId());
        QueueDirectory& directory = Directory();
        std::lock_guard lock(directory.mutex);
        directory.byThread[queue->threadId] = queue;
        t_queue.queue = std::move(queue);
    }
    return t_queue.queue;
}

std::shared_ptr<ThreadQueue> CurrentQueueIfAny() {
    return t_queue.queue;
}

std::shared_ptr<ThreadQueue> FindQueue(DWORD threadId) {
    QueueDirectory& directory = Directory();
    std::lock_guard lock(directory.mutex);
    auto it = directory.byThread.find(threadId);
    return it == directory.byThread.end() ? nullptr : it->second.lock();
}

void Answer(const std::shared_ptr<SentMessage>& sent, LRESULT result) {
    ThreadQueue& sender = *sent->sender;
    {
        std::lock_guard lock(sender.mutex);
        sent->result = result;
        sent->answered = true;
    }
    sender.changed.notify_all();
}

PostResult Post(ThreadQueue& queue, PostedMessage message) {
    {
        std::lock_guard lock(queue.mutex);
        if (queue.exited)
            return PostResult::Exited;
        if (queue.posted.size() >= kQueueLimit)
            return PostResult::Full;
        queue.posted.push_back(std::move(message));
        queue.changes += 1;
    }
    queue.changed.notify_all();
    NotifyArrival(queue.threadId);
    return PostResult::Posted;
}

}  // namespace win32::detail
