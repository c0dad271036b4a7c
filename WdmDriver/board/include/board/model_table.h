// The board models by board type (register 32), the same rows as the MQ5120 extension library.
// The driver uses only the names.
#pragma once

#include "kernel/wdm.h"

namespace board {

// The model name of a board type, or "UNKNOWN" for a type not in the table.
PCWSTR ModelName(ULONG boardType);
// Types without analog outputs: 2, 6, 10 and 14.
bool HasNoAnalogOutput(ULONG boardType);

}  // namespace board
