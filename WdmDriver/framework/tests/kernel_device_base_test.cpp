// The basic device class: its device object and link, routing by request code, and the default
// answer of handlers the class does not override.
#include <gtest/gtest.h>

#include "framework/kernel_device_base.h"
#include "framework_testing.h"
#include "kernel/loader.h"

namespace {

NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    for (auto& entry : driver->MajorFunction)
        entry = wdm::KernelDeviceBase::DispatchEntry;
    return STATUS_SUCCESS;
}

// Answers reads itself; everything else is left to the base.
class ReadingDevice : public wdm::KernelDeviceBase {
  protected:
    NTSTATUS OnRead(PIRP irp) override { return wdm::CompleteIrp(irp, STATUS_SUCCESS, 42); }
};

class KernelDeviceBaseTest : public wdm_test::PoolCheckedTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(kernel::LoadDriver(u"wdmbasetest", Entry, u"", &driver_), STATUS_SUCCESS);
    }
    void TearDown() override {
        kernel::UnloadDriver(driver_);
        PoolCheckedTest::TearDown();
    }
    PDRIVER_OBJECT driver_ = nullptr;
};

TEST_F(KernelDeviceBaseTest, RoutesByCodeAndAnswersNotImplementedForTheRest) {
    const std::size_t devicesBefore = kernel::testing::LiveDevices();
    auto* device = new ReadingDevice;
    ASSERT_EQ(device->CreateDeviceObject(driver_, u"\\Device\\WdmBase0", DO_DIRECT_IO),
              STATUS_SUCCESS);
    ASSERT_EQ(device->CreateLink(u"\\DosDevices\\WdmBase0"), STATUS_SUCCESS);
    PDEVICE_OBJECT object = device->DeviceObject();
    EXPECT_EQ(wdm::KernelDeviceBase::FromDevice(object), device);
    EXPECT_TRUE(object->Flags & DO_DIRECT_IO);
    EXPECT_EQ(std::u16string(device->DeviceName().Buffer()), u"\\Device\\WdmBase0");

    // The name is taken: a second device of that name fails and leaves nothing behind.
    auto* twin = new ReadingDevice;
    EXPECT_EQ(twin->CreateDeviceObject(driver_, u"\\Device\\WdmBase0", 0),
              STATUS_OBJECT_NAME_COLLISION);
    twin->Destroy();

    struct Case {
        UCHAR major;
        NTSTATUS status;
        ULONG_PTR information;
    };
    for (const Case& c :
         {Case{IRP_MJ_READ, STATUS_SUCCESS, 42}, Case{IRP_MJ_WRITE, STATUS_NOT_IMPLEMENTED, 0},
          Case{IRP_MJ_CREATE, STATUS_NOT_IMPLEMENTED, 0},
          Case{IRP_MJ_DEVICE_CONTROL, STATUS_NOT_IMPLEMENTED, 0},
          Case{IRP_MJ_FLUSH_BUFFERS, STATUS_NOT_IMPLEMENTED, 0}}) {
        SCOPED_TRACE(c.major);
        wdm_test::TestIrp irp(object->StackSize, c.major);
        EXPECT_EQ(irp.Send(object), c.status);
        EXPECT_EQ(irp.Completions(), 1);
        EXPECT_EQ(irp.Status(), c.status);
        EXPECT_EQ(irp.Information(), c.information);
    }

    device->Destroy();  // deletes the link and the device object
    EXPECT_EQ(kernel::testing::LiveDevices(), devicesBefore);
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, u"\\DosDevices\\WdmBase0");
    EXPECT_NE(IoDeleteSymbolicLink(&link), STATUS_SUCCESS);
}

}  // namespace
