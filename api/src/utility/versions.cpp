#include "utility/versions.h"

#include <vector>

#include "win32/version.h"
#include "win32/version_info.h"

namespace hxda {

bool fileVersionString(const std::string& file, std::string* version) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
    if (size == 0)
        return false;
    std::vector<std::uint8_t> block(size);
    if (!GetFileVersionInfoA(file.c_str(), handle, size, block.data()))
        return false;
    void* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\FileVersion", &text, &length) ||
        text == nullptr)
        return false;
    version->assign(static_cast<const char*>(text));
    return true;
}

std::string driverFilePath(const DeviceRecord& device) {
    char windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    std::string path = length < sizeof windows ? windows : "";
    // A bare backslash is the root itself: the folder follows without another separator.
    path += path == "\\" ? "system32\\drivers\\" : "\\system32\\drivers\\";
    OSVERSIONINFOA system{};
    system.dwOSVersionInfoSize = sizeof system;
    const bool nt4 = GetVersionExA(&system) && system.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                     system.dwMajorVersion == 4;
    return path + device.driverName + (nt4 ? "k4" : "k") + ".sys";
}

}  // namespace hxda
