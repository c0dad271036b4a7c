// Execution levels, spin locks, dispatcher objects (events) and interlocked operations.
//
// IRQL is a per-thread value (PASSIVE_LEVEL at thread start). A spin lock raises the acquiring
// thread to DISPATCH_LEVEL and restores the old level at release; recursive acquisition and
// waiting with a timeout other than zero at DISPATCH_LEVEL are rule violations (kernel/rules.h).
// Dispatcher objects live in driver memory: zero-filled storage plus KeInitializeEvent is enough.
#pragma once

#include "kernel/ntdef.h"
#include "kernel/ntstatus.h"

using KIRQL = UCHAR;
using PKIRQL = KIRQL*;
#define PASSIVE_LEVEL 0
#define LOW_LEVEL 0
#define APC_LEVEL 1
#define DISPATCH_LEVEL 2

KIRQL KeGetCurrentIrql();
void KeRaiseIrql(KIRQL newIrql, PKIRQL oldIrql);
void KeLowerIrql(KIRQL newIrql);
KIRQL KeRaiseIrqlToDpcLevel();

// Spin locks: a word that holds the owner's token while taken.
using KSPIN_LOCK = ULONG_PTR;
using PKSPIN_LOCK = KSPIN_LOCK*;
void KeInitializeSpinLock(PKSPIN_LOCK lock);
void KeAcquireSpinLock(PKSPIN_LOCK lock, PKIRQL oldIrql);
void KeReleaseSpinLock(PKSPIN_LOCK lock, KIRQL newIrql);
void KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK lock);
void KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK lock);

// Dispatcher objects.
enum KOBJECTS : UCHAR {
    EventNotificationObject = 0,
    EventSynchronizationObject = 1,
    MutantObject = 2,
    TimerNotificationObject = 8,
    TimerSynchronizationObject = 9,
};
struct DISPATCHER_HEADER {
    UCHAR Type;
    UCHAR Absolute;
    UCHAR Size;
    UCHAR Inserted;
    LONG SignalState;
    LIST_ENTRY WaitListHead;
};

enum EVENT_TYPE { NotificationEvent = 0, SynchronizationEvent = 1 };
struct KEVENT {
    DISPATCHER_HEADER Header;
};
using PKEVENT = KEVENT*;
using PRKEVENT = KEVENT*;
using KPRIORITY = LONG;
#define IO_NO_INCREMENT 0
#define EVENT_INCREMENT 1

void KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state);
// Returns the previous state. A synchronization event wakes one waiter and resets; with no
// waiter it stays signalled until a wait consumes it.
LONG KeSetEvent(PRKEVENT event, KPRIORITY increment, BOOLEAN wait);
void KeClearEvent(PRKEVENT event);
LONG KeResetEvent(PRKEVENT event);
LONG KeReadStateEvent(PRKEVENT event);

enum KWAIT_REASON { Executive = 0, UserRequest = 6 };
enum KPROCESSOR_MODE_VALUES { KernelMode = 0, UserMode = 1 };
using KPROCESSOR_MODE = CCHAR;

// Timeout: null waits without limit; negative is relative, positive absolute system time, both in
// 100 ns units; zero polls. Returns STATUS_SUCCESS or STATUS_TIMEOUT.
NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON reason, KPROCESSOR_MODE mode,
                               BOOLEAN alertable, PLARGE_INTEGER timeout);

void KeQuerySystemTime(PLARGE_INTEGER currentTime);

// The interlocked operations come with the base declarations (base/base_types.h).
