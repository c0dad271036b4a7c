// Per-thread IRQL: a thread starts at PASSIVE_LEVEL; only the thread itself changes its level.
#include <string>

#include "kernel/ke.h"
#include "kernel/rules.h"

namespace {
thread_local KIRQL t_irql = PASSIVE_LEVEL;
}

KIRQL KeGetCurrentIrql() {
    return t_irql;
}

void KeRaiseIrql(KIRQL newIrql, PKIRQL oldIrql) {
    if (newIrql < t_irql)
        kernel::ReportRuleViolation("KeRaiseIrql to a lower level",
                                    std::to_string(t_irql) + " -> " + std::to_string(newIrql));
    *oldIrql = t_irql;
    t_irql = newIrql;
}

void KeLowerIrql(KIRQL newIrql) {
    if (newIrql > t_irql)
        kernel::ReportRuleViolation("KeLowerIrql to a higher level",
                                    std::to_string(t_irql) + " -> " + std::to_string(newIrql));
    t_irql = newIrql;
}

KIRQL KeRaiseIrqlToDpcLevel() {
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    return old;
}
