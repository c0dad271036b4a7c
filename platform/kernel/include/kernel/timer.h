// Kernel timers and deferred procedure calls (DPCs).
//
// A DPC is queued with KeInsertQueueDpc (or by its timer) and runs routine(dpc, context, arg1,
// arg2) at DISPATCH_LEVEL on one of the kernel's simulated processors (a few threads), which
// start the queued DPCs in queue order: different DPCs run at the same time, one DPC object never
// on two processors at once. A DPC is in the queue at most once; it may be queued again as soon
// as its routine has started, and that run waits until the running one has returned.
//
// Timers run on the stand-ins' clock (simclock/clock.h): with a manual clock a timer expires only
// when a test advances the clock past its due time. An expiring timer becomes signalled (it is a
// dispatcher object: KeWaitForSingleObject waits for it) and queues its DPC with both system
// arguments null. A routine may set its own timer again. KeCancelTimer does not wait for, or
// remove, a DPC the timer has already queued: its owner must allow for a late run.
//
// Timer and DPC objects live in driver memory: zero-filled storage plus the initialise call.
// Their memory must stay valid while the timer is set or the DPC queued.
#pragma once

#include "kernel/ke.h"
#include "kernel/ntdef.h"

struct KDPC;
using PKDPC = KDPC*;
using PRKDPC = KDPC*;
using KDEFERRED_ROUTINE = void(KDPC* dpc, PVOID deferredContext, PVOID systemArgument1,
                               PVOID systemArgument2);
using PKDEFERRED_ROUTINE = KDEFERRED_ROUTINE*;

struct KDPC {
    UCHAR Type;
    UCHAR Importance;
    USHORT Number;
    LIST_ENTRY DpcListEntry;
    PKDEFERRED_ROUTINE DeferredRoutine;
    PVOID DeferredContext;
    PVOID SystemArgument1;
    PVOID SystemArgument2;
    PVOID DpcData;  // non-null while the DPC is queued
};

void KeInitializeDpc(PRKDPC dpc, PKDEFERRED_ROUTINE routine, PVOID context);
// Queues the DPC with the two arguments; FALSE (and nothing changes) when it is queued already.
BOOLEAN KeInsertQueueDpc(PRKDPC dpc, PVOID systemArgument1, PVOID systemArgument2);
// Takes a queued DPC out of the queue; FALSE when it was not queued.
BOOLEAN KeRemoveQueueDpc(PRKDPC dpc);

enum TIMER_TYPE { NotificationTimer = 0, SynchronizationTimer = 1 };

struct KTIMER {
    DISPATCHER_HEADER Header;  // Inserted is 1 while the timer is set
    LARGE_INTEGER DueTime;     // when set: the due time on the stand-ins' clock, in nanoseconds
    LIST_ENTRY TimerListEntry;
    PKDPC Dpc;
    LONG Period;  // milliseconds; 0 for a one-shot timer
};
using PKTIMER = KTIMER*;

// A notification timer stays signalled until it is set again; a synchronization timer releases
// one wait and resets.
void KeInitializeTimer(PKTIMER timer);
void KeInitializeTimerEx(PKTIMER timer, TIMER_TYPE type);
// dueTime: negative is relative, in 100 ns units; positive is absolute system time (100 ns since
// 1601); a due time in the past expires at once. Setting a set timer replaces its due time,
// period and DPC. The timer becomes not signalled. Returns TRUE when the timer was set already.
BOOLEAN KeSetTimer(PKTIMER timer, LARGE_INTEGER dueTime, PKDPC dpc);
// As KeSetTimer; with a period (ms) other than 0 the timer expires again every period after its
// first expiry, until cancelled.
BOOLEAN KeSetTimerEx(PKTIMER timer, LARGE_INTEGER dueTime, LONG period, PKDPC dpc);
// Returns TRUE when the timer was set (and is not now).
BOOLEAN KeCancelTimer(PKTIMER timer);
BOOLEAN KeReadStateTimer(PKTIMER timer);
