// Window classes, windows and per-thread message queues.
//
// Every thread gets a message queue at its first use of these calls. A window belongs to the
// thread that created it: its window procedure runs on that thread only, for posted messages when
// the thread dispatches them and for messages sent from other threads while it is inside
// GetMessage, PeekMessage or SendMessage. Windows are message-only windows (HWND_MESSAGE or any
// parent): they have no screen presence. HWND values are 32-bit tokens; a destroyed window's token
// is refused, and messages to it are dropped. When a thread exits, its windows are destroyed
// without further messages, and SendMessage calls waiting on it return 0.
#pragma once

#include "win32/types.h"

using ATOM = WORD;

// Messages.
#define WM_NULL 0x0000u
#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_CLOSE 0x0010u
#define WM_QUIT 0x0012u
#define WM_NCCREATE 0x0081u
#define WM_NCDESTROY 0x0082u
#define WM_KEYDOWN 0x0100u
#define WM_KEYUP 0x0101u
#define WM_CHAR 0x0102u
#define WM_COMMAND 0x0111u
#define WM_TIMER 0x0113u
#define WM_USER 0x0400u
#define WM_APP 0x8000u

#define HWND_MESSAGE (reinterpret_cast<HWND>(static_cast<LONG_PTR>(-3)))
#define HWND_BROADCAST (reinterpret_cast<HWND>(static_cast<LONG_PTR>(0xFFFF)))

// Window styles are stored and answered; they change nothing for message-only windows.
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u
#define WS_OVERLAPPEDWINDOW 0x00CF0000u
#define CW_USEDEFAULT (static_cast<int>(0x80000000u))

// Window data indices.
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)
#define GWL_ID GWLP_ID
#define GWL_USERDATA GWLP_USERDATA

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define PM_NOYIELD 0x0002u

#define USER_TIMER_MINIMUM 0x0000000Au
#define USER_TIMER_MAXIMUM 0x7FFFFFFFu

using WNDPROC = LRESULT(CALLBACK*)(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
using TIMERPROC = void(CALLBACK*)(HWND hwnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using PMSG = MSG*;
using LPMSG = MSG*;

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};
using LPWNDCLASSA = WNDCLASSA*;

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};
using LPWNDCLASSEXA = WNDCLASSEXA*;

struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};
using LPCREATESTRUCTA = CREATESTRUCTA*;

// A class atom in place of a class name.
#define MAKEINTATOM(i) (reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))

// Window classes. Class names are process-wide and compared without regard to case.
// 0 with ERROR_CLASS_ALREADY_EXISTS for a name registered before.
ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass);
ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpWndClass);  // cbSize must match
// FALSE with ERROR_CLASS_DOES_NOT_EXIST or ERROR_CLASS_HAS_WINDOWS.
BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance);

// Creates a window owned by the calling thread. It receives WM_NCCREATE (FALSE fails the call)
// and WM_CREATE (-1 destroys it and fails the call) with lParam pointing at a CREATESTRUCTA.
HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam);
// Only on the owning thread (else ERROR_ACCESS_DENIED): sends WM_DESTROY, destroys the window's
// children, sends WM_NCDESTROY, then drops the window's queued messages and timers.
BOOL WINAPI DestroyWindow(HWND hWnd);
BOOL WINAPI IsWindow(HWND hWnd);
// WM_NCCREATE answers TRUE, WM_CLOSE destroys the window; everything else answers 0.
LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                               LPARAM lParam);
DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);

// Window data: the GWL(P)_ indices above, or a byte offset into the class's cbWndExtra bytes.
// Set... returns the previous value (0 with the last error cleared when it was 0).
LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex);
LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
// 32-bit forms; the pointer-sized indices (window procedure, instance, parent) are refused.
LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex);
LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong);

