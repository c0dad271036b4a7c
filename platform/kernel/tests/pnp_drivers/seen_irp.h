// What a test driver saw of one Plug and Play or power request.
#pragma once

#include <thread>

#include "kernel/wdm.h"

namespace pnp_test {

struct SeenIrp {
    UCHAR major;
    UCHAR minor;
    NTSTATUS statusOnArrival;
    std::thread::id thread;
    KIRQL irql;
    POWER_STATE_TYPE powerType;  // power requests only
    ULONG powerState;
};

inline SeenIrp Observe(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    SeenIrp seen{stack->MajorFunction,
                 stack->MinorFunction,
                 irp->IoStatus.Status,
                 std::this_thread::get_id(),
                 KeGetCurrentIrql(),
                 SystemPowerState,
                 0};
    if (stack->MajorFunction == IRP_MJ_POWER) {
        seen.powerType = stack->Parameters.Power.Type;
        seen.powerState = stack->Parameters.Power.Type == SystemPowerState
                              ? static_cast<ULONG>(stack->Parameters.Power.State.SystemState)
                              : static_cast<ULONG>(stack->Parameters.Power.State.DeviceState);
    }
    return seen;
}

}  // namespace pnp_test
