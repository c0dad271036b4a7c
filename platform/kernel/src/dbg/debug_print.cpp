#include "kernel/debug_print.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

constexpr std::size_t kSinkLimit = 1u << 20;
constexpr std::size_t kTextLimit = 512;

struct DebugSink {
    std::mutex mutex;
    std::string text;
};

DebugSink& Sink() {
    static DebugSink sink;
    return sink;
}

// Built when the library loads, so that it outlives the drivers, which may still print as they
// unload at exit.
[[maybe_unused]] const bool kBuiltAtLoad = (Sink(), true);

bool EchoToStderr() {
    const char* value = std::getenv("MQ_DEBUG_OUTPUT");
    return value != nullptr && *value != 0 && std::strcmp(value, "0") != 0;
}

}  // namespace

ULONG DbgPrint(PCSTR format, ...) {
    if (format == nullptr)
        return 0;
    char text[kTextLimit + 1];
    va_list arguments;
    va_start(arguments, format);
    const int wanted = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (wanted < 0)
        return 0;
    const std::size_t length = static_cast<std::size_t>(wanted) < kTextLimit ? wanted : kTextLimit;
    DebugSink& sink = Sink();
    {
        std::lock_guard lock(sink.mutex);
        sink.text.append(text, length);
        if (sink.text.size() > kSinkLimit)
            sink.text.erase(0, sink.text.size() - kSinkLimit);
    }
    if (EchoToStderr())
        std::fwrite(text, 1, length, stderr);
    return static_cast<ULONG>(length);
}

namespace kernel::testing {

std::string DebugPrintOutput() {
    DebugSink& sink = Sink();
    std::lock_guard lock(sink.mutex);
    return sink.text;
}

void ClearDebugPrintOutput() {
    DebugSink& sink = Sink();
    std::lock_guard lock(sink.mutex);
    sink.text.clear();
}

}  // namespace kernel::testing
