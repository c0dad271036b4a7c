// The stand-in driver through the user-mode file calls, in the protocol's records: subsystem files
// open once and only where the board's counts allow, the configure request stores and answers the
// block, single values come from the board's signals, registers, calibration and hardware
// information are kept, and malformed requests complete with a status.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "client.h"
#include "hxdacodes.h"
#include "sim/machine_testing.h"
#include "win32/handles.h"

namespace {

using hxda::ConfigurationBlock;
using hxda::DriverRequest;
using simtest::Answer;

class FamilyDriver : public ::testing::Test {
  protected:
    sim::testing::ScopedSimulatedMachine machine{{
        "Mq5200 0x5204 1 AD0.0=const:2.5 AD0.1=sine:1:50 AD0.2=pattern:1,2,3 "
        "DIN0.0=pattern:0x55,0xAA CT1.0=const:1234",
        "Mq5200 0x5202 2",
        "Mq5130 0x5130 3",
        "MQ5310 0 4",
    }};
    std::vector<simtest::ListedBoard> boards = simtest::ListBoards();
    std::vector<HANDLE> handles;

    void SetUp() override { ASSERT_EQ(boards.size(), 4u); }
    void TearDown() override {
        for (HANDLE handle : handles)
            CloseHandle(handle);
    }
    HANDLE Keep(HANDLE handle) {
        if (handle != INVALID_HANDLE_VALUE)
            handles.push_back(handle);
        return handle;
    }
    // The first board's device (the MQ5204 with the signals), or one of its subsystem files
    // ("AD0").
    HANDLE OpenFirst(const std::string& file = "") {
        return Keep(simtest::Open(First().devicePath + (file.empty() ? "" : "\\" + file)));
    }
    const simtest::ListedBoard& First() const {
        for (const auto& board : boards)
            if (board.driverName == "Mq5200" && board.serialNumber == 1)
                return board;
        return boards.front();
    }
    static DriverRequest Request(std::uint32_t type, std::uint32_t element) {
        DriverRequest request{};
        request.subsystemType = type;
        request.element = element;
        return request;
    }
    static std::vector<std::uint8_t> Block(std::uint32_t type, std::uint32_t element,
                                           std::uint16_t listSize, std::size_t bytes) {
        // Room for the whole head while it is written; cut to the bytes asked for at the end.
        std::vector<std::uint8_t> data(std::max(bytes, sizeof(ConfigurationBlock)), 0);
        ConfigurationBlock block{};
        block.subsystemType = type;
        block.element = element;
        block.state = 1004;
        block.channelListSize = listSize;
        block.numberOfChannels = 17;
        block.encoding = 200;
        block.resolution = 16;
        block.dataFlow = 801;
        block.clockFrequency = hxda::encodeFixedPoint(1000.0);
        block.retriggerFrequency = hxda::encodeFixedPoint(100.0);
        block.rangeMinimum = hxda::encodeFixedPoint(-10.0);
        block.rangeMaximum = hxda::encodeFixedPoint(10.0);
        block.pulseWidth = 50;
        std::memcpy(data.data(), &block, sizeof block);
        for (std::uint16_t i = 0;
             i < listSize && hxda::kListEntriesOffset + hxda::kListEntrySize * (i + 1) <= bytes;
             ++i) {
            hxda::ChannelListEntry entry{};
            entry.channel = i;
            entry.gain = hxda::encodeFixedPoint(1.0);
            std::memcpy(data.data() + hxda::kListEntriesOffset + hxda::kListEntrySize * i, &entry,
                        sizeof entry);
        }
        data.resize(bytes);
        return data;
    }
    static ConfigurationBlock HeadOf(const std::vector<std::uint8_t>& data) {
        ConfigurationBlock block;
        std::memcpy(&block, data.data(), sizeof block);
        return block;
    }
};

TEST_F(FamilyDriver, SubsystemFilesOpenOnceWhereTheCountsAllow) {
    // Element counts per family in the order A/D, D/A, DIN, DOUT, SRL, C/T.
    const std::map<std::string, std::array<std::uint32_t, 6>> counts = {
        {"Mq5200", {1, 1, 1, 1, 0, 2}},
        {"Mq5130", {0, 0, 12, 8, 0, 0}},
        {"MQ5310", {1, 1, 1, 1, 0, 1}}};
    const char* words[6] = {"AD", "DA", "DIN", "DOUT", "SRL", "CT"};
    for (std::size_t b = 0; b < boards.size(); ++b) {
        SCOPED_TRACE(boards[b].driverName);
        for (std::uint32_t type = 0; type < 6; ++type) {
            const std::uint32_t count = counts.at(boards[b].driverName)[type];
            for (std::uint32_t element = 0; element <= count; ++element) {
                char name[16];
                std::snprintf(name, sizeof name, "\\%s%x", words[type], element);
                const std::string path = boards[b].devicePath + name;
                HANDLE first = simtest::Open(path);
                if (element == count) {  // past the board's subsystems
                    EXPECT_EQ(first, INVALID_HANDLE_VALUE) << path;
                    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
                    continue;
                }
                ASSERT_NE(first, INVALID_HANDLE_VALUE) << path;
                EXPECT_EQ(simtest::Open(path), INVALID_HANDLE_VALUE) << path;
                EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
                CloseHandle(first);
                HANDLE again = simtest::Open(path);  // free again once closed
                EXPECT_NE(again, INVALID_HANDLE_VALUE) << path;
                CloseHandle(again);
            }
        }
    }
    // Another name of the same board sees the same open file; the device itself opens freely.
    ASSERT_NE(OpenFirst("AD0"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(simtest::Open("\\\\.\\Mq5200_0\\ad0"), INVALID_HANDLE_VALUE);
    EXPECT_NE(OpenFirst(), INVALID_HANDLE_VALUE);
    EXPECT_NE(OpenFirst(), INVALID_HANDLE_VALUE);
    for (const char* bad : {"XX0", "AD", "ADG", "AD00000", "AD0\\more"}) {
        EXPECT_EQ(simtest::Open(First().devicePath + "\\" + bad), INVALID_HANDLE_VALUE) << bad;
    }
}

TEST_F(FamilyDriver, ConfigurationRoundTripAndWriteBack) {
    HANDLE ad = OpenFirst("AD0");
    ASSERT_NE(ad, INVALID_HANDLE_VALUE);
    const std::size_t bytes = hxda::configurationBlockBytes(2);
    auto sent = Block(HXSS_AD, 0, 2, bytes);
    std::vector<std::uint8_t> answer(sent);
    Answer result =
        simtest::Control(ad, IOCTL_HXDA_CONFIG, sent.data(), bytes, answer.data(), bytes);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.bytes, bytes);
    EXPECT_EQ(answer, sent) << "a block within the board's limits comes back as it went";

    // Frequencies beyond the board's clock come back as the board can do them.
    auto fast = Block(HXSS_AD, 0, 2, bytes);
    ConfigurationBlock head = HeadOf(fast);
    head.clockFrequency = hxda::encodeFixedPoint(2000000.0);
    head.retriggerFrequencyForm = 1;  // this one as a float
    head.retriggerFrequencyFloat = 0.01f;
    head.pulseWidth = 250;
    std::memcpy(fast.data(), &head, sizeof head);
    ASSERT_TRUE(simtest::Control(ad, IOCTL_HXDA_CONFIG, fast.data(), bytes, fast.data(), bytes).ok);
    head = HeadOf(fast);
    EXPECT_EQ(head.status, HXNOERROR);
    EXPECT_DOUBLE_EQ(hxda::decodeFixedPoint(head.clockFrequency), 100000.0);
    EXPECT_EQ(head.clockFrequencyFloat, 0.0f) << "the other form is left alone";
    EXPECT_FLOAT_EQ(head.retriggerFrequencyFloat, 0.75f);
    EXPECT_DOUBLE_EQ(hxda::decodeFixedPoint(head.retriggerFrequency), 100.0);
    EXPECT_EQ(head.pulseWidth, 100);

    // The configured range is what single values are converted with: 2.5 V in 0..10 V.
    auto unipolar = Block(HXSS_AD, 0, 1, bytes);
    head = HeadOf(unipolar);
    head.rangeMinimum = hxda::encodeFixedPoint(0.0);
    std::memcpy(unipolar.data(), &head, sizeof head);
    ASSERT_TRUE(
        simtest::Control(ad, IOCTL_HXDA_CONFIG, unipolar.data(), bytes, unipolar.data(), bytes).ok);
    DriverRequest request = Request(HXSS_AD, 0);
    ASSERT_TRUE(simtest::Send(ad, IOCTL_HXDA_GETSINGLEVALUE, request).ok);
    EXPECT_EQ(request.parameters.singleValue.value, 16384u);

    // A new open starts unconfigured: back to the table's -10..10 V.
    CloseHandle(ad);
    handles.clear();
    ad = OpenFirst("AD0");
    request = Request(HXSS_AD, 0);
    ASSERT_TRUE(simtest::Send(ad, IOCTL_HXDA_GETSINGLEVALUE, request).ok);
    EXPECT_EQ(request.parameters.singleValue.value, 40960u);
}

TEST_F(FamilyDriver, SingleValuesComeFromTheSignals) {
    HANDLE ad = OpenFirst("AD0");
    HANDLE din = OpenFirst("DIN0");
    HANDLE da = OpenFirst("DA0");
    HANDLE ct = OpenFirst("CT1");
    ASSERT_NE(ct, INVALID_HANDLE_VALUE);
    struct Case {
        HANDLE handle;
        std::uint32_t type, element, channel;
        double gain;
        std::uint32_t expected;
    } cases[] = {
        {ad, HXSS_AD, 0, 0, 1.0, 40960},  // 2.5 V of -10..10 V in 16 bits, offset binary
        {ad, HXSS_AD, 0, 0, 2.0, 49152},  // the same through a gain of 2
        {ad, HXSS_AD, 0, 3, 1.0, 32768},  // no signal: 0 V
        {ad, HXSS_AD, 0, 2, 1.0, 1},      // a pattern: one code per read
        {ad, HXSS_AD, 0, 2, 1.0, 2},      {ad, HXSS_AD, 0, 2, 1.0, 3},
        {ad, HXSS_AD, 0, 2, 1.0, 1},      {din, HXSS_DIN, 0, 0, 1.0, 0x55},
        {din, HXSS_DIN, 0, 0, 1.0, 0xAA}, {ct, HXSS_CT, 1, 0, 1.0, 1234},
        {da, HXSS_DA, 0, 0, 1.0, 0},  // an output reads what was last written
    };
    for (const auto& c : cases) {
        DriverRequest request = Request(c.type, c.element);
        request.parameters.singleValue.channel = c.channel;
        request.parameters.singleValue.gain = hxda::encodeFixedPoint(c.gain);
        request.parameters.singleValue.autoRange = 1;
        const Answer answer = simtest::Send(c.handle, IOCTL_HXDA_GETSINGLEVALUE, request);
        ASSERT_TRUE(answer.ok);
        EXPECT_EQ(answer.bytes, sizeof request);
        EXPECT_EQ(request.status, HXNOERROR);
        EXPECT_EQ(request.parameters.singleValue.value, c.expected)
            << c.type << "/" << c.channel << " gain " << c.gain;
        EXPECT_DOUBLE_EQ(hxda::decodeFixedPoint(request.parameters.singleValue.gain), c.gain);
    }
    // The sine of 1 V stays within its codes.
    for (int i = 0; i < 20; ++i) {
        DriverRequest request = Request(HXSS_AD, 0);
        request.parameters.singleValue.channel = 1;
        ASSERT_TRUE(simtest::Send(ad, IOCTL_HXDA_GETSINGLEVALUE, request).ok);
        EXPECT_GE(request.parameters.singleValue.value, 29491u);
        EXPECT_LE(request.parameters.singleValue.value, 36045u);
    }

    DriverRequest write = Request(HXSS_DA, 0);
    write.parameters.singleValue.channel = 0;
    write.parameters.singleValue.value = 200;
    ASSERT_TRUE(simtest::Send(da, IOCTL_HXDA_SETSINGLEVALUE, write).ok);
    EXPECT_EQ(write.status, HXNOERROR);
    DriverRequest read = Request(HXSS_DA, 0);
    ASSERT_TRUE(simtest::Send(da, IOCTL_HXDA_GETSINGLEVALUE, read).ok);
    EXPECT_EQ(read.parameters.singleValue.value, 200u);

    DriverRequest all = Request(HXSS_AD, 0);
    all.parameters.singleValues.gain = hxda::encodeFixedPoint(1.0);
    ASSERT_TRUE(simtest::Send(ad, IOCTL_HXDA_GETSINGLEVALUES, all).ok);
    EXPECT_EQ(all.status, HXNOERROR);
    EXPECT_EQ(all.parameters.singleValues.values[0], 40960u);
    EXPECT_EQ(all.parameters.singleValues.values[15], 32768u);
}

TEST_F(FamilyDriver, RegistersCalibrationAndHardwareInformationAreKept) {
    HANDLE device = OpenFirst();
    HANDLE ad = OpenFirst("AD0");  // device requests are taken on any file of the board
    ASSERT_NE(ad, INVALID_HANDLE_VALUE);
    auto writeRegister = [](HANDLE h, std::uint32_t number, std::uint32_t value) {
        DriverRequest request = Request(0, 0);
        request.parameters.registerAccess = {number, value, 2};
        EXPECT_TRUE(simtest::Send(h, IOCTL_HXDA_WRITEREG, request).ok);
        return request.status;
    };
    auto readRegister = [](HANDLE h, std::uint32_t number) {
        DriverRequest request = Request(0, 0);
        request.parameters.registerAccess = {number, 0xDEADBEEF, 2};
        EXPECT_TRUE(simtest::Send(h, IOCTL_HXDA_READREG, request).ok);
        EXPECT_EQ(request.status, HXNOERROR);
        return request.parameters.registerAccess.value;
    };
    EXPECT_EQ(writeRegister(device, 100, 1), HXNOERROR);
    EXPECT_EQ(writeRegister(ad, 0x4004, 0x81), HXNOERROR);
    EXPECT_EQ(readRegister(ad, 100), 1u);
    EXPECT_EQ(readRegister(device, 0x4004), 0x81u);
    EXPECT_EQ(readRegister(device, 555), 0u);
    EXPECT_EQ(writeRegister(device, 0x4006, 0), HXNOERROR);
    EXPECT_EQ(readRegister(device, 0x4006), 1u) << "the connection register reads high speed";

    auto calPot = [&](DWORD code, std::uint32_t pot, std::uint32_t selector, std::int32_t element,
                      std::uint32_t value) {
        DriverRequest request = Request(0, 0);
        request.parameters.calPot = {pot, selector, static_cast<std::uint32_t>(element), value};
        EXPECT_TRUE(simtest::Send(device, code, request).ok);
        return request;
    };
    EXPECT_EQ(calPot(IOCTL_HXDA_WRITECALPOT, 2, 3, -1, 77).status, HXNOERROR);
    EXPECT_EQ(calPot(IOCTL_HXDA_READCALPOT, 2, 3, -1, 0).parameters.calPot.value, 77u);
    EXPECT_EQ(calPot(IOCTL_HXDA_READCALPOT, 2, 3, 0, 0).parameters.calPot.value, 128u);
    struct Bad {
        std::uint32_t pot, selector;
        std::int32_t element;
    } bad[] = {{3, 0, 0}, {0, 4, 0}, {0, 0, 4}, {0, 0, -2}};
    for (const auto& b : bad) {
        EXPECT_EQ(calPot(IOCTL_HXDA_WRITECALPOT, b.pot, b.selector, b.element, 1).status,
                  HXINVALIDLISTENTRY);
        EXPECT_EQ(calPot(IOCTL_HXDA_READCALPOT, b.pot, b.selector, b.element, 0).status,
                  HXINVALIDLISTENTRY);
    }

    DriverRequest info = Request(0, 0);
    ASSERT_TRUE(simtest::Send(device, IOCTL_HXDA_GETHWINFO, info).ok);
    EXPECT_EQ(info.parameters.hardwareInfo.serialNumber, 1u);
    DriverRequest set = Request(0, 0);
    set.parameters.hardwareInfo.wordA = 1;
    set.parameters.hardwareInfo.wordB = 2;
    set.parameters.hardwareInfo.wordC = 3;
    set.parameters.hardwareInfo.serialNumber = 0xFFFFFFFF;  // kept
    std::memset(set.parameters.hardwareInfo.block, 0x5A, sizeof set.parameters.hardwareInfo.block);
    ASSERT_TRUE(simtest::Send(device, IOCTL_HXDA_SETHWINFO, set).ok);
    set.parameters.hardwareInfo.wordA = 0xFFFF;  // words kept
    set.parameters.hardwareInfo.wordB = 9;
    set.parameters.hardwareInfo.serialNumber = 99;
    ASSERT_TRUE(simtest::Send(device, IOCTL_HXDA_SETHWINFO, set).ok);
    info = Request(0, 0);
    info.parameters.hardwareInfo.leadingWord = 7;
    ASSERT_TRUE(simtest::Send(device, IOCTL_HXDA_GETHWINFO, info).ok);
    const auto& got = info.parameters.hardwareInfo;
    EXPECT_EQ(got.leadingWord, 0u);
    EXPECT_EQ(got.wordA, 1u);
    EXPECT_EQ(got.wordB, 2u);
    EXPECT_EQ(got.wordC, 3u);
    EXPECT_EQ(got.serialNumber, 99u);
    EXPECT_EQ(got.block[0], 0x5A);
    EXPECT_EQ(got.block[127], 0x5A);

    DriverRequest reserved = Request(0, 0);
    const Answer answer = simtest::Send(device, IOCTL_HXDA_RESERVED, reserved);
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.bytes, 0u);
}

TEST_F(FamilyDriver, MalformedRequestsCompleteWithAStatus) {
    HANDLE device = OpenFirst();
    HANDLE ad = OpenFirst("AD0");
    ASSERT_NE(ad, INVALID_HANDLE_VALUE);
    const std::size_t two = hxda::configurationBlockBytes(2);
    struct Case {
        const char* what;
        HANDLE handle;
        DWORD code;
        std::vector<std::uint8_t> input;
        DWORD outputBytes;  // 0xFFFFFFFF: the input's size
        BOOL ok;
        DWORD error;           // when not ok
        std::uint32_t status;  // the record's status when ok
    };
    auto record = [](std::uint32_t type, std::uint32_t element, std::uint32_t channel,
                     std::size_t bytes = sizeof(DriverRequest)) {
        std::vector<std::uint8_t> data(bytes, 0);
        DriverRequest request = Request(type, element);
        request.parameters.singleValue.channel = channel;
        std::memcpy(data.data(), &request, std::min(bytes, sizeof request));
        return data;
    };
    auto calPot = [](std::uint32_t pot, std::uint32_t selector, std::uint32_t element) {
        std::vector<std::uint8_t> data(sizeof(DriverRequest), 0);
        DriverRequest request = Request(0, 0);
        request.parameters.calPot = {pot, selector, element, 0};
        std::memcpy(data.data(), &request, sizeof request);
        return data;
    };
    auto block = [&](std::uint32_t type, std::uint16_t listSize, std::size_t bytes,
                     std::uint16_t badChannel = 0xFFFF, std::uint16_t encoding = 200) {
        auto data = Block(type, 0, listSize, bytes);
        if (badChannel != 0xFFFF)
            std::memcpy(data.data() + hxda::kListEntriesOffset, &badChannel, sizeof badChannel);
        std::memcpy(data.data() + offsetof(ConfigurationBlock, encoding), &encoding,
                    sizeof encoding);
        return data;
    };
    const DWORD same = 0xFFFFFFFF;
    Case cases[] = {
        {"short record", ad, IOCTL_HXDA_GETSINGLEVALUE, record(0, 0, 0, 335), 336, FALSE,
         ERROR_INVALID_PARAMETER, 0},
        {"long record", ad, IOCTL_HXDA_GETSINGLEVALUE, record(0, 0, 0, 337), 337, FALSE,
         ERROR_INVALID_PARAMETER, 0},
        {"no output", ad, IOCTL_HXDA_GETSINGLEVALUE, record(0, 0, 0), 0, FALSE,
         ERROR_INVALID_PARAMETER, 0},
        {"short register record", device, IOCTL_HXDA_READREG, record(0, 0, 0, 16), 16, FALSE,
         ERROR_INVALID_PARAMETER, 0},
        {"other subsystem's record", ad, IOCTL_HXDA_GETSINGLEVALUE, record(HXSS_DA, 0, 0), same,
         TRUE, 0, HXINVALIDSUBSYS},
        {"other element's record", ad, IOCTL_HXDA_GETSINGLEVALUE, record(HXSS_AD, 1, 0), same, TRUE,
         0, HXINVALIDSUBSYS},
        {"channel past the end", ad, IOCTL_HXDA_GETSINGLEVALUE, record(0, 0, 17), same, TRUE, 0,
         HXINVALIDCHANNEL},
        {"huge channel", ad, IOCTL_HXDA_GETSINGLEVALUE, record(0, 0, 0xFFFFFFFF), same, TRUE, 0,
         HXINVALIDCHANNEL},
        {"output to an input", ad, IOCTL_HXDA_SETSINGLEVALUE, record(0, 0, 0), same, TRUE, 0,
         HXNOTSUPPORTED},
        {"subsystem request on the device", device, IOCTL_HXDA_GETSINGLEVALUE, record(0, 0, 0),
         same, FALSE, ERROR_INVALID_FUNCTION, 0},
        {"unknown code on the device", device, 0x222500, record(0, 0, 0), same, FALSE,
         ERROR_INVALID_FUNCTION, 0},
        {"unknown code on a subsystem", ad, 0x222500, record(0, 0, 0), same, TRUE, 0,
         HXNOTSUPPORTED},
        {"start before a configure", ad, IOCTL_HXDA_START, record(0, 0, 0), same, TRUE, 0,
         HXNOTCONFIGURED},
        {"stop with nothing running", ad, IOCTL_HXDA_STOP, record(0, 0, 0), same, TRUE, 0,
         HXNOERROR},
        {"event request without room for the event", ad, IOCTL_HXDA_WAITEVENT, record(0, 0, 0, 20),
         same, FALSE, ERROR_INVALID_PARAMETER, 0},
        {"event request on the device", device, IOCTL_HXDA_WAITEVENT, record(0, 0, 0), same, FALSE,
         ERROR_INVALID_FUNCTION, 0},
        {"cal pot 3", device, IOCTL_HXDA_READCALPOT, calPot(3, 0, 0), same, TRUE, 0,
         HXINVALIDLISTENTRY},
        {"block shorter than its head", ad, IOCTL_HXDA_CONFIG, block(0, 1, 319), same, FALSE,
         ERROR_INVALID_PARAMETER, 0},
        {"block answer shorter than sent", ad, IOCTL_HXDA_CONFIG, block(0, 1, two), 320, FALSE,
         ERROR_INVALID_PARAMETER, 0},
        {"list longer than sent", ad, IOCTL_HXDA_CONFIG, block(0, 4, two), same, TRUE, 0,
         HXINVALIDLISTSIZE},
        {"list longer than the board's", ad, IOCTL_HXDA_CONFIG,
         block(0, 33, hxda::configurationBlockBytes(34)), same, TRUE, 0, HXINVALIDLISTSIZE},
        {"block of another subsystem", ad, IOCTL_HXDA_CONFIG, block(HXSS_DA, 1, two), same, TRUE, 0,
         HXINVALIDSUBSYS},
        {"list channel past the end", ad, IOCTL_HXDA_CONFIG, block(0, 1, two, 17), same, TRUE, 0,
         HXINVALIDCHANNEL},
        {"unknown encoding", ad, IOCTL_HXDA_CONFIG, block(0, 1, two, 0xFFFF, 7), same, TRUE, 0,
         HXINVALIDENCODING},
        {"configure the device", device, IOCTL_HXDA_CONFIG, block(0, 1, two), same, FALSE,
         ERROR_INVALID_FUNCTION, 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> output(c.outputBytes == same ? c.input.size() : c.outputBytes,
                                         0xEE);
        const Answer answer = simtest::Control(
            c.handle, c.code, c.input.data(), static_cast<DWORD>(c.input.size()),
            output.empty() ? nullptr : output.data(), static_cast<DWORD>(output.size()));
        EXPECT_EQ(answer.ok, c.ok);
        if (!c.ok) {
            EXPECT_EQ(answer.error, c.error);
            continue;
        }
        std::uint32_t status = 0;
        std::memcpy(&status, output.data() + 12, sizeof status);
        EXPECT_EQ(status, c.status);
    }
    // The board still answers after all of that.
    DriverRequest request = Request(HXSS_AD, 0);
    ASSERT_TRUE(simtest::Send(ad, IOCTL_HXDA_GETSINGLEVALUE, request).ok);
    EXPECT_EQ(request.parameters.singleValue.value, 40960u);
    char buffer[64];
    DWORD read = 0;
    EXPECT_FALSE(ReadFile(device, buffer, sizeof buffer, &read, nullptr));  // no data on it
}

}  // namespace

namespace {

// Each board converts with its own family's and type's tables: the two MQ5310 types differ in
// range and encoding.
TEST(FamilyDriverTables, CodesFollowTheBoardsOwnTables) {
    sim::testing::ScopedSimulatedMachine machine({
        "MQ5310 0 4 AD0.0=const:-5",    // -10..10 V, 12 bits, two's complement
        "MQ5310 1 5 AD0.0=const:1.22",  // 0..2.44 V, 12 bits, offset binary
    });
    const auto boards = simtest::ListBoards();
    ASSERT_EQ(boards.size(), 2u);
    const std::uint32_t expected[] = {0xFFFFFC00u, 2048u};
    for (std::size_t i = 0; i < boards.size(); ++i) {
        HANDLE ad = simtest::Open(boards[i].devicePath + "\\AD0");
        ASSERT_NE(ad, INVALID_HANDLE_VALUE);
        hxda::DriverRequest request{};
        request.parameters.singleValue.gain = hxda::encodeFixedPoint(1.0);
        ASSERT_TRUE(simtest::Send(ad, IOCTL_HXDA_GETSINGLEVALUE, request).ok);
        EXPECT_EQ(request.status, HXNOERROR);
        EXPECT_EQ(request.parameters.singleValue.value, expected[i]) << boards[i].modelName;
        CloseHandle(ad);
    }
}

}  // namespace
