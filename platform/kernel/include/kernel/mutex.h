// Kernel mutexes: dispatcher objects that a wait acquires. The owner may wait on it again (each
// wait counts one acquisition) and releases it once per acquisition; it is signalled (free) when
// the count returns to zero. Levels are accepted and not enforced. Releasing a mutex the calling
// thread does not own is a rule violation.
#pragma once

#include "kernel/ke.h"

struct KMUTANT {
    DISPATCHER_HEADER Header;  // SignalState: 1 free, 1 - n while owned with n acquisitions
    LIST_ENTRY MutantListEntry;
    ULONG_PTR OwnerThread;  // the owner's thread token; 0 while free
    BOOLEAN Abandoned;
    UCHAR ApcDisable;
};
using KMUTEX = KMUTANT;
using PKMUTEX = KMUTANT*;
using PRKMUTEX = KMUTANT*;

void KeInitializeMutex(PRKMUTEX mutex, ULONG level);
// Returns the signal state before the release.
LONG KeReleaseMutex(PRKMUTEX mutex, BOOLEAN wait);
LONG KeReadStateMutex(PRKMUTEX mutex);
