// The D/A through user-mode files onto the board model: the configuration's registers and its
// refusals, single values, queued writes played at the clock with I/O complete at the end, the
// single buffer repeated until a stop, stop and abort in every wrap mode, the held stop, and the
// board pulled out while it streams.
#include "da_fixture.h"
#include "kernel/debug_print.h"

namespace board_test {
namespace {

using namespace std::chrono_literals;

using DaSubsystemTest = DaFixture;

std::uint16_t LastWrite(const mq5120::Board& board, std::uint16_t reg) {
    std::uint16_t value = 0;
    for (const mq5120::RegisterWrite& w : board.RegisterWrites())
        if (w.reg == reg)
            value = w.value;
    return value;
}

TEST_F(DaSubsystemTest, ConfigurationProgramsTheControlWordAndRefusesWhatTheBoardCannotTake) {
    constexpr std::uint16_t kSettings = board::kControlDaChannels | board::kControlDaDrivesDout |
                                        board::kControlDaEnabled | board::kControlDaStreamSettings;
    struct Case {
        const char* what;
        std::vector<std::uint16_t> channels;
        double hz;
        std::uint16_t trigger;
        std::uint16_t flow;
        std::uint32_t status;
        std::uint16_t control;  // the D/A bits of register 2
        std::uint32_t divider;
    };
    const Case cases[] = {
        {"outputs 0 and 2 and the port",
         {0, 2, 4},
         1000,
         HXTRIG_SOFTWARE,
         HXDF_CONTINUOUS,
         HXNOERROR,
         static_cast<std::uint16_t>(board::ControlDaChannel(0) | board::ControlDaChannel(2) |
                                    board::kControlDaDrivesDout | board::kControlDaEnabled),
         18'000},
        {"external trigger",
         {1},
         7000,
         HXTRIG_EXTERNAL,
         HXDF_CONTINUOUS,
         HXNOERROR,
         static_cast<std::uint16_t>(board::ControlDaChannel(1) | board::kControlDaEnabled |
                                    board::kControlDaExternalTrigger |
                                    board::kControlDaClockedTrigger),
         2'571},
        {"threshold trigger",
         {3},
         1000,
         HXTRIG_THRESHOLDPOS,
         HXDF_CONTINUOUS,
         HXNOERROR,
         static_cast<std::uint16_t>(board::ControlDaChannel(3) | board::kControlDaEnabled |
                                    board::kControlDaExternalTrigger |
                                    board::kControlDaThresholdTrigger |
                                    board::kControlDaClockedTrigger),
         18'000},
        {"single values: the fixed clock, no stream settings",
         {0},
         5,
         HXTRIG_EXTERNAL,
         HXDF_SINGLEVALUE,
         HXNOERROR,
         static_cast<std::uint16_t>(board::ControlDaChannel(0) | board::kControlDaEnabled),
         180},
        {"a trigger the outputs lack",
         {0},
         1000,
         HXTRIG_ANALOGEVENT,
         HXDF_CONTINUOUS,
         HXINVALIDTRIGGER,
         0,
         0},
        {"a channel past the port",
         {0, 5},
         1000,
         HXTRIG_SOFTWARE,
         HXDF_CONTINUOUS,
         HXINVALIDCHANNEL,
         0,
         0},
        {"a clock of 0 Hz", {0}, 0, HXTRIG_SOFTWARE, HXDF_CONTINUOUS, HXINVALIDFREQUENCY, 0, 0},
        {"six list entries",
         {0, 1, 2, 3, 4, 0},
         1000,
         HXTRIG_SOFTWARE,
         HXDF_CONTINUOUS,
         HXINVALIDLISTSIZE,
         0,
         0},
    };
    UserFile da(kDaPath);
    ASSERT_EQ(da.Status(), STATUS_SUCCESS);
    for (const Case& c : cases) {
        Block block = DaBlock(c.channels, c.hz, HXWRAP_NONE, c.flow);
        block.Get().triggerSource = c.trigger;
        p_.board->ClearLog();
        EXPECT_EQ(Configure(da, block), c.status) << c.what;
        if (c.status != HXNOERROR) {
            // Refused before anything reached the board.
            EXPECT_TRUE(p_.board->RegisterWrites().empty()) << c.what;
            continue;
        }
        EXPECT_EQ(LastWrite(*p_.board, board::kRegBoardControl) & kSettings, c.control) << c.what;
        const std::uint32_t divider = LastWrite(*p_.board, board::kRegDaDividerLow) |
                                      (LastWrite(*p_.board, board::kRegDaDividerHigh) << 16);
        EXPECT_EQ(divider, c.divider) << c.what;
        if (c.flow != HXDF_SINGLEVALUE) {
            EXPECT_NEAR(hxda::decodeFixedPoint(block.Get().clockFrequency), 18e6 / c.divider, 1e-3)
                << c.what;
        }
    }
}

TEST_F(DaSubsystemTest, SingleValuesReachTheOutputsAndTheByteOutput) {
    UserFile analog(kDaPath);
    UserFile byteOutput(kByteOutputPath);
    ASSERT_EQ(byteOutput.Status(), STATUS_SUCCESS);
    struct Case {
        UserFile* file;
        std::uint32_t channel;
        std::uint32_t value;
        std::uint32_t status;
        int loggedChannel;  // -1: nothing reaches the board
    };
    const Case cases[] = {
        {&analog, 0, 0x1234, HXNOERROR, 0},         {&analog, 3, 0xFFFF, HXNOERROR, 3},
        {&analog, 4, 0x1000, HXINVALIDCHANNEL, -1}, {&byteOutput, 0, 0x5A, HXNOERROR, 4},
        {&byteOutput, 0, 256, HXINVALIDRANGE, -1},
    };
    for (const Case& c : cases) {
        p_.board->ClearLog();
        auto record = Record(HXSS_DA);
        record.parameters.singleValue.channel = c.channel;
        record.parameters.singleValue.value = c.value;
        ASSERT_EQ(c.file->Control(IOCTL_HXDA_SETSINGLEVALUE, record).status, STATUS_SUCCESS);
        EXPECT_EQ(record.status, c.status) << c.channel << " " << c.value;
        const auto outputs = Outputs();
        if (c.loggedChannel < 0) {
            EXPECT_TRUE(outputs.empty());
            continue;
        }
        ASSERT_EQ(outputs.size(), 1u);
        EXPECT_EQ(outputs[0].channel, c.loggedChannel);
        EXPECT_EQ(outputs[0].value, c.value);
    }
    // A command the board does not take is a failure, not a success.
    bus->InjectFault(p_.pdo, board::kEndpointCommand, usb::Fault::TransactionError);
    auto record = Record(HXSS_DA);
    record.parameters.singleValue.value = 1;
    ASSERT_EQ(analog.Control(IOCTL_HXDA_SETSINGLEVALUE, record).status, STATUS_SUCCESS);
    EXPECT_EQ(record.status, HXGENERALFAILURE);
}

// Wrap mode none: three writes go out in order on the two outputs of the list at the clock, each
// comes back with its length, and the board's drain ends the transfer with I/O complete.
TEST_F(DaSubsystemTest, QueuedWritesPlayAtTheClockInOrderAndEndWithIoComplete) {
    constexpr std::size_t kSamples = 400;
    constexpr double kHz = 10'000;
    UserFile da(kDaPath);
    Block block = DaBlock({0, 1}, kHz);
    ASSERT_EQ(Configure(da, block), HXNOERROR);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "first run" : "second run: the subsystem is idle again");
        EventWait complete(da);
        p_.board->ClearLog();
        Writes writes(da, 3, kSamples, static_cast<std::uint16_t>(run * 5000));
        // Started before the board is ready: it starts with its ready message.
        ASSERT_EQ(Simple(da, IOCTL_HXDA_START), HXNOERROR);
        ASSERT_TRUE(Eventually([&] { return p_.board->DaMemorySamples() == 3 * kSamples; }));
        ASSERT_TRUE(Eventually([&] { return p_.board->DaRunning(); }));
        EXPECT_EQ(DaState(), board::DaState::kRunning);
        ASSERT_TRUE(writes.AllBack());
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(writes.Result(i).status, STATUS_SUCCESS);
            EXPECT_EQ(writes.Result(i).information, kSamples * 2);
        }
        const std::int64_t start = p_.time->NowNs();
        Advance(130ms);
        const auto outputs = Outputs();
        const std::vector<std::uint16_t> sent = writes.Samples();
        ASSERT_EQ(outputs.size(), sent.size());
        for (std::size_t u = 0; u < sent.size(); ++u) {
            ASSERT_EQ(outputs[u].value, sent[u]) << "update " << u;
            ASSERT_EQ(outputs[u].channel, static_cast<int>(u % 2)) << "update " << u;
            ASSERT_EQ(outputs[u].timeNs - start, static_cast<std::int64_t>((u + 1) * 100'000))
                << "update " << u;
        }
        EXPECT_EQ(complete.Code(), HXEV_IOCOMPLETE);
        EXPECT_TRUE(Eventually([&] { return DaState() == board::DaState::kIdle; }));
        EXPECT_FALSE(p_.board->DaRunning());
        EXPECT_EQ(p_.board->Counters().daUnderruns, 0u);
    }
}

// Wrap single with a buffer the board's memory holds: the board repeats it; the write stays in
// process until the stop, which ends the transfer at once. A buffer 2 bytes longer is not held.
TEST_F(DaSubsystemTest, ASingleBufferRepeatsUntilTheStop) {
    UserFile da(kDaPath);
    Block block = DaBlock({2}, 10'000, HXWRAP_SINGLE);
    ASSERT_EQ(Configure(da, block), HXNOERROR);
    EventWait complete(da);
    Writes one(da, 1, 100, 7);
    ASSERT_EQ(Simple(da, IOCTL_HXDA_START), HXNOERROR);
    ASSERT_TRUE(Eventually([&] { return p_.board->DaRunning(); }));
    EXPECT_NE(LastWrite(*p_.board, board::kRegBoardControl) & board::kControlDaSingleBuffer, 0);
    p_.board->ClearLog();
    Advance(25ms);
    const auto outputs = Outputs();
    ASSERT_EQ(outputs.size(), 250u);
    for (std::size_t u = 0; u < outputs.size(); ++u)
        ASSERT_EQ(outputs[u].value, 7 + u % 100) << "update " << u;
    EXPECT_FALSE(one.AllBack(0ms)) << "the repeated buffer stays in process";

    EXPECT_EQ(Simple(da, IOCTL_HXDA_STOP), HXNOERROR);
    ASSERT_TRUE(one.AllBack());
    EXPECT_EQ(one.Result(0).status, STATUS_CANCELLED);
    EXPECT_EQ(complete.Code(), HXEV_IOCOMPLETE);
    EXPECT_TRUE(Eventually([&] { return DaState() == board::DaState::kIdle; }));
    EXPECT_FALSE(p_.board->DaRunning());

    // The limit of the board's memory: 0x40000 bytes are repeated from it, 0x40002 are not.
    for (const std::size_t bytes : {board::kDaSingleBufferBytes, board::kDaSingleBufferBytes + 2}) {
        SCOPED_TRACE(bytes);
        Writes big(da, 1, bytes / 2);
        ASSERT_TRUE(Eventually([&] {
            return DaState() == board::DaState::kFirstWrite || DaState() == board::DaState::kReady;
        }));
        EXPECT_EQ(
            (LastWrite(*p_.board, board::kRegBoardControl) & board::kControlDaSingleBuffer) != 0,
            bytes == board::kDaSingleBufferBytes);
        EXPECT_EQ(Simple(da, IOCTL_HXDA_ABORT), HXNOERROR);
        ASSERT_TRUE(big.AllBack());
        EXPECT_TRUE(Eventually([&] { return DaState() == board::DaState::kIdle; }));
    }
}

// Stop and abort in every wrap mode: the request answers at once, every write comes back, the
// transfer ends with I/O complete and the subsystem takes a new configuration and transfer (an
// abort used to leave it stopping for good, refusing every later write).
TEST_F(DaSubsystemTest, StopAndAbortInEveryWrapModeLeaveTheSubsystemUsable) {
    for (const std::uint16_t wrap : {HXWRAP_NONE, HXWRAP_MULTIPLE, HXWRAP_SINGLE}) {
        for (const std::uint32_t code : {IOCTL_HXDA_STOP, IOCTL_HXDA_ABORT}) {
            SCOPED_TRACE(testing::Message()
                         << "wrap " << wrap << (code == IOCTL_HXDA_STOP ? " stop" : " abort"));
            ASSERT_TRUE(NothingOpen());
            UserFile da(kDaPath);
            Block block = DaBlock({0}, 10'000, wrap);
            ASSERT_EQ(Configure(da, block), HXNOERROR);
            EventWait complete(da);
            Writes writes(da, wrap == HXWRAP_SINGLE ? 1 : 3, 2000);
            ASSERT_EQ(Simple(da, IOCTL_HXDA_START), HXNOERROR);
            ASSERT_TRUE(Eventually([&] { return p_.board->DaRunning(); }));
            Advance(10ms);
            EXPECT_EQ(Simple(da, code), HXNOERROR);
            ASSERT_TRUE(writes.AllBack());
            // A stop lets the board play out what it holds.
            Advance(code == IOCTL_HXDA_STOP && wrap != HXWRAP_SINGLE ? 700ms : 1ms);
            EXPECT_EQ(complete.Code(), HXEV_IOCOMPLETE);
            EXPECT_TRUE(Eventually([&] { return DaState() == board::DaState::kIdle; }));
            EXPECT_FALSE(p_.board->DaRunning());

            // Usable again: configured, and a new write plays.
            ASSERT_EQ(Configure(da, block), HXNOERROR);
            p_.board->ClearLog();
            Writes again(da, 1, 50, 100);
            ASSERT_EQ(Simple(da, IOCTL_HXDA_START), HXNOERROR);
            ASSERT_TRUE(Eventually([&] { return p_.board->DaRunning(); }));
            Advance(6ms);
            ASSERT_GE(Outputs().size(), 50u);
            EXPECT_EQ(Outputs()[49].value, 149);
            EXPECT_EQ(Simple(da, IOCTL_HXDA_ABORT), HXNOERROR);
            ASSERT_TRUE(again.AllBack());
        }
    }
}

// With DelayedStopCompletion the stop waits for the write in process, and later writes are
// cancelled; without it the stop answers at once.
TEST_F(DaSubsystemTest, ADelayedStopCompletesWhenTheWritesAreDone) {
    RemoveAll();
    SetDword("Software\\Marquell\\MQ-Halcyon Data Acquisition Software", "DelayedStopCompletion",
             1);
    mq5120::BoardIdentity identity;
    identity.boardType = 4;
    ASSERT_EQ(Plug(identity, &p_), STATUS_SUCCESS);
    UserFile da(kDaPath);
    Block block = DaBlock({0}, 100'000);
    ASSERT_EQ(Configure(da, block), HXNOERROR);
    // The board's memory holds two of these: the third waits for room, the fourth behind it.
    Writes writes(da, 4, 0x10000);
    ASSERT_EQ(Simple(da, IOCTL_HXDA_START), HXNOERROR);
    ASSERT_TRUE(Eventually([&] { return p_.board->DaRunning(); }));
    ASSERT_TRUE(writes.AllBack(0ms) == false);
    PendingRequest stop(da, IOCTL_HXDA_STOP);
    EXPECT_FALSE(stop.Ready(50ms)) << "held while a write is in process";
    Advance(1s, 2ms);
    ASSERT_TRUE(stop.Ready(kBound));
    EXPECT_EQ(stop.record.status, HXNOERROR);
    ASSERT_TRUE(writes.AllBack());
    EXPECT_EQ(writes.Result(2).status, STATUS_SUCCESS) << "in process at the stop";
    EXPECT_EQ(writes.Result(3).status, STATUS_CANCELLED) << "not begun before the stop";
    EXPECT_EQ(Simple(da, IOCTL_HXDA_ABORT), HXNOERROR);
}

// Pulled out while streaming: every write comes back, the removal is reported once, the
// subsystem refuses new writes, and the trace says what happened.
TEST_F(DaSubsystemTest, TheBoardPulledOutWhileStreamingGivesEveryWriteBackAndTellsItOnce) {
    kernel::testing::ClearDebugPrintOutput();
    UserFile da(kDaPath);
    Block refused = DaBlock({0}, 1000);
    refused.Get().triggerSource = HXTRIG_ANALOGEVENT;
    EXPECT_EQ(Configure(da, refused), HXINVALIDTRIGGER);
    Block block = DaBlock({0}, 10'000);
    ASSERT_EQ(Configure(da, block), HXNOERROR);
    EventWait first(da);
    EventWait second(da);
    Writes writes(da, 4, 0x10000);
    ASSERT_EQ(Simple(da, IOCTL_HXDA_START), HXNOERROR);
    ASSERT_TRUE(Eventually([&] { return p_.board->DaRunning(); }));
    Advance(20ms);
    bus->Unplug(p_.pdo);
    ASSERT_TRUE(writes.AllBack());
    EXPECT_EQ(first.Code(), HXEV_DEVICEREMOVED);
    EXPECT_NE(second.Code(200ms), HXEV_DEVICEREMOVED) << "told once";
    std::vector<std::uint16_t> buffer(100);
    EXPECT_EQ(UserFile::Wait(da.Read(buffer.data(), 200), kBound).status, STATUS_DELETE_PENDING);
    const std::string trace = kernel::testing::DebugPrintOutput();
    EXPECT_NE(trace.find("MQ5120k: D/A 0 configure refused: trigger 303"), std::string::npos)
        << trace;
    EXPECT_NE(trace.find("MQ5120k: D/A 0: board removed"), std::string::npos) << trace;
    da.Close();
    auto gone = kernel::pnp::DeviceGone(p_.pdo);
    EXPECT_TRUE(ReadyWithin(gone, kBound));
}

}  // namespace
}  // namespace board_test
