// The machine module's entries, called by the kernel at the first use in a process: install the
// buses and the drivers' files, clear what the last run left in the volatile device map, plug in
// every board of the machine's board list through the Plug and Play manager (which loads the
// boards' drivers: MQ5120k for MQ5120 boards on the USB bus, the stand-in driver for the other
// families on the machine's own bus), and watch the list while the machine runs.
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../family_driver/registry_key.h"
#include "board_set.h"
#include "kernel/loader.h"
#include "kernel/testing.h"
#include "list_watcher.h"
#include "registry/machine.h"
#include "sim/board_list.h"
#include "sim/bus.h"
#include "sim/family_driver.h"
#include "simclock/condition.h"
#include "stand_in_board.h"
#include "usb/bus.h"
#include "usb_board.h"

namespace sim {
namespace {

constexpr auto kListPollPeriod = std::chrono::milliseconds(250);
constexpr int kRemovalTimeoutMs = 10000;

constexpr int kMachineFaultRemoval = 3;
constexpr int kMachineFaultRegisterRead = 4;
// Beside the machine module: the stand-in driver's file, and the MQ5120 boards' driver.
constexpr const char* kDriverFileModule = "libMqSimDaDriverFile.so";
constexpr const char* kMq5120DriverModule = "libMQ5120k.so";
constexpr char16_t kMq5120DriverService[] = u"MQ5120k";
constexpr char16_t kMq5120DriverKey[] =
    u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\MQ5120k";

// Each board on the bus its family's driver serves.
class FamilyPlugger final : public BoardPlugger {
  public:
    FamilyPlugger(BoardPlugger* mq5120, BoardPlugger* others) : mq5120_(mq5120), others_(others) {}
    NTSTATUS PlugIn(const BoardDescription& board,
                    std::unique_ptr<PluggedBoard>* plugged) override {
        return (board.family == Family::kMq5120 ? mq5120_ : others_)->PlugIn(board, plugged);
    }

  private:
    BoardPlugger* mq5120_;
    BoardPlugger* others_;
};

struct Machine {
    PDRIVER_OBJECT bus = nullptr;
    std::filesystem::path directory;  // the machine's, as it was when it booted
    PnpLog log;
    std::unique_ptr<usb::Bus> usbBus;
    std::unique_ptr<StandInPlugger> standInPlugger;
    std::unique_ptr<UsbPlugger> usbPlugger;
    std::unique_ptr<FamilyPlugger> plugger;
    std::mutex boardsMutex;  // the boot, the watcher and the shutdown take turns on the boards
    std::unique_ptr<BoardSet> boards;
    std::unique_ptr<ListWatcher> watcher;
};

Machine* g_machine = nullptr;

// The folder of the machine module, where the modules it loads lie.
std::filesystem::path ModuleFolder() {
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &self) == 0 || self.dli_fname == nullptr)
        return {};
    return std::filesystem::path(self.dli_fname).parent_path();
}

// The device map lists the boards of this boot only.
void ClearDeviceMap() {
    RegistryKey map;
    if (!NT_SUCCESS(map.Open(u"\\Registry\\Machine\\Hardware\\DeviceMap\\MqHalcyonDaDevice")))
        return;
    for (;;) {
        union {
            KEY_BASIC_INFORMATION info;
            std::uint8_t bytes[sizeof(KEY_BASIC_INFORMATION) + 256 * sizeof(WCHAR)];
        } buffer;
        ULONG length = 0;
        if (!NT_SUCCESS(ZwEnumerateKey(map.handle(), 0, KeyBasicInformation, &buffer, sizeof buffer,
                                       &length)))
            return;
        RegistryKey entry;
        const std::u16string name(buffer.info.Name, buffer.info.NameLength / sizeof(WCHAR));
        if (!NT_SUCCESS(entry.Open(name, &map)) || !NT_SUCCESS(ZwDeleteKey(entry.handle())))
            return;
    }
}

// Installs the driver's file for every family in the machine's drivers folder, where the
// library looks for its version: the MQ5120 boards' driver module itself, the stand-in driver's
// file for the others. A file already there is left alone unless the module is newer.
void InstallDriverFiles() {
    const std::filesystem::path modules = ModuleFolder();
    if (modules.empty())
        return;
    const std::filesystem::path folder =
        registry::MachineDirectory() / "windows" / "system32" / "drivers";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (Family family : {Family::kMq5120, Family::kMq5200, Family::kMq5130, Family::kMq5310}) {
        const std::filesystem::path source =
            modules / (family == Family::kMq5120 ? kMq5120DriverModule : kDriverFileModule);
        for (const char* suffix : {"k.sys", "k4.sys"}) {
            const std::filesystem::path target =
                folder / (std::string(DriverNameOf(family)) + suffix);
            std::filesystem::copy_file(source, target,
                                       std::filesystem::copy_options::update_existing, error);
            if (error)
                std::fprintf(stderr, "machine: %s not installed: %s\n", target.c_str(),
                             error.message().c_str());
            error.clear();
        }
    }
}

