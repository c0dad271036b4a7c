#include "board_machine.h"

#include <thread>

#include "kernel/io_user.h"
#include "registry/encoding.h"

namespace board_test {

namespace {

constexpr auto kWait = std::chrono::seconds(10);

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text)
        out += static_cast<char>(c);
    return out;
}

RegValue Decode(const registry::Value& v) {
    RegValue out{v.name, v.type, "", 0};
    if (v.type == 1) {
        for (std::size_t i = 0; i + 1 < v.data.size(); i += 2) {
            const auto c = static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8));
            if (c == 0)
                break;
            out.text += static_cast<char>(c);
        }
    } else if (v.type == 4 && v.data.size() == 4) {
        out.number = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                     (static_cast<std::uint32_t>(v.data[3]) << 24);
    }
    return out;
}

std::vector<registry::Subkey> Subkeys(registry::Store& store, registry::KeyId key) {
    std::vector<registry::Subkey> out;
    for (std::uint32_t i = 0;; ++i) {
        auto sub = store.EnumerateSubkey(key, i);
        if (!sub.ok())
            return out;
        out.push_back(sub.value);
    }
}

std::vector<RegValue> Values(registry::Store& store, registry::KeyId key) {
    std::vector<RegValue> out;
    for (std::uint32_t i = 0;; ++i) {
        auto value = store.EnumerateValue(key, i);
        if (!value.ok())
            return out;
        out.push_back(Decode(value.value));
    }
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const RegValue& v) {
    return out << v.name << "(" << v.type
               << ")=" << (v.type == 1 ? v.text : std::to_string(v.number));
}

std::vector<RegValue> KeyValues(const std::string& path) {
    auto store = registry::MachineStore();
    auto key = store->OpenKey(store->RootKey(registry::Root::kLocalMachine), path);
    if (!key.ok())
        return {};
    return Values(*store, key.value);
}

std::map<std::string, std::vector<RegValue>> InterfaceValues() {
    std::map<std::string, std::vector<RegValue>> out;
    auto store = registry::MachineStore();
    auto classes = store->OpenKey(store->RootKey(registry::Root::kLocalMachine),
                                  "System\\CurrentControlSet\\Control\\DeviceClasses");
    if (!classes.ok())
        return out;
    for (const auto& guid : Subkeys(*store, classes.value)) {
        auto guidKey = store->OpenKey(classes.value, guid.name);
        for (const auto& entry : Subkeys(*store, guidKey.value)) {
            auto parameters = store->OpenKey(guidKey.value, entry.name + "\\Device Parameters");
            if (!parameters.ok())
                continue;
            // "##?#USB#MQ5120#0001#{guid}": the instance path's last part before the GUID.
            std::string name = entry.name.substr(0, entry.name.rfind('#'));
            name = name.substr(name.rfind('#') + 1);
            out[name] = Values(*store, parameters.value);
        }
    }
    return out;
}

bool InterfaceOpens(PDEVICE_OBJECT pdo) {
    UNICODE_STRING link{0, 0, nullptr};
    if (!NT_SUCCESS(IoRegisterDeviceInterface(pdo, &board::kBoardInterfaceClass, nullptr, &link)))
        return false;
    const std::string path = Narrow(std::u16string(link.Buffer, link.Length / sizeof(WCHAR)));
    RtlFreeUnicodeString(&link);
    const auto opened = kernel::user_io::Open(path, 0xC0000000, 1);
    if (opened.status != STATUS_SUCCESS)
        return false;
    kernel::user_io::Close(opened.file);
    EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
    return true;
}

void SetDword(const std::string& path, const std::string& name, std::uint32_t value) {
    auto store = registry::MachineStore();
    auto key = store->CreateKey(store->RootKey(registry::Root::kLocalMachine), path);
    ASSERT_TRUE(key.status == registry::Status::kOk);
    const std::uint8_t data[4] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    store->SetValue(key.value.id, name, 4, data);
}

void SetString(const std::string& path, const std::string& name, const std::string& text) {
    auto store = registry::MachineStore();
    auto key = store->CreateKey(store->RootKey(registry::Root::kLocalMachine), path);
    ASSERT_TRUE(key.status == registry::Status::kOk);
    std::vector<std::uint8_t> data;
    for (char c : text) {
        data.push_back(static_cast<std::uint8_t>(c));
        data.push_back(0);
    }
    data.push_back(0);
    data.push_back(0);
    store->SetValue(key.value.id, name, 1, data);
}

