// Round trips through the platform's file and device-control calls onto a recording driver on the
// kernel stand-in: what the driver receives, byte for byte, and how the library reads its answers.
#include <gtest/gtest.h>

#include <cstring>

#include "api_test_support.h"
#include "kernel/testing.h"
#include "recording_driver.h"

namespace hxda::test {
namespace {

template <typename T>
T wordAt(const recorder::Request& request, std::size_t offset) {
    T value{};
    std::memcpy(&value, request.input.data() + offset, sizeof value);
    return value;
}

class DriverRoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::resetHandleTables();
        ASSERT_EQ(recorder::Load(), 0);
        ASSERT_EQ(testing::openTestDeviceAt(recorder::kDevicePath, &hDev), HXNOERROR);
    }
    void TearDown() override {
        testing::resetHandleTables();
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
        EXPECT_EQ(kernel::testing::OpenFileObjects(), 0u);
        recorder::Unload();
    }
    HDASS open(std::uint32_t type, std::uint32_t element, HXSTATUS expected = HXNOERROR) {
        SubsystemParts parts;
        parts.type = type;
        parts.element = element;
        parts.personality = tables.personality();
        auto copyThread = std::make_unique<LoggingCopyThread>(copyLog);
        LoggingCopyThread* logging = copyThread.get();
        parts.copyThread = std::move(copyThread);
        HDASS hDass = 0;
        EXPECT_EQ(testing::openTestSubsystemAt(hDev, std::move(parts), &hDass), expected);
        if (hDass != 0)
            logging->block = testing::configurationOf(hDass);
        return hDass;
    }
    const recorder::Request* last(std::uint32_t code) {
        requests = recorder::Requests();
        for (auto it = requests.rbegin(); it != requests.rend(); ++it)
            if (it->code == code)
                return &*it;
        return nullptr;
    }

    BoardTables tables;
    std::shared_ptr<DriverLog> copyLog = std::make_shared<DriverLog>();
    std::vector<recorder::Request> requests;
    HDEV hDev = 0;
};

TEST_F(DriverRoundTrip, SubsystemFilesAreNamedAndExclusive) {
    const HDASS input = open(HXSS_AD, 0x1a);
    ASSERT_NE(input, 0u);
    open(HXSS_AD, 0x1a, HXSUBSYSINUSE);
    ASSERT_EQ(hxDaConfig(input), HXNOERROR);
    EXPECT_EQ(last(IOCTL_HXDA_CONFIG)->file, u"\\AD1a");
    const HDASS counter = open(HXSS_CT, 3);
    ASSERT_EQ(hxDaReset(counter), HXNOERROR);
    EXPECT_EQ(last(IOCTL_HXDA_RESET)->file, u"\\CT3");
    ASSERT_EQ(hxDaReleaseDASS(input), HXNOERROR);
    EXPECT_NE(open(HXSS_AD, 0x1a), 0u);
}

TEST_F(DriverRoundTrip, ConfigurationBlockAndDriverWriteBack) {
    const HDASS hDass = open(HXSS_AD, 1);
    ASSERT_EQ(hxDaSetChannelListSize(hDass, 3), HXNOERROR);
    ASSERT_EQ(hxDaSetChannelListEntry(hDass, 2, 5), HXNOERROR);
    // The driver answers the clock it could make: 999 Hz.
    recorder::SetAnswer(IOCTL_HXDA_CONFIG, {0, {{56, 0}, {60, 999}}, 0});
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    const recorder::Request* config = last(IOCTL_HXDA_CONFIG);
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(config->input.size(), 320u + 24u * 4u);
    EXPECT_EQ(config->outputBytes, 320u + 24u * 4u);
    EXPECT_EQ(wordAt<std::uint32_t>(*config, 0), HXSS_AD);
    EXPECT_EQ(wordAt<std::uint32_t>(*config, 4), 1u);
    EXPECT_EQ(wordAt<std::int32_t>(*config, 8), HXSTATE_READY);
    EXPECT_EQ(wordAt<std::uint16_t>(*config, 20), 3);
    EXPECT_EQ(wordAt<std::uint16_t>(*config, 296 + 2 * 24), 5);
    EXPECT_EQ(wordAt<std::int32_t>(*config, 296 + 2 * 24 + 12), 1);  // gain 1.0
    EXPECT_EQ(decodeFixedPoint(testing::configurationOf(hDass)->clockFrequency), 999.0);

    recorder::SetAnswer(IOCTL_HXDA_CONFIG, {45, {}, 0});
    EXPECT_EQ(hxDaConfig(hDass), 45u);
    EXPECT_EQ(testing::configurationOf(hDass)->state, HXSTATE_NEEDSCONFIG);
}

