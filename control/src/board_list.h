// The process-wide list of installed boards: filled by the first control instance through the
// library's board enumeration, shared by every instance, emptied when the last one goes. It is
// never refreshed while an instance exists.
#pragma once

#include <string>

#include "win32/types.h"

namespace mqacq32 {

inline constexpr int kMaxBoards = 20;

namespace board_list {

// An instance is made: the first one fills the list.
void AddInstance();
// An instance goes: the last one empties the list.
void RemoveInstance();
int Count();
// The name at `index`, "" for an index at or beyond the count.
std::string Name(int index);
// The enumeration callback's work: appends a name; FALSE when kMaxBoards are held.
BOOL Append(const char* name);

}  // namespace board_list
}  // namespace mqacq32
