// Adds the lifetime of a scope (one bus call of a board) to the process's bus-call time.
#pragma once

#include <atomic>
#include <cstdint>

#include "mq5120/bus_call_time.h"

namespace mq5120 {

class BusCallTimeMeter {
  public:
    BusCallTimeMeter();
    ~BusCallTimeMeter();
    BusCallTimeMeter(const BusCallTimeMeter&) = delete;
    BusCallTimeMeter& operator=(const BusCallTimeMeter&) = delete;

  private:
    std::int64_t startNs_;
};

}  // namespace mq5120
