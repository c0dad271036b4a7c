#include "messages/window_table.h"

#include <strings.h>

#include <cstring>
#include <mutex>

#include "win32/errors.h"

namespace win32::detail {
namespace {

// Window tokens: generation (1..0x7FFF) in bits 16..30, slot index + 1 (1..0xFFFE) in bits 0..15.
// Never 0, never negative as a 32-bit value, never one of the special HWND values.
constexpr std::size_t kMaximumWindows = 0xFFFE;
constexpr ATOM kFirstAtom = 0xC000;

struct WindowSlot {
    WORD generation = 1;
    std::shared_ptr<Window> window;
};

struct Tables {
    std::mutex mutex;
    std::vector<std::shared_ptr<WindowClass>> classes;
    ATOM nextAtom = kFirstAtom;
    std::vector<WindowSlot> slots;
    std::vector<std::size_t> freeSlots;
    std::size_t liveWindows = 0;
};

Tables& TablesInstance() {
    static Tables tables;
    return tables;
}

// Built when the library loads, so that it outlives the libraries built on this one, which may
// still use it as they unload at exit.
[[maybe_unused]] const bool kBuiltAtLoad = (TablesInstance(), true);

HWND TokenOf(std::size_t index, WORD generation) {
    DWORD token = (static_cast<DWORD>(generation) << 16) | static_cast<DWORD>(index + 1);
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(token));
}

// With the lock held.
std::shared_ptr<WindowClass> FindClassLocked(Tables& tables, LPCSTR nameOrAtom) {
    if (nameOrAtom == nullptr)
        return nullptr;
    bool byAtom = (reinterpret_cast<ULONG_PTR>(nameOrAtom) >> 16) == 0;
    for (const auto& windowClass : tables.classes) {
        if (byAtom ? windowClass->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(nameOrAtom))
                   : strcasecmp(windowClass->name.c_str(), nameOrAtom) == 0)
            return windowClass;
    }
    return nullptr;
}

std::shared_ptr<Window> LookupLocked(Tables& tables, HWND hwnd) {
    auto token = static_cast<ULONG_PTR>(reinterpret_cast<ULONG_PTR>(hwnd));
    if (token > 0x7FFFFFFFu)
        return nullptr;
    std::size_t index = token & 0xFFFFu;
    auto generation = static_cast<WORD>(token >> 16);
    if (index == 0 || index > tables.slots.size())
        return nullptr;
    WindowSlot& slot = tables.slots[index - 1];
    if (slot.generation != generation || !slot.window)
        return nullptr;
    return slot.window;
}

}  // namespace

ATOM RegisterWindowClass(WindowClass windowClass, DWORD* error) {
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    if (FindClassLocked(tables, windowClass.name.c_str()) != nullptr) {
        *error = ERROR_CLASS_ALREADY_EXISTS;
        return 0;
    }
    if (tables.nextAtom == 0) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    windowClass.atom = tables.nextAtom++;
    tables.classes.push_back(std::make_shared<WindowClass>(std::move(windowClass)));
    return tables.classes.back()->atom;
}

bool UnregisterWindowClass(LPCSTR nameOrAtom, DWORD* error) {
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    auto windowClass = FindClassLocked(tables, nameOrAtom);
    if (windowClass == nullptr) {
        *error = ERROR_CLASS_DOES_NOT_EXIST;
        return false;
    }
    if (windowClass->windowCount > 0) {
        *error = ERROR_CLASS_HAS_WINDOWS;
        return false;
    }
    std::erase(tables.classes, windowClass);
    return true;
}

std::shared_ptr<WindowClass> FindWindowClass(LPCSTR nameOrAtom) {
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    return FindClassLocked(tables, nameOrAtom);
}

std::shared_ptr<Window> NewWindow(const std::shared_ptr<WindowClass>& windowClass,
                                  const std::shared_ptr<ThreadQueue>& owner,
                                  const std::function<void(Window&)>& initialize) {
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    std::size_t index;
    if (!tables.freeSlots.empty()) {
        index = tables.freeSlots.back();
        tables.freeSlots.pop_back();
    } else if (tables.slots.size() < kMaximumWindows) {
        index = tables.slots.size();
        tables.slots.emplace_back();
    } else {
        return nullptr;
    }
    auto window = std::make_shared<Window>();
    window->handle = TokenOf(index, tables.slots[index].generation);
    window->windowClass = windowClass;
    window->owner = owner;
    window->procedure = windowClass->procedure;
    window->extraBytes.assign(static_cast<std::size_t>(windowClass->windowExtraBytes), 0);
    initialize(*window);
    tables.slots[index].window = window;
    windowClass->windowCount += 1;
    tables.liveWindows += 1;
    return window;
}

