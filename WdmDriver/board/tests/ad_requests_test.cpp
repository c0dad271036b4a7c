// Requests the A/D file refuses: wrong sizes, a configuration whose list count exceeds what was
// sent or what the A/D takes, single values it cannot convert, operations it does not have. Each
// completes with a status, and none reaches the board.
#include <functional>

#include "ad_fixture.h"

namespace board_test {
namespace {

using AdRequestsTest = AdFixture;

constexpr std::uint32_t kNoRecordStatus = 0xFFFFFFFF;
constexpr std::uint32_t kListBytes = hxda::kListEntriesOffset;

using Fill = std::function<void(std::vector<std::uint8_t>&)>;

Fill ListCount(std::uint16_t count) {
    return [count](std::vector<std::uint8_t>& b) {
        auto& block = *reinterpret_cast<hxda::ConfigurationBlock*>(b.data());
        block.subsystemType = HXSS_AD;
        block.channelListSize = count;
    };
}

Fill Single(std::uint32_t channel, double gain, std::uint8_t autoRange = 0) {
    return [=](std::vector<std::uint8_t>& b) {
        auto& r = *reinterpret_cast<hxda::DriverRequest*>(b.data());
        r.parameters.singleValue.channel = channel;
        r.parameters.singleValue.gain = hxda::encodeFixedPoint(gain);
        r.parameters.singleValue.autoRange = autoRange;
    };
}

TEST_F(AdRequestsTest, EachMalformedRequestCompletesWithAStatus) {
    struct Case {
        const char* what;
        std::uint32_t code;
        std::uint32_t input;   // bytes sent
        std::uint32_t output;  // room for the answer
        Fill fill;
        std::int32_t status;         // of the request
        std::uint32_t recordStatus;  // in the record, for a request that succeeded
    };
    const Fill none = [](std::vector<std::uint8_t>&) {};
    const Case cases[] = {
        {"start of 335 bytes", IOCTL_HXDA_START, 335, 336, none, STATUS_BUFFER_TOO_SMALL,
         kNoRecordStatus},
        {"start answered into 319 bytes", IOCTL_HXDA_START, 336, 319, none, STATUS_BUFFER_TOO_SMALL,
         kNoRecordStatus},
        {"stop of 16 bytes", IOCTL_HXDA_STOP, 16, 336, none, STATUS_BUFFER_TOO_SMALL,
         kNoRecordStatus},
        {"configure of 319 bytes", IOCTL_HXDA_CONFIG, 319, 320, ListCount(0),
         STATUS_BUFFER_TOO_SMALL, kNoRecordStatus},
        {"configure of two entries in 320 bytes", IOCTL_HXDA_CONFIG, 320, 320, ListCount(2),
         STATUS_SUCCESS, HXINVALIDLISTSIZE},
        {"configure of 65535 entries in 320 bytes", IOCTL_HXDA_CONFIG, 320, 320, ListCount(65535),
         STATUS_SUCCESS, HXINVALIDLISTSIZE},
        {"configure of 1025 entries, all sent", IOCTL_HXDA_CONFIG, kListBytes + 24 * 1025,
         kListBytes + 24 * 1025, ListCount(1025), STATUS_SUCCESS, HXINVALIDLISTSIZE},
        {"single value on channel 16 of 16", IOCTL_HXDA_GETSINGLEVALUE, 336, 336, Single(16, 1),
         STATUS_SUCCESS, HXINVALIDCHANNEL},
        {"single value on channel 4 billion", IOCTL_HXDA_GETSINGLEVALUE, 336, 336,
         Single(0xFFFFFFFF, 1), STATUS_SUCCESS, HXINVALIDCHANNEL},
        {"single value at gain 3", IOCTL_HXDA_GETSINGLEVALUE, 336, 336, Single(0, 3),
         STATUS_SUCCESS, HXINVALIDGAIN},
        {"single value at gain 0", IOCTL_HXDA_GETSINGLEVALUE, 336, 336, Single(0, 0),
         STATUS_SUCCESS, HXINVALIDGAIN},
        {"single value auto-ranged", IOCTL_HXDA_GETSINGLEVALUE, 336, 336, Single(0, 1, 1),
         STATUS_SUCCESS, HXNOTSUPPORTED},
        {"several single values", IOCTL_HXDA_GETSINGLEVALUES, 336, 336, none, STATUS_SUCCESS,
         HXNOTSUPPORTED},
        {"single value written", IOCTL_HXDA_SETSINGLEVALUE, 336, 336, none, STATUS_SUCCESS,
         HXNOTSUPPORTED},
        {"pause", IOCTL_HXDA_PAUSE, 336, 336, none, STATUS_SUCCESS, HXNOTSUPPORTED},
        {"continue", IOCTL_HXDA_CONTINUE, 336, 336, none, STATUS_SUCCESS, HXNOTSUPPORTED},
        {"event count", IOCTL_HXDA_READEVENTS, 336, 336, none, STATUS_SUCCESS, HXNOTSUPPORTED},
        {"unknown code", IOCTL_HXDA_START + 0x400, 336, 336, none, STATUS_INVALID_PARAMETER,
         kNoRecordStatus},
    };
    UserFile ad(kAdPath);
    Block singleValues({{0, 1}}, 801);
    ASSERT_EQ(Configure(ad, singleValues), HXNOERROR);
    for (const Case& c : cases) {
        std::vector<std::uint8_t> buffer(std::max(c.input, c.output) + 16, 0);
        auto& record = *reinterpret_cast<hxda::DriverRequest*>(buffer.data());
        record.subsystemType = HXSS_AD;
        record.status = kNoRecordStatus;
        c.fill(buffer);
        kernel::user_io::Request request;
        request.operation = kernel::user_io::Operation::DeviceControl;
        request.controlCode = c.code;
        request.input = buffer.data();
        request.inputLength = c.input;
        request.output = buffer.data();
        request.outputLength = c.output;
        p_.board->ClearLog();
        const Answer a = UserFile::Wait(ad.Send(request), kBound);
        EXPECT_EQ(a.status, c.status) << c.what;
        EXPECT_EQ(record.status, c.recordStatus) << c.what;
        EXPECT_TRUE(p_.board->Commands().empty()) << c.what;
    }
    // Data written to the A/D file.
    std::vector<std::uint8_t> data(64);
    kernel::user_io::Request write;
    write.operation = kernel::user_io::Operation::Write;
    write.input = data.data();
    write.inputLength = 64;
    EXPECT_EQ(UserFile::Wait(ad.Send(write), kBound).status, STATUS_INVALID_DEVICE_REQUEST);
}

}  // namespace
}  // namespace board_test
