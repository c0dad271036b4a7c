// Basic kernel-mode types: integers, NTSTATUS, counted wide strings, doubly linked lists.
// Our own declarations with the platform's names. WCHAR is the host's wchar_t, so that L"..."
// literals initialise UNICODE_STRINGs; Length and MaximumLength count bytes as on the platform.
#pragma once

#include <cstddef>
#include <cstdint>

#define NTAPI
#define DDKAPI
#define IN
#define OUT
#define OPTIONAL
#define UNREFERENCED_PARAMETER(p) ((void)(p))

using UCHAR = std::uint8_t;
using CHAR = char;
using CCHAR = char;
using PCHAR = char*;
using USHORT = std::uint16_t;
using SHORT = std::int16_t;
using CSHORT = std::int16_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using BOOLEAN = std::uint8_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using ULONG_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using SIZE_T = std::size_t;
using VOID = void;
using PVOID = void*;
using PUCHAR = UCHAR*;
using PUSHORT = USHORT*;
using PULONG = ULONG*;
using PLONG = LONG*;
using PBOOLEAN = BOOLEAN*;
using PULONG_PTR = ULONG_PTR*;
using WCHAR = wchar_t;
using PWCH = WCHAR*;
using PWSTR = WCHAR*;
using PCWSTR = const WCHAR*;
using PCSTR = const char*;
using ACCESS_MASK = ULONG;

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

using NTSTATUS = LONG;
#define NT_SUCCESS(status) (static_cast<NTSTATUS>(status) >= 0)
#define NT_INFORMATION(status) ((static_cast<ULONG>(status) >> 30) == 1)
#define NT_WARNING(status) ((static_cast<ULONG>(status) >> 30) == 2)
#define NT_ERROR(status) ((static_cast<ULONG>(status) >> 30) == 3)

struct UNICODE_STRING {
    USHORT Length;         // bytes in use, without a terminator
    USHORT MaximumLength;  // bytes of Buffer
    PWSTR Buffer;
};
using PUNICODE_STRING = UNICODE_STRING*;
using PCUNICODE_STRING = const UNICODE_STRING*;

struct LIST_ENTRY {
    LIST_ENTRY* Flink;
    LIST_ENTRY* Blink;
};
using PLIST_ENTRY = LIST_ENTRY*;

#define CONTAINING_RECORD(address, type, field) \
    (reinterpret_cast<type*>(reinterpret_cast<char*>(address) - offsetof(type, field)))

inline void InitializeListHead(PLIST_ENTRY head) {
    head->Flink = head->Blink = head;
}
inline bool IsListEmpty(const LIST_ENTRY* head) {
    return head->Flink == head;
}
inline BOOLEAN RemoveEntryList(PLIST_ENTRY entry) {
    PLIST_ENTRY next = entry->Flink;
    PLIST_ENTRY prev = entry->Blink;
    prev->Flink = next;
    next->Blink = prev;
    return static_cast<BOOLEAN>(next == prev);
}
inline PLIST_ENTRY RemoveHeadList(PLIST_ENTRY head) {
    PLIST_ENTRY entry = head->Flink;
    RemoveEntryList(entry);
    return entry;
}
inline PLIST_ENTRY RemoveTailList(PLIST_ENTRY head) {
    PLIST_ENTRY entry = head->Blink;
    RemoveEntryList(entry);
    return entry;
}
inline void InsertTailList(PLIST_ENTRY head, PLIST_ENTRY entry) {
    PLIST_ENTRY last = head->Blink;
    entry->Flink = head;
    entry->Blink = last;
    last->Flink = entry;
    head->Blink = entry;
}
inline void InsertHeadList(PLIST_ENTRY head, PLIST_ENTRY entry) {
    PLIST_ENTRY first = head->Flink;
    entry->Flink = first;
    entry->Blink = head;
    first->Blink = entry;
    head->Flink = entry;
}
