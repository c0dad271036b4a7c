// A board-list line's signals on the simulated MQ5120's inputs: AD0.n drives analog input n
// (const, sine, square in volts; a pattern as the codes the channel's conversions read in turn;
// DA0.m the level of analog output m at each conversion), DIN0.0 the digital input port (a
// constant's number, a pattern's first code, or DOUT0.0 the output port), CT0.n counter n's clock
// input (a square's rising edges, or CT0.m counter m's output pulses) and GATE0.n its gate input
// (a signal's level, 2 V and above high). Inputs without a signal read 0 V, the port 0, and the
// counters' inputs are left to the board's own hooks; other subsystems have no inputs.
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
