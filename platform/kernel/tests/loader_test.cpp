// Loading drivers from a routine and from a module by path.
#include <gtest/gtest.h>

#include "kernel/io_user.h"
#include "kernel/loader.h"
#include "kernel/rules.h"
#include "kernel/testing.h"
#include "kernel/wdm.h"

namespace {

TEST(Loader, ModuleByPathRunsDriverEntryAndClearsInitializing) {
    PDRIVER_OBJECT driver = nullptr;
    ASSERT_EQ(kernel::LoadDriverModule(MQ_KERNEL_TEST_MODULE, u"ModuleEcho",
                                       u"\\Registry\\Machine\\System\\ModuleEcho", &driver),
              STATUS_SUCCESS);
    ASSERT_NE(driver->DeviceObject, nullptr);
    EXPECT_EQ(driver->DeviceObject->Flags & DO_DEVICE_INITIALIZING, 0u);
    EXPECT_EQ(std::u16string(driver->DriverName.Buffer, driver->DriverName.Length / sizeof(WCHAR)),
              u"\\Driver\\ModuleEcho");
    auto opened = kernel::user_io::Open("\\Device\\ModuleEcho", 0, 1);
    EXPECT_EQ(opened.status, STATUS_SUCCESS);
    kernel::user_io::Close(opened.file);
    kernel::UnloadDriver(driver);
    EXPECT_EQ(kernel::testing::LiveDevices(), 0u);
}

TEST(Loader, MissingModuleOrEntryFails) {
    PDRIVER_OBJECT driver = nullptr;
    EXPECT_EQ(kernel::LoadDriverModule("/nonexistent/driver.so", u"X", u"", &driver),
              STATUS_DLL_NOT_FOUND);
    EXPECT_EQ(kernel::LoadDriverModule("libc.so.6", u"X", u"", &driver),
              STATUS_PROCEDURE_NOT_FOUND);
    EXPECT_EQ(driver, nullptr);
}

NTSTATUS FailingEntry(PDRIVER_OBJECT, PUNICODE_STRING path) {
    return path->Length > 0 ? STATUS_INSUFFICIENT_RESOURCES : STATUS_SUCCESS;
}

TEST(Loader, EntryFailureIsReturnedAndLeavesNoDriver) {
    PDRIVER_OBJECT driver = nullptr;
    EXPECT_EQ(kernel::LoadDriver(u"Fails", FailingEntry, u"\\Registry\\Machine\\Fails", &driver),
              STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(driver, nullptr);
}

TEST(Loader, UnloadWithDevicesLeftIsReported) {
    PDRIVER_OBJECT driver = nullptr;
    ASSERT_EQ(kernel::LoadDriver(u"Leaky", FailingEntry, u"", &driver), STATUS_SUCCESS);
    PDEVICE_OBJECT device;
    ASSERT_EQ(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
              STATUS_SUCCESS);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"\\Device\\Leaky");
    PDEVICE_OBJECT named;
    ASSERT_EQ(IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &named),
              STATUS_SUCCESS);
    PDEVICE_OBJECT duplicate;
    EXPECT_EQ(IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &duplicate),
              STATUS_OBJECT_NAME_COLLISION);
    {
        kernel::RuleViolationRecorder recorder;
        kernel::UnloadDriver(driver);
        EXPECT_TRUE(recorder.Saw("devices left"));
    }
    EXPECT_EQ(kernel::testing::LiveDevices(), 0u);
}

}  // namespace
