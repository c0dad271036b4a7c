// MainDLG of the families that have an advanced-settings dialog. The dialogs run on the forms
// runtime, which only programs with windows carry, so they live in a module of their own that
// MainDLG binds at its call: a program that only streams never loads it.
#pragma once

#include <cstdint>

#include "win32/types.h"

namespace boardext {

inline constexpr char kDialogsModule[] = "MqBoardDlg.dll";
inline constexpr char kMq5120DialogEntry[] = "Mq5120Dialog";
inline constexpr char kMq5200DialogEntry[] = "Mq5200Dialog";
inline constexpr char kMq5130DialogEntry[] = "Mq5130Dialog";

// A dialog entry of the dialogs module: board name, device, and for Mq5120 whether the board has
// analog inputs. TRUE once the dialog has closed.
using FamilyDialogProc = BOOL (*)(LPCSTR boardName, std::uint32_t device, BOOL hasAnalogInputs);

// Runs the family's dialog modally for the device and returns 1 once it has closed; 0 when it
// cannot be shown (no dialogs module, or a process without a forms runtime).
BOOL RunMainDialog(const char* entryName, LPCSTR boardName, std::uint32_t device,
                   BOOL hasAnalogInputs);

}  // namespace boardext
