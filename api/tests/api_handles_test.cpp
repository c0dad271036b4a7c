// Handle tokens: validation of subsystem and device handles, release, and the table limits.
#include "api_test_support.h"
#include "core/engine.h"

namespace hxda::test {
namespace {

using Handles = ApiFixture;

TEST_F(Handles, RecordHoldsItsOwnToken) {
    const HDASS hDass = open();
    const auto record = findSubsystem(hDass);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->self, hDass);
    EXPECT_EQ(findDevice(hDev)->self, hDev);
}

TEST_F(Handles, InvalidSubsystemHandlesGive40WithoutEffect) {
    const HDASS live = open();
    const HDASS released = open();
    ASSERT_EQ(hxDaReleaseDASS(released), HXNOERROR);
    log->requests.clear();
    // Null, the device's token, a live token with its generation changed, a released token, an
    // address-like value.
    for (const HDASS bad :
         {HDASS{0}, HDASS{hDev}, HDASS{live ^ 0x1000u}, released, HDASS{0x7ffde000u}}) {
        SCOPED_TRACE(bad);
        UINT value = 12345;
        EXPECT_EQ(hxDaConfig(bad), HXINVALIDSSHANDLE);
        EXPECT_EQ(hxDaGetDataFlow(bad, &value), HXINVALIDSSHANDLE);
        EXPECT_EQ(value, 12345u);
        EXPECT_EQ(hxDaAbort(bad), HXINVALIDSSHANDLE);
        EXPECT_EQ(hxDaFlushBuffers(bad), HXINVALIDSSHANDLE);
        HBUF buffer = 77;
        EXPECT_EQ(hxDaGetBuffer(bad, &buffer), HXINVALIDSSHANDLE);
        EXPECT_EQ(buffer, 77u);
        EXPECT_EQ(hxDaReleaseDASS(bad), HXINVALIDSSHANDLE);
    }
    EXPECT_TRUE(log->requests.empty());
    EXPECT_EQ(hxDaConfig(live), HXNOERROR);
}

TEST_F(Handles, ReusedSlotGetsANewToken) {
    const HDASS first = open();
    ASSERT_EQ(hxDaReleaseDASS(first), HXNOERROR);
    const HDASS second = open();
    EXPECT_NE(first, second);
    EXPECT_EQ(hxDaConfig(first), HXINVALIDSSHANDLE);
    EXPECT_EQ(hxDaConfig(second), HXNOERROR);
}

TEST_F(Handles, InvalidDeviceHandlesGive39) {
    const HDASS hDass = open();
    UINT value = 5;
    for (const HDEV bad : {HDEV{0}, HDEV{hDass}, HDEV{hDev + 1}}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(hxDiagReadReg(bad, 1, &value, 4), HXINVALIDDEVHANDLE);
        EXPECT_EQ(hxDiagWriteCalPot(bad, 1, 0, 0, 9), HXINVALIDDEVHANDLE);
        EXPECT_EQ(hxDaTerminate(bad), HXINVALIDDEVHANDLE);
    }
    EXPECT_EQ(value, 5u);
    EXPECT_TRUE(deviceLog->requests.empty());
}

TEST_F(Handles, TerminateWaitsForItsSubsystems) {
    const HDASS hDass = open();
    EXPECT_EQ(hxDaTerminate(hDev), HXSUBSYSINUSE);
    ASSERT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(hDev), HXINVALIDDEVHANDLE);
}

TEST_F(Handles, ReleaseFreesTheListedBuffers) {
    const HDASS hDass = open();
    HBUF buffer = 0;
    ASSERT_EQ(hxDmAllocBuffer(0, 8, &buffer), 0u);
    ASSERT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
    ASSERT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
    UINT bytes = 0;
    EXPECT_EQ(hxDmGetBufferSize(buffer, &bytes), static_cast<UINT>(HXINVALIDHBUF));
}

TEST_F(Handles, FullTablesAreRefused) {
    // One device is open already.
    std::vector<HDEV> devices;
    for (int i = 1; i < 20; ++i) {
        HDEV device = 0;
        ASSERT_EQ(testing::openTestDevice(nullptr, &device), HXNOERROR);
        devices.push_back(device);
    }
    HDEV extra = 0;
    EXPECT_EQ(testing::openTestDevice(nullptr, &extra), HXDRIVERINITFAILED);
    EXPECT_EQ(extra, 0u);

    for (int i = 0; i < 200; ++i)
        ASSERT_NE(open(HXSS_DIN, false), 0u) << i;
    SubsystemParts parts;
    parts.type = HXSS_AD;
    parts.personality = tables.personality();
    HDASS refused = 0;
    EXPECT_EQ(testing::openTestSubsystem(hDev, std::move(parts), &refused), HXCANTALLOCDASS);
    EXPECT_EQ(refused, 0u);
}

}  // namespace
}  // namespace hxda::test
