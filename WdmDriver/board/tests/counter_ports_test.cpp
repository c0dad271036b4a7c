// The counter/timers, the digital ports and the device-level requests through user-mode files
// onto the board model: the counter's registers at both ends of its clock, refusals before any
// board access, counts and measurements read back, digital-input change events with their mask,
// the output port taken back from the D/A, and failed transactions reported as failures.
#include "board/counter_subsystem.h"
#include "da_fixture.h"

namespace board_test {
namespace {

using namespace std::chrono_literals;

std::string CounterPath(int element) {
    return std::string("\\\\.\\MQ51200\\CT") + "0123456789abcdef"[element];
}

// A counter configuration block as the library sends it.
Block CounterBlock(std::uint16_t mode, std::uint16_t clock, double hz, std::uint16_t width = 50,
                   std::uint16_t gate = HXGATE_NONE) {
    Block block({}, HXDF_CONTINUOUS, hz);
    hxda::ConfigurationBlock& b = block.Get();
    b.subsystemType = HXSS_CT;
    b.counterMode = mode;
    b.clockSource = clock;
    b.pulseType = HXPULSE_ACTIVEHIGH;
    b.pulseWidth = width;
    b.gateType = gate;
    b.measureStartEdge = HXEDGE_GATERISING;
    b.measureStopEdge = HXEDGE_GATEFALLING;
    return block;
}

std::uint32_t Register32(const mq5120::Board& board, std::uint16_t low) {
    return board.Register(low) | (static_cast<std::uint32_t>(board.Register(low + 1)) << 16);
}

using CounterPortsTest = DaFixture;

TEST_F(CounterPortsTest, CounterRegistersAtBothEndsOfTheClockAndTheRefusals) {
    constexpr std::uint32_t kSlowest = 0xFFFFFFFF;  // the period's 32 bits
    struct Case {
        const char* what;
        Block block;
        std::uint32_t status;
        std::uint32_t period;  // the period registers: 1 - d
        std::uint32_t width;   // the width registers: -(d x width / 100)
    };
    auto external = [](std::uint32_t divider, std::uint16_t width) {
        Block b = CounterBlock(HXCTMODE_RATE, HXCLK_EXTERNAL, 1, width);
        b.Get().externalClockDivider = divider;
        return b;
    };
    Case cases[] = {
        {"1 kHz at 50 per cent", CounterBlock(HXCTMODE_RATE, HXCLK_INTERNAL, 1000), HXNOERROR,
         1u - 18'000u, 0u - 9'000u},
        {"the top clock", CounterBlock(HXCTMODE_RATE, HXCLK_INTERNAL, 18e6, 100), HXNOERROR, 0,
         0u - 1u},
        // 18 MHz / 0.00419 Hz is past 32 bits: the slowest period, not a wrapped one.
        {"the library's lowest rate", CounterBlock(HXCTMODE_RATE, HXCLK_INTERNAL, 0.00419),
         HXNOERROR, 1u - kSlowest, 0u - kSlowest / 2},
        // d x width passes 32 bits: computed in 64.
        {"the largest external divider", external(2'147'483'647, 75), HXNOERROR,
         1u - 2'147'483'647u, 0u - 1'610'612'735u},
        {"0 Hz", CounterBlock(HXCTMODE_RATE, HXCLK_INTERNAL, 0), HXINVALIDFREQUENCY, 0, 0},
        {"external divider 0", external(0, 50), HXINVALIDDIVIDER, 0, 0},
        {"one-shot on a level gate",
         CounterBlock(HXCTMODE_ONESHOT, HXCLK_INTERNAL, 1000, 50, HXGATE_HIGHLEVEL), HXINVALIDGATE,
         0, 0},
        {"rate on an edge gate",
         CounterBlock(HXCTMODE_RATE, HXCLK_INTERNAL, 1000, 50, HXGATE_RISINGEDGE), HXINVALIDGATE, 0,
         0},
        {"counting events on the internal clock",
         CounterBlock(HXCTMODE_COUNTEVENTS, HXCLK_INTERNAL, 1000), HXINVALIDCLOCKSOURCE, 0, 0},
        {"continuous measurement", CounterBlock(HXCTMODE_CONTMEASURE, HXCLK_INTERNAL, 1000),
         HXINVALIDCOUNTERMODE, 0, 0},
    };
    cases[2].block.Get().pulseWidth = 50;
    UserFile ct(CounterPath(2));
    ASSERT_EQ(ct.Status(), STATUS_SUCCESS);
    for (Case& c : cases) {
        p_.board->ClearLog();
        const Answer a = ct.Control(IOCTL_HXDA_CONFIG, c.block.Data(), c.block.Size());
        ASSERT_EQ(a.status, STATUS_SUCCESS) << c.what;
        EXPECT_EQ(c.block.Get().status, c.status) << c.what;
        if (c.status != HXNOERROR) {
            EXPECT_TRUE(p_.board->RegisterWrites().empty()) << c.what;
            continue;
        }
        EXPECT_EQ(Register32(*p_.board, board::CounterPeriodRegister(2)), c.period) << c.what;
        EXPECT_EQ(Register32(*p_.board, board::CounterWidthRegister(2)), c.width) << c.what;
    }
    // The model's rate output of the first case: 1 kHz, half the period active.
    Block rate = CounterBlock(HXCTMODE_RATE, HXCLK_INTERNAL, 1000);
    ASSERT_EQ(ct.Control(IOCTL_HXDA_CONFIG, rate.Data(), rate.Size()).status, STATUS_SUCCESS);
    auto start = Record(HXSS_CT, 2);
    ASSERT_EQ(ct.Control(IOCTL_HXDA_START, start).status, STATUS_SUCCESS);
    EXPECT_EQ(start.status, HXNOERROR);
    const mq5120::CounterReading reading = p_.board->Counter(2);
    EXPECT_TRUE(reading.running);
    EXPECT_NEAR(reading.frequencyHz, 1000.0, 1e-9);
    EXPECT_NEAR(reading.duty, 0.5, 1e-9);
}

// Elements 5-15 open (the file name allows them) but every request is refused before anything
// reaches the board, so no other counter's registers are touched.
TEST_F(CounterPortsTest, ACounterTheBoardLacksTouchesNothing) {
    UserFile ct(CounterPath(7));
    ASSERT_EQ(ct.Status(), STATUS_SUCCESS);
    p_.board->ClearLog();
    Block block = CounterBlock(HXCTMODE_RATE, HXCLK_INTERNAL, 1000);
    ASSERT_EQ(ct.Control(IOCTL_HXDA_CONFIG, block.Data(), block.Size()).status, STATUS_SUCCESS);
    EXPECT_EQ(block.Get().status, HXINVALIDELEMENT);
    for (const std::uint32_t code : {IOCTL_HXDA_START, IOCTL_HXDA_STOP, IOCTL_HXDA_READEVENTS}) {
        auto record = Record(HXSS_CT, 7);
        ASSERT_EQ(ct.Control(code, record).status, STATUS_SUCCESS);
        EXPECT_EQ(record.status, HXINVALIDELEMENT) << code;
    }
    EXPECT_TRUE(p_.board->Commands().empty());
}

TEST_F(CounterPortsTest, CountsAndMeasurementsAreReadBackAndAFailedReadIsAFailure) {
    UserFile ct(CounterPath(1));
    Block count = CounterBlock(HXCTMODE_COUNTEVENTS, HXCLK_EXTERNAL, 1);
    count.Get().externalClockDivider = 1;
    ASSERT_EQ(ct.Control(IOCTL_HXDA_CONFIG, count.Data(), count.Size()).status, STATUS_SUCCESS);
    ASSERT_EQ(count.Get().status, HXNOERROR);
    auto start = Record(HXSS_CT, 1);
    ASSERT_EQ(ct.Control(IOCTL_HXDA_START, start).status, STATUS_SUCCESS);
    p_.board->CounterClock(1, 70'000);
    auto read = Record(HXSS_CT, 1);
    ASSERT_EQ(ct.Control(IOCTL_HXDA_READEVENTS, read).status, STATUS_SUCCESS);
    EXPECT_EQ(read.status, HXNOERROR);
    EXPECT_EQ(read.parameters.eventCount.count, 70'000u);
    // Every start counts from 0 again.
    auto stopCount = Record(HXSS_CT, 1);
    ASSERT_EQ(ct.Control(IOCTL_HXDA_STOP, stopCount).status, STATUS_SUCCESS);
    ASSERT_EQ(ct.Control(IOCTL_HXDA_START, start).status, STATUS_SUCCESS);
    p_.board->CounterClock(1, 30'000);
    ASSERT_EQ(ct.Control(IOCTL_HXDA_READEVENTS, read).status, STATUS_SUCCESS);
    EXPECT_EQ(read.parameters.eventCount.count, 30'000u);
    // The value cannot be read: a failure, not a count of 0.
    p_.board->FailReplies(board::kCmdRegisterList, -1, usb::Fault::TransactionError);
    read.parameters.eventCount.count = 0xABCD;
    ASSERT_EQ(ct.Control(IOCTL_HXDA_READEVENTS, read).status, STATUS_SUCCESS);
    EXPECT_EQ(read.status, HXGENERALFAILURE);
    EXPECT_EQ(read.parameters.eventCount.count, 0xABCDu);

    // Edge to edge: from the gate's rising edge to its falling edge, in base-clock ticks, posted
    // once the board has measured.
    auto stop = Record(HXSS_CT, 1);
    ASSERT_EQ(ct.Control(IOCTL_HXDA_STOP, stop).status, STATUS_SUCCESS);
    Block edges = CounterBlock(HXCTMODE_EDGETOEDGE, HXCLK_INTERNAL, 1000);
    ASSERT_EQ(ct.Control(IOCTL_HXDA_CONFIG, edges.Data(), edges.Size()).status, STATUS_SUCCESS);
    ASSERT_EQ(edges.Get().status, HXNOERROR);
    EventWait measured(ct);
    ASSERT_EQ(ct.Control(IOCTL_HXDA_START, start).status, STATUS_SUCCESS);
    EXPECT_EQ(start.status, HXNOERROR);
    p_.board->SetCounterGate(1, true);
    p_.time->Advance(2500us);
    p_.board->SetCounterGate(1, false);
    EXPECT_EQ(measured.Code(), HXEV_EVENTVALUE);
    EXPECT_EQ(measured.record.parameters.event.data, 45'000u) << "2.5 ms at 18 MHz";
}

TEST_F(CounterPortsTest, DigitalInputChangesAndTheOutputPortTakenBackFromTheDa) {
    UserFile din("\\\\.\\MQ51200\\DIN0");
    ASSERT_EQ(din.Status(), STATUS_SUCCESS);
    p_.board->SetDin(0x0F);
    auto start = Record(HXSS_DIN);
    ASSERT_EQ(din.Control(IOCTL_HXDA_START, start).status, STATUS_SUCCESS);
    EXPECT_EQ(start.status, HXNOERROR);
    EventWait change(din);
    p_.board->SetDin(0x1F);
    EXPECT_EQ(change.Code(), HXEV_EVENTVALUE);
    EXPECT_EQ(change.record.parameters.event.data, 0x101Fu) << "the value, and bit 4 changed";
    auto single = Record(HXSS_DIN);
    ASSERT_EQ(din.Control(IOCTL_HXDA_GETSINGLEVALUE, single).status, STATUS_SUCCESS);
    EXPECT_EQ(single.parameters.singleValue.value, 0x1Fu);

    // The D/A's list drives the port through channel 4; a write of the port takes it back.
    UserFile da(kDaPath);
    Block block = DaBlock({0, 4}, 1000);
    ASSERT_EQ(Configure(da, block), HXNOERROR);
    EXPECT_NE(p_.board->Register(board::kRegBoardControl) & board::kControlDaDrivesDout, 0);
    UserFile dout("\\\\.\\MQ51200\\DOUT0");
    auto write = Record(HXSS_DOUT);
    write.parameters.singleValue.value = 0xC3;
    ASSERT_EQ(dout.Control(IOCTL_HXDA_SETSINGLEVALUE, write).status, STATUS_SUCCESS);
    EXPECT_EQ(write.status, HXNOERROR);
    EXPECT_EQ(p_.board->Register(board::kRegBoardControl) & board::kControlDaDrivesDout, 0);
    EXPECT_EQ(p_.board->DoutPort(), 0xC3);
}

// Device requests whose transaction fails answer 125 and leave the record's value alone; the
// stored settings read as erased storage (255), which the dialogs show as the default.
TEST_F(CounterPortsTest, FailedDeviceRequestsReportTheirFailure) {
    UserFile device("\\\\.\\MQ51200");
    struct Case {
        const char* what;
        std::uint32_t code;
        std::uint32_t selector;
        std::uint8_t failing;
        std::uint32_t status;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"plain register", IOCTL_HXDA_READREG, board::kRegBoardType, board::kCmdRegister,
         HXGENERALFAILURE, 0x1234},
        {"raw command", IOCTL_HXDA_READREG, 0x2000 | 5, 0x40, HXGENERALFAILURE, 0x1234},
        {"stored termination", IOCTL_HXDA_READREG, 0x4000 | 2, board::kCmdTermination, HXNOERROR,
         board::kStoredSettingUnreadable},
        {"calibration pot", IOCTL_HXDA_READCALPOT, 0, board::kCmdPot, HXGENERALFAILURE, 0x1234},
    };
    for (const Case& c : cases) {
        p_.board->FailReplies(c.failing, -1, usb::Fault::TransactionError);
        auto record = Record();
        if (c.code == IOCTL_HXDA_READCALPOT) {
            record.parameters.calPot = {1, 2, 0, 0x1234};
        } else {
            record.parameters.registerAccess = {c.selector, 0x1234, 0x4000};
        }
        ASSERT_EQ(device.Control(c.code, record).status, STATUS_SUCCESS) << c.what;
        EXPECT_EQ(record.status, c.status) << c.what;
        const std::uint32_t value = c.code == IOCTL_HXDA_READCALPOT
                                        ? record.parameters.calPot.value
                                        : record.parameters.registerAccess.value;
        EXPECT_EQ(value, c.value) << c.what;
    }
    // A command that does not go out: the write answers its failure in the API's own space.
    for (const std::uint32_t code : {IOCTL_HXDA_WRITEREG, IOCTL_HXDA_WRITECALPOT}) {
        bus->InjectFault(p_.pdo, board::kEndpointCommand, usb::Fault::TransactionError);
        auto record = Record();
        if (code == IOCTL_HXDA_WRITECALPOT)
            record.parameters.calPot = {1, 2, 0, 5};
        else
            record.parameters.registerAccess = {board::kRegPower, 1, 0};
        ASSERT_EQ(device.Control(code, record).status, STATUS_SUCCESS);
        EXPECT_EQ(record.status, HXGENERALFAILURE) << code;
    }
}

}  // namespace
}  // namespace board_test
