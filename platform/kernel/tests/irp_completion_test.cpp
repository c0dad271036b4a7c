// Completion routines, pending marks and the I/O manager's handling of unregistered majors.
#include <gtest/gtest.h>

#include <vector>

#include "kernel/loader.h"
#include "kernel/rules.h"
#include "kernel/wdm.h"

namespace {

std::vector<int> g_order;
PDEVICE_OBJECT g_seenDevice[4];
int g_dispatchCalls = 0;

NTSTATUS Record(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
    const int id = static_cast<int>(reinterpret_cast<std::intptr_t>(context));
    g_order.push_back(id);
    g_seenDevice[id] = device;
    // The originator has no location of its own (no device) and must not mark the IRP.
    if (irp->PendingReturned && device != nullptr)
        IoMarkIrpPending(irp);
    return id == 0 ? STATUS_MORE_PROCESSING_REQUIRED : STATUS_SUCCESS;
}

NTSTATUS Pass(PDEVICE_OBJECT device, PIRP irp) {
    ++g_dispatchCalls;
    auto lower = static_cast<PDEVICE_OBJECT*>(device->DeviceExtension);
    if (*lower == nullptr) {  // bottom: complete with pending marked
        IoMarkIrpPending(irp);
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_PENDING;
    }
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(
        irp, Record, reinterpret_cast<PVOID>(static_cast<std::intptr_t>(device->Characteristics)),
        TRUE, TRUE, TRUE);
    return IoCallDriver(*lower, irp);
}

NTSTATUS StackEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_READ] = Pass;
    return STATUS_SUCCESS;
}

struct StackFixture : ::testing::Test {
    PDRIVER_OBJECT driver = nullptr;
    PDEVICE_OBJECT devices[3] = {};  // [0] bottom, [2] top
    void SetUp() override {
        ASSERT_EQ(kernel::LoadDriver(u"Stack", StackEntry, u"\\Registry\\Machine\\Stack", &driver),
                  STATUS_SUCCESS);
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(IoCreateDevice(driver, sizeof(PDEVICE_OBJECT), nullptr, FILE_DEVICE_UNKNOWN,
                                     0, FALSE, &devices[i]),
                      STATUS_SUCCESS);
            devices[i]->Characteristics = i;  // which completion routine id this layer sets
            if (i > 0) {
                PDEVICE_OBJECT lower = IoAttachDeviceToDeviceStack(devices[i], devices[0]);
                *static_cast<PDEVICE_OBJECT*>(devices[i]->DeviceExtension) = lower;
            }
        }
        g_order.clear();
        g_dispatchCalls = 0;
    }
    void TearDown() override {
        for (auto* device : devices)
            IoDeleteDevice(device);
        kernel::UnloadDriver(driver);
    }
};

TEST_F(StackFixture, AttachSetsStackSizesAndReturnsOldTop) {
    EXPECT_EQ(devices[1]->StackSize, 2);
    EXPECT_EQ(devices[2]->StackSize, 3);
    EXPECT_EQ(IoGetAttachedDevice(devices[0]), devices[2]);
    EXPECT_EQ(*static_cast<PDEVICE_OBJECT*>(devices[2]->DeviceExtension), devices[1]);
}

