// Debugger output. The process keeps what OutputDebugString writes in a sink that tests can read
// and clear; with MQ_DEBUG_OUTPUT=1 in the environment every text is also echoed to stderr.
#pragma once

#include <string>

#include "win32/types.h"

void WINAPI OutputDebugStringA(LPCSTR lpOutputString);
static inline void OutputDebugString(LPCSTR lpOutputString) {
    OutputDebugStringA(lpOutputString);
}

namespace win32::testing {

// Everything written since the last clear, in order. The sink keeps the most recent 1 MiB.
std::string DebugOutput();
void ClearDebugOutput();

}  // namespace win32::testing
