// Pool allocation with tags. Every allocation is entered in a per-tag ledger (kernel/testing.h),
// so tests can check that a driver frees what it allocated.
#pragma once

#include "kernel/ntdef.h"

enum POOL_TYPE { NonPagedPool = 0, PagedPool = 1, NonPagedPoolNx = 512 };

// Memory is zero-filled and aligned for any type. Paged pool at DISPATCH_LEVEL is a rule violation.
PVOID ExAllocatePoolWithTag(POOL_TYPE type, SIZE_T bytes, ULONG tag);
PVOID ExAllocatePool(POOL_TYPE type, SIZE_T bytes);
void ExFreePool(PVOID block);
// Freeing with a tag other than the allocation's is a rule violation.
void ExFreePoolWithTag(PVOID block, ULONG tag);

// A tag from four characters in reading order: MQ_POOL_TAG('W','d','m',' ') is the tag the
// platform writes as the character constant 'Wdm '.
constexpr ULONG MQ_POOL_TAG(char a, char b, char c, char d) {
    return (static_cast<ULONG>(static_cast<UCHAR>(a)) << 24) |
           (static_cast<ULONG>(static_cast<UCHAR>(b)) << 16) |
           (static_cast<ULONG>(static_cast<UCHAR>(c)) << 8) |
           static_cast<ULONG>(static_cast<UCHAR>(d));
}

inline void RtlZeroMemory(PVOID destination, SIZE_T length) {
    __builtin_memset(destination, 0, length);
}
inline void RtlCopyMemory(PVOID destination, const void* source, SIZE_T length) {
    __builtin_memcpy(destination, source, length);
}
inline void RtlMoveMemory(PVOID destination, const void* source, SIZE_T length) {
    __builtin_memmove(destination, source, length);
}
inline void RtlFillMemory(PVOID destination, SIZE_T length, UCHAR fill) {
    __builtin_memset(destination, fill, length);
}

void RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source);