// Our own IRP through three layers: routines run innermost outward, each with the device of
// the layer that set it, and the originator's own routine last with no device.
TEST_F(StackFixture, RoutinesRunInnermostOutwardAndMoreProcessingStops) {
    PIRP irp = IoAllocateIrp(devices[2]->StackSize + 1, FALSE);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_READ;
    IoSetCompletionRoutine(irp, Record, reinterpret_cast<PVOID>(std::intptr_t{0}), TRUE, TRUE,
                           TRUE);
    EXPECT_EQ(IoCallDriver(devices[2], irp), STATUS_PENDING);
    EXPECT_EQ(g_dispatchCalls, 3);
    // Layer 2 set routine 2 for layer 1, layer 1 set routine 1 for layer 0; the originator's 0.
    EXPECT_EQ(g_order, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(g_seenDevice[1], devices[1]);
    EXPECT_EQ(g_seenDevice[2], devices[2]);
    EXPECT_EQ(g_seenDevice[0], nullptr);
    EXPECT_TRUE(irp->PendingReturned);  // propagated by the routines up to the originator
    IoFreeIrp(irp);
}

TEST_F(StackFixture, InvokeFlagsSelectRoutinesByStatus) {
    struct Case {
        BOOLEAN onSuccess, onError;
        NTSTATUS status;
        bool runs;
    } cases[] = {{TRUE, FALSE, STATUS_SUCCESS, true},
                 {TRUE, FALSE, STATUS_UNSUCCESSFUL, false},
                 {FALSE, TRUE, STATUS_UNSUCCESSFUL, true},
                 {FALSE, TRUE, STATUS_SUCCESS, false}};
    for (const auto& c : cases) {
        static bool ran;
        ran = false;
        PIRP irp = IoAllocateIrp(1, FALSE);
        IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_READ;
        IoSetCompletionRoutine(
            irp,
            [](PDEVICE_OBJECT, PIRP, PVOID) -> NTSTATUS {
                ran = true;
                return STATUS_MORE_PROCESSING_REQUIRED;
            },
            nullptr, c.onSuccess, c.onError, FALSE);
        IoSetNextIrpStackLocation(irp);  // as if delivered to a driver
        irp->IoStatus.Status = c.status;
        if (c.runs) {
            IoCompleteRequest(irp, IO_NO_INCREMENT);
        } else {
            kernel::RuleViolationRecorder recorder;  // reaching the top with a driver IRP
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            EXPECT_TRUE(recorder.Saw("completed to the top"));
        }
        EXPECT_EQ(ran, c.runs);
        IoFreeIrp(irp);
    }
}

TEST_F(StackFixture, UnregisteredMajorFailsWithoutReachingTheDriver) {
    for (UCHAR major : {UCHAR{IRP_MJ_INTERNAL_DEVICE_CONTROL}, UCHAR{IRP_MJ_SHUTDOWN},
                        UCHAR{IRP_MJ_SYSTEM_CONTROL}, UCHAR{IRP_MJ_CREATE}}) {
        static NTSTATUS seen;
        PIRP irp = IoAllocateIrp(1, FALSE);
        IoGetNextIrpStackLocation(irp)->MajorFunction = major;
        IoSetCompletionRoutine(
            irp,
            [](PDEVICE_OBJECT, PIRP irp, PVOID) -> NTSTATUS {
                seen = irp->IoStatus.Status;
                return STATUS_MORE_PROCESSING_REQUIRED;
            },
            nullptr, TRUE, TRUE, TRUE);
        EXPECT_EQ(IoCallDriver(devices[0], irp), STATUS_INVALID_DEVICE_REQUEST);
        EXPECT_EQ(seen, STATUS_INVALID_DEVICE_REQUEST);
        IoFreeIrp(irp);
    }
    EXPECT_EQ(g_dispatchCalls, 0);
}

TEST(IrpRules, CompletingTwiceOrWithCancelRoutineIsReported) {
    kernel::RuleViolationRecorder recorder;
    PIRP irp = IoAllocateIrp(1, FALSE);
    IoSetCompletionRoutine(
        irp, [](PDEVICE_OBJECT, PIRP, PVOID) { return STATUS_MORE_PROCESSING_REQUIRED; }, nullptr,
        TRUE, TRUE, TRUE);
    IoSetNextIrpStackLocation(irp);
    IoSetCancelRoutine(irp, [](PDEVICE_OBJECT, PIRP) {});
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    EXPECT_TRUE(recorder.Saw("cancel routine still set"));
    IoSetCancelRoutine(irp, nullptr);
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    EXPECT_TRUE(recorder.Saw("completed twice"));
    IoFreeIrp(irp);
}

TEST(IrpRules, ReuseRestoresAFreshIrp) {
    PIRP irp = IoAllocateIrp(2, FALSE);
    IoSetNextIrpStackLocation(irp);
    irp->Cancel = TRUE;
    IoReuseIrp(irp, STATUS_NOT_SUPPORTED);
    EXPECT_EQ(irp->CurrentLocation, 3);
    EXPECT_FALSE(irp->Cancel);
    EXPECT_EQ(irp->IoStatus.Status, STATUS_NOT_SUPPORTED);
    EXPECT_EQ(IoGetNextIrpStackLocation(irp), reinterpret_cast<PIO_STACK_LOCATION>(irp + 1) + 1);
    IoFreeIrp(irp);
}

}  // namespace
