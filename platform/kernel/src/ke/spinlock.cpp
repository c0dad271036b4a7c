// Spin locks: the lock word holds the owner's thread token. Waiting for a lock yields the host
// thread, so that a contended lock does not starve its owner on a loaded machine.
#include <thread>

#include "host/host.h"
#include "ke/lock_order.h"
#include "kernel/ke.h"
#include "kernel/rules.h"

void KeInitializeSpinLock(PKSPIN_LOCK lock) {
    __atomic_store_n(lock, 0, __ATOMIC_RELEASE);
}

void KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK lock) {
    if (KeGetCurrentIrql() < DISPATCH_LEVEL)
        kernel::ReportRuleViolation("KeAcquireSpinLockAtDpcLevel below DISPATCH_LEVEL");
    const KSPIN_LOCK me = kernel::host::CurrentThreadToken();
    if (__atomic_load_n(lock, __ATOMIC_RELAXED) == me) {
        kernel::ReportRuleViolation("spin lock acquired recursively");
        return;  // (recorded) the lock stays taken once
    }
    kernel::ke::NoteAcquiring(lock);
    for (int spins = 0;; ++spins) {
        KSPIN_LOCK expected = 0;
        if (__atomic_compare_exchange_n(lock, &expected, me, false, __ATOMIC_ACQUIRE,
                                        __ATOMIC_RELAXED))
            return;
        if (spins > 64)
            std::this_thread::yield();
    }
}

void KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK lock) {
    const KSPIN_LOCK me = kernel::host::CurrentThreadToken();
    if (__atomic_load_n(lock, __ATOMIC_RELAXED) != me) {
        kernel::ReportRuleViolation("spin lock released by a thread that does not hold it");
        return;
    }
    kernel::ke::NoteReleased(lock);
    __atomic_store_n(lock, 0, __ATOMIC_RELEASE);
}

void KeAcquireSpinLock(PKSPIN_LOCK lock, PKIRQL oldIrql) {
    KeRaiseIrql(DISPATCH_LEVEL, oldIrql);
    KeAcquireSpinLockAtDpcLevel(lock);
}

void KeReleaseSpinLock(PKSPIN_LOCK lock, KIRQL newIrql) {
    KeReleaseSpinLockFromDpcLevel(lock);
    KeLowerIrql(newIrql);
}