TEST_F(DriverRoundTrip, StartRefusedByTheDriverAbortsTheQueuedReads) {
    const HDASS hDass = open(HXSS_AD, 0);
    HBUF buffer = 0;
    ASSERT_EQ(hxDmAllocBuffer(0, 16, &buffer), 0u);
    ASSERT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    recorder::SetAnswer(IOCTL_HXDA_START, {44, {}, 0});
    EXPECT_EQ(hxDaStart(hDass), 44u);
    const recorder::Request* start = last(IOCTL_HXDA_START);
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->input.size(), 336u);
    EXPECT_EQ(wordAt<std::int32_t>(*start, 8), HXSTATE_RUNNING);
    EXPECT_EQ(copyLog->codes(), (std::vector<std::uint32_t>{kCopyThreadCommand | 0x4068,
                                                            kCopyThreadCommand | 0x406D}));
    EXPECT_EQ(testing::configurationOf(hDass)->state, HXSTATE_READY);
}

TEST_F(DriverRoundTrip, SingleValueAnswer) {
    const HDASS hDass = open(HXSS_AD, 0);
    ASSERT_EQ(hxDaSetDataFlow(hDass, HXDF_SINGLEVALUE), HXNOERROR);
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    recorder::SetAnswer(IOCTL_HXDA_GETSINGLEVALUE, {0, {{20, 0x7FFF}}, 0});
    UINT value = 0;
    ASSERT_EQ(hxDaGetSingleValue(hDass, &value, 3, 5.0), HXNOERROR);
    EXPECT_EQ(value, 0x7FFFu);
    const recorder::Request* get = last(IOCTL_HXDA_GETSINGLEVALUE);
    EXPECT_EQ(get->input.size(), 336u);
    EXPECT_EQ(wordAt<std::uint32_t>(*get, 16), 3u);
    EXPECT_EQ(wordAt<std::int32_t>(*get, 28), 4);  // 5 snaps to the nearer gain 4

    recorder::SetAnswer(IOCTL_HXDA_GETSINGLEVALUE, {0, {}, recorder::InvalidParameter()});
    EXPECT_EQ(hxDaGetSingleValue(hDass, &value, 3, 1.0), 87u);
    recorder::SetAnswer(IOCTL_HXDA_GETSINGLEVALUE, {7, {{20, 1}}, 0});
    value = 55;
    EXPECT_EQ(hxDaGetSingleValue(hDass, &value, 3, 1.0), HXINVALIDCHANNEL);
    EXPECT_EQ(value, 55u);
}

TEST_F(DriverRoundTrip, DeviceRequestsTravelOnTheBoardDevice) {
    recorder::SetAnswer(IOCTL_HXDA_READCALPOT, {0, {{28, 0x42}}, 0});
    UINT value = 0;
    ASSERT_EQ(hxDiagReadCalPot(hDev, 2, 1, 0, &value), HXNOERROR);
    EXPECT_EQ(value, 0x42u);
    const recorder::Request* read = last(IOCTL_HXDA_READCALPOT);
    EXPECT_EQ(read->file, u"");
    EXPECT_EQ(wordAt<std::uint32_t>(*read, 16), 2u);
    EXPECT_EQ(wordAt<std::uint32_t>(*read, 20), 1u);
    recorder::SetAnswer(IOCTL_HXDA_WRITEREG, {0, {}, recorder::InvalidParameter()});
    EXPECT_EQ(hxDiagWriteReg(hDev, 1, 2, 4), HXGENERALFAILURE);
}

}  // namespace
}  // namespace hxda::test
