// The multimedia timers of the process: one table of timers and one thread that runs their
// callbacks in due order.
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "core/clock.h"
#include "simclock/clock.h"
#include "simclock/condition.h"
#include "simclock/thread.h"
#include "win32/mmsystem.h"

namespace {

constexpr UINT kMinimumDelay = 1;
constexpr UINT kMaximumDelay = 1000000;

struct Timer {
    std::chrono::milliseconds period;
    bool periodic;
    LPTIMECALLBACK callback;
    DWORD_PTR user;
    simclock::Duration due;  // on the stand-ins' clock
    bool fired = false;      // a one-shot timer whose callback has started
};

class TimerService {
  public:
    static TimerService& Instance() {
        static TimerService service;
        return service;
    }

    ~TimerService() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    UINT Start(UINT delayMs, LPTIMECALLBACK callback, DWORD_PTR user, bool periodic) {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable())
            thread_ = simclock::Thread([this] { Run(); });
        UINT id = NextFreeId();
        auto period = std::chrono::milliseconds(delayMs);
        timers_.emplace(id, Timer{period, periodic, callback, user, simclock::Now() + period});
        wake_.notify_all();
        return id;
    }

    bool Kill(UINT id) {
        std::unique_lock lock(mutex_);
        if (timers_.erase(id) == 0)
            return false;
        wake_.notify_all();
        // A callback of this timer that is running now finishes before the kill returns, unless
        // the callback is the one killing its own timer.
        if (std::this_thread::get_id() != timerThread_) {
            idle_.wait(lock, [&] { return runningId_ != id; });
        }
        return true;
    }

    void KillAll() {
        std::unique_lock lock(mutex_);
        timers_.clear();
        wake_.notify_all();
        if (std::this_thread::get_id() != timerThread_) {
            idle_.wait(lock, [&] { return runningId_ == 0; });
        }
    }

    std::size_t Count() {
        std::lock_guard lock(mutex_);
        return timers_.size();
    }

  private:
    UINT NextFreeId() {
        for (;;) {
            lastId_ = lastId_ == 0xFFFFFFFFu ? 1 : lastId_ + 1;
            if (timers_.find(lastId_) == timers_.end())
                return lastId_;
        }
    }

    void Run() {
        std::unique_lock lock(mutex_);
        timerThread_ = std::this_thread::get_id();
        while (!stopping_) {
            auto next = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it) {
                if (!it->second.fired &&
                    (next == timers_.end() || it->second.due < next->second.due))
                    next = it;
            }
            if (next == timers_.end()) {
                wake_.wait(lock);
                continue;
            }
            const simclock::Duration due = next->second.due;
            if (simclock::Now() < due) {
                wake_.wait_until_reading(lock, due);
                continue;  // the table or the clock may have changed meanwhile
            }
            UINT id = next->first;
            Timer& timer = next->second;
            LPTIMECALLBACK callback = timer.callback;
            DWORD_PTR user = timer.user;
            if (timer.periodic) {
                timer.due += timer.period;
                if (timer.due < simclock::Now())
                    timer.due = simclock::Now();  // no burst after a stall
            } else {
                timer.fired = true;
            }
            runningId_ = id;
            lock.unlock();
            callback(id, 0, user, 0, 0);
            lock.lock();
            runningId_ = 0;
            if (auto it = timers_.find(id); it != timers_.end() && it->second.fired)
                timers_.erase(it);
            idle_.notify_all();
        }
    }

    std::mutex mutex_;
    simclock::ConditionVariable wake_;
    simclock::ConditionVariable idle_;
    std::map<UINT, Timer> timers_;
    UINT lastId_ = 0;
    UINT runningId_ = 0;
    bool stopping_ = false;
    std::thread::id timerThread_;
    simclock::Thread thread_;
};

// Built when the library loads, so that it outlives the libraries built on this one, which may
// still use it as they unload at exit.
[[maybe_unused]] const bool kBuiltAtLoad = (TimerService::Instance(), true);

}  // namespace

MMRESULT WINAPI timeSetEvent(UINT uDelay, UINT uResolution, LPTIMECALLBACK lpTimeProc,
                             DWORD_PTR dwUser, UINT fuEvent) {
    constexpr UINT kKnownFlags = TIME_PERIODIC | TIME_KILL_SYNCHRONOUS;
    if (lpTimeProc == nullptr || uDelay < kMinimumDelay || uDelay > kMaximumDelay ||
        (fuEvent & ~kKnownFlags) != 0)
        return 0;
    return TimerService::Instance().Start(uDelay, lpTimeProc, dwUser,
                                          (fuEvent & TIME_PERIODIC) != 0);
}

MMRESULT WINAPI timeKillEvent(UINT uTimerID) {
    return TimerService::Instance().Kill(uTimerID) ? TIMERR_NOERROR : MMSYSERR_INVALPARAM;
}

MMRESULT WINAPI timeBeginPeriod(UINT uPeriod) {
    return uPeriod >= kMinimumDelay && uPeriod <= kMaximumDelay ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

MMRESULT WINAPI timeEndPeriod(UINT uPeriod) {
    return uPeriod >= kMinimumDelay && uPeriod <= kMaximumDelay ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

MMRESULT WINAPI timeGetDevCaps(LPTIMECAPS ptc, UINT cbtc) {
    if (ptc == nullptr || cbtc < sizeof(TIMECAPS))
        return TIMERR_STRUCT;
    ptc->wPeriodMin = kMinimumDelay;
    ptc->wPeriodMax = kMaximumDelay;
    return TIMERR_NOERROR;
}

DWORD WINAPI timeGetTime() {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(win32::detail::ClockNow());
    return static_cast<DWORD>(ms.count());
}

namespace win32::testing {

void KillAllMultimediaTimers() {
    TimerService::Instance().KillAll();
}
std::size_t ActiveMultimediaTimerCount() {
    return TimerService::Instance().Count();
}

}  // namespace win32::testing
