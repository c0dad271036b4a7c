// The operating-system version. The services answer as one configurable platform and version:
// by default the NT family, 5.1 build 2600. Tests pick another with SetOsVersionForTesting, and a
// process with MQ_OS_VERSION in its environment, as "<family> <major>.<minor>[.<build>]"
// (family "nt", "9x" or "win32s"; for example "nt 4.0.1381" or "9x 4.10.2222").
#pragma once

#include "win32/types.h"

#define VER_PLATFORM_WIN32s 0u
#define VER_PLATFORM_WIN32_WINDOWS 1u
#define VER_PLATFORM_WIN32_NT 2u

#define VER_NT_WORKSTATION 1u

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
using POSVERSIONINFOA = OSVERSIONINFOA*;
using LPOSVERSIONINFOA = OSVERSIONINFOA*;
using OSVERSIONINFO = OSVERSIONINFOA;
using LPOSVERSIONINFO = OSVERSIONINFOA*;

struct OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
using LPOSVERSIONINFOEXA = OSVERSIONINFOEXA*;

// dwOSVersionInfoSize must be sizeof(OSVERSIONINFOA) or sizeof(OSVERSIONINFOEXA); otherwise FALSE
// with ERROR_INSUFFICIENT_BUFFER. On the 9x family dwBuildNumber carries the version in its high
// word, as there.
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);
static inline BOOL GetVersionEx(LPOSVERSIONINFOA lpVersionInformation) {
    return GetVersionExA(lpVersionInformation);
}
// Major version in the low byte, minor in the next, build in the high word; bit 31 set outside
// the NT family.
DWORD WINAPI GetVersion();

namespace win32::testing {

struct OsVersion {
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD major = 5;
    DWORD minor = 1;
    DWORD build = 2600;
    const char* servicePack = "Service Pack 2";
};

// Replaces the answered version until ResetOsVersionForTesting (which returns to MQ_OS_VERSION or
// the default).
void SetOsVersionForTesting(const OsVersion& version);
void ResetOsVersionForTesting();

}  // namespace win32::testing
