// The digital ports of an MQ5120 board: `DinSubsystem`, the input port (register 256) with its
// change events, and `DoutSubsystem`, the output port (register 288). Element 0 each.
//
// A started input port reports each change of a bit under its interrupt mask: the board's status
// message carries the new port value v, and the event's data is v in bits 0-7 and the bits that
// changed under the mask in bits 8-15.
#pragma once

#include "dalayer/da_subsystem.h"
#include "dalayer/subsystem_event_queue.h"
#include "framework/spin_lock.h"

namespace board {

class BoardDevice;

class DinSubsystem : public dalayer::DaSubsystem {
  public:
    DinSubsystem(BoardDevice* board, ULONG element);

    hxda::ApiStatus Configure(dalayer::DaRequest&) override { return HXNOERROR; }
    hxda::ApiStatus Reset(dalayer::DaRequest&) override { return HXNOERROR; }
    hxda::ApiStatus Start(dalayer::DaRequest& request) override;
    hxda::ApiStatus Stop(dalayer::DaRequest& request) override;
    hxda::ApiStatus Abort(dalayer::DaRequest& request) override;
    hxda::ApiStatus GetSingleValue(dalayer::DaRequest& request) override;
    NTSTATUS WaitForEvent(PIRP irp) override { return events_.Wait(irp); }
    void CancelAll(PFILE_OBJECT file) override { events_.CancelAll(file); }
    void PostEvent(dalayer::SubsystemEvent event, ULONG data) override;

  private:
    BoardDevice* board_;
    dalayer::SubsystemEventQueue events_;
    wdm::SpinLock lock_;
    USHORT mask_ = 0;      // under lock_
    USHORT previous_ = 0;  // the last port value, under lock_
};

class DoutSubsystem : public dalayer::DaSubsystem {
  public:
    DoutSubsystem(BoardDevice* board, ULONG element);

    hxda::ApiStatus Configure(dalayer::DaRequest&) override { return HXNOERROR; }
    hxda::ApiStatus Reset(dalayer::DaRequest&) override { return HXNOERROR; }
    // Takes the port back from the D/A, then writes it.
    hxda::ApiStatus SetSingleValue(dalayer::DaRequest& request) override;
    NTSTATUS WaitForEvent(PIRP irp) override { return events_.Wait(irp); }
    void CancelAll(PFILE_OBJECT file) override { events_.CancelAll(file); }
    void PostEvent(dalayer::SubsystemEvent event, ULONG data) override {
        events_.Post(event, data);
    }

  private:
    BoardDevice* board_;
    dalayer::SubsystemEventQueue events_;
};

}  // namespace board
