// `CounterSubsystem`: one of the five 32-bit counter/timers of an MQ5120 board (elements 0-4; a
// file of a higher element opens, and every request on it answers 2, HXINVALIDELEMENT, before
// anything reaches the board). Modes: count events, rate, one-shot, repeated one-shot, up/down
// and edge-to-edge measurement, on the internal 18 MHz clock or the external clock input, gated.
//
// The counter's period and pulse width are computed in 64 bits: the period d is 18 MHz / f (or
// the external divider), held to the 32 bits of the registers, so that the slowest rate the
// library allows gives the slowest rate the counter makes rather than a wrapped one. The period
// registers take 1 - d and the width registers -(d x width / 100).
//
// The edge-to-edge measurement is watched by a poll (a 20 ms timer whose routine queues a work
// item): once the board clears the counter's measurement bit, the counter's value is posted as
// dalayer::SubsystemEvent::kEventValue and the poll ends (one value per start).
#pragma once

#include "board/protocol.h"
#include "dalayer/da_subsystem.h"
#include "dalayer/subsystem_event_queue.h"
#include "framework/kernel_sync.h"
#include "framework/kernel_timer.h"
#include "framework/spin_lock.h"

namespace board {

class BoardDevice;

// The registers a counter configuration programs; only computes.
struct CounterProgram {
    ULONG period = 0;  // registers 192 + 5c, 193 + 5c
    ULONG width = 0;   // registers 194 + 5c, 195 + 5c
    USHORT mode = 0;   // register 196 + 5c before the start adds its bits
};

// Checks a configuration block and computes the counter's registers; an API status.
hxda::ApiStatus PrepareCounter(const hxda::ConfigurationBlock& block, CounterProgram* program);
// The gate bits the start adds for a gate type; false for a gate the board does not have.
bool CounterGateBits(USHORT gate, USHORT* bits);

class CounterSubsystem : public dalayer::DaSubsystem {
  public:
    static constexpr LONGLONG kPollMs = 20;

    CounterSubsystem(BoardDevice* board, ULONG element);
    ~CounterSubsystem() override;
    void Destroy() override;

    hxda::ApiStatus Configure(dalayer::DaRequest& request) override;
    hxda::ApiStatus Start(dalayer::DaRequest& request) override;
    hxda::ApiStatus Stop(dalayer::DaRequest& request) override;
    hxda::ApiStatus Abort(dalayer::DaRequest& request) override { return Stop(request); }
    hxda::ApiStatus Reset(dalayer::DaRequest& request) override { return Stop(request); }
    hxda::ApiStatus ReadEvents(dalayer::DaRequest& request) override;
    NTSTATUS WaitForEvent(PIRP irp) override { return events_.Wait(irp); }
    void CancelAll(PFILE_OBJECT file) override;
    void PostEvent(dalayer::SubsystemEvent event, ULONG data) override;

  private:
    bool ElementExists() const { return Element() < kCounters; }
    NTSTATUS StopCounter();
    void ArmPoll();
    void PollDue();
    static void PollWork(PDEVICE_OBJECT device, PVOID context);
    void Poll();
    void FinishDestroy();

    BoardDevice* board_;
    dalayer::SubsystemEventQueue events_;
    wdm::KernelTimer timer_;
    PIO_WORKITEM pollItem_ = nullptr;
    wdm::SpinLock lock_;
    CounterProgram program_;  // the last configuration accepted
    USHORT counterMode_ = 0;  // HXCTMODE_ of the configuration
    USHORT gate_ = HXGATE_NONE;
    USHORT cascade_ = 0;
    USHORT running_ = 0;       // the mode word as started
    bool measuring_ = false;   // the measurement poll is wanted; the rest under lock_ too
    bool timerArmed_ = false;  // the poll's timer is set or its routine runs
    bool workQueued_ = false;  // the poll's work is queued or runs
    bool destroyPending_ = false;
    bool destroyed_ = false;
};

}  // namespace board
