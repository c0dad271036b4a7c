// The simulated machine's Windows directory, inside its machine directory.
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "registry/machine.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/version_info.h"

namespace {

UINT CopyOut(const std::string& text, LPSTR buffer, UINT size) {
    if (buffer == nullptr || size <= text.size())
        return static_cast<UINT>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<UINT>(text.size());
}

std::filesystem::path WindowsDirectory() {
    const std::filesystem::path windows = registry::MachineDirectory() / "windows";
    std::error_code error;
    std::filesystem::create_directories(windows / "system32" / "drivers", error);
    return windows;
}

}  // namespace

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopyOut(WindowsDirectory().string(), lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopyOut((WindowsDirectory() / "system32").string(), lpBuffer, uSize);
}