std::string DatabaseName(const std::string& description, std::uint32_t key) {
    char number[9];
    std::snprintf(number, sizeof number, "%08X", key);
    for (const RegValue& v :
         KeyValues("System\\CurrentControlSet\\Control\\MqHalcyonDaDevice\\BoardDatabase\\" +
                   description + "\\" + number))
        if (v.name == "MqHalcyonBoardName")
            return v.text;
    return "";
}

void BoardMachine::SetUp() {
    kernel::machine::SetBootEnabled(false);
    machine_ = std::make_unique<registry::ScopedMachine>();
    bus = std::make_unique<usb::Bus>();
}

void BoardMachine::TearDown() {
    RemoveAll();
    bus.reset();
    EXPECT_FALSE(kernel::pnp::DriverLoaded(board::kServiceName));
    EXPECT_EQ(kernel::testing::PoolOutstanding(wdm::kPoolTag), kernel::testing::PoolUsage{});
    EXPECT_EQ(kernel::testing::OpenKeyHandles(), 0u);
    machine_.reset();
}

kernel::pnp::FunctionDriver BoardMachine::Driver() const {
    if (useModule)
        return {board::kServiceName, [](PDRIVER_OBJECT* driver) {
                    return kernel::LoadDriverModule(MQ5120K_MODULE, board::kServiceName,
                                                    board::kServiceKey, driver);
                }};
    return {board::kServiceName, [](PDRIVER_OBJECT* driver) {
                return kernel::LoadDriver(board::kServiceName, board::Mq5120kDriverEntry,
                                          board::kServiceKey, driver);
            }};
}

std::future<NTSTATUS> BoardMachine::PlugAsync(std::shared_ptr<mq5120::Board> board, Plugged* out,
                                              const std::u16string& manufacturer,
                                              const std::u16string& description) {
    Plugged p;
    p.board = std::move(board);
    p.pdo = bus->Plug(p.board);
    EXPECT_NE(p.pdo, nullptr);
    char16_t id[8];
    swprintf(id, 8, u"%04d", nextId_++);
    p.instanceId = Narrow(id);
    EXPECT_EQ(kernel::SetDeviceInstancePath(p.pdo, u"USB\\MQ5120\\" + std::u16string(id)),
              STATUS_SUCCESS);
    kernel::SetDeviceProperty(p.pdo, DevicePropertyManufacturer, manufacturer);
    kernel::SetDeviceProperty(p.pdo, DevicePropertyDeviceDescription, description);
    plugged.push_back(p);
    if (out != nullptr)
        *out = p;
    return kernel::pnp::DeviceArrived(p.pdo, Driver());
}

NTSTATUS BoardMachine::Plug(const mq5120::BoardIdentity& identity, Plugged* out,
                            const std::u16string& manufacturer, const std::u16string& description) {
    std::shared_ptr<mq5120::TimeSource> time;
    std::shared_ptr<mq5120::ManualTime> manual;
    if (realTimeBoards) {
        time = std::make_shared<mq5120::RealTime>();
    } else {
        manual = std::make_shared<mq5120::ManualTime>();
        time = manual;
    }
    auto board = std::make_shared<mq5120::Board>(identity, time);
    auto arrived = PlugAsync(board, out, manufacturer, description);
    plugged.back().time = manual;
    if (out != nullptr)
        out->time = manual;
    if (!ReadyWithin(arrived, kWait)) {
        ADD_FAILURE() << "plug-in did not finish";
        return STATUS_IO_TIMEOUT;
    }
    return arrived.get();
}

void BoardMachine::Unplug(const Plugged& p) {
    if (!bus->IsPlugged(p.pdo) && kernel::pnp::StateOf(p.pdo) == kernel::pnp::DeviceState::Unknown)
        return;
    // A device whose AddDevice failed receives no removal, so its PDO goes with the bus; the
    // PDO of a failed start may already be gone.
    const bool added = kernel::pnp::StateOf(p.pdo) != kernel::pnp::DeviceState::StartFailed;
    bus->Unplug(p.pdo);
    auto gone = kernel::pnp::DeviceGone(p.pdo);
    EXPECT_TRUE(ReadyWithin(gone, kWait));
    EXPECT_TRUE(kernel::pnp::testing::WaitIdle(10000));
    if (added) {
        EXPECT_TRUE(bus->WaitDeleted(p.pdo, 10000));
    }
}

void BoardMachine::RemoveAll() {
    for (const Plugged& p : plugged)
        Unplug(p);
    plugged.clear();
    EXPECT_TRUE(kernel::pnp::testing::WaitIdle(10000));
}

}  // namespace board_test
