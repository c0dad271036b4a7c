#include <strings.h>
#include <cstdio>
#include <cstdlib>

#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/version.h"

namespace {

struct VersionState {
    std::mutex mutex;
    std::optional<win32::testing::OsVersion> forTesting;
    std::string servicePack;  // keeps the text of the testing version
};

VersionState& State() {
    static VersionState state;
    return state;
}

// Built when the library loads, so that it outlives the libraries built on this one, which may
// still use it as they unload at exit.
[[maybe_unused]] const bool kBuiltAtLoad = (State(), true);

// "<family> <major>.<minor>[.<build>]"; none when the text does not parse.
std::optional<win32::testing::OsVersion> ParseEnvironmentVersion(const char* text) {
    char family[16] = {};
    unsigned major = 0, minor = 0, build = 0;
    int fields = std::sscanf(text, "%15s %u.%u.%u", family, &major, &minor, &build);
    if (fields < 3)
        return std::nullopt;
    win32::testing::OsVersion version;
    if (strcasecmp(family, "nt") == 0) {
        version.platformId = VER_PLATFORM_WIN32_NT;
    } else if (strcasecmp(family, "9x") == 0) {
        version.platformId = VER_PLATFORM_WIN32_WINDOWS;
    } else if (strcasecmp(family, "win32s") == 0) {
        version.platformId = VER_PLATFORM_WIN32s;
    } else {
        return std::nullopt;
    }
    version.major = major;
    version.minor = minor;
    version.build = fields == 4 ? build : 0;
    version.servicePack = "";
    return version;
}

win32::testing::OsVersion CurrentVersion(std::string* servicePack) {
    VersionState& state = State();
    std::lock_guard lock(state.mutex);
    win32::testing::OsVersion version;
    if (state.forTesting) {
        version = *state.forTesting;
        *servicePack = state.servicePack;
        return version;
    }
    if (const char* text = std::getenv("MQ_OS_VERSION")) {
        if (auto parsed = ParseEnvironmentVersion(text))
            version = *parsed;
    }
    *servicePack = version.servicePack;
    return version;
}

}  // namespace

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    if (lpVersionInformation == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::string servicePack;
    win32::testing::OsVersion version = CurrentVersion(&servicePack);
    lpVersionInformation->dwMajorVersion = version.major;
    lpVersionInformation->dwMinorVersion = version.minor;
    lpVersionInformation->dwBuildNumber =
        version.platformId == VER_PLATFORM_WIN32_NT
            ? version.build
            : (version.major << 24) | (version.minor << 16) | (version.build & 0xFFFFu);
    lpVersionInformation->dwPlatformId = version.platformId;
    std::memset(lpVersionInformation->szCSDVersion, 0, sizeof(lpVersionInformation->szCSDVersion));
    std::strncpy(lpVersionInformation->szCSDVersion, servicePack.c_str(),
                 sizeof(lpVersionInformation->szCSDVersion) - 1);
    if (size == sizeof(OSVERSIONINFOEXA)) {
        auto* extended = reinterpret_cast<LPOSVERSIONINFOEXA>(lpVersionInformation);
        unsigned servicePackMajor = 0, servicePackMinor = 0;
        std::sscanf(servicePack.c_str(), "Service Pack %u.%u", &servicePackMajor,
                    &servicePackMinor);
        extended->wServicePackMajor = static_cast<WORD>(servicePackMajor);
        extended->wServicePackMinor = static_cast<WORD>(servicePackMinor);
        extended->wSuiteMask = 0;
        extended->wProductType = VER_NT_WORKSTATION;
        extended->wReserved = 0;
    }
    return TRUE;
}

DWORD WINAPI GetVersion() {
    std::string servicePack;
    win32::testing::OsVersion version = CurrentVersion(&servicePack);
    DWORD value = (version.major & 0xFFu) | ((version.minor & 0xFFu) << 8) |
                  ((version.build & 0x7FFFu) << 16);
    if (version.platformId != VER_PLATFORM_WIN32_NT)
        value |= 0x80000000u;
    return value;
}

namespace win32::testing {

void SetOsVersionForTesting(const OsVersion& version) {
    VersionState& state = State();
    std::lock_guard lock(state.mutex);
    state.forTesting = version;
    state.servicePack = version.servicePack != nullptr ? version.servicePack : "";
}

void ResetOsVersionForTesting() {
    VersionState& state = State();
    std::lock_guard lock(state.mutex);
    state.forTesting.reset();
    state.servicePack.clear();
}

}  // namespace win32::testing
