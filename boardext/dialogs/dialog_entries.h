// The entries of the dialogs module, one per family that has an advanced-settings dialog: each
// shows its family's dialog modally on the process's forms runtime for a device opened with
// hxDaInitialize, and returns TRUE once it has closed (FALSE in a process without a forms
// runtime, where nothing is shown).
#pragma once

#include <cstdint>

#include "ui/runtime.h"
#include "win32/types.h"

namespace boardext::dialogs {

BOOL ShowMq5120Dialog(LPCSTR boardName, std::uint32_t device, BOOL hasAnalogInputs);
BOOL ShowMq5200Dialog(LPCSTR boardName, std::uint32_t device, BOOL unused);
BOOL ShowMq5130Dialog(LPCSTR boardName, std::uint32_t device, BOOL unused);

}  // namespace boardext::dialogs
