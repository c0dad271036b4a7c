// Work items: routines that run at PASSIVE_LEVEL on the kernel's worker threads, started in the
// order they were queued (FIFO), one after the other while they return promptly. A routine may
// block: once it has run for a few milliseconds the next items start on other worker threads (up
// to 16 routines at once).
#pragma once

#include "kernel/io.h"
#include "kernel/ntdef.h"

enum WORK_QUEUE_TYPE { CriticalWorkQueue = 0, DelayedWorkQueue = 1, HyperCriticalWorkQueue = 2 };

// I/O work items: allocated for a device, which stays referenced (not freed by IoDeleteDevice)
// while the item is queued or running. An item is queued at most once at a time; it may be queued
// again from its own routine, and freed there too.
struct IO_WORKITEM;  // opaque
using PIO_WORKITEM = IO_WORKITEM*;
using IO_WORKITEM_ROUTINE = void(PDEVICE_OBJECT device, PVOID context);
using PIO_WORKITEM_ROUTINE = IO_WORKITEM_ROUTINE*;

// Null when the pool is out of memory.
PIO_WORKITEM IoAllocateWorkItem(PDEVICE_OBJECT device);
void IoFreeWorkItem(PIO_WORKITEM item);
void IoQueueWorkItem(PIO_WORKITEM item, PIO_WORKITEM_ROUTINE routine, WORK_QUEUE_TYPE queueType,
                     PVOID context);

// Executive work items: caller-owned records.
using WORKER_THREAD_ROUTINE = void(PVOID parameter);
using PWORKER_THREAD_ROUTINE = WORKER_THREAD_ROUTINE*;
struct WORK_QUEUE_ITEM {
    LIST_ENTRY List;
    PWORKER_THREAD_ROUTINE WorkerRoutine;
    PVOID Parameter;
};
using PWORK_QUEUE_ITEM = WORK_QUEUE_ITEM*;

inline void ExInitializeWorkItem(PWORK_QUEUE_ITEM item, PWORKER_THREAD_ROUTINE routine,
                                 PVOID parameter) {
    item->WorkerRoutine = routine;
    item->Parameter = parameter;
    item->List.Flink = nullptr;
}
void ExQueueWorkItem(PWORK_QUEUE_ITEM item, WORK_QUEUE_TYPE queueType);
