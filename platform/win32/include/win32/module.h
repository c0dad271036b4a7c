// Module loading: LoadLibrary, FreeLibrary, GetModuleHandle(Ex), GetModuleFileName, GetProcAddress.
//
// A module name "X.dll" (or a bare "X"; the extension is case-insensitive) names one of our built
// shared objects, "libX.so" or "X.so". It is searched, in order, in the directory of the module
// that calls LoadLibrary, in the directories of MQ_MODULE_PATH (':'-separated), in the program's
// directory, in "lib" beside the program's directory (the build's layout) and in the folder of the
// services stand-in's own library, which holds the modules installed with it as the platform's
// system directory does. File names are matched without regard to case. A name with a directory
// part is searched in that directory only.
//
// HMODULE values are 32-bit tokens (slot and generation); a token goes stale when the module's
// last reference is freed, and a stale token is refused.
#pragma once

#include "win32/exports.h"
#include "win32/types.h"

// Resource-style small integers in place of a name (an ordinal for GetProcAddress).
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(p) ((reinterpret_cast<ULONG_PTR>(p) >> 16) == 0)

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001u
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004u

namespace win32 {
// LoadLibraryA with the calling module named by an address inside it (its directory is searched
// first). Called through LoadLibraryA below.
HMODULE LoadLibraryFromModuleA(LPCSTR lpLibFileName, const void* addressInCaller);
}  // namespace win32

// Loads the module (or counts one more reference to it when it is already loaded) and returns its
// handle; NULL with ERROR_MOD_NOT_FOUND when no file of that name is found or it cannot be loaded.
// Inline with internal linkage: the anchor lies in the calling module whatever the compiler
// inlines or turns into tail calls, so the loader always sees the caller's directory.
static inline HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    static const char anchor = 0;
    return win32::LoadLibraryFromModuleA(lpLibFileName, &anchor);
}
// Drops one reference; the module is unloaded when the last one goes.
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// The handle of a module already in the process, without a new reference; NULL names the program.
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
// As GetModuleHandleA, or by an address inside the module (FLAG_FROM_ADDRESS). Without
// FLAG_UNCHANGED_REFCOUNT the call counts a reference, as LoadLibrary does.
BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule);
// The module's full path. A path that does not fit is cut to nSize - 1 characters and terminated;
// the result is then nSize with ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
// An entry by plain name, by decorated stdcall name ("_Name@N") or by ordinal
// (MAKEINTRESOURCEA(n)). NULL with ERROR_PROC_NOT_FOUND when there is no such entry.
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

// Unsuffixed names.
static inline HMODULE LoadLibrary(LPCSTR lpLibFileName) {
    return LoadLibraryA(lpLibFileName);
}
static inline HMODULE GetModuleHandle(LPCSTR lpModuleName) {
    return GetModuleHandleA(lpModuleName);
}
static inline DWORD GetModuleFileName(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    return GetModuleFileNameA(hModule, lpFilename, nSize);
}
