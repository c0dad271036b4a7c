// The machine's board list: the text file "boards.txt" in the machine directory. One board per
// line; '#' starts a comment; blank lines are skipped:
//
//     <family> <board type> <serial number> [unpaced] [<channel>=<signal> ...]
//
// unpaced: the board's streams fill each input read as soon as it is issued instead of at the
// configured clock (a benchmark mode).
// family: MQ5120, Mq5200, Mq5130 or MQ5310 (any case). Board type and serial number: decimal or
// 0x-hexadecimal. A channel is <subsystem><element>.<channel> with the subsystem words of the
// device protocol (AD, DA, DIN, DOUT, SRL, CT), e.g. AD0.3. Signals:
//     const:<volts>                          a constant level
//     sine:<amplitude>:<frequency>[:<offset>]    volts and Hz, centred on offset (default 0)
//     square:<amplitude>:<frequency>[:<offset>]  offset + amplitude for the first half period,
//                                                offset - amplitude for the second
//     pattern:<code>[,<code>...]             raw codes, one per read, cycling
// A channel without a signal reads 0 V (digital inputs and counters read 0).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "sim/board_description.h"

namespace sim {

inline constexpr const char* kBoardListFileName = "boards.txt";

struct BoardListError {
    int line = 0;
    std::string message;
};

struct BoardList {
    std::vector<BoardDescription> boards;
    std::vector<BoardListError> errors;  // lines that were skipped, and why
};

// Parses the text; a bad line is skipped with an error, the others are kept. A board whose family
// and serial number repeat an earlier line's is skipped too (they name the same device).
BoardList ParseBoardList(const std::string& text);
// The list of the machine in directory: its boards.txt, or the default board when there is none.
BoardList ReadBoardList(const std::filesystem::path& machineDirectory);
// One line of the format for a board (tests write machines with it).
std::string FormatBoard(const BoardDescription& board);

}  // namespace sim
