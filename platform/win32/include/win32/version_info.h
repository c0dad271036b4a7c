// Version resources of our modules, and the Windows directory of the simulated machine.
//
// A module carries its version resource as one table, written once in one of its sources:
//
//     MQ_VERSIONINFO_BEGIN
//         MQ_VERSION_STRING("CompanyName", "Marquell")
//         MQ_VERSION_STRING("FileVersion", "1.2.3.4")
//     MQ_VERSIONINFO_END(MQ_VERSION_NUMBER(1, 2, 3, 4), MQ_VERSION_NUMBER(1, 2, 0, 0), VFT_DLL)
//
// Its strings form one language block, "040904E4" (U.S. English, code page 1252). The table is
// found like the export table (win32/exports.h): through the module's own dynamic symbols.
#pragma once

#include "win32/types.h"

using PUINT = UINT*;

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;  // VS_FFI_SIGNATURE
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;  // major << 16 | minor
    DWORD dwFileVersionLS;  // build << 16 | private part
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

#define VS_FFI_SIGNATURE 0xFEEF04BDu
#define VS_FFI_STRUCVERSION 0x00010000u
#define VS_FFI_FILEFLAGSMASK 0x0000003Fu
#define VOS_NT_WINDOWS32 0x00040004u
#define VFT_UNKNOWN 0u
#define VFT_APP 1u
#define VFT_DLL 2u
#define VFT_DRV 3u
#define VFT2_UNKNOWN 0u
#define VFT2_DRV_SYSTEM 7u

// The size of the file's version information (a handle of 0 in *lpdwHandle), or 0 with the error
// set: ERROR_FILE_NOT_FOUND, or ERROR_RESOURCE_DATA_NOT_FOUND for a file without version
// information. The name is a path (either separator; the file name is matched without regard to
// case) or a module name found as LoadLibrary finds it ("hxdaapi32.dll"). A file is read by
// loading it as a module for the moment.
DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle);
// Copies the version information into lpData. A buffer smaller than the size is refused (FALSE,
// ERROR_INSUFFICIENT_BUFFER) rather than filled with a cut block that queries would misread.
BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
// Points *lplpBuffer into the block: "\" gives the VS_FIXEDFILEINFO; "\VarFileInfo\Translation"
// one DWORD (language in the low word, code page in the high); "\StringFileInfo\040904E4\<name>"
// the string (names and the block key compared without regard to case), *puLen its characters
// with the terminator. FALSE with *puLen 0 for anything else or a block that is not one.
BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen);

// The machine's Windows directory, "<MQ_MACHINE>/windows" (created with "system32/drivers" inside
// on first use), and its "system32". The length copied without the terminator; when the buffer is
// too small, nothing is copied and the size needed with the terminator is returned.
UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);
UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);

static inline DWORD GetFileVersionInfoSize(LPCSTR name, LPDWORD handle) {
    return GetFileVersionInfoSizeA(name, handle);
}
static inline BOOL GetFileVersionInfo(LPCSTR name, DWORD handle, DWORD length, LPVOID data) {
    return GetFileVersionInfoA(name, handle, length, data);
}
static inline BOOL VerQueryValue(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
    return VerQueryValueA(block, subBlock, buffer, length);
}
static inline UINT GetWindowsDirectory(LPSTR buffer, UINT size) {
    return GetWindowsDirectoryA(buffer, size);
}

namespace win32 {

struct VersionString {
    const char* name;
    const char* value;
};

inline constexpr DWORD kVersionTableMagic = 0x4D515654;  // "MQVT"

struct VersionTable {
    DWORD magic;
    VS_FIXEDFILEINFO fixed;
    WORD language;
    WORD codePage;
    DWORD count;
    const VersionString* strings;
};

constexpr VS_FIXEDFILEINFO FixedFileInfo(ULONGLONG fileVersion, ULONGLONG productVersion,
                                         DWORD fileType) {
    return VS_FIXEDFILEINFO{VS_FFI_SIGNATURE,
                            VS_FFI_STRUCVERSION,
                            static_cast<DWORD>(fileVersion >> 32),
                            static_cast<DWORD>(fileVersion),
                            static_cast<DWORD>(productVersion >> 32),
                            static_cast<DWORD>(productVersion),
                            VS_FFI_FILEFLAGSMASK,
                            0,
                            VOS_NT_WINDOWS32,
                            fileType,
                            fileType == VFT_DRV ? VFT2_DRV_SYSTEM : VFT2_UNKNOWN,
                            0,
                            0};
}

}  // namespace win32

#define MQ_VERSION_NUMBER(major, minor, build, part)                                 \
    ((static_cast<ULONGLONG>(major) << 48) | (static_cast<ULONGLONG>(minor) << 32) | \
     (static_cast<ULONGLONG>(build) << 16) | static_cast<ULONGLONG>(part))

#define MQ_VERSION_TABLE_SYMBOL_NAME "mq_module_version_table"

#define MQ_VERSIONINFO_BEGIN \
    namespace {              \
    const ::win32::VersionString mq_module_version_strings[] = {
#define MQ_VERSION_STRING(name, value) {name, value},
#define MQ_VERSIONINFO_END(fileVersion, productVersion, fileType)                                  \
    }                                                                                              \
    ;                                                                                              \
    }                                                                                              \
    extern "C" [[gnu::visibility("default"), gnu::used,                                            \
                 gnu::section(                                                                     \
                     "mq_version_table")]] const ::win32::VersionTable mq_module_version_table = { \
        ::win32::kVersionTableMagic,                                                               \
        ::win32::FixedFileInfo(fileVersion, productVersion, fileType),                             \
        0x0409,                                                                                    \
        0x04E4,                                                                                    \
        static_cast<DWORD>(sizeof(mq_module_version_strings) /                                     \
                           sizeof(mq_module_version_strings[0])),                                  \
        mq_module_version_strings};