BoardList ReadAndReport(const std::filesystem::path& directory) {
    BoardList list = ReadBoardList(directory);
    for (const auto& error : list.errors)
        std::fprintf(stderr, "machine: %s line %d skipped: %s\n", kBoardListFileName, error.line,
                     error.message.c_str());
    return list;
}

kernel::pnp::FunctionDriver StandInDriver() {
    return {kFamilyDriverService, [](PDRIVER_OBJECT* driver) {
                return kernel::LoadDriver(kFamilyDriverService, FamilyDriverEntry,
                                          u"\\Registry\\Machine\\System\\CurrentControlSet\\"
                                          u"Services\\MqSimDa",
                                          driver);
            }};
}

kernel::pnp::FunctionDriver Mq5120Driver() {
    const std::string module = (ModuleFolder() / kMq5120DriverModule).string();
    return {kMq5120DriverService, [module](PDRIVER_OBJECT* driver) {
                return kernel::LoadDriverModule(module, kMq5120DriverService, kMq5120DriverKey,
                                                driver);
            }};
}

// Files still open on the machine's boards, pulled out or not. The kernel counts open files per
// process, not per driver; a program of the machine opens files on its boards alone.
std::size_t OpenFiles() {
    return kernel::testing::OpenFileObjects();
}

}  // namespace
}  // namespace sim

// Test hook: a fault on a board of the booted machine (sim/machine_testing.h). 0 when raised.
// The board is looked up in the board set, under its mutex, so the watcher can neither delete its
// device meanwhile nor plug it in or out halfway.
extern "C" [[gnu::visibility("default")]] int MqMachineInjectFault(const char* family,
                                                                   unsigned serialNumber,
                                                                   unsigned type, unsigned element,
                                                                   int fault) {
    using namespace sim;
    Family wanted;
    if (g_machine == nullptr || family == nullptr || !FamilyFromName(family, &wanted))
        return 1;
    std::lock_guard lock(g_machine->boardsMutex);
    if (fault == kMachineFaultRemoval)  // the driver fails what the board had pending
        return g_machine->boards->PullOut({wanted, serialNumber}) ? 0 : 1;
    PluggedBoard* board = g_machine->boards->Find({wanted, serialNumber});
    if (board == nullptr)
        return 1;
    if (fault == kMachineFaultRegisterRead)  // the register is named by the element
        return board->FailRegisterReads(element) ? 0 : 1;
    if (fault != static_cast<int>(InjectedFault::kOverrun) &&
        fault != static_cast<int>(InjectedFault::kTrigger))
        return 1;
    return board->InjectFault(type, element, static_cast<InjectedFault>(fault)) ? 0 : 1;
}

// Test and benchmark hook (sim/machine_testing.h): the output log of a board of the booted
// machine, up to capacity records (cleared after when `clear`), its D/A underruns, whether its
// D/A runs and the samples in its D/A memory. The count of records the log held, or -1 without a
// machine or such a board.
struct MqMachineOutputRecord {
    long long timeNs;
    int channel;
    unsigned value;
};
extern "C" [[gnu::visibility("default")]] long MqMachineBoardOutputs(
    const char* family, unsigned serialNumber, MqMachineOutputRecord* out, long capacity, int clear,
    unsigned long* daUnderruns, int* daRunning, unsigned long* daMemory) {
    using namespace sim;
    Family wanted;
    if (g_machine == nullptr || family == nullptr || !FamilyFromName(family, &wanted))
        return -1;
    std::lock_guard lock(g_machine->boardsMutex);
    PluggedBoard* board = g_machine->boards->Find({wanted, serialNumber});
    if (board == nullptr)
        return -1;
    if (daUnderruns != nullptr)
        *daUnderruns = board->DaUnderruns();
    if (daRunning != nullptr)
        *daRunning = board->DaRunning() ? 1 : 0;
    if (daMemory != nullptr)
        *daMemory = board->DaMemorySamples();
    const std::vector<PluggedBoard::OutputRecord> records = board->Outputs(clear != 0);
    for (long i = 0; i < capacity && i < static_cast<long>(records.size()); ++i)
        out[i] = {records[i].timeNs, records[i].channel, records[i].value};
    return static_cast<long>(records.size());
}

