// What the streaming transfer objects report to their owners (the A/D and D/A objects).
#pragma once

#include "kernel/wdm.h"

namespace wdm {

// Events a stream gives its owner, at DISPATCH_LEVEL. They are the streams' own: an owner that
// passes one on to its program converts it in one place.
enum class TransferEvent : ULONG {
    kDeviceRemoved,  // a transfer failed because the device is gone
    kRecovery,       // a transaction error while running: the owner recovers the pipes
    kOverrun,        // an in stream's ring had no room for the data that came
};

// The transfer states of a stream's owner, as the streams read them (and the out stream changes
// them): idle, armed to running (1-4), the out stream's stop and abort states, destroyed. An
// owner with states of its own maps them onto these in one place.
enum TransferState : LONG {
    kStreamStateIdle = 0,
    kStreamStateArmed = 1,
    kStreamStateRunningLast = 4,  // states 1-4: armed to running
    kOutStateStopRequested = 5,
    kOutStateAborting = 6,
    kOutStateStopHeld = 7,
    kOutStateStopping = 9,
    kStreamStateDestroyed = 10,
};

inline bool StreamStateRunning(LONG state) {
    return state >= kStreamStateArmed && state <= kStreamStateRunningLast;
}

// The A/D object's side of its bulk-in stream.
class StreamInOwner {
  public:
    virtual TransferState StreamState() = 0;
    virtual void StreamEvent(TransferEvent event) = 0;

  protected:
    ~StreamInOwner() = default;
};

// The D/A object's side of its bulk-out stream.
class StreamOutOwner {
  public:
    // The owner's state, a TransferState, which the stream reads and changes with interlocked
    // operations.
    virtual LONG volatile* StreamState() = 0;
    virtual bool SingleBuffer() = 0;
    virtual void StreamEvent(TransferEvent event) = 0;
    // The end of the current write, at PASSIVE_LEVEL (from the stream's work item).
    virtual void WriteCompleted(NTSTATUS status) = 0;
    // After CancelTransfers, once none of the write's transfers is out any more: at
    // PASSIVE_LEVEL from the work item, or inside CancelTransfers when none was.
    virtual void TransfersReturned() = 0;

  protected:
    ~StreamOutOwner() = default;
};

}  // namespace wdm