std::shared_ptr<Window> LookupWindow(HWND hwnd) {
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    return LookupLocked(tables, hwnd);
}

bool RetireWindow(const std::shared_ptr<Window>& window) {
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    if (LookupLocked(tables, window->handle) != window)
        return false;
    std::size_t index = (reinterpret_cast<ULONG_PTR>(window->handle) & 0xFFFFu) - 1;
    WindowSlot& slot = tables.slots[index];
    slot.window.reset();
    slot.generation = static_cast<WORD>(slot.generation % 0x7FFFu + 1);
    tables.freeSlots.insert(tables.freeSlots.begin(), index);  // reuse the oldest slot last
    window->windowClass->windowCount -= 1;
    tables.liveWindows -= 1;
    window->destroyed.store(true);
    return true;
}

std::vector<std::shared_ptr<Window>> WindowsOwnedBy(const ThreadQueue* owner) {
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    std::vector<std::shared_ptr<Window>> owned;
    for (const WindowSlot& slot : tables.slots) {
        if (slot.window && slot.window->owner.get() == owner)
            owned.push_back(slot.window);
    }
    return owned;
}

std::vector<std::shared_ptr<Window>> ChildrenOf(HWND parent) {
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    std::vector<std::shared_ptr<Window>> children;
    for (const WindowSlot& slot : tables.slots) {
        if (slot.window && slot.window->parent == parent)
            children.push_back(slot.window);
    }
    return children;
}

bool BeginDestroy(const std::shared_ptr<Window>& window) {
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    if (window->destroying)
        return false;
    window->destroying = true;
    return true;
}

std::size_t LiveWindows() {
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    return tables.liveWindows;
}

LRESULT CallWindow(const std::shared_ptr<Window>& window, UINT message, WPARAM wParam,
                   LPARAM lParam) {
    WNDPROC procedure;
    {
        Tables& tables = TablesInstance();
        std::lock_guard lock(tables.mutex);
        procedure = window->procedure;
    }
    if (procedure == nullptr)
        return 0;
    return procedure(window->handle, message, wParam, lParam);
}

bool ReadWindowData(const std::shared_ptr<Window>& window, int index, std::size_t width,
                    LONG_PTR* value, DWORD* error) {
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    switch (index) {
        case GWLP_WNDPROC:
            *value = reinterpret_cast<LONG_PTR>(window->procedure);
            return true;
        case GWLP_HINSTANCE:
            *value = reinterpret_cast<LONG_PTR>(window->instance);
            return true;
        case GWLP_HWNDPARENT:
            *value = reinterpret_cast<LONG_PTR>(window->parent);
            return true;
        case GWLP_ID:
            *value = window->id;
            return true;
        case GWL_STYLE:
            *value = window->style;
            return true;
        case GWL_EXSTYLE:
            *value = window->exStyle;
            return true;
        case GWLP_USERDATA:
            *value = window->userData;
            return true;
        default:
            break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + width > window->extraBytes.size()) {
        *error = ERROR_INVALID_INDEX;
        return false;
    }
    if (width == sizeof(LONG)) {
        LONG narrow;
        std::memcpy(&narrow, window->extraBytes.data() + index, sizeof(narrow));
        *value = narrow;
    } else {
        std::memcpy(value, window->extraBytes.data() + index, sizeof(*value));
    }
    return true;
}

bool WriteWindowData(const std::shared_ptr<Window>& window, int index, std::size_t width,
                     LONG_PTR value, LONG_PTR* previous, DWORD* error) {
    if (!ReadWindowData(window, index, width, previous, error))
        return false;
    Tables& tables = TablesInstance();
    std::lock_guard lock(tables.mutex);
    switch (index) {
        case GWLP_WNDPROC:
            window->procedure = reinterpret_cast<WNDPROC>(value);
            return true;
        case GWLP_HINSTANCE:
            window->instance = reinterpret_cast<HINSTANCE>(value);
            return true;
        case GWLP_HWNDPARENT:
            *error = ERROR_INVALID_INDEX;  // the parent is fixed at creation
            return false;
        case GWLP_ID:
            window->id = value;
            return true;
        case GWL_STYLE:
            window->style = value;
            return true;
        case GWL_EXSTYLE:
            window->exStyle = value;
            return true;
        case GWLP_USERDATA:
            window->userData = value;
            return true;
        default:
            break;
    }
    if (width == sizeof(LONG)) {
        auto narrow = static_cast<LONG>(value);
        std::memcpy(window->extraBytes.data() + index, &narrow, sizeof(narrow));
    } else {
        std::memcpy(window->extraBytes.data() + index, &value, sizeof(value));
    }
    return true;
}

}  // namespace win32::detail