// Test hooks (sim/machine_pnp_testing.h) on the booted machine's board of a family and serial
// number. The minor codes of the requests of a major function (Plug and Play or power) that its
// physical devices saw, up to capacity; the count, or -1 without a machine or for an unknown
// family.
extern "C" [[gnu::visibility("default")]] int MqMachineRequestsSeen(const char* family,
                                                                    unsigned serialNumber,
                                                                    unsigned char major,
                                                                    unsigned char* minors,
                                                                    int capacity) {
    using namespace sim;
    Family wanted;
    if (g_machine == nullptr || family == nullptr || !FamilyFromName(family, &wanted))
        return -1;
    const std::vector<UCHAR> seen = g_machine->log.Seen({wanted, serialNumber}, major);
    for (int i = 0; i < capacity && i < static_cast<int>(seen.size()); ++i)
        minors[i] = seen[static_cast<std::size_t>(i)];
    return static_cast<int>(seen.size());
}

// Orderly removal of the board; the NTSTATUS of the query.
extern "C" [[gnu::visibility("default")]] long MqMachineRequestRemoval(const char* family,
                                                                       unsigned serialNumber) {
    using namespace sim;
    Family wanted;
    if (g_machine == nullptr || family == nullptr || !FamilyFromName(family, &wanted))
        return STATUS_NO_SUCH_DEVICE;
    std::lock_guard lock(g_machine->boardsMutex);
    return g_machine->boards->RequestRemoval({wanted, serialNumber});
}

// A device power state (1 D0 .. 4 D3) for the board; the NTSTATUS.
extern "C" [[gnu::visibility("default")]] long MqMachineSetDevicePower(const char* family,
                                                                       unsigned serialNumber,
                                                                       int state) {
    using namespace sim;
    Family wanted;
    if (g_machine == nullptr || family == nullptr || !FamilyFromName(family, &wanted) ||
        state < PowerDeviceD0 || state > PowerDeviceD3)
        return STATUS_NO_SUCH_DEVICE;
    std::lock_guard lock(g_machine->boardsMutex);
    return g_machine->boards->SetDevicePower({wanted, serialNumber},
                                             static_cast<DEVICE_POWER_STATE>(state));
}

extern "C" [[gnu::visibility("default")]] int MqMachineBoot() {
    using namespace sim;
    if (g_machine != nullptr)
        return 0;
    auto* machine = new Machine;
    if (!NT_SUCCESS(kernel::LoadDriver(kBusDriverService, BusDriverEntry,
                                       u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\"
                                       u"MqSimBus",
                                       &machine->bus))) {
        delete machine;
        return 1;
    }
    g_machine = machine;
    machine->directory = registry::MachineDirectory();
    ClearDeviceMap();
    InstallDriverFiles();
    machine->usbBus = std::make_unique<usb::Bus>();
    machine->standInPlugger =
        std::make_unique<StandInPlugger>(machine->bus, StandInDriver(), &machine->log);
    machine->usbPlugger =
        std::make_unique<UsbPlugger>(machine->usbBus.get(), Mq5120Driver(), &machine->log);
    machine->plugger =
        std::make_unique<FamilyPlugger>(machine->usbPlugger.get(), machine->standInPlugger.get());
    machine->boards = std::make_unique<BoardSet>(machine->plugger.get());
    std::lock_guard lock(machine->boardsMutex);
    // The watcher's first look comes before the list is read: no change is missed.
    machine->watcher = std::make_unique<ListWatcher>(
        machine->directory / kBoardListFileName, kListPollPeriod, [machine](bool changed) {
            std::lock_guard lock(machine->boardsMutex);
            machine->boards->Tidy();
            if (changed)
                machine->boards->Apply(ReadAndReport(machine->directory).boards);
        });
    machine->boards->Apply(ReadAndReport(machine->directory).boards);
    return 0;
}

extern "C" [[gnu::visibility("default")]] int MqMachineShutdown() {
    using namespace sim;
    Machine* machine = g_machine;
    if (machine == nullptr)
        return 0;
    // Closes that the I/O manager still owes are sent first; a file still open after that would
    // stay on a driver about to go. A request whose issuer was told of its completion may still
    // be finishing on the thread that completed it (a DPC's), holding its file's close back.
    for (int waited = 0; kernel::testing::OutstandingUserRequests() != 0 && waited < 2000; ++waited)
        simclock::SleepFor(std::chrono::milliseconds(1));
    kernel::testing::DrainDeferredCloses();
    if (const std::size_t open = OpenFiles(); open != 0)
        return static_cast<int>(open);
    g_machine = nullptr;
    machine->watcher.reset();
    bool removed = machine->boards->RemoveAll(kRemovalTimeoutMs);
    // The manager unloads the boards' driver once its last board is gone.
    removed = kernel::pnp::testing::WaitIdle(kRemovalTimeoutMs) && removed;
    if (!removed)
        std::fprintf(stderr, "machine: boards still on the bus at shutdown\n");
    machine->boards.reset();
    machine->plugger.reset();
    machine->usbPlugger.reset();
    machine->usbBus.reset();
    kernel::UnloadDriver(machine->bus);
    delete machine;
    return 0;
}
