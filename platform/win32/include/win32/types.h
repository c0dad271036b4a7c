// Basic types, calling conventions and handle types of the user-mode services.
// Our own declarations: the names and sizes the system's code expects of the desktop platform, on
// the base declarations that the kernel stand-in shares (base/base_types.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/base_types.h"

// Calling conventions: stdcall exists only on 32-bit x86; everywhere else the macros are empty.
#if defined(_WIN32) && defined(_M_IX86)
#define WINAPI __stdcall
#else
#define WINAPI
#endif
#define CALLBACK WINAPI
#define APIENTRY WINAPI
#define WINAPIV

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using INT = int;
using UINT = unsigned int;
using BOOL = int;
using DWORD64 = std::uint64_t;
using FLOAT = float;

using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;

using LPVOID = void*;
using LPCVOID = const void*;
using LPBYTE = BYTE*;
using PBYTE = BYTE*;
using LPDWORD = DWORD*;
using PDWORD = DWORD*;
using LPLONG = LONG*;
using LPBOOL = BOOL*;
using LPSTR = char*;
using PSTR = char*;
using LPCSTR = const char*;

// Message parameters are pointer-sized, as on the platform.
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;

// Kernel-object handles (events, threads, files, timers). Values are small tokens from the
// process's handle table, never addresses.
using HANDLE = void*;
using PHANDLE = HANDLE*;
using LPHANDLE = HANDLE*;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

// Typed handles. Window handles are 32-bit tokens so that they travel in 32-bit record words.
#define MQ_DECLARE_HANDLE(name) \
    struct name##__ {           \
        int unused;             \
    };                          \
    using name = name##__*
MQ_DECLARE_HANDLE(HWND);
MQ_DECLARE_HANDLE(HINSTANCE);
MQ_DECLARE_HANDLE(HKEY);
// Window-class resources; message-only windows carry them without using them.
MQ_DECLARE_HANDLE(HICON);
MQ_DECLARE_HANDLE(HBRUSH);
MQ_DECLARE_HANDLE(HMENU);
using HCURSOR = HICON;
using HMODULE = HINSTANCE;
using PHKEY = HKEY*;

struct POINT {
    LONG x;
    LONG y;
};
using LPPOINT = POINT*;
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

#define MAKEWORD(lo, hi) \
    (static_cast<WORD>((static_cast<BYTE>(lo)) | (static_cast<WORD>(static_cast<BYTE>(hi)) << 8)))
#define MAKELONG(lo, hi) \
    (static_cast<LONG>((static_cast<WORD>(lo)) | (static_cast<DWORD>(static_cast<WORD>(hi)) << 16)))
#define LOWORD(l) (static_cast<WORD>(static_cast<DWORD_PTR>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<DWORD_PTR>(l) >> 16) & 0xffff))
#define LOBYTE(w) (static_cast<BYTE>(static_cast<DWORD_PTR>(w) & 0xff))
#define HIBYTE(w) (static_cast<BYTE>((static_cast<DWORD_PTR>(w) >> 8) & 0xff))

#define MAX_PATH 260
#define INFINITE 0xFFFFFFFFu
