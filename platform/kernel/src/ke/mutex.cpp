// Kernel mutexes on the dispatcher: acquired by a wait, recursively for the owner.
#include "kernel/mutex.h"
#include "host/host.h"
#include "ke/dispatcher.h"
#include "kernel/rules.h"

namespace kernel::ke {

bool MutexAvailable(const DISPATCHER_HEADER& header) {
    const auto& mutex = reinterpret_cast<const KMUTANT&>(header);
    return header.SignalState > 0 || mutex.OwnerThread == host::CurrentThreadToken();
}

void MutexAcquire(DISPATCHER_HEADER& header) {
    auto& mutex = reinterpret_cast<KMUTANT&>(header);
    mutex.OwnerThread = host::CurrentThreadToken();
    --header.SignalState;
}

}  // namespace kernel::ke

void KeInitializeMutex(PRKMUTEX mutex, ULONG) {
    kernel::host::Guard guard(kernel::ke::DispatcherLock());
    mutex->Header.Type = MutantObject;
    mutex->Header.Size = sizeof(KMUTANT);
    mutex->Header.SignalState = 1;
    InitializeListHead(&mutex->Header.WaitListHead);
    mutex->OwnerThread = 0;
    mutex->Abandoned = FALSE;
    mutex->ApcDisable = 1;
}

LONG KeReleaseMutex(PRKMUTEX mutex, BOOLEAN) {
    kernel::host::Guard guard(kernel::ke::DispatcherLock());
    const LONG previous = mutex->Header.SignalState;
    if (previous > 0 || mutex->OwnerThread != kernel::host::CurrentThreadToken()) {
        kernel::ReportRuleViolation("KeReleaseMutex by a thread that does not own the mutex");
        return previous;
    }
    if (++mutex->Header.SignalState == 1) {
        mutex->OwnerThread = 0;
        kernel::ke::NotifyDispatcherWaiters(&mutex->Header);
    }
    return previous;
}

LONG KeReadStateMutex(PRKMUTEX mutex) {
    kernel::host::Guard guard(kernel::ke::DispatcherLock());
    return mutex->Header.SignalState;
}
