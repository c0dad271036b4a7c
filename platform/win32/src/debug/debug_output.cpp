#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "win32/debug.h"

namespace {

constexpr std::size_t kSinkLimit = 1u << 20;

struct DebugSink {
    std::mutex mutex;
    std::string text;
};

DebugSink& Sink() {
    static DebugSink sink;
    return sink;
}

// Built when the library loads, so that it outlives the libraries built on this one, which may
// still use it as they unload at exit.
[[maybe_unused]] const bool kBuiltAtLoad = (Sink(), true);

bool EchoToStderr() {
    const char* value = std::getenv("MQ_DEBUG_OUTPUT");
    return value != nullptr && *value != 0 && std::strcmp(value, "0") != 0;
}

}  // namespace

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
    if (lpOutputString == nullptr)
        return;
    DebugSink& sink = Sink();
    {
        std::lock_guard lock(sink.mutex);
        sink.text += lpOutputString;
        if (sink.text.size() > kSinkLimit)
            sink.text.erase(0, sink.text.size() - kSinkLimit);
    }
    if (EchoToStderr())
        std::fputs(lpOutputString, stderr);
}

namespace win32::testing {

std::string DebugOutput() {
    DebugSink& sink = Sink();
    std::lock_guard lock(sink.mutex);
    return sink.text;
}

void ClearDebugOutput() {
    DebugSink& sink = Sink();
    std::lock_guard lock(sink.mutex);
    sink.text.clear();
}

}  // namespace win32::testing
