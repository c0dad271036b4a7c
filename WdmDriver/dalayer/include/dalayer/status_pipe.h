// `StatusPipe`: the board's status-message pipe, as the data-acquisition device drives it. The
// board layer implements it over its USB pipe; the device decides when reads are posted and when
// the pipe is aborted.
#pragma once

#include "kernel/wdm.h"

namespace dalayer {

class StatusPipe {
  public:
    // Posts one read of a status message. On success the board layer calls
    // DaDevice::StatusReadReturned exactly once when the read completes, possibly from inside this
    // call. A failure posted nothing and is not followed by that call. Runs at up to
    // DISPATCH_LEVEL (a returned read is replaced from its completion) and must not wait.
    virtual NTSTATUS PostStatusRead() = 0;
    // Aborts the pipe: every outstanding read completes (and its StatusReadReturned runs) before
    // this returns. Passive level.
    virtual void AbortStatusPipe() = 0;

  protected:
    ~StatusPipe() = default;
};

}  // namespace dalayer
