// Calls the message-arrival notifier of a thread, if it has one. Private to platform/win32.
#pragma once

#include "win32/types.h"

namespace win32::detail {

void NotifyArrival(DWORD threadId);

}  // namespace win32::detail
