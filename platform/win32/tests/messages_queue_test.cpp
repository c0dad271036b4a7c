// Windows and message queues: window lifetime, posting across threads, sending across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/messages.h"
#include "win32/threads.h"

namespace {

using namespace std::chrono_literals;

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD threadId;
};

// What a window saw, kept in GWLP_USERDATA (set from the creation parameter in WM_NCCREATE).
struct Recorder {
    std::mutex mutex;
    std::vector<Received> received;
    std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> answer;

    std::vector<UINT> Messages() {
        std::lock_guard lock(mutex);
        std::vector<UINT> messages;
        for (const Received& r : received)
            messages.push_back(r.message);
        return messages;
    }
    std::size_t Count() {
        std::lock_guard lock(mutex);
        return received.size();
    }
};

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* recorder = reinterpret_cast<Recorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (recorder == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    {
        std::lock_guard lock(recorder->mutex);
        recorder->received.push_back({message, wParam, lParam, GetCurrentThreadId()});
    }
    if (recorder->answer)
        return recorder->answer(hwnd, message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

const char* ClassName() {
    static const char* name = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.lpszClassName = "MqTestRecorder";
        EXPECT_NE(RegisterClassA(&windowClass), 0);
        return "MqTestRecorder";
    }();
    return name;
}

HWND CreateRecorderWindow(Recorder* recorder) {
    return CreateWindowExA(0, ClassName(), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                           recorder);
}

// Dispatches this thread's messages until done() or the time-out; true if done().
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    MSG msg;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        } else {
            std::this_thread::sleep_for(1ms);
        }
    }
    return true;
}

// A thread that owns a recorder window and pumps its messages until WM_QUIT.
class WindowThread {
  public:
    WindowThread() {
        std::promise<HWND> created;
        auto future = created.get_future();
        thread_ = std::thread([this, &created] {
            threadId_ = GetCurrentThreadId();
            created.set_value(CreateRecorderWindow(&recorder));
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0)
                DispatchMessageA(&msg);
        });
        EXPECT_EQ(future.wait_for(10s), std::future_status::ready);
        hwnd = future.get();
    }
    ~WindowThread() { Stop(); }
    void Stop() {
        if (!thread_.joinable())
            return;
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    DWORD ThreadId() const { return threadId_; }

    Recorder recorder;
    HWND hwnd = nullptr;

  private:
    std::atomic<DWORD> threadId_{0};
    std::thread thread_;
};

TEST(WindowTest, CreationAndDestructionSendTheirMessagesAndTheHandleGoesStale) {
    Recorder recorder;
    HWND hwnd = CreateRecorderWindow(&recorder);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(hwnd) >> 31, 0u);  // a positive 32-bit token
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&recorder)),
              reinterpret_cast<LONG_PTR>(&recorder));
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 1, 2), 0);  // same thread: a direct call

    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(recorder.Messages(),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_USER, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(hwnd));
    SetLastError(0);
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(recorder.Count(), 5u);  // nothing reached the window after WM_NCDESTROY

    // A window procedure that refuses WM_CREATE fails the creation and gets destroyed.
    Recorder refusing;
    refusing.answer = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return m == WM_CREATE ? -1 : DefWindowProcA(h, m, w, l);
    };
    EXPECT_EQ(CreateRecorderWindow(&refusing), nullptr);
    EXPECT_EQ(refusing.Messages(),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
}

TEST(WindowTest, ClassRegistrationRules) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.lpszClassName = "MqTestClassRules";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    windowClass.lpszClassName = "MQTESTCLASSRULES";
    EXPECT_EQ(RegisterClassA(&windowClass), 0);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

    HWND hwnd = CreateWindowExA(0, "mqtestclassrules", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(UnregisterClassA("MqTestClassRules", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClassA("MqTestClassRules", nullptr));
    EXPECT_EQ(CreateWindowExA(0, "MqTestClassRules", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST(MessageQueueTest, PostsFromAnotherThreadDispatchOnTheOwnerThreadInOrder) {
    Recorder recorder;
    HWND hwnd = CreateRecorderWindow(&recorder);
    ASSERT_NE(hwnd, nullptr);
    const auto wide = static_cast<LPARAM>(0x1122334455667788LL);  // pointer-sized parameters
    std::thread poster([&] {
        for (UINT m = WM_USER + 100; m <= WM_USER + 114; ++m)
            EXPECT_TRUE(PostMessageA(hwnd, m, 0xFEDCBA9876543210ULL, wide));
    });
    poster.join();
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count() == 2 + 15; }));
    DestroyWindow(hwnd);
    std::lock_guard lock(recorder.mutex);
    for (std::size_t i = 0; i < 15; ++i) {
        const Received& r = recorder.received[2 + i];
        EXPECT_EQ(r.message, WM_USER + 100 + i);
        EXPECT_EQ(r.wParam, 0xFEDCBA9876543210ULL);
        EXPECT_EQ(r.lParam, wide);
        EXPECT_EQ(r.threadId, GetCurrentThreadId());
    }
}

TEST(MessageQueueTest, MessagesQueuedForADestroyedWindowAreDropped) {
    Recorder recorder;
    HWND hwnd = CreateRecorderWindow(&recorder);
    std::thread poster([&] {
        for (int i = 0; i < 3; ++i)
            PostMessageA(hwnd, WM_USER + 103, i, 0);
    });
    poster.join();
    ASSERT_TRUE(PostMessageA(nullptr, WM_APP, 7, 0));  // a thread message, not for the window
    DestroyWindow(hwnd);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_APP);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(recorder.Count(), 4u);  // creation and destruction only
}

