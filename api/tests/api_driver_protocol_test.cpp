// Requests and configuration blocks as the recording driver receives them, and what the library
// makes of the driver's answers.
#include "api_test_support.h"

namespace hxda::test {
namespace {

using DriverProtocol = ApiFixture;

TEST_F(DriverProtocol, ConfigurationBlockCarriesTheDefaults) {
    const HDASS hDass = open();
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    const RecordedRequest* config = log->last(IOCTL_HXDA_CONFIG);
    ASSERT_NE(config, nullptr);
    // 320 bytes and one 24-byte entry per list entry the subsystem can hold.
    ASSERT_EQ(config->input.size(), 320u + 24u * 4u);
    struct Field {
        std::size_t offset;
        std::uint32_t width;
        std::uint32_t value;
    };
    const Field fields[] = {
        {0, 4, HXSS_AD}, {4, 4, 2},        {8, 4, HXSTATE_READY},
        {16, 1, 1},      {17, 1, 0},       {18, 1, 0},
        {19, 1, 0},      {20, 2, 1},       {22, 2, 16},
        {24, 2, 101},    {26, 2, 201},     {28, 2, 16},
        {30, 2, 1000},   {32, 2, 800},     {34, 2, 400},
        {36, 2, 0},      {40, 4, 1000000}, {44, 4, 2},
        {56, 4, 0},      {60, 4, 1000},    {64, 2, 300},
        {66, 2, 1301},   {68, 2, 0},       {70, 2, 300},
        {72, 2, 1},      {74, 2, 300},     {80, 4, 0},
        {84, 4, 10},     {88, 4, 0},       {92, 4, ~9u},
        {104, 4, 0},     {108, 4, 10},     {242, 2, 1},
        {245, 1, 0},     {246, 2, 1400},   {248, 2, 500},
        {250, 2, 601},   {252, 2, 50},     {254, 2, 700},
        {258, 2, 901},   {260, 4, 0},      {272, 4, 0},
        {276, 1, 0},     {284, 2, 750},    {286, 2, 751},
        {296, 2, 0},     {304, 4, 0},      {308, 4, 1},
        {312, 1, 0},     {314, 2, 0},      {296 + 3 * 24 + 12, 4, 1},
    };
    for (const Field& f : fields) {
        SCOPED_TRACE(f.offset);
        std::uint32_t value = 0;
        std::memcpy(&value, config->input.data() + f.offset, f.width);
        EXPECT_EQ(value, f.value);
    }
    EXPECT_EQ(config->at<float>(48), 1000.0f);
    EXPECT_EQ(config->at<float>(76), 10.0f);
    EXPECT_EQ(config->at<double>(264), 0.0);
}

TEST_F(DriverProtocol, MissingTablesGiveZeroDefaults) {
    PersonalityRecord bare;  // a digital port's extension sets no table at all
    const HDASS hDass = open(HXSS_DIN, false, &bare);
    const ConfigurationBlock& defaults = block(hDass);
    EXPECT_EQ(defaults.resolution, 0);
    EXPECT_EQ(defaults.baseClock, 0u);
    EXPECT_EQ(decodeFixedPoint(defaults.rangeMinimum), 0.0);
    EXPECT_EQ(decodeFixedPoint(defaults.rangeMaximum), 0.0);
    EXPECT_EQ(defaults.dataFlow, HXDF_SINGLEVALUE);
    EXPECT_EQ(defaults.state, HXSTATE_NEEDSCONFIG);
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    EXPECT_EQ(log->last(IOCTL_HXDA_CONFIG)->input.size(), 320u);
}

TEST_F(DriverProtocol, DriverWritesBackIntoTheBlock) {
    const HDASS hDass = open();
    log->reply = [](std::uint32_t code, std::uint8_t* out, std::uint32_t) {
        if (code == IOCTL_HXDA_CONFIG) {
            const FixedPoint actual = encodeFixedPoint(999.5);
            std::memcpy(out + 56, &actual, sizeof actual);
        }
    };
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    EXPECT_EQ(decodeFixedPoint(block(hDass).clockFrequency),
              decodeFixedPoint(encodeFixedPoint(999.5)));
}

TEST_F(DriverProtocol, SingleValueRequests) {
    const HDASS hDass = open();
    block(hDass).dataFlow = HXDF_SINGLEVALUE;
    block(hDass).channelType = HXCHANTYPE_SINGLEENDED;
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    // 3 is as near to 2 as to 4: the first wins.
    ASSERT_EQ(hxDaPutSingleValue(hDass, 0x1234, 5, 3.0), HXNOERROR);
    const RecordedRequest* put = log->last(IOCTL_HXDA_SETSINGLEVALUE);
    ASSERT_NE(put, nullptr);
    ASSERT_EQ(put->input.size(), 336u);
    EXPECT_EQ(put->at<std::uint32_t>(0), HXSS_AD);
    EXPECT_EQ(put->at<std::uint32_t>(4), 2u);
    EXPECT_EQ(put->at<std::uint32_t>(16), 5u);
    EXPECT_EQ(put->at<std::uint32_t>(20), 0x1234u);
    EXPECT_EQ(put->at<std::uint32_t>(24), 0u);
    EXPECT_EQ(put->at<std::int32_t>(28), 2);

    log->reply = [](std::uint32_t code, std::uint8_t* out, std::uint32_t) {
        if (code == IOCTL_HXDA_GETSINGLEVALUE) {
            const std::uint32_t value = 0x4000;
            std::memcpy(out + 20, &value, sizeof value);
        }
    };
    UINT value = 0;
    double gain = 100.0;
    double volts = 0;
    ASSERT_EQ(hxDaGetSingleValueEx(hDass, 7, 0, &gain, &value, &volts), HXNOERROR);
    const RecordedRequest* get = log->last(IOCTL_HXDA_GETSINGLEVALUE);
    EXPECT_EQ(get->at<std::uint32_t>(16), 7u);
    EXPECT_EQ(get->at<std::int32_t>(28), 8);
    EXPECT_EQ(get->at<std::uint8_t>(32), 0);
    EXPECT_EQ(value, 0x4000u);
    EXPECT_EQ(gain, 8.0);
    // Two's complement, 16 bits, +-10 V at gain 8: 0x4000 is a quarter of the span above zero.
    EXPECT_DOUBLE_EQ(volts, 5.0 / 8.0);

    // Auto-ranging needs a capability that the extensions' tables never provide.
    EXPECT_EQ(hxDaGetSingleValueEx(hDass, 7, 1, &gain, &value, &volts), HXNOTSUPPORTED);
}

TEST_F(DriverProtocol, SeveralValuesAreCopiedOnlyOnSuccessAndBounded) {
    tables.set(HXSSC_NUMCHANNELS, 100);
    const HDASS hDass = open();
    block(hDass).dataFlow = HXDF_SINGLEVALUE;
    block(hDass).state = HXSTATE_SINGLEVALUE;
    log->reply = [](std::uint32_t code, std::uint8_t* out, std::uint32_t bytes) {
        for (std::uint32_t offset = 24, i = 1; offset + 4 <= bytes; offset += 4, ++i)
            std::memcpy(out + offset, &i, 4);
    };
    std::vector<UINT> values(100, 0xEEEEEEEEu);
    log->statusFor[IOCTL_HXDA_GETSINGLEVALUES] = 91;
    EXPECT_EQ(hxDaGetSingleValues(hDass, values.data(), 1.0), 91u);
    EXPECT_EQ(values[0], 0xEEEEEEEEu);

    log->statusFor.clear();
    ASSERT_EQ(hxDaGetSingleValues(hDass, values.data(), 1.0), HXNOERROR);
    EXPECT_EQ(values[0], 1u);
    EXPECT_EQ(values[77], 78u);
    EXPECT_EQ(values[78], 0xEEEEEEEEu);
}

TEST_F(DriverProtocol, UndeliveredRequestsKeepTheSystemErrorButNeverSucceed) {
    const HDASS hDass = open();
    block(hDass).state = HXSTATE_RUNNING;
    log->deliver = false;
    log->lastError = 87;
    EXPECT_EQ(hxDaPause(hDass), 87u);
    log->lastError = 0;
    EXPECT_EQ(hxDaPause(hDass), HXGENERALFAILURE);
    EXPECT_EQ(block(hDass).state, HXSTATE_RUNNING);
    deviceLog->deliver = false;
    deviceLog->lastError = 87;
    EXPECT_EQ(hxDiagWriteReg(hDev, 1, 2, 4), HXGENERALFAILURE);
}

TEST_F(DriverProtocol, RegisterRequestsOnTheDevice) {
    ASSERT_EQ(hxDiagWriteReg(hDev, 0x10, 0xBEEF, 2), HXNOERROR);
    const RecordedRequest* write = deviceLog->last(IOCTL_HXDA_WRITEREG);
    ASSERT_NE(write, nullptr);
    EXPECT_EQ(write->input.size(), 336u);
    EXPECT_EQ(write->at<std::uint32_t>(16), 0x10u);
    EXPECT_EQ(write->at<std::uint32_t>(20), 0xBEEFu);
    EXPECT_EQ(write->at<std::uint32_t>(24), 2u);

    deviceLog->reply = [](std::uint32_t code, std::uint8_t* out, std::uint32_t) {
        const std::uint32_t value = 0xCAFE;
        std::memcpy(out + (code == IOCTL_HXDA_READREG ? 20 : 28), &value, 4);
    };
    UINT value = 0;
    ASSERT_EQ(hxDiagReadReg(hDev, 0x11, &value, 4), HXNOERROR);
    EXPECT_EQ(deviceLog->last(IOCTL_HXDA_READREG)->at<std::uint32_t>(16), 0x11u);
    EXPECT_EQ(value, 0xCAFEu);
}

TEST_F(DriverProtocol, CalibrationPotsReportTheDriversStatus) {
    deviceLog->statusFor[IOCTL_HXDA_WRITECALPOT] = 6;
    EXPECT_EQ(hxDiagWriteCalPot(hDev, 3, 1, 2, 200), 6u);
    const RecordedRequest* write = deviceLog->last(IOCTL_HXDA_WRITECALPOT);
    EXPECT_EQ(write->at<std::uint32_t>(16), 3u);
    EXPECT_EQ(write->at<std::uint32_t>(20), 1u);
    EXPECT_EQ(write->at<std::uint32_t>(24), 2u);
    EXPECT_EQ(write->at<std::uint32_t>(28), 200u);

    deviceLog->reply = [](std::uint32_t, std::uint8_t* out, std::uint32_t) {
        const std::uint32_t value = 123;
        std::memcpy(out + 28, &value, 4);
    };
    UINT value = 9;
    deviceLog->statusFor[IOCTL_HXDA_READCALPOT] = 6;
    EXPECT_EQ(hxDiagReadCalPot(hDev, 3, 0, 0, &value), 6u);
    EXPECT_EQ(value, 9u);
    deviceLog->statusFor.clear();
    EXPECT_EQ(hxDiagReadCalPot(hDev, 1, 0, 0, &value), HXNOERROR);
    EXPECT_EQ(value, 123u);
}

TEST_F(DriverProtocol, HardwareInformation) {
    BYTE block[128];
    for (int i = 0; i < 128; ++i)
        block[i] = static_cast<BYTE>(i);
    ASSERT_EQ(hxDaSetHardwareInfo(hDev, 1, 2, 3, 4444, 5555, block), HXNOERROR);
    const RecordedRequest* set = deviceLog->last(IOCTL_HXDA_SETHWINFO);
    EXPECT_EQ(set->at<std::uint16_t>(20), 1);
    EXPECT_EQ(set->at<std::uint16_t>(22), 2);
    EXPECT_EQ(set->at<std::uint16_t>(24), 3);
    EXPECT_EQ(set->at<std::uint32_t>(28), 4444u);
    EXPECT_EQ(set->at<std::uint32_t>(32), 5555u);
    EXPECT_EQ(std::memcmp(set->input.data() + 36, block, 128), 0);

    deviceLog->reply = [](std::uint32_t, std::uint8_t* out, std::uint32_t) {
        const std::uint32_t leading = 77;
        std::memcpy(out + 16, &leading, 4);
        out[36 + 127] = 0xAA;
    };
    UINT leading = 0, serial = 0;
    WORD a = 0;
    BYTE answer[128] = {};
    ASSERT_EQ(hxDaGetHardwareInfo(hDev, &leading, &a, nullptr, nullptr, &serial, nullptr, answer),
              HXNOERROR);
    EXPECT_EQ(leading, 77u);
    EXPECT_EQ(answer[127], 0xAA);
}

TEST_F(DriverProtocol, EventCountOfACounter) {
    tables.set(HXSSC_CTMODE_COUNTEVENTS, 1);
    const HDASS counter = open(HXSS_CT, false);
    log->reply = [](std::uint32_t, std::uint8_t* out, std::uint32_t) {
        const std::uint32_t count = 4321;
        std::memcpy(out + 16, &count, 4);
    };
    UINT count = 0;
    ASSERT_EQ(hxDaReadEvents(counter, &count), HXNOERROR);
    EXPECT_EQ(count, 4321u);
    block(counter).counterMode = HXCTMODE_RATE;
    EXPECT_EQ(hxDaReadEvents(counter, &count), HXWRONGCOUNTERMODE);
    EXPECT_EQ(hxDaReadEvents(open(HXSS_AD), &count), HXNOTSUPPORTED);
}

}  // namespace
}  // namespace hxda::test
