// Polling a file for changes.
#include "list_watcher.h"

#include <sys/stat.h>

namespace sim {

ListWatcher::ListWatcher(std::filesystem::path file, std::chrono::milliseconds period,
                         std::function<void(bool changed)> tick)
    : file_(std::move(file)),
      period_(period),
      tick_(std::move(tick)),
      taken_(Look(file_)),
      previous_(taken_) {
    thread_ = simclock::Thread([this] { Run(); });
}

ListWatcher::~ListWatcher() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

ListWatcher::Stamp ListWatcher::Look(const std::filesystem::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0)
        return {};
    return {true, status.st_ino, status.st_size,
            static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec};
}

void ListWatcher::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, period_, [this] { return stopping_; });
        if (stopping_)
            return;
        lock.unlock();
        const Stamp now = Look(file_);
        const bool changed = now == previous_ && !(now == taken_);
        previous_ = now;
        if (changed)
            taken_ = now;
        tick_(changed);
        lock.lock();
    }
}

}  // namespace sim
