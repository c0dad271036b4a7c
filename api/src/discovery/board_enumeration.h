// Board enumeration and the lookups built on it: the boards a program can name, the driver name
// and device path of one board, and renaming.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "discovery/board_keys.h"

namespace hxda {

struct Board {
    std::string boardName;
    std::string driverName;
    const BoardKey* source = nullptr;  // the board's key, open during the visit
};

// Visits, in order, every board whose `DriverName` and `MqHalcyonBoardName` can be read; `visit`
// returns true to go on. A board whose two values cannot be read ends the enumeration. Returns
// the number of boards visited.
std::uint32_t enumerateBoards(DiscoveryPath path, const std::function<bool(const Board&)>& visit);

struct BoardLocation {
    std::string devicePath;
    std::uint32_t boardType = 0;
};

// The device path and board type of the first board named `boardName` (without regard to case).
// A key whose board name cannot be read ends the search without a result.
bool findBoardLocation(DiscoveryPath path, const char* boardName, BoardLocation* location);

// The driver name of the first enumerated board named `boardName`.
bool findDriverName(DiscoveryPath path, const char* boardName, std::string* driverName);

// Writes `newName` into the board's own key and into its entry of the board database. False when
// a step failed.
bool renameBoard(const Board& board, const char* newName);

}  // namespace hxda
