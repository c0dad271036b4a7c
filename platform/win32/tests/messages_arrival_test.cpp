// The message-arrival hook: a thread's notifier hears every message queued for it, from any
// thread, and nothing after it is removed.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "win32/message_arrival.h"
#include "win32/messages.h"
#include "win32/threads.h"

namespace {

struct Arrivals {
    std::atomic<int> count{0};
    std::atomic<DWORD> lastCaller{0};
    static void Hear(void* context) {
        auto* self = static_cast<Arrivals*>(context);
        self->lastCaller = GetCurrentThreadId();
        self->count += 1;
    }
};

LRESULT CALLBACK Answer42(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_USER ? 42 : DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeWindow() {
    static const ATOM kClass = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Answer42;
        wc.lpszClassName = "ArrivalTestWindow";
        return RegisterClassA(&wc);
    }();
    return CreateWindowExA(0, MAKEINTATOM(kClass), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           nullptr, nullptr);
}

void DrainQueue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

TEST(MessageArrivalTest, PostsFromOtherThreadsCallTheOwnersNotifierOnThePostingThread) {
    HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    Arrivals arrivals;
    win32::SetMessageArrivalNotifier(&Arrivals::Hear, &arrivals);
    DWORD poster = 0;
    std::thread([&] {
        poster = GetCurrentThreadId();
        for (int i = 0; i < 3; ++i)
            PostMessageA(window, WM_USER + 103, i, 0);
    }).join();
    EXPECT_EQ(arrivals.count, 3);
    EXPECT_EQ(arrivals.lastCaller, poster);
    // The messages are in the queue when the notifier runs: each one is there to be taken.
    MSG msg;
    for (WPARAM i = 0; i < 3; ++i) {
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.wParam, i);
    }
    win32::SetMessageArrivalNotifier(nullptr, nullptr);
    DestroyWindow(window);
}

TEST(MessageArrivalTest, SentMessagesThreadMessagesAndQuitWakeToo) {
    HWND window = MakeWindow();
    Arrivals arrivals;
    win32::SetMessageArrivalNotifier(&Arrivals::Hear, &arrivals);
    DWORD owner = GetCurrentThreadId();

    std::atomic<LRESULT> answer{0};
    std::thread sender([&] { answer = SendMessageA(window, WM_USER, 0, 0); });
    // The send waits for this thread; the notifier is what tells the loop to answer it.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (arrivals.count == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(arrivals.count, 1);
    DrainQueue();  // answers the sent message
    sender.join();
    EXPECT_EQ(answer, 42);

    std::thread([&] { PostThreadMessageA(owner, WM_APP, 0, 0); }).join();
    EXPECT_EQ(arrivals.count, 2);
    PostQuitMessage(0);
    EXPECT_EQ(arrivals.count, 3);
    DrainQueue();
    win32::SetMessageArrivalNotifier(nullptr, nullptr);
    DestroyWindow(window);
}

TEST(MessageArrivalTest, ARemovedNotifierAndAnotherThreadsNotifierHearNothing) {
    HWND window = MakeWindow();
    Arrivals mine;
    win32::SetMessageArrivalNotifier(&Arrivals::Hear, &mine);
    win32::SetMessageArrivalNotifier(nullptr, nullptr);
    PostMessageA(window, WM_USER, 0, 0);
    EXPECT_EQ(mine.count, 0);

    Arrivals other;
    std::thread([&] {
        win32::SetMessageArrivalNotifier(&Arrivals::Hear, &other);
        PostMessageA(window, WM_USER, 0, 0);  // for this thread's window, not the other's
        win32::SetMessageArrivalNotifier(nullptr, nullptr);
    }).join();
    EXPECT_EQ(other.count, 0);
    DrainQueue();
    DestroyWindow(window);
}

}  // namespace
