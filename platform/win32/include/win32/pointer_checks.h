// Probes of the calling process's memory: whether an address range may be read or written, and
// whether an address lies in executable code. They answer from the process's current mappings and
// never touch the memory itself, so a bad pointer is reported rather than followed.
#pragma once

#include "win32/exports.h"
#include "win32/types.h"

// TRUE when some byte of [lp, lp + ucb) is not readable (a null pointer with ucb > 0 included);
// FALSE for ucb == 0.
BOOL WINAPI IsBadReadPtr(const void* lp, UINT_PTR ucb);
// TRUE when some byte of [lp, lp + ucb) is not writable; FALSE for ucb == 0.
BOOL WINAPI IsBadWritePtr(LPVOID lp, UINT_PTR ucb);
// TRUE when lpfn is null or does not lie in executable memory.
BOOL WINAPI IsBadCodePtr(FARPROC lpfn);
