// Binding files to subsystem objects: names, one object per subsystem, device handles, and the
// objects' end at close.
#include <vector>

#include "da_test_device.h"

namespace dalayer_test {
namespace {

using Entries = std::vector<std::string>;

TEST_F(DaDeviceTest, FileNamesBindByWordAndHexElement) {
    struct Case {
        const char* name;
        std::int32_t status;
        const char* created;  // the object the factory made, null for none
    };
    const Case cases[] = {
        {"", STATUS_SUCCESS, nullptr},
        {"\\AD0", STATUS_SUCCESS, "Create 0:0"},
        {"\\DA1", STATUS_SUCCESS, "Create 1:1"},
        {"\\DIN0", STATUS_SUCCESS, "Create 2:0"},
        {"\\DOUTf", STATUS_SUCCESS, "Create 3:15"},
        {"\\CT3", STATUS_SUCCESS, "Create 5:3"},
        {"\\ADA", STATUS_SUCCESS, "Create 0:10"},
        {"\\SRL0", STATUS_UNSUCCESSFUL, nullptr},
        {"\\ad0", STATUS_UNSUCCESSFUL, nullptr},       // the word is case-sensitive
        {"\\AD00", STATUS_UNSUCCESSFUL, nullptr},      // one digit only
        {"\\AD", STATUS_UNSUCCESSFUL, nullptr},        // "D" is the digit, "\A" no word
        {"\\DIN", STATUS_INVALID_PARAMETER, nullptr},  // no digit
        {"\\ADg", STATUS_INVALID_PARAMETER, nullptr},
        {"\\0", STATUS_UNSUCCESSFUL, nullptr},
        {"\\AD0\\x", STATUS_INVALID_PARAMETER, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OpenStatus(c.name), c.status);
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
        Entries expected;
        if (c.created != nullptr) {
            const std::string where = c.created + 7;
            expected = {c.created, "CancelAll " + where, "Destroy " + where};
        }
        EXPECT_EQ(log_.Take(), expected);
        EXPECT_EQ(device_->OpenSubsystemCount(), 0u);
    }
}

TEST_F(DaDeviceTest, EachSubsystemOpensOnceUntilClosed) {
    auto ad0 = Open("\\AD0");
    Open("\\AD0", STATUS_UNSUCCESSFUL);
    auto ad1 = Open("\\AD1");  // another element
    auto da0 = Open("\\DA0");  // another type, same element
    auto device = Open("");
    auto device2 = Open("");  // device handles bind nothing and may be many
    EXPECT_EQ(device_->OpenSubsystemCount(), 3u);
    EXPECT_EQ(log_.Take(), (Entries{"Create 0:0", "Create 0:1", "Create 1:0"}));

    Close(ad0);
    EXPECT_EQ(log_.Take(), (Entries{"CancelAll 0:0", "Destroy 0:0"}));
    ad0 = Open("\\AD0");
    EXPECT_EQ(device_->OpenSubsystemCount(), 3u);
    for (auto file : {ad0, ad1, da0, device, device2})
        Close(file);
    EXPECT_EQ(device_->OpenSubsystemCount(), 0u);
}

TEST_F(DaDeviceTest, FailedConstructionFailsTheCreateAndLeavesNothing) {
    device_->constructionError = STATUS_INSUFFICIENT_RESOURCES;
    EXPECT_EQ(OpenStatus("\\AD0"), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(log_.Take(), (Entries{"Create 0:0", "Destroy 0:0"}));
    EXPECT_EQ(device_->OpenSubsystemCount(), 0u);
    // A failed create leaves the status reads alone.
    EXPECT_EQ(device_->Pipe().Outstanding(), 0);
    device_->constructionError = STATUS_SUCCESS;
    EXPECT_EQ(OpenStatus("\\AD0"), STATUS_SUCCESS);
}

TEST_F(DaDeviceTest, DeviceHandleAnswersSubsystemRequestsNotInUse) {
    auto file = Open("");
    hxda::DriverRequest record{};
    for (std::uint32_t code :
         {IOCTL_HXDA_START, IOCTL_HXDA_STOP, IOCTL_HXDA_GETSINGLEVALUE, IOCTL_HXDA_CONFIG}) {
        SCOPED_TRACE(code);
        record.status = 0;
        Outcome done;
        Control(file, code, &record, sizeof record, &record, sizeof record, &done);
        EXPECT_EQ(done.status, STATUS_SUCCESS);
        EXPECT_EQ(record.status, HXSUBSYSNOTINUSE);
    }
    // An event request completes at once with nothing written.
    record.status = 0;
    record.parameters.event.code = 0xEEEE;
    Outcome wait;
    Control(file, IOCTL_HXDA_WAITEVENT, &record, sizeof record, &record, sizeof record, &wait);
    EXPECT_EQ(wait.status, STATUS_SUCCESS);
    EXPECT_EQ(wait.information, 0u);
    EXPECT_EQ(record.parameters.event.code, 0xEEEEu);
    // Reads and writes have nothing to go to.
    char buffer[8];
    for (auto operation : {kernel::user_io::Operation::Read, kernel::user_io::Operation::Write}) {
        Outcome data;
        Submit(file, {operation, 0, buffer, sizeof buffer, buffer, sizeof buffer}, &data);
        ASSERT_TRUE(data.WaitCompleted());
        EXPECT_EQ(data.status, STATUS_NO_SUCH_DEVICE);
        EXPECT_EQ(data.information, 0u);
    }
    // Device-level requests are served on it.
    Outcome reg;
    Control(file, IOCTL_HXDA_READREG, &record, sizeof record, &record, sizeof record, &reg);
    EXPECT_EQ(record.status, StatusOf("ReadRegister"));
    EXPECT_EQ(log_.Take(), (Entries{"ReadRegister"}));
    Close(file);
}

}  // namespace
}  // namespace dalayer_test
