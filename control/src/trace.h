// Trace lines of the subsystem selection, written to the debugger output.
#pragma once

namespace mqacq32 {

// printf-style; the caller gives the whole line with its newline.
[[gnu::format(printf, 1, 2)]] void Trace(const char* format, ...);

}  // namespace mqacq32
