// A board of the machine as it sits on a bus, whichever bus and driver serve it: the stand-in
// boards on the machine's own bus with the stand-in driver, the MQ5120 on the USB bus with its
// driver MQ5120k. The board set keeps the boards in step with the board list through this
// interface alone. Not thread-safe; never called from a Plug and Play dispatch.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "kernel/wdm.h"
#include "sim/board_description.h"
#include "sim/family_driver.h"

namespace sim {

class PluggedBoard {
  public:
    // Deletes what is left of the board on its bus; only once StackRemoved.
    virtual ~PluggedBoard() = default;

    // The physical device the Plug and Play manager built the board's stack on.
    virtual PDEVICE_OBJECT physical() const = 0;
    // New signals on the running board's inputs (its line changed, type and pacing kept).
    virtual void SetSignals(const std::map<ChannelKey, Signal>& signals) = 0;
    // The board is pulled out while files may be open on it (surprise removal, waited for); its
    // stack goes once every file on it is closed. Once only.
    virtual void PullOut() = 0;
    // False once pulled out or removed in order.
    virtual bool IsPluggedIn() const = 0;
    // Orderly removal: QUERY_REMOVE, then REMOVE (waited for) or CANCEL_REMOVE; the status of the
    // query. A refused removal leaves the board running.
    virtual NTSTATUS RequestRemoval() = 0;
    // Orderly removal of a started board; a board whose stack refuses is pulled out instead.
    virtual void Unplug() = 0;
    // True once no stack is left on the board: removed, or never started.
    virtual bool StackRemoved() const = 0;
    // A fault in a running transfer of a subsystem (overrun or trigger); false when the board has
    // no such subsystem or it does not run.
    virtual bool InjectFault(std::uint32_t type, std::uint32_t element, InjectedFault fault) = 0;
    // From now on the board fails every read of the register; false for boards whose registers
    // are not the stand-in driver's.
    virtual bool FailRegisterReads(std::uint32_t number) { return false; }
    // The board's log of its outputs (an MQ5120's: analog outputs, the port, counter edges), and
    // the D/A underruns it counted; none for boards without such a log.
    struct OutputRecord {
        std::int64_t timeNs;
        int channel;
        std::uint32_t value;
    };
    virtual std::vector<OutputRecord> Outputs(bool clear) { return {}; }
    virtual std::size_t DaUnderruns() const { return 0; }
    virtual bool DaRunning() const { return false; }
    virtual std::size_t DaMemorySamples() const { return 0; }
};

// Plugs boards in: each kind of board on its bus, started with its driver through the Plug and
// Play manager. On success *plugged receives the running board; a board that did not start is
// gone again and the status tells why.
class BoardPlugger {
  public:
    virtual ~BoardPlugger() = default;
    virtual NTSTATUS PlugIn(const BoardDescription& board,
                            std::unique_ptr<PluggedBoard>* plugged) = 0;
};

}  // namespace sim
