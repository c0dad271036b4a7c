// The bus's frames: one thread that runs the timed passes of every port on the bus. A port that
// waits for its device names the reading at which time alone may move a transfer on; the bus
// serves it at the end of the 1-ms frame that holds that reading, as a host controller reports
// completions at frame boundaries, so that ports due in the same frame take one wake-up between
// them instead of one each. Wakes by submissions, cancels, the device and unplugging still go to
// the port's own thread.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "simclock/clock.h"
#include "simclock/condition.h"
#include "simclock/thread.h"
#include "usb/bus.h"

namespace usb {

class Port;

class FrameService {
  public:
    FrameService();
    ~FrameService();  // every port is forgotten by then
    FrameService(const FrameService&) = delete;
    FrameService& operator=(const FrameService&) = delete;

    // The port's next timed pass, at the end of the frame that holds `at`; none forgets the one
    // set.
    void Due(Port* port, std::optional<simclock::Duration> at);
    // No further pass for the port; returns once none runs for it.
    void Forget(Port* port);

  private:
    void Loop();

    std::mutex mutex_;
    simclock::ConditionVariable changed_;  // the thread waits here
    simclock::ConditionVariable passed_;   // a Forget waits here for the pass in progress
    std::map<Port*, simclock::Duration> due_;
    std::vector<Port*> ready_;  // due now, their passes not run yet
    // The frame end the thread sleeps until; the largest while it sleeps with nothing due, the
    // smallest while it runs passes.
    simclock::Duration sleepsUntil_ = simclock::Duration::min();
    Port* passing_ = nullptr;
    bool stop_ = false;
    simclock::Thread thread_;
};

}  // namespace usb
