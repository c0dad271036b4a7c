// The process's local heap: LocalAlloc, LocalFree, LocalSize, LocalLock, LocalUnlock.
//
// Every block is named by a 32-bit token (slot and generation), never by its address, so that a
// handle fits a 32-bit record word. A freed block's token is stale: LocalSize answers 0 for it,
// LocalLock NULL and LocalFree refuses it, all without touching the freed memory. LocalLock gives
// the block's address; the blocks never move, so it stays valid until the block is freed.
// Safe to call from any thread.
#pragma once

#include "win32/types.h"

MQ_DECLARE_HANDLE(HLOCAL);

#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)

// A new block of uBytes bytes (zero-filled with LMEM_ZEROINIT; uBytes 0 gives a block of size 0).
// NULL with ERROR_NOT_ENOUGH_MEMORY when it cannot be had, ERROR_INVALID_PARAMETER for flags
// other than those above.
HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes);
// Frees the block: NULL on success; the handle itself with ERROR_INVALID_HANDLE for a stale,
// foreign or null handle.
HLOCAL WINAPI LocalFree(HLOCAL hMem);
// The block's size in bytes; 0 with ERROR_INVALID_HANDLE for a stale, foreign or null handle.
SIZE_T WINAPI LocalSize(HLOCAL hMem);
// The block's address and one more lock; NULL with ERROR_INVALID_HANDLE for a stale, foreign or
// null handle, and for a block of size 0 (there is nothing to address).
LPVOID WINAPI LocalLock(HLOCAL hMem);
// One lock less: TRUE while locks remain; FALSE with ERROR_SUCCESS when the last one went, with
// ERROR_NOT_LOCKED when the block was not locked, with ERROR_INVALID_HANDLE for a bad handle.
BOOL WINAPI LocalUnlock(HLOCAL hMem);

namespace win32 {
// Blocks of the local heap not yet freed, for leak checks in tests.
std::size_t LocalBlockCount();
}  // namespace win32
