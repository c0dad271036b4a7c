// Plug-in to registration through the Plug and Play manager on the bus stand-in and the board
// model: the start's commands byte-exact, the interface key's values in order, the board database,
// names of second and renamed boards, the board type and serial number cases, OEM boards, the
// options, and the module loaded by the kernel's loader.
#include "board_machine.h"

namespace board_test {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr char kDatabase[] = "System\\CurrentControlSet\\Control\\MqHalcyonDaDevice\\BoardDatabase";
constexpr char kSoftware[] = "Software\\Marquell\\MQ-Halcyon Data Acquisition Software";

// The board's command log with each message's trailing zero bytes cut off.
std::vector<Bytes> Trimmed(const mq5120::Board& board) {
    std::vector<Bytes> out;
    for (const auto& logged : board.Commands()) {
        Bytes bytes(logged.bytes.begin(), logged.bytes.end());
        while (!bytes.empty() && bytes.back() == 0)
            bytes.pop_back();
        out.push_back(bytes);
    }
    return out;
}

mq5120::BoardIdentity Identity(std::uint8_t type, std::uint32_t serial) {
    mq5120::BoardIdentity identity;
    identity.boardType = type;
    identity.stored.serialNumber = serial;
    identity.stored.dinChangeMask = 0x5A;
    return identity;
}

std::vector<RegValue> Expected(const std::string& name, const std::string& model,
                               std::uint32_t type, std::uint32_t serial, std::uint32_t instance) {
    return {Sz("MqHalcyonBoardName", name), Sz("DriverName", "MQ5120"),
            Sz("BoardModelName", model),    Dword("BoardType", type),
            Dword("SerialNumber", serial),  Dword("DeviceInstanceNumber", instance)};
}

class BoardStartTest : public BoardMachine {};

TEST_F(BoardStartTest, PlugInIdentifiesRegistersAndInitialisesTheBoard) {
    Plugged p;
    ASSERT_EQ(Plug(Identity(8, 0x00ABCDEF), &p), STATUS_SUCCESS);
    EXPECT_EQ(kernel::pnp::StateOf(p.pdo), kernel::pnp::DeviceState::Started);
    EXPECT_TRUE(InterfaceOpens(p.pdo));

    const std::vector<Bytes> expected = {
        {0x11},
        {0x27, 1, 16, 0, 0x80, 1, 19, 0, 0x81, 1, 0x02, 0x40, 0x82, 1, 0x00, 0xC0, 0x80, 1, 2},
        {0x31, 1, 0x00, 0x04},
        {0x26, 1, 2, 0, 0x01, 0xF8},
        {0x2F},
        {0x26, 1, 0x02, 0x01, 0x5A},
        {0x26, 0, 32},
        {0x23},
        {0x26, 1, 2, 0, 0x00, 0xF8},
        {0x26, 1},
        {0x26, 1, 1},
        {0x26, 1, 3, 0, 1},
        {0x26, 1, 3},
        {0x26, 1, 4, 0, 0xFF, 0xFF},
        {0x26, 1, 4},
        {0x26, 1, 5},
    };
    EXPECT_EQ(Trimmed(*p.board), expected);
    EXPECT_EQ(p.board->SelectedConfiguration(), 1);
    EXPECT_EQ(p.board->Register(2), 0xF800);
    EXPECT_EQ(p.board->Register(258), 0x5A);

    EXPECT_EQ(InterfaceValues()[p.instanceId],
              Expected("MQ5120(00)", "MQ5120-32-04-12", 8, 0x00ABCDEF, 0));
    EXPECT_EQ(DatabaseName("MQ5120", 0x00ABCDEF), "MQ5120(00)");

    board::BoardDevice* device = DeviceOf(p.pdo);
    EXPECT_EQ(device->BoardType(), 8);
    EXPECT_EQ(device->SerialNumber(), 0x00ABCDEFu);
    EXPECT_FALSE(device->NoAnalogOutput());
    EXPECT_EQ(device->BaseClock(), 18'000'000u);
    EXPECT_EQ(device->Options(), board::DriverOptions{});
    EXPECT_EQ(device->Parameters(), board::ServiceParameters{});
}

TEST_F(BoardStartTest, BoardNamesComeFromTheDatabase) {
    // A board already known under a name keeps it; new boards count the description's entries.
    SetString(std::string(kDatabase) + "\\MQ5120\\00000777", "MqHalcyonBoardName", "Bench rig");
    Plugged known, second, third;
    ASSERT_EQ(Plug(Identity(0, 0x777), &known), STATUS_SUCCESS);
    ASSERT_EQ(Plug(Identity(0, 0x1001), &second), STATUS_SUCCESS);
    ASSERT_EQ(Plug(Identity(0, 0), &third), STATUS_SUCCESS);

    auto values = InterfaceValues();
    EXPECT_EQ(values[known.instanceId], Expected("Bench rig", "MQ5120-16-04-12", 0, 0x777, 0));
    // The description key held one board when the second came: "(01)".
    EXPECT_EQ(values[second.instanceId], Expected("MQ5120(01)", "MQ5120-16-04-12", 0, 0x1001, 1));
    // Serial number 0: keyed and registered by the instance number.
    EXPECT_EQ(values[third.instanceId], Expected("MQ5120(02)", "MQ5120-16-04-12", 0, 2, 2));
    EXPECT_EQ(DatabaseName("MQ5120", 0x777), "Bench rig");
    EXPECT_EQ(DatabaseName("MQ5120", 0x1001), "MQ5120(01)");
    EXPECT_EQ(DatabaseName("MQ5120", 2), "MQ5120(02)");
}

TEST_F(BoardStartTest, ARenameInTheDatabaseSurvivesARestart) {
    Plugged p;
    ASSERT_EQ(Plug(Identity(4, 0x4242), &p), STATUS_SUCCESS);
    EXPECT_EQ(DatabaseName("MQ5120", 0x4242), "MQ5120(00)");
    // What the library's rename writes when the model's key is missing: the driver name's key.
    SetString(std::string(kDatabase) + "\\MQ5120\\00004242", "MqHalcyonBoardName", "Renamed");
    Unplug(p);
    plugged.clear();

    Plugged again;
    ASSERT_EQ(Plug(Identity(4, 0x4242), &again), STATUS_SUCCESS);
    EXPECT_EQ(InterfaceValues()[again.instanceId],
              Expected("Renamed", "MQ5120-16-04-16", 4, 0x4242, 0));
}

TEST_F(BoardStartTest, BoardTypeAndModel) {
    struct Case {
        const char* what;
        std::uint8_t type;
        bool failTypeRead;
        std::uint32_t registeredType;
        std::string model;
        bool noAnalogOutput;
    };
    const Case cases[] = {
        {"unreadable type", 0, true, 12, "MQ5120-32-04-16", false},
        {"no analog outputs", 14, false, 14, "MQ5120-32-00-16", true},
        {"type 2", 2, false, 2, "MQ5120-16-00-12", true},
        {"type without a model", 3, false, 3, "UNKNOWN", false},
    };
    for (const Case& c : cases) {
        auto board = std::make_shared<mq5120::Board>(Identity(c.type, 0x500 + c.type),
                                                     std::make_shared<mq5120::ManualTime>());
        if (c.failTypeRead)
            board->FailReplies(0x26, 32, usb::Fault::TransactionError);
        Plugged p;
        auto arrived = PlugAsync(board, &p, u"Marquell", u"MQ5120");
        ASSERT_TRUE(ReadyWithin(arrived, std::chrono::seconds(10)));
        ASSERT_EQ(arrived.get(), STATUS_SUCCESS) << c.what;
        board::BoardDevice* device = DeviceOf(p.pdo);
        EXPECT_EQ(device->BoardType(), c.registeredType) << c.what;
        EXPECT_EQ(device->NoAnalogOutput(), c.noAnalogOutput) << c.what;
        const auto values = InterfaceValues()[p.instanceId];
        ASSERT_EQ(values.size(), 6u) << c.what;
        EXPECT_EQ(values[2], Sz("BoardModelName", c.model)) << c.what;
        EXPECT_EQ(values[3], Dword("BoardType", c.registeredType)) << c.what;
        RemoveAll();
    }
}

TEST_F(BoardStartTest, AFailingSerialNumberReadFailsTheStartAndWritesNothing) {
    for (auto fault : {usb::Fault::TransactionError, usb::Fault::DataError}) {
        auto board = std::make_shared<mq5120::Board>(Identity(0, 0x99),
                                                     std::make_shared<mq5120::ManualTime>());
        board->FailReplies(0x23, -1, fault);
        Plugged p;
        auto arrived = PlugAsync(board, &p, u"Marquell", u"MQ5120");
        ASSERT_TRUE(ReadyWithin(arrived, std::chrono::seconds(10)));
        EXPECT_FALSE(NT_SUCCESS(arrived.get()));
        EXPECT_TRUE(kernel::pnp::testing::WaitIdle(10000));
        EXPECT_EQ(kernel::pnp::StateOf(p.pdo), kernel::pnp::DeviceState::StartFailed);
        EXPECT_FALSE(InterfaceOpens(p.pdo));
        // Nothing was registered, no register was initialised, and the configuration is gone.
        EXPECT_TRUE(InterfaceValues()[p.instanceId].empty());
        EXPECT_EQ(DatabaseName("MQ5120", 0x99), "");
        EXPECT_EQ(board->Commands().back().bytes[0], 0x23);
        EXPECT_EQ(board->SelectedConfiguration(), 0);
        RemoveAll();
    }
}

TEST_F(BoardStartTest, AFailingConfigurationFailsTheStart) {
    mq5120::BoardIdentity identity = Identity(0, 0x31);
    identity.omittedEndpoint = 0x81;
    Plugged p;
    EXPECT_EQ(Plug(identity, &p), STATUS_UNSUCCESSFUL);
    EXPECT_TRUE(p.board->Commands().empty());
}

TEST_F(BoardStartTest, OemBoardsRegisterTheirDescription) {
    struct Case {
        std::u16string manufacturer, description;
        std::string database, model;
    };
    const Case cases[] = {
        {u"Varnholt Instruments", u"Lab Board (USB)", "Lab Board (USB)", "Lab Board "},
        {u"Varnholt", u"LabBoard", "LabBoard", "LabBoard"},
        // Only the exact prefix counts.
        {u"varnholt", u"Lab Board (USB)", "Lab Board (USB)", "MQ5120-16-04-12"},
    };
    for (const Case& c : cases) {
        Plugged p;
        ASSERT_EQ(Plug(Identity(0, 0x600), &p, c.manufacturer, c.description), STATUS_SUCCESS);
        const auto values = InterfaceValues()[p.instanceId];
        EXPECT_EQ(values, Expected(c.database + "(00)", c.model, 0, 0x600, 0)) << c.database;
        EXPECT_EQ(DatabaseName(c.database, 0x600), c.database + "(00)");
        RemoveAll();
    }
}

TEST_F(BoardStartTest, OptionsAreReadAtStartAndParametersAtLoad) {
    SetDword(kSoftware, "DelayedStopCompletion", 1);
    SetDword(kSoftware, "DriverDoesMultipleWrap", 0);
    SetDword(kSoftware, "ClearDataToggleOnAbort", 7);
    SetDword(kSoftware, "DacFifoSize", 4096);
    SetDword(kSoftware, "AdFifoSize", 2048);
    SetDword("System\\CurrentControlSet\\Services\\MQ5120k\\Parameters", "MessageOverrunOverride",
             0);
    SetDword("System\\CurrentControlSet\\Services\\MQ5120k\\Parameters", "EepromValidationOverride",
             5);
    Plugged p;
    ASSERT_EQ(Plug(Identity(0, 0x700), &p), STATUS_SUCCESS);
    const board::BoardDevice* device = DeviceOf(p.pdo);
    EXPECT_EQ(device->Options(), (board::DriverOptions{true, false, true, 4096, 2048}));
    EXPECT_EQ(device->Parameters(), (board::ServiceParameters{5, 0}));
    // ClearDataToggleOnAbort: the start ends with command 0x5B.
    const auto commands = p.board->Commands();
    EXPECT_EQ(commands.back().bytes[0], 0x5B);
    EXPECT_EQ(commands.back().bytes[1], 1);
}

TEST_F(BoardStartTest, AnyFailingDriverAllocationFailsThePlugInCleanly) {
    // Every allocation of the driver's pool from loading to the started board fails once in turn:
    // the plug-in succeeds or fails with a status, and nothing stays behind. The last rounds fail
    // nothing any more, so every allocation was covered.
    int failed = 0;
    NTSTATUS last = STATUS_PENDING;
    for (int nth = 1; nth <= 24; ++nth) {
        kernel::testing::FailPoolAllocation(nth, wdm::kPoolTag);
        Plugged p;
        last = Plug(Identity(0, 0x800), &p);
        kernel::testing::FailPoolAllocation(0);
        if (!NT_SUCCESS(last)) {
            ++failed;
            EXPECT_FALSE(InterfaceOpens(p.pdo)) << nth;
        }
        RemoveAll();
        EXPECT_FALSE(kernel::pnp::DriverLoaded(board::kServiceName)) << nth;
        EXPECT_EQ(kernel::testing::PoolOutstanding(wdm::kPoolTag), kernel::testing::PoolUsage{})
            << nth;
        // A PDO whose device was never added stays until its bus goes.
        bus = std::make_unique<usb::Bus>();
    }
    EXPECT_GT(failed, 0);
    EXPECT_EQ(last, STATUS_SUCCESS);
}

TEST_F(BoardStartTest, TheModuleIsLoadedAsTheDriver) {
    useModule = true;
    Plugged first, second;
    ASSERT_EQ(Plug(Identity(12, 0x1234), &first), STATUS_SUCCESS);
    ASSERT_EQ(Plug(Identity(13, 0x1235), &second), STATUS_SUCCESS);
    EXPECT_TRUE(kernel::pnp::DriverLoaded(board::kServiceName));
    auto values = InterfaceValues();
    EXPECT_EQ(values[first.instanceId], Expected("MQ5120(00)", "MQ5120-32-04-16", 12, 0x1234, 0));
    EXPECT_EQ(values[second.instanceId], Expected("MQ5120(01)", "MQ5120-00-04-16", 13, 0x1235, 1));
}

}  // namespace
}  // namespace board_test
