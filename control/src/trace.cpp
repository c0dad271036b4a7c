#include "trace.h"

#include <cstdarg>
#include <cstdio>

#include "win32/debug.h"

namespace mqacq32 {

void Trace(const char* format, ...) {
    constexpr int kLineLength = 256;
    char line[kLineLength];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    OutputDebugStringA(line);
}

}  // namespace mqacq32
