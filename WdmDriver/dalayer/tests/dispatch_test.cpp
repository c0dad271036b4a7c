// Device-control dispatch: each request code reaches its operation and answers its length; every
// malformed request completes with a failure status or a status in the record.
#include <cstring>
#include <vector>

#include "da_test_device.h"

namespace dalayer_test {
namespace {

using Entries = std::vector<std::string>;

std::vector<std::uint8_t> RecordBytes(std::size_t n) {
    return std::vector<std::uint8_t>(n, 0);
}

std::uint32_t StatusIn(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t status;
    std::memcpy(&status, bytes.data() + 12, sizeof status);
    return status;
}

TEST_F(DaDeviceTest, EachCodeReachesItsOperationWithItsAnswerLength) {
    auto ad = Open("\\AD0");
    log_.Take();
    struct Case {
        std::uint32_t code;
        const char* entry;     // the log entry of the operation
        std::uint32_t status;  // in the record
        std::uint64_t information;
    };
    const Case cases[] = {
        {IOCTL_HXDA_READEVENTS, "ReadEvents 0:0", StatusOf("ReadEvents"), 336},
        {IOCTL_HXDA_SETSINGLEVALUE, "SetSingleValue 0:0", StatusOf("SetSingleValue"), 336},
        {IOCTL_HXDA_GETSINGLEVALUE, "GetSingleValue 0:0", StatusOf("GetSingleValue"), 336},
        {IOCTL_HXDA_CONFIG, "Configure 0:0 entries 0 sum 0", StatusOf("Configure"), 320},
        {IOCTL_HXDA_START, "Start 0:0", StatusOf("Start"), 320},
        {IOCTL_HXDA_STOP, "Stop 0:0", StatusOf("Stop"), 336},
        {IOCTL_HXDA_RESET, "Reset 0:0", StatusOf("Reset"), 336},
        {IOCTL_HXDA_ABORT, "Abort 0:0", StatusOf("Abort"), 336},
        {IOCTL_HXDA_PRESTART, "PreStart 0:0", StatusOf("PreStart"), 336},
        {IOCTL_HXDA_SIMULSTART, "SimultaneousStart 0:0", StatusOf("SimultaneousStart"), 336},
        // Operations this subsystem leaves to the base: not supported.
        {IOCTL_HXDA_PAUSE, nullptr, HXNOTSUPPORTED, 336},
        {IOCTL_HXDA_CONTINUE, nullptr, HXNOTSUPPORTED, 336},
        {IOCTL_HXDA_GETSINGLEVALUES, nullptr, HXNOTSUPPORTED, 336},
        // Device-level requests go to the board device, on a subsystem file too.
        {IOCTL_HXDA_WRITEREG, "WriteRegister", StatusOf("WriteRegister"), 336},
        {IOCTL_HXDA_READREG, "ReadRegister", StatusOf("ReadRegister"), 336},
        {IOCTL_HXDA_SETHWINFO, "SetHardwareInfo", StatusOf("SetHardwareInfo"), 336},
        {IOCTL_HXDA_GETHWINFO, "GetHardwareInfo", StatusOf("GetHardwareInfo"), 336},
        {IOCTL_HXDA_WRITECALPOT, "WriteCalPot", StatusOf("WriteCalPot"), 336},
        {IOCTL_HXDA_READCALPOT, "ReadCalPot", StatusOf("ReadCalPot"), 336},
        {IOCTL_HXDA_RESERVED, "ReservedRequest", 0xDDDDDDDD, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry != nullptr ? c.entry : std::to_string(c.code));
        auto bytes = RecordBytes(336);
        std::memset(bytes.data() + 12, 0xDD, 4);
        auto out = bytes;
        Outcome done;
        Control(ad, c.code, bytes.data(), 336, out.data(), 336, &done);
        EXPECT_EQ(done.status, STATUS_SUCCESS);
        EXPECT_EQ(done.information, c.information);
        if (c.information > 0) {
            EXPECT_EQ(StatusIn(out), c.status);
        }
        EXPECT_EQ(log_.Take(), c.entry != nullptr ? Entries{c.entry} : Entries{});
    }
    Close(ad);
}

TEST_F(DaDeviceTest, MalformedRequestsCompleteWithAStatus) {
    auto ad = Open("\\AD0");
    auto din = Open("\\DIN0");
    log_.Take();
    const std::uint32_t kUnknownCodes[] = {0,        0x222400, 0x222430, 0x222450,
                                           0x222454, 0x22245C, 0x222470, 0xFFFFFFFF};
    struct Case {
        const char* what;
        std::uint32_t code;
        std::uint32_t input;
        std::uint32_t output;
        std::int32_t status;
    };
    std::vector<Case> cases = {
        {"no input", IOCTL_HXDA_START, 0, 336, STATUS_BUFFER_TOO_SMALL},
        {"335 bytes", IOCTL_HXDA_START, 335, 336, STATUS_BUFFER_TOO_SMALL},
        {"configure of 319", IOCTL_HXDA_CONFIG, 319, 336, STATUS_BUFFER_TOO_SMALL},
        {"event request of 335", IOCTL_HXDA_WAITEVENT, 335, 336, STATUS_BUFFER_TOO_SMALL},
        {"device request of 16", IOCTL_HXDA_READREG, 16, 336, STATUS_BUFFER_TOO_SMALL},
        {"reserved of 100", IOCTL_HXDA_RESERVED, 100, 0, STATUS_BUFFER_TOO_SMALL},
        {"flush of 335", IOCTL_HXDA_FLUSHINPROCESS, 335, 16, STATUS_BUFFER_TOO_SMALL},
        // An answer longer than the caller's output buffer.
        {"output of 335", IOCTL_HXDA_GETSINGLEVALUE, 336, 335, STATUS_BUFFER_TOO_SMALL},
        {"no output", IOCTL_HXDA_READREG, 336, 0, STATUS_BUFFER_TOO_SMALL},
        {"start output of 319", IOCTL_HXDA_START, 336, 319, STATUS_BUFFER_TOO_SMALL},
        {"event output of 16", IOCTL_HXDA_WAITEVENT, 336, 16, STATUS_BUFFER_TOO_SMALL},
        // Long enough is fine.
        {"input of 4096", IOCTL_HXDA_START, 4096, 336, STATUS_SUCCESS},
        {"configure of 320", IOCTL_HXDA_CONFIG, 320, 320, STATUS_SUCCESS},
    };
    for (std::uint32_t code : kUnknownCodes)
        cases.push_back({"unknown code", code, 336, 336, STATUS_INVALID_PARAMETER});
    for (const Case& c : cases) {
        for (auto file : {ad, din}) {
            SCOPED_TRACE(std::string(c.what) + " code " + std::to_string(c.code));
            auto in = RecordBytes(std::max<std::uint32_t>(c.input, 1));
            auto out = RecordBytes(std::max<std::uint32_t>(c.output, 1));
            Outcome done;
            Control(file, c.code, in.data(), c.input, out.data(), c.output, &done);
            EXPECT_EQ(done.status, c.status);
            EXPECT_EQ(done.completions, 1);
            const auto entries = log_.Take();
            if (c.status != STATUS_SUCCESS) {
                EXPECT_EQ(done.information, 0u);
                EXPECT_EQ(entries, Entries{});  // no operation ran
            } else {
                EXPECT_EQ(entries.size(), 1u);
            }
        }
    }
    Close(ad);
    Close(din);
}

// The configure request's list must lie inside what was sent, and fit the subsystem's list.
TEST_F(DaDeviceTest, ConfigureListMustBeInsideTheInputAndFitTheSubsystem) {
    auto ad = Open("\\AD0");
    auto da = Open("\\DA0");
    auto din = Open("\\DIN0");
    log_.Take();
    struct Case {
        const char* what;
        kernel::user_io::FileId file;
        std::uint32_t count;  // at offset 20
        std::uint32_t input;
        std::uint32_t status;
        const char* entry;
    };
    const Case cases[] = {
        {"one entry in 320", ad, 1, 320, StatusOf("Configure"), "Configure 0:0 entries 1 sum 1"},
        {"two entries in 320", ad, 2, 320, HXINVALIDLISTSIZE, nullptr},
        {"65535 entries in 320", ad, 65535, 320, HXINVALIDLISTSIZE, nullptr},
        {"three entries in 367", ad, 3, 367, HXINVALIDLISTSIZE, nullptr},
        {"three entries in 368", ad, 3, 368, StatusOf("Configure"),
         "Configure 0:0 entries 3 sum 6"},
        {"1024 entries", ad, 1024, 296 + 24 * 1024, StatusOf("Configure"),
         "Configure 0:0 entries 1024 sum 524800"},
        {"1025 entries", ad, 1025, 296 + 24 * 1025, HXINVALIDLISTSIZE, nullptr},
        {"no entries", ad, 0, 320, StatusOf("Configure"), "Configure 0:0 entries 0 sum 0"},
        {"five D/A entries", da, 5, 296 + 24 * 5, StatusOf("Configure"),
         "Configure 1:0 entries 5 sum 15"},
        {"six D/A entries", da, 6, 296 + 24 * 6, HXINVALIDLISTSIZE, nullptr},
        {"six D/A entries in 320", da, 6, 320, HXINVALIDLISTSIZE, nullptr},
        // A subsystem that reads no list takes any count.
        {"DIN with 65535", din, 65535, 320, StatusOf("Configure"), "Configure 2:0 entries 0 sum 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> block(std::max<std::uint32_t>(c.input, 320), 0);
        const std::uint16_t count = static_cast<std::uint16_t>(c.count);
        std::memcpy(block.data() + 20, &count, 2);
        // Entry i names channel i + 1, as far as the buffer goes.
        for (std::uint32_t i = 0; 296 + 24 * i + 2 <= block.size(); ++i) {
            const std::uint16_t channel = static_cast<std::uint16_t>(i + 1);
            std::memcpy(block.data() + 296 + 24 * i, &channel, 2);
        }
        auto out = block;
        Outcome done;
        Control(c.file, IOCTL_HXDA_CONFIG, block.data(), c.input, out.data(),
                static_cast<std::uint32_t>(out.size()), &done);
        EXPECT_EQ(done.status, STATUS_SUCCESS);
        EXPECT_EQ(done.information, 320u);
        EXPECT_EQ(StatusIn(out), c.status);
        EXPECT_EQ(log_.Take(), c.entry != nullptr ? Entries{c.entry} : Entries{});
    }
    for (auto file : {ad, da, din})
        Close(file);
}

TEST_F(DaDeviceTest, FlushAnswersTheBytesDeliveredNeverMoreThanTheBuffer) {
    auto ad = Open("\\AD0");
    for (std::uint32_t room : {0u, 4u, 10u, 64u}) {
        SCOPED_TRACE(room);
        auto record = RecordBytes(336);
        std::vector<std::uint8_t> out(64, 0);
        Outcome done;
        Control(ad, IOCTL_HXDA_FLUSHINPROCESS, record.data(), 336, out.data(), room, &done);
        EXPECT_EQ(done.status, STATUS_SUCCESS);
        EXPECT_EQ(done.information, std::min(room, 10u));
        for (std::uint32_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], i < std::min(room, 10u) ? 0xA5 : 0) << i;
    }
    Close(ad);
}

TEST_F(DaDeviceTest, APendedStopCompletesWhenTheSubsystemSaysSo) {
    device_->pendStops = true;
    auto ad = Open("\\AD0");
    hxda::DriverRequest record{};
    Outcome stop;
    Submit(ad,
           {kernel::user_io::Operation::DeviceControl, IOCTL_HXDA_STOP, &record, sizeof record,
            &record, sizeof record},
           &stop);
    EXPECT_EQ(stop.submitted, STATUS_PENDING);
    EXPECT_EQ(stop.completions, 0);
    EXPECT_EQ(device_->BusyCount(), 2);  // the request is still inside the driver
    PIRP irp = device_->Find(HXSS_AD, 0)->TakePendedStop();
    ASSERT_NE(irp, nullptr);
    device_->CompletePendedRequest(irp, HXNOERROR);
    ASSERT_TRUE(stop.WaitCompleted());
    EXPECT_EQ(stop.status, STATUS_SUCCESS);
    EXPECT_EQ(stop.information, 336u);
    EXPECT_EQ(record.status, HXNOERROR);
    EXPECT_EQ(device_->BusyCount(), 1);
    Close(ad);
}

}  // namespace
}  // namespace dalayer_test
