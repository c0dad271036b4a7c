#include "discovery/os_support.h"

#include "win32/version.h"

namespace hxda {

DiscoveryPath discoveryPath() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return DiscoveryPath::Unsupported;
    switch (version.dwPlatformId) {
        case VER_PLATFORM_WIN32_WINDOWS:
            if (version.dwMajorVersion > 4 ||
                (version.dwMajorVersion == 4 && version.dwMinorVersion != 0))
                return DiscoveryPath::DeviceInterfaces;
            return DiscoveryPath::Unsupported;
        case VER_PLATFORM_WIN32_NT:
            if (version.dwMajorVersion == 4)
                return DiscoveryPath::DeviceMap;
            if (version.dwMajorVersion >= 5)
                return DiscoveryPath::DeviceInterfaces;
            return DiscoveryPath::Unsupported;
        default:
            return DiscoveryPath::Unsupported;
    }
}

}  // namespace hxda
