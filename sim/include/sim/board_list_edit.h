// Edits of a board list's text, as the machine tool makes them: every line the edit does not touch
// stays as it is, comments included. Each edit checks its input the way the machine reads the list
// and refuses what the machine would skip.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/board_description.h"

namespace sim {

struct ListEdit {
    bool ok = false;
    std::string text;   // the new list when ok
    std::string error;  // why not
};

// A family name and a serial number (decimal or 0x-hexadecimal), checked as a list line is.
bool ParseBoardKey(const std::string& family, const std::string& serial, Family* familyOut,
                   std::uint32_t* serialOut, std::string* error);

// The list's text as it stands: the file's, or a line of the default board when there is no file
// (what the machine plugs in then).
std::string EffectiveListText(bool fileExists, const std::string& fileText);

// Appends a board: words are the line's words (family, type, serial, signals). Refused when the
// line is not a board or a board of its family and serial number is listed.
ListEdit AddBoard(const std::string& text, const std::vector<std::string>& words);
// Drops every line of the board. Refused when no line names it.
ListEdit RemoveBoard(const std::string& text, Family family, std::uint32_t serialNumber);
// Sets one channel's signal, "<channel>=<signal>", on the board's line (which is written anew,
// keeping its comment). Refused for an unlisted board or a bad channel or signal.
ListEdit SetSignal(const std::string& text, Family family, std::uint32_t serialNumber,
                   const std::string& assignment);

}  // namespace sim