// Posts into the queue of the window's owning thread, from any thread. hWnd NULL posts a thread
// message to the calling thread. FALSE with ERROR_INVALID_WINDOW_HANDLE for a bad or destroyed
// window, ERROR_NOT_ENOUGH_QUOTA when the queue holds 10,000 messages.
BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// FALSE with ERROR_INVALID_THREAD_ID when the thread has no message queue (yet).
BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
// On the owning thread the window procedure is called at once. From another thread the message is
// delivered on the owner's thread inside its next GetMessage/PeekMessage/SendMessage, and the
// sender waits for the answer, handling messages sent to its own thread meanwhile. A window that
// is destroyed, or whose thread exits, before the answer gives 0.
LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// Waits for a posted message matching the filter (hWnd NULL: any of the thread; (HWND)-1: thread
// messages only; min = max = 0: every message), handling sent messages meanwhile. Returns 0 for
// WM_QUIT (retrieved whatever the filter), -1 with ERROR_INVALID_WINDOW_HANDLE for a bad filter
// window, else nonzero. WM_TIMER messages are made when no posted message matches.
BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg);
// Blocks until the thread's queue has a message (or a sent message was handled).
BOOL WINAPI WaitMessage();
// No keyboard input reaches message-only windows: nothing to translate, FALSE.
BOOL WINAPI TranslateMessage(const MSG* lpMsg);
// Calls the window procedure (or, for WM_TIMER with a timer procedure, that procedure) on the
// calling thread and returns its result; 0 for a thread message or a window of another thread.
LRESULT WINAPI DispatchMessageA(const MSG* lpMsg);
// Makes the next GetMessage of the calling thread return WM_QUIT with nExitCode, once no posted
// message is left before it.
void WINAPI PostQuitMessage(int nExitCode);

// Window timers: WM_TIMER (wParam the id, lParam the timer procedure) in the owning thread's queue
// every uElapse ms (at least 10). hWnd NULL makes a thread timer with a new id, which is returned.
UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent);

static inline ATOM RegisterClass(const WNDCLASSA* lpWndClass) {
    return RegisterClassA(lpWndClass);
}
static inline ATOM RegisterClassEx(const WNDCLASSEXA* lpWndClass) {
    return RegisterClassExA(lpWndClass);
}
static inline BOOL UnregisterClass(LPCSTR lpClassName, HINSTANCE hInstance) {
    return UnregisterClassA(lpClassName, hInstance);
}
static inline HWND CreateWindowEx(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName,
                                  DWORD dwStyle, int X, int Y, int nWidth, int nHeight,
                                  HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                                  LPVOID lpParam) {
    return CreateWindowExA(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight,
                           hWndParent, hMenu, hInstance, lpParam);
}
static inline HWND CreateWindowA(LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                                 int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                 HINSTANCE hInstance, LPVOID lpParam) {
    return CreateWindowExA(0, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight, hWndParent,
                           hMenu, hInstance, lpParam);
}
static inline HWND CreateWindow(LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                                int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                HINSTANCE hInstance, LPVOID lpParam) {
    return CreateWindowExA(0, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight, hWndParent,
                           hMenu, hInstance, lpParam);
}
static inline LRESULT DefWindowProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hWnd, Msg, wParam, lParam);
}
static inline LRESULT CallWindowProc(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                                     LPARAM lParam) {
    return CallWindowProcA(lpPrevWndFunc, hWnd, Msg, wParam, lParam);
}
static inline LONG_PTR GetWindowLongPtr(HWND hWnd, int nIndex) {
    return GetWindowLongPtrA(hWnd, nIndex);
}
static inline LONG_PTR SetWindowLongPtr(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    return SetWindowLongPtrA(hWnd, nIndex, dwNewLong);
}
static inline LONG GetWindowLong(HWND hWnd, int nIndex) {
    return GetWindowLongA(hWnd, nIndex);
}
static inline LONG SetWindowLong(HWND hWnd, int nIndex, LONG dwNewLong) {
    return SetWindowLongA(hWnd, nIndex, dwNewLong);
}
static inline BOOL PostMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(hWnd, Msg, wParam, lParam);
}
static inline BOOL PostThreadMessage(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return PostThreadMessageA(idThread, Msg, wParam, lParam);
}
static inline LRESULT SendMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(hWnd, Msg, wParam, lParam);
}
static inline BOOL GetMessage(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    return GetMessageA(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
}
static inline BOOL PeekMessage(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                               UINT wRemoveMsg) {
    return PeekMessageA(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}
static inline LRESULT DispatchMessage(const MSG* lpMsg) {
    return DispatchMessageA(lpMsg);
}

namespace win32::testing {

// Windows not yet destroyed, of every thread; for leak checks in tests.
std::size_t LiveWindowCount();

}  // namespace win32::testing
