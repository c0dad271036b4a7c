// A board-list line's signals on the simulated MQ5120's inputs: AD0.n drives analog input n
// (const, sine, square in volts; a pattern as the codes the channel's conversions read in turn),
// DIN0.0 the digital input port (a constant's number, or a pattern's first code). Inputs without
// a signal read 0 V and the port 0; signals of other subsystems are not inputs of the model.
#pragma once

#include <map>

#include "mq5120/board.h"
#include "sim/board_description.h"

namespace sim {

// The model's signal for a board-list signal.
mq5120::Signal ModelSignal(const Signal& signal);

// Sets every input of the board: those of the line to its signals, the others to 0.
void ApplyInputs(mq5120::Board& board, const std::map<ChannelKey, Signal>& signals);

}  // namespace sim
