// Basic kernel-mode types: integers, NTSTATUS, counted wide strings, doubly linked lists.
// Our own declarations with the platform's names, on the base declarations that the user-mode
// stand-in shares (16-bit WCHAR: u"..." literals initialise UNICODE_STRINGs). Length and
// MaximumLength count bytes, as on the platform.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/base_types.h"

#define NTAPI
#define DDKAPI
#define IN
#define OUT
#define OPTIONAL
#define UNREFERENCED_PARAMETER(p) ((void)(p))

using CCHAR = char;
using PCHAR = char*;
using CSHORT = std::int16_t;
using PUCHAR = UCHAR*;
using PUSHORT = USHORT*;
using PLONG = LONG*;
using PBOOLEAN = BOOLEAN*;
using PULONG_PTR = ULONG_PTR*;
using ACCESS_MASK = ULONG;

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
