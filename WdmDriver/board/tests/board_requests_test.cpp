// The board device joined to the data-acquisition device, through user-mode files: subsystem
// files bound by name, the device-level requests answered by the board, and status messages
// routed to the open subsystems' event requests.
#include "board_machine.h"
#include "hxda/request_codes.h"
#include "hxdacodes.h"
#include "kernel/testing.h"
#include "user_file.h"

namespace board_test {
namespace {

class BoardRequestsTest : public BoardMachine {
  protected:
    void SetUp() override {
        BoardMachine::SetUp();
        mq5120::BoardIdentity identity;
        identity.stored.serialNumber = 0x4321;
        identity.stored.hardwareA = 0x11;
        identity.stored.hardwareB = 0x22;
        identity.stored.hardwareC = 0x33;
        ASSERT_EQ(Plug(identity, &board_), STATUS_SUCCESS);
    }
    Plugged board_;
};

TEST_F(BoardRequestsTest, RegistersGoToTheBoardAndComeBack) {
    UserFile device("\\\\.\\MQ51200");
    ASSERT_EQ(device.Status(), STATUS_SUCCESS);

    auto write = Record();
    write.parameters.registerAccess = {100, 1, 1};
    ASSERT_EQ(device.Control(IOCTL_HXDA_WRITEREG, write).status, STATUS_SUCCESS);
    EXPECT_EQ(write.status, HXNOERROR);
    EXPECT_EQ(board_.board->Register(100), 1);

    auto read = Record();
    read.parameters.registerAccess = {32, 0xDEAD, 1};
    ASSERT_EQ(device.Control(IOCTL_HXDA_READREG, read).status, STATUS_SUCCESS);
    EXPECT_EQ(read.parameters.registerAccess.value, board_.board->Register(32));

    // The stored termination setting by its special selector: written, then read back.
    auto termination = Record();
    termination.parameters.registerAccess = {0x4002, 0x5A, 0};
    ASSERT_EQ(device.Control(IOCTL_HXDA_WRITEREG, termination).status, STATUS_SUCCESS);
    EXPECT_EQ(board_.board->Identity().stored.termination, 0x5A);
    termination.parameters.registerAccess.value = 0;
    ASSERT_EQ(device.Control(IOCTL_HXDA_READREG, termination).status, STATUS_SUCCESS);
    EXPECT_EQ(termination.parameters.registerAccess.value, 0x5Au);
}

TEST_F(BoardRequestsTest, HardwareInformationIsReadAndWritten) {
    UserFile device("\\\\.\\MQ51200");
    auto get = Record();
    ASSERT_EQ(device.Control(IOCTL_HXDA_GETHWINFO, get).status, STATUS_SUCCESS);
    EXPECT_EQ(get.status, HXNOERROR);
    EXPECT_EQ(get.parameters.hardwareInfo.wordA, 0x11);
    EXPECT_EQ(get.parameters.hardwareInfo.wordB, 0x22);
    EXPECT_EQ(get.parameters.hardwareInfo.wordC, 0x33);
    EXPECT_EQ(get.parameters.hardwareInfo.serialNumber, 0x4321u);

    // 0xFFFF in a word leaves the words alone; the serial number is written all the same.
    auto set = Record();
    set.parameters.hardwareInfo.wordA = 0xFFFF;
    set.parameters.hardwareInfo.wordB = 5;
    set.parameters.hardwareInfo.wordC = 6;
    set.parameters.hardwareInfo.serialNumber = 0x777;
    set.parameters.hardwareInfo.trailingWord = 9;
    ASSERT_EQ(device.Control(IOCTL_HXDA_SETHWINFO, set).status, STATUS_SUCCESS);
    EXPECT_EQ(set.status, HXNOERROR);
    EXPECT_EQ(set.parameters.hardwareInfo.trailingWord, 0u);
    const auto stored = board_.board->Identity().stored;
    EXPECT_EQ(stored.hardwareB, 0x22);
    EXPECT_EQ(stored.serialNumber, 0x777u);
}

TEST_F(BoardRequestsTest, CalibrationPotsAreCheckedAndStored) {
    struct Case {
        std::uint32_t pot, channel, element;
        std::uint32_t status;
        mq5120::PotAddress stored;  // where the board keeps it on success
    };
    const Case cases[] = {
        {2, 3, 3, HXNOERROR, {2, 3, 3}},   {0, 1, 0xFFFFFFFF, HXNOERROR, {0, 1, -1}},
        {3, 0, 0, HXINVALIDLISTENTRY, {}}, {0, 4, 0, HXINVALIDLISTENTRY, {}},
        {0, 0, 4, HXINVALIDLISTENTRY, {}}, {0, 0, 0xFFFFFFFE, HXINVALIDLISTENTRY, {}},
    };
    UserFile device("\\\\.\\MQ51200");
    std::uint16_t value = 100;
    for (const Case& c : cases) {
        ++value;
        auto write = Record();
        write.parameters.calPot = {c.pot, c.channel, c.element, value};
        ASSERT_EQ(device.Control(IOCTL_HXDA_WRITECALPOT, write).status, STATUS_SUCCESS);
        EXPECT_EQ(write.status, c.status) << c.pot << " " << c.channel << " " << c.element;
        auto read = Record();
        read.parameters.calPot = {c.pot, c.channel, c.element, 0};
        ASSERT_EQ(device.Control(IOCTL_HXDA_READCALPOT, read).status, STATUS_SUCCESS);
        EXPECT_EQ(read.status, c.status);
        if (c.status != HXNOERROR)
            continue;
        EXPECT_EQ(board_.board->Identity().stored.pots.at(c.stored), value);
        EXPECT_EQ(read.parameters.calPot.value, value);
    }
}

TEST_F(BoardRequestsTest, SubsystemFilesOpenOnlyForWhatTheBoardHas) {
    struct Case {
        const char* name;
        std::int32_t status;
    };
    const Case cases[] = {
        {"\\\\.\\MQ51200\\DA2", STATUS_UNSUCCESSFUL},
        {"\\\\.\\MQ51200\\DIN1", STATUS_UNSUCCESSFUL},
        {"\\\\.\\MQ51200\\SRL0", STATUS_UNSUCCESSFUL},
        {"\\\\.\\MQ51200\\XY0", STATUS_UNSUCCESSFUL},
        {"\\\\.\\MQ51200\\ADx", STATUS_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        UserFile file(c.name);
        EXPECT_EQ(file.Status(), c.status) << c.name;
    }
    // None of the refused opens left the status reads running.
    EXPECT_EQ(bus->PendingTransfers(board_.pdo), 0u);
}

}  // namespace
}  // namespace board_test
