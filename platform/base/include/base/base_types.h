// The base declarations that the kernel's and the user-mode stand-ins share: integer and pointer
// types, wide characters, the 64-bit integer union, GUIDs, the interlocked calls and the
// composition of device-control codes. Both stand-ins' headers include this one, so that code may
// include both. Our own declarations with the platform's names.
//
// WCHAR is a 16-bit code unit (char16_t, u"..." literals), as on the platform: counted strings
// carry their lengths in bytes in 16-bit fields, and a wide string's byte size is twice its
// characters.
#pragma once

#include <cstddef>
#include <cstdint>

using UCHAR = std::uint8_t;
using CHAR = char;
using USHORT = std::uint16_t;
using SHORT = std::int16_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using BOOLEAN = std::uint8_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using VOID = void;
using PVOID = void*;
using PULONG = ULONG*;
using PCSTR = const char*;

using WCHAR = char16_t;
using PWCH = WCHAR*;
using PWSTR = WCHAR*;
using PCWSTR = const WCHAR*;
static_assert(sizeof(WCHAR) == 2, "a wide character is one 16-bit code unit");

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct LARGE_INTEGER_PARTS {
    ULONG LowPart;
    LONG HighPart;
};
union LARGE_INTEGER {
    LARGE_INTEGER_PARTS u;
    LONGLONG QuadPart;
};
using PLARGE_INTEGER = LARGE_INTEGER*;

struct GUID {
    ULONG Data1;
    USHORT Data2;
    USHORT Data3;
    UCHAR Data4[8];
};
using LPGUID = GUID*;
using LPCGUID = const GUID*;
inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}

// ---- Interlocked operations: sequentially consistent read-modify-write on aligned words -------

inline LONG InterlockedIncrement(LONG volatile* Addend) {
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(LONG volatile* Addend) {
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
// Returns the value before the exchange.
inline LONG InterlockedExchange(LONG volatile* Target, LONG Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
// Returns the value before the addition.
inline LONG InterlockedExchangeAdd(LONG volatile* Addend, LONG Value) {
    return __atomic_fetch_add(Addend, Value, __ATOMIC_SEQ_CST);
}
// Stores Exchange if *Destination equals Comperand; returns the value found.
inline LONG InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comperand) {
    __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return Comperand;
}

inline LONGLONG InterlockedIncrement64(LONGLONG volatile* Addend) {
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
inline LONGLONG InterlockedDecrement64(LONGLONG volatile* Addend) {
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
inline LONGLONG InterlockedExchange64(LONGLONG volatile* Target, LONGLONG Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
inline LONGLONG InterlockedCompareExchange64(LONGLONG volatile* Destination, LONGLONG Exchange,
                                             LONGLONG Comperand) {
    __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return Comperand;
}
inline LONGLONG InterlockedExchangeAdd64(LONGLONG volatile* Addend, LONGLONG Value) {
    return __atomic_fetch_add(Addend, Value, __ATOMIC_SEQ_CST);
}

inline PVOID InterlockedExchangePointer(PVOID volatile* Target, PVOID Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
inline PVOID InterlockedCompareExchangePointer(PVOID volatile* Destination, PVOID Exchange,
                                               PVOID Comperand) {
    __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return Comperand;
}

// ---- Device-control codes: device type << 16 | access << 14 | function << 2 | method --------

#define CTL_CODE(deviceType, function, method, access) \
    (((deviceType) << 16) | ((access) << 14) | ((function) << 2) | (method))
#define METHOD_BUFFERED 0
#define METHOD_IN_DIRECT 1
#define METHOD_OUT_DIRECT 2
#define METHOD_NEITHER 3
#define FILE_ANY_ACCESS 0
#define FILE_READ_ACCESS 0x0001
#define FILE_WRITE_ACCESS 0x0002
#define FILE_DEVICE_UNKNOWN 0x00000022
#define METHOD_FROM_CTL_CODE(code) (static_cast<ULONG>(code) & 3)
#define DEVICE_TYPE_FROM_CTL_CODE(code) ((static_cast<ULONG>(code) & 0xffff0000) >> 16)