TEST(MessageQueueTest, FiltersNoRemoveAndQuit) {
    Recorder recorder;
    HWND hwnd = CreateRecorderWindow(&recorder);
    PostMessageA(hwnd, WM_USER + 1, 0, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 2, 0, 0);
    PostMessageA(hwnd, WM_USER + 3, 0, 0);
    PostQuitMessage(5);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 3);
    ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 2);
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1);
    // Only the quit is left; GetMessage returns it as 0 with the exit code.
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

    DestroyWindow(hwnd);
    EXPECT_EQ(GetMessageA(&msg, hwnd, 0, 0), -1);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(MessageQueueTest, SendMessageFromAnotherThreadRunsOnTheOwnerAndWaitsForTheAnswer) {
    WindowThread owner;
    owner.recorder.answer = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return m == WM_USER ? static_cast<LRESULT>(w) + l : DefWindowProcA(h, m, w, l);
    };
    EXPECT_EQ(SendMessageA(owner.hwnd, WM_USER, 20, 22), 42);
    {
        std::lock_guard lock(owner.recorder.mutex);
        EXPECT_EQ(owner.recorder.received.back().threadId, owner.ThreadId());
    }
    // When the owner exits its window goes and sends return 0 at once.
    owner.Stop();
    EXPECT_FALSE(IsWindow(owner.hwnd));
    EXPECT_EQ(SendMessageA(owner.hwnd, WM_USER, 1, 1), 0);
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageA(owner.ThreadId(), WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
}

TEST(MessageQueueTest, ASenderWaitingOnAThreadThatExitsGetsZero) {
    std::promise<HWND> created;
    std::promise<void> release;
    Recorder recorder;
    std::thread owner([&] {
        created.set_value(CreateRecorderWindow(&recorder));
        release.get_future().wait();  // never pumps
    });
    HWND hwnd = created.get_future().get();
    auto answer = std::async(std::launch::async, [&] { return SendMessageA(hwnd, WM_USER, 1, 1); });
    EXPECT_EQ(answer.wait_for(100ms), std::future_status::timeout);  // blocked: nobody pumps
    release.set_value();
    owner.join();
    ASSERT_EQ(answer.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(answer.get(), 0);
}

TEST(MessageQueueTest, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    Recorder here;
    HWND local = CreateRecorderWindow(&here);
    WindowThread other;
    // Our window, asked by the other thread, asks the other thread's window back.
    here.answer = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return m == WM_USER + 1 ? SendMessageA(other.hwnd, WM_USER + 2, 0, 0) + 1
                                : DefWindowProcA(h, m, w, l);
    };
    other.recorder.answer = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER + 2)
            return 10;
        if (m == WM_USER + 3)
            return SendMessageA(local, WM_USER + 1, 0, 0);
        return DefWindowProcA(h, m, w, l);
    };
    // We send to the other thread, whose procedure sends back to us while we wait.
    EXPECT_EQ(SendMessageA(other.hwnd, WM_USER + 3, 0, 0), 11);
    other.Stop();
    DestroyWindow(local);
}

TEST(MessageQueueTest, WindowAndThreadTimersPostWmTimer) {
    Recorder recorder;
    HWND hwnd = CreateRecorderWindow(&recorder);
    ASSERT_EQ(SetTimer(hwnd, 7, 10, nullptr), 7u);
    static std::atomic<int> threadTimerCalls{0};
    threadTimerCalls = 0;
    UINT_PTR threadTimer =
        SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) { threadTimerCalls += 1; });
    ASSERT_NE(threadTimer, 0u);
    auto timerMessages = [&] {
        std::lock_guard lock(recorder.mutex);
        return std::count_if(
            recorder.received.begin(), recorder.received.end(),
            [](const Received& r) { return r.message == WM_TIMER && r.wParam == 7; });
    };
    ASSERT_TRUE(PumpUntil([&] { return timerMessages() >= 2 && threadTimerCalls >= 2; }));
    EXPECT_TRUE(KillTimer(hwnd, 7));
    EXPECT_TRUE(KillTimer(nullptr, threadTimer));
    EXPECT_FALSE(KillTimer(hwnd, 7));
    auto seen = timerMessages();
    int seenThread = threadTimerCalls;
    PumpUntil([] { return false; }, 100ms);
    EXPECT_EQ(timerMessages(), seen);
    EXPECT_EQ(threadTimerCalls, seenThread);
    DestroyWindow(hwnd);
}

}  // namespace
