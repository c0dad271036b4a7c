// The pending protocol of dispatch routines is a rule: STATUS_PENDING only with the IRP marked
// pending, and a marked IRP only with STATUS_PENDING.
#include <gtest/gtest.h>

#include "kernel/loader.h"
#include "kernel/rules.h"
#include "kernel/wdm.h"

namespace {

struct Behaviour {
    bool mark;              // IoMarkIrpPending in the dispatch routine
    bool completeAtOnce;    // completed inside the dispatch routine (else by the test afterwards)
    NTSTATUS returned;      // what the dispatch routine returns
    const char* violation;  // the rule reported, or null
};
Behaviour g_behaviour;
PIRP g_held = nullptr;

NTSTATUS Dispatch(PDEVICE_OBJECT, PIRP irp) {
    if (g_behaviour.mark)
        IoMarkIrpPending(irp);
    irp->IoStatus.Status = STATUS_SUCCESS;
    if (g_behaviour.completeAtOnce)
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    else
        g_held = irp;
    return g_behaviour.returned;
}

NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_READ] = Dispatch;
    return STATUS_SUCCESS;
}

NTSTATUS KeepIrp(PDEVICE_OBJECT, PIRP, PVOID) {
    return STATUS_MORE_PROCESSING_REQUIRED;
}

TEST(PendingProtocol, AMismatchOfMarkAndStatusIsAViolation) {
    PDRIVER_OBJECT driver = nullptr;
    ASSERT_EQ(kernel::LoadDriver(u"Pending", Entry, u"\\Registry\\Machine\\Pending", &driver),
              STATUS_SUCCESS);
    PDEVICE_OBJECT device = nullptr;
    ASSERT_EQ(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
              STATUS_SUCCESS);
    const Behaviour cases[] = {
        {false, true, STATUS_SUCCESS, nullptr},
        {true, false, STATUS_PENDING, nullptr},
        {true, true, STATUS_PENDING, nullptr},
        {false, false, STATUS_PENDING, "without IoMarkIrpPending"},
        {false, true, STATUS_PENDING, "without IoMarkIrpPending"},
        {true, true, STATUS_SUCCESS, "marked pending but"},
        {true, true, STATUS_UNSUCCESSFUL, "marked pending but"},
    };
    for (const Behaviour& c : cases) {
        g_behaviour = c;
        g_held = nullptr;
        kernel::RuleViolationRecorder recorder;
        PIRP irp = IoAllocateIrp(device->StackSize + 1, FALSE);
        IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_READ;
        IoSetCompletionRoutine(irp, KeepIrp, nullptr, TRUE, TRUE, TRUE);
        EXPECT_EQ(IoCallDriver(device, irp), c.returned);
        if (g_held != nullptr)
            IoCompleteRequest(g_held, IO_NO_INCREMENT);
        IoFreeIrp(irp);
        const std::string context = std::string("mark ") + (c.mark ? "yes" : "no") + ", at once " +
                                    (c.completeAtOnce ? "yes" : "no");
        if (c.violation != nullptr) {
            EXPECT_EQ(recorder.Count(), 1) << context;
            EXPECT_TRUE(recorder.Saw(c.violation)) << context;
        } else {
            EXPECT_EQ(recorder.Count(), 0) << context;
        }
    }
    IoDeleteDevice(device);
    kernel::UnloadDriver(driver);
}

}  // namespace
