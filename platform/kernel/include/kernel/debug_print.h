// Kernel debug output: DbgPrint formats like printf and appends the text to the machine's kernel
// debug sink, which tests read and clear; with MQ_DEBUG_OUTPUT=1 in the environment every text is
// also echoed to stderr. Callable at any IRQL: it neither waits for long nor allocates from pool.
#pragma once

#include <string>

#include "kernel/ntdef.h"

// The count of characters written, as on the platform. A text longer than the platform's limit
// of 512 characters is cut there.
ULONG DbgPrint(PCSTR format, ...) __attribute__((format(printf, 1, 2)));

namespace kernel::testing {

// Everything DbgPrint wrote since the last clear, in order. The sink keeps the most recent 1 MiB.
std::string DebugPrintOutput();
void ClearDebugPrintOutput();

}  // namespace kernel::testing
