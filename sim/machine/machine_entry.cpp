// The machine module's entries, called by the kernel at the first use in a process: install the
// drivers, clear what the last run left in the volatile device map, and plug in every board of the
// machine's board list.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../family_driver/registry_key.h"
#include "kernel/loader.h"
#include "kernel/testing.h"
#include "registry/machine.h"
#include "sim/board_list.h"
#include "sim/bus.h"
#include "sim/family_driver.h"

namespace sim {
namespace {

struct Machine {
    PDRIVER_OBJECT bus = nullptr;
    PDRIVER_OBJECT functionDriver = nullptr;
};

Machine* g_machine = nullptr;
constexpr int kMachineFaultRemoval = 3;
constexpr const char* kDriverFileModule = "libMqSimDaDriverFile.so";

// The device map lists the boards of this boot only.
void ClearDeviceMap() {
    RegistryKey map;
    if (!NT_SUCCESS(map.Open(L"\\Registry\\Machine\\Hardware\\DeviceMap\\MqHalcyonDaDevice")))
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
        const std::wstring name(buffer.info.Name, buffer.info.NameLength / sizeof(WCHAR));
        if (!NT_SUCCESS(entry.Open(name, &map)) || !NT_SUCCESS(ZwDeleteKey(entry.handle())))
            return;
    }
}

// The physical device of the board of a family and serial number, or null.
PDEVICE_OBJECT FindBoard(const char* family, std::uint32_t serialNumber) {
    Family wanted;
    if (g_machine == nullptr || family == nullptr || !FamilyFromName(family, &wanted))
        return nullptr;
    for (PDEVICE_OBJECT device = g_machine->bus->DeviceObject; device != nullptr;
         device = device->NextDevice) {
        const SimulatedBoard* board = BoardOfPhysicalDevice(device);
        if (board != nullptr && IsPluggedIn(device) && board->description().family == wanted &&
            board->description().serialNumber == serialNumber)
            return device;
    }
    return nullptr;
}

// Installs the driver's file for every family in the machine's drivers folder, where the
// library looks for its version; a file already there is left alone.
void InstallDriverFiles() {
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&InstallDriverFiles), &self) == 0 ||
        self.dli_fname == nullptr)
        return;
    const std::filesystem::path source =
        std::filesystem::path(self.dli_fname).parent_path() / kDriverFileModule;
    const std::filesystem::path folder =
        registry::MachineDirectory() / "windows" / "system32" / "drivers";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (Family family : {Family::kMq5120, Family::kMq5200, Family::kMq5130, Family::kMq5310}) {
        for (const char* suffix : {"k.sys", "k4.sys"}) {
            const std::filesystem::path target =
                folder / (std::string(DriverNameOf(family)) + suffix);
            if (!std::filesystem::exists(target, error))
                std::filesystem::copy_file(source, target, error);
            if (error)
                std::fprintf(stderr, "machine: %s not installed: %s\n", target.c_str(),
                             error.message().c_str());
            error.clear();
        }
    }
}

}  // namespace
}  // namespace sim

// Test hook: a fault on a board of the booted machine (sim/machine_testing.h). 0 when raised.
extern "C" [[gnu::visibility("default")]] int MqMachineInjectFault(const char* family,
                                                                   unsigned serialNumber,
                                                                   unsigned type, unsigned element,
                                                                   int fault) {
    using namespace sim;
    PDEVICE_OBJECT board = FindBoard(family, serialNumber);
    if (board == nullptr)
        return 1;
    if (fault == kMachineFaultRemoval) {
        PullOut(board);  // the driver fails what the board had pending
        return 0;
    }
    if (fault != static_cast<int>(InjectedFault::kOverrun) &&
        fault != static_cast<int>(InjectedFault::kTrigger))
        return 1;
    return InjectFault(board, type, element, static_cast<InjectedFault>(fault)) ? 0 : 1;
}

extern "C" [[gnu::visibility("default")]] int MqMachineBoot() {
    using namespace sim;
    if (g_machine != nullptr)
        return 0;
    auto* machine = new Machine;
    if (!NT_SUCCESS(kernel::LoadDriver(kBusDriverService, BusDriverEntry,
                                       L"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\"
                                       L"MqSimBus",
                                       &machine->bus)) ||
        !NT_SUCCESS(kernel::LoadDriver(kFamilyDriverService, FamilyDriverEntry,
                                       L"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\"
                                       L"MqSimDa",
                                       &machine->functionDriver))) {
        if (machine->bus != nullptr)
            kernel::UnloadDriver(machine->bus);
        delete machine;
        return 1;
    }
    g_machine = machine;
    ClearDeviceMap();
    InstallDriverFiles();
    const BoardList list = ReadBoardList(registry::MachineDirectory());
    for (const auto& error : list.errors)
        std::fprintf(stderr, "machine: %s line %d skipped: %s\n", kBoardListFileName, error.line,
                     error.message.c_str());
    int index = 0;
    for (const auto& board : list.boards) {
        const NTSTATUS status = PlugIn(machine->bus, machine->functionDriver, board, index);
        if (!NT_SUCCESS(status)) {
            std::fprintf(stderr, "machine: board %s %u %u did not start (0x%08X)\n",
                         DriverNameOf(board.family), board.boardType, board.serialNumber,
                         static_cast<unsigned>(status));
            continue;
        }
        ++index;
    }
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
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kernel::testing::DrainDeferredCloses();
    if (const std::size_t open = OpenFileCount(machine->functionDriver); open != 0)
        return static_cast<int>(open);
    g_machine = nullptr;
    // Every board still on the bus, newest first.
    std::vector<PDEVICE_OBJECT> physical;
    for (PDEVICE_OBJECT device = machine->bus->DeviceObject; device != nullptr;
         device = device->NextDevice)
        physical.push_back(device);
    for (PDEVICE_OBJECT device : physical)
        Unplug(device);
    kernel::UnloadDriver(machine->functionDriver);
    kernel::UnloadDriver(machine->bus);
    delete machine;
    return 0;
}
