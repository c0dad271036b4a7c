// Window classes and windows of the process. Private to platform/win32.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win32/messages.h"

namespace win32::detail {

class ThreadQueue;

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC procedure = nullptr;
    int windowExtraBytes = 0;
    HINSTANCE instance = nullptr;
    int windowCount = 0;  // guarded by the window table's lock
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> windowClass;
    std::shared_ptr<ThreadQueue> owner;
    DWORD ownerThreadId = 0;
    // Set once, when the window is gone; read without the table's lock by queues.
    std::atomic<bool> destroyed{false};

    // Guarded by the window table's lock.
    bool destroying = false;
    WNDPROC procedure = nullptr;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;
    LONG_PTR style = 0;
    LONG_PTR exStyle = 0;
    std::vector<BYTE> extraBytes;
};

// Classes. Register returns 0 with the error in *error.
ATOM RegisterWindowClass(WindowClass windowClass, DWORD* error);
bool UnregisterWindowClass(LPCSTR nameOrAtom, DWORD* error);
std::shared_ptr<WindowClass> FindWindowClass(LPCSTR nameOrAtom);

// Windows. A lookup finds a window until it is destroyed (also while it is being destroyed).
// initialize fills the window's data under the table's lock, before anyone can look it up.
std::shared_ptr<Window> NewWindow(const std::shared_ptr<WindowClass>& windowClass,
                                  const std::shared_ptr<ThreadQueue>& owner,
                                  const std::function<void(Window&)>& initialize);
std::shared_ptr<Window> LookupWindow(HWND hwnd);
// Marks the window destroyed and frees its token. Returns false if it already was.
bool RetireWindow(const std::shared_ptr<Window>& window);
// Live windows owned by the queue, or whose parent is the window.
std::vector<std::shared_ptr<Window>> WindowsOwnedBy(const ThreadQueue* owner);
std::vector<std::shared_ptr<Window>> ChildrenOf(HWND parent);
// Marks the window as being destroyed; false if it already is.
bool BeginDestroy(const std::shared_ptr<Window>& window);
std::size_t LiveWindows();

// Calls the window's current procedure on the calling thread.
LRESULT CallWindow(const std::shared_ptr<Window>& window, UINT message, WPARAM wParam,
                   LPARAM lParam);

// Reading and writing window data under the table's lock. False with *error for a bad index.
bool ReadWindowData(const std::shared_ptr<Window>& window, int index, std::size_t width,
                    LONG_PTR* value, DWORD* error);
bool WriteWindowData(const std::shared_ptr<Window>& window, int index, std::size_t width,
                     LONG_PTR value, LONG_PTR* previous, DWORD* error);

}  // namespace win32::detail
