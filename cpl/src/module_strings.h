// The applet module's string table: ids and the texts' lookup.
#pragma once

#include <string>

#include "win32/types.h"

namespace mqhxcpl {

inline constexpr UINT kIdsAppletName = 1;
inline constexpr UINT kIdsAppletDescription = 2;
inline constexpr UINT kIdsHelpFile = 3;
inline constexpr UINT kIdsReadOnlyDatabase = 4;
inline constexpr UINT kIdsNameColumn = 5;

// The text of a string of this module; empty when there is none.
std::string LoadModuleString(UINT id);

}  // namespace mqhxcpl
