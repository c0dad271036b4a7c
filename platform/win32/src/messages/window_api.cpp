// Window classes and windows: RegisterClass(Ex), UnregisterClass, CreateWindowEx, DestroyWindow,
// IsWindow, DefWindowProc, window data.
#include <algorithm>

#include "messages/thread_queue.h"
#include "messages/window_table.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/messages.h"
#include "win32/threads.h"

namespace {

using namespace win32::detail;

std::shared_ptr<Window> WindowOrError(HWND hwnd) {
    auto window = LookupWindow(hwnd);
    if (window == nullptr)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

ATOM Register(UINT style, WNDPROC procedure, int windowExtra, HINSTANCE instance, LPCSTR name) {
    if (procedure == nullptr || name == nullptr || (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0 ||
        *name == 0 || windowExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WindowClass windowClass;
    windowClass.name = name;
    windowClass.style = style;
    windowClass.procedure = procedure;
    windowClass.windowExtraBytes = windowExtra;
    windowClass.instance = instance;
    DWORD error = 0;
    ATOM atom = RegisterWindowClass(std::move(windowClass), &error);
    if (atom == 0)
        SetLastError(error);
    return atom;
}

// Drops what the owner's queue still holds for the window: posted messages, timers, and messages
// sent from other threads, whose senders get 0.
void PurgeQueueOf(const std::shared_ptr<Window>& window) {
    ThreadQueue& queue = *window->owner;
    std::deque<std::shared_ptr<SentMessage>> unanswered;
    {
        std::lock_guard lock(queue.mutex);
        std::erase_if(queue.posted, [&](const PostedMessage& p) { return p.target == window; });
        std::erase_if(queue.timers, [&](const WindowTimer& t) { return t.hwnd == window->handle; });
        auto split = std::stable_partition(queue.incoming.begin(), queue.incoming.end(),
                                           [&](const auto& s) { return s->target != window; });
        unanswered.assign(split, queue.incoming.end());
        queue.incoming.erase(split, queue.incoming.end());
    }
    for (const auto& sent : unanswered)
        Answer(sent, 0);
}

void Destroy(const std::shared_ptr<Window>& window) {
    CallWindow(window, WM_DESTROY, 0, 0);
    for (const auto& child : ChildrenOf(window->handle)) {
        if (BeginDestroy(child))
            Destroy(child);
    }
    CallWindow(window, WM_NCDESTROY, 0, 0);
    RetireWindow(window);
    PurgeQueueOf(window);
}

bool IsPointerSizedIndex(int index) {
    return index == GWLP_WNDPROC || index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT;
}

}  // namespace

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (lpWndClass == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Register(lpWndClass->style, lpWndClass->lpfnWndProc, lpWndClass->cbWndExtra,
                    lpWndClass->hInstance, lpWndClass->lpszClassName);
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpWndClass) {
    if (lpWndClass == nullptr || lpWndClass->cbSize != sizeof(WNDCLASSEXA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Register(lpWndClass->style, lpWndClass->lpfnWndProc, lpWndClass->cbWndExtra,
                    lpWndClass->hInstance, lpWndClass->lpszClassName);
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance) {
    DWORD error = 0;
    if (!UnregisterWindowClass(lpClassName, &error)) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
    auto windowClass = FindWindowClass(lpClassName);
    if (windowClass == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    HWND parent = hWndParent == HWND_MESSAGE ? nullptr : hWndParent;
    if (parent != nullptr && LookupWindow(parent) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto owner = CurrentQueue();
    auto window = NewWindow(windowClass, owner, [&](Window& w) {
        w.ownerThreadId = owner->threadId;
        w.instance = hInstance;
        w.parent = parent;
        w.style = static_cast<LONG_PTR>(dwStyle);
        w.exStyle = static_cast<LONG_PTR>(dwExStyle);
        w.id = reinterpret_cast<LONG_PTR>(hMenu);
    });
    if (window == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    CREATESTRUCTA create{};
    create.lpCreateParams = lpParam;
    create.hInstance = hInstance;
    create.hMenu = hMenu;
    create.hwndParent = hWndParent;
    create.cy = nHeight;
    create.cx = nWidth;
    create.y = Y;
    create.x = X;
    create.style = static_cast<LONG>(dwStyle);
    create.lpszName = lpWindowName;
    create.lpszClass = lpClassName;
    create.dwExStyle = dwExStyle;
    auto createParameter = reinterpret_cast<LPARAM>(&create);
    if (CallWindow(window, WM_NCCREATE, 0, createParameter) == FALSE) {
        BeginDestroy(window);
        CallWindow(window, WM_NCDESTROY, 0, 0);
        RetireWindow(window);
        PurgeQueueOf(window);
        return nullptr;
    }
    if (CallWindow(window, WM_CREATE, 0, createParameter) == -1) {
        if (BeginDestroy(window))
            Destroy(window);
        return nullptr;
    }
    return window->handle;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    auto window = WindowOrError(hWnd);
    if (window == nullptr)
        return FALSE;
    if (window->owner != CurrentQueueIfAny()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (BeginDestroy(window))
        Destroy(window);  // a nested call during WM_DESTROY does nothing
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    return LookupWindow(hWnd) != nullptr ? TRUE : FALSE;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hWnd);
            return 0;
        default:
            return 0;
    }
}

LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                               LPARAM lParam) {
    if (lpPrevWndFunc == nullptr)
        return 0;
    return lpPrevWndFunc(hWnd, Msg, wParam, lParam);
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    auto window = WindowOrError(hWnd);
    if (window == nullptr)
        return 0;
    if (lpdwProcessId != nullptr)
        *lpdwProcessId = GetCurrentProcessId();
    return window->ownerThreadId;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
    auto window = WindowOrError(hWnd);
    if (window == nullptr)
        return 0;
    LONG_PTR value = 0;
    DWORD error = 0;
    if (!ReadWindowData(window, nIndex, sizeof(LONG_PTR), &value, &error)) {
        SetLastError(error);
        return 0;
    }
    return value;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    auto window = WindowOrError(hWnd);
    if (window == nullptr)
        return 0;
    LONG_PTR previous = 0;
    DWORD error = 0;
    if (!WriteWindowData(window, nIndex, sizeof(LONG_PTR), dwNewLong, &previous, &error)) {
        SetLastError(error);
        return 0;
    }
    if (previous == 0)
        SetLastError(ERROR_SUCCESS);
    return previous;
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
    auto window = WindowOrError(hWnd);
    if (window == nullptr)
        return 0;
    LONG_PTR value = 0;
    DWORD error = ERROR_INVALID_INDEX;
    if (IsPointerSizedIndex(nIndex) ||
        !ReadWindowData(window, nIndex, sizeof(LONG), &value, &error)) {
        SetLastError(error);
        return 0;
    }
    return static_cast<LONG>(value);
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
    auto window = WindowOrError(hWnd);
    if (window == nullptr)
        return 0;
    LONG_PTR previous = 0;
    DWORD error = ERROR_INVALID_INDEX;
    if (IsPointerSizedIndex(nIndex) ||
        !WriteWindowData(window, nIndex, sizeof(LONG), dwNewLong, &previous, &error)) {
        SetLastError(error);
        return 0;
    }
    if (previous == 0)
        SetLastError(ERROR_SUCCESS);
    return static_cast<LONG>(previous);
}

namespace win32::testing {

std::size_t LiveWindowCount() {
    return LiveWindows();
}

}  // namespace win32::testing
