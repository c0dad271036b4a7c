// Watches a file by polling: every period, on a thread of its own, it calls back with whether the
// file changed (another inode, size or modification time, or it appeared or went). A change counts
// once the file has looked the same at two looks in a row, so that a file still being written is
// not taken half-way. The first look is taken at construction, so a change made after that is
// seen. The destructor stops the thread and waits for a callback that is running. The period is
// one of the stand-ins' clock, on which the machine lives.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>

#include "simclock/condition.h"
#include "simclock/thread.h"

#include <sys/types.h>

namespace sim {

class ListWatcher {
  public:
    ListWatcher(std::filesystem::path file, std::chrono::milliseconds period,
                std::function<void(bool changed)> tick);
    ~ListWatcher();
    ListWatcher(const ListWatcher&) = delete;
    ListWatcher& operator=(const ListWatcher&) = delete;

    struct Stamp {
        bool exists = false;
        ino_t inode = 0;
        off_t size = 0;
        long long modifiedNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp Look(const std::filesystem::path& file);

  private:
    void Run();

    const std::filesystem::path file_;
    const std::chrono::milliseconds period_;
    const std::function<void(bool)> tick_;
    Stamp taken_;     // the file as last reported
    Stamp previous_;  // the file at the last look
    std::mutex mutex_;
    simclock::ConditionVariable wake_;
    bool stopping_ = false;
    simclock::Thread thread_;
};

}  // namespace sim
