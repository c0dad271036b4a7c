// Helpers of the sync tests: a handle that closes itself and threads that run a lambda.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "win32/sync.h"

namespace sync_test {

class ScopedHandle {
  public:
    explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~ScopedHandle() {
        if (handle_)
            CloseHandle(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    HANDLE get() const { return handle_; }
    operator HANDLE() const { return handle_; }

  private:
    HANDLE handle_;
};

inline HANDLE NewEvent(bool manualReset, bool initialState) {
    return CreateEventA(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, nullptr);
}

// Runs body on a thread made by CreateThread; its result is the exit code.
inline HANDLE StartThread(std::function<DWORD()> body, DWORD flags = 0, DWORD* id = nullptr) {
    auto* heapBody = new std::function<DWORD()>(std::move(body));
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            std::unique_ptr<std::function<DWORD()>> owned(
                static_cast<std::function<DWORD()>*>(parameter));
            return (*owned)();
        },
        heapBody, flags, id);
    if (!thread)
        delete heapBody;
    return thread;
}

// Generous bound for anything that should happen "soon"; no test waits longer.
constexpr DWORD kLongWaitMs = 10000;

inline long long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

// Polls condition until it holds or kLongWaitMs pass.
inline bool Eventually(const std::function<bool()>& condition) {
    const auto start = std::chrono::steady_clock::now();
    while (!condition()) {
        if (ElapsedMs(start) > kLongWaitMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace sync_test
