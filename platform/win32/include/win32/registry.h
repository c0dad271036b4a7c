// Registry calls of the user-mode services. Every process of the simulated machine and the kernel
// share one store (the database in the machine's directory), so a write is seen at once by every
// caller.
//
// Rules kept from the platform:
// - Names of keys and values are case-insensitive and keep the case they were created with.
// - String values are stored as wide text; the narrow calls convert, and sizes they report are
//   narrow sizes that include the terminator. RegSetValueExA adds a missing terminator.
// - A size probe (null data, non-null size) answers the size; a buffer too small gives
//   ERROR_MORE_DATA with the size needed. Enumeration past the end gives ERROR_NO_MORE_ITEMS.
// - A key opened without a right refuses the calls that need it with ERROR_ACCESS_DENIED (reads
// need
//   KEY_QUERY_VALUE or KEY_ENUMERATE_SUB_KEYS, writes KEY_SET_VALUE, creating a subkey
//   KEY_CREATE_SUB_KEY). RegDeleteKeyA needs any write right on the handle it is given.
// - RegDeleteKeyA refuses a key that has subkeys with ERROR_ACCESS_DENIED.
// - A closed or foreign key handle gives ERROR_INVALID_HANDLE; a handle whose key was deleted (by
//   anyone) gives ERROR_KEY_DELETED.
// - HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes and HKEY_CURRENT_CONFIG is
//   HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current.
// Opened key handles are 32-bit tokens; the predefined keys match in their 32-bit and their
// sign-extended form. Volatile keys are kept like non-volatile ones. Keys carry no class names.
#pragma once

#include "registry/constants.h"
#include "win32/errors.h"
#include "win32/types.h"

using ACCESS_MASK = DWORD;
using REGSAM = ACCESS_MASK;

#define MQ_PREDEFINED_HKEY(value) \
    (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(value))))
#define HKEY_CLASSES_ROOT MQ_PREDEFINED_HKEY(0x80000000u)
#define HKEY_CURRENT_USER MQ_PREDEFINED_HKEY(0x80000001u)
#define HKEY_LOCAL_MACHINE MQ_PREDEFINED_HKEY(0x80000002u)
#define HKEY_USERS MQ_PREDEFINED_HKEY(0x80000003u)
#define HKEY_PERFORMANCE_DATA MQ_PREDEFINED_HKEY(0x80000004u)
#define HKEY_CURRENT_CONFIG MQ_PREDEFINED_HKEY(0x80000005u)
#define HKEY_DYN_DATA MQ_PREDEFINED_HKEY(0x80000006u)

// Standard and generic rights, as far as key openings use them.
#ifndef DELETE
#define DELETE 0x00010000u
#endif
#ifndef READ_CONTROL
#define READ_CONTROL 0x00020000u
#endif
#ifndef SYNCHRONIZE
#define SYNCHRONIZE 0x00100000u
#endif
#ifndef MAXIMUM_ALLOWED
#define MAXIMUM_ALLOWED 0x02000000u
#endif
#ifndef GENERIC_ALL
#define GENERIC_ALL 0x10000000u
#endif
#ifndef GENERIC_EXECUTE
#define GENERIC_EXECUTE 0x20000000u
#endif
#ifndef GENERIC_WRITE
#define GENERIC_WRITE 0x40000000u
#endif
#ifndef GENERIC_READ
#define GENERIC_READ 0x80000000u
#endif

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult);
LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition);
// The older forms: open with full access, create with full access.
LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData);
LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData);
LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);

// Subkeys come in case-insensitive order of their names, values in the order they were created.
// *lpcchName counts characters including the terminator on entry and without it on return.
LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime);
LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
// Longest names in characters without terminator; longest data in bytes as stored (string values
// in their wide form, so at least the narrow size).
LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                             LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime);

LONG WINAPI RegCloseKey(HKEY hKey);
// Every write is durable when its call returns; flushing only checks the handle.
LONG WINAPI RegFlushKey(HKEY hKey);

namespace win32 {
// Whether the process runs as an administrator (the default) or as a standard user
// (MQ_STANDARD_USER=1 in the environment). A standard user opens keys below HKEY_LOCAL_MACHINE
// (and HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG) for reading only: asking for a write right gives
// ERROR_ACCESS_DENIED, MAXIMUM_ALLOWED grants KEY_READ, and the predefined handles themselves
// read but do not write. HKEY_CURRENT_USER stays writable.
bool IsAdministrator();
}  // namespace win32

namespace win32::testing {
// Makes the process an administrator or a standard user until changed again.
void SetAdministrator(bool administrator);
}  // namespace win32::testing

inline LONG RegOpenKeyEx(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                         PHKEY phkResult) {
    return RegOpenKeyExA(hKey, lpSubKey, ulOptions, samDesired, phkResult);
}
inline LONG RegCreateKeyEx(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                           DWORD dwOptions, REGSAM samDesired,
                           const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                           LPDWORD lpdwDisposition) {
    return RegCreateKeyExA(hKey, lpSubKey, Reserved, lpClass, dwOptions, samDesired,
                           lpSecurityAttributes, phkResult, lpdwDisposition);
}
inline LONG RegOpenKey(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return RegOpenKeyA(hKey, lpSubKey, phkResult);
}
inline LONG RegCreateKey(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return RegCreateKeyA(hKey, lpSubKey, phkResult);
}
inline LONG RegQueryValueEx(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                            LPBYTE lpData, LPDWORD lpcbData) {
    return RegQueryValueExA(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
}
inline LONG RegSetValueEx(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                          const BYTE* lpData, DWORD cbData) {
    return RegSetValueExA(hKey, lpValueName, Reserved, dwType, lpData, cbData);
}
inline LONG RegDeleteValue(HKEY hKey, LPCSTR lpValueName) {
    return RegDeleteValueA(hKey, lpValueName);
}
inline LONG RegDeleteKey(HKEY hKey, LPCSTR lpSubKey) {
    return RegDeleteKeyA(hKey, lpSubKey);
}
inline LONG RegEnumKeyEx(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                         LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                         PFILETIME lpftLastWriteTime) {
    return RegEnumKeyExA(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass,
                         lpftLastWriteTime);
}
inline LONG RegEnumValue(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                         LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    return RegEnumValueA(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType, lpData,
                         lpcbData);
}
inline LONG RegQueryInfoKey(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                            LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                            LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                            LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    return RegQueryInfoKeyA(hKey, lpClass, lpcchClass, lpReserved, lpcSubKeys, lpcbMaxSubKeyLen,
                            lpcbMaxClassLen, lpcValues, lpcbMaxValueNameLen, lpcbMaxValueLen,
                            lpcbSecurityDescriptor, lpftLastWriteTime);
}
