// The boards that the stand-in driver serves: physical devices of the machine's own bus, each
// carrying its SimulatedBoard, started with the stand-in driver.
#pragma once

#include "kernel/pnp.h"
#include "plugged_board.h"
#include "sim/bus.h"

namespace sim {

class StandInPlugger final : public BoardPlugger {
  public:
    // The bus driver and the log of the Plug and Play requests its devices see (which must
    // outlive every board plugged in), and the stand-in driver as the manager loads it.
    StandInPlugger(PDRIVER_OBJECT bus, kernel::pnp::FunctionDriver driver, PnpLog* log)
        : bus_(bus), driver_(std::move(driver)), log_(log) {}

    NTSTATUS PlugIn(const BoardDescription& board, std::unique_ptr<PluggedBoard>* plugged) override;

  private:
    PDRIVER_OBJECT bus_;
    kernel::pnp::FunctionDriver driver_;
    PnpLog* log_;
    int nextIndex_ = 0;  // names the bus's devices; never reused
};

}  // namespace sim
