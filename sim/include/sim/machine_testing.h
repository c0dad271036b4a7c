// Test support: a fresh simulated machine with given boards per test.
//
//     sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1", "MQ5310 0 0x77
//     AD0.0=const:2.5"});
//
// shuts down whatever machine the process had booted, points MQ_MACHINE at a new empty machine
// directory and writes the board-list lines given (none: no list, so the machine has the default
// board). The machine boots at the first use of the kernel (CreateFile, SetupApi enumeration) or at
// Boot(); Reboot() shuts it down and boots it again from the same directory (drivers unloaded,
// devices deleted, registry kept); every file opened on its boards must be closed by then. The
// destructor shuts the machine down before the directory goes.
//
// InjectFault raises a fault on a board of the booted machine, named by the family and serial
// number of its board-list line: an overrun or a trigger in the running transfer of a subsystem,
// or the board's removal (it stays out until the next boot, or until its line leaves the board
// list and returns). On an MQ5120 the overrun is the board's FIFO-overflow status message (A/D 0
// running) and the trigger its external trigger input (A/D 0 or D/A 0 running).
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "kernel/machine.h"
#include "registry/testing.h"
#include "sim/board_list.h"

namespace sim::testing {

enum class Fault { kOverrun = 1, kTrigger = 2, kRemoval = 3 };

// False when no machine is booted or nothing was raised (no such board or running transfer).
inline bool InjectFault(const std::string& family, std::uint32_t serialNumber, std::uint32_t type,
                        std::uint32_t element, Fault fault) {
    void* module = dlopen("libMqMachine.so", RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr)
        return false;
    using Entry = int(const char*, unsigned, unsigned, unsigned, int);
    auto* entry = reinterpret_cast<Entry*>(dlsym(module, "MqMachineInjectFault"));
    const bool raised = entry != nullptr && entry(family.c_str(), serialNumber, type, element,
                                                  static_cast<int>(fault)) == 0;
    dlclose(module);
    return raised;
}

class ScopedSimulatedMachine {
  public:
    explicit ScopedSimulatedMachine(const std::vector<std::string>& boardListLines = {}) {
        if (!boardListLines.empty()) {
            std::ofstream file(machine_.directory() / kBoardListFileName);
            for (const auto& line : boardListLines)
                file << line << '\n';
        }
    }
    ~ScopedSimulatedMachine() { kernel::machine::Shutdown(); }
    ScopedSimulatedMachine(const ScopedSimulatedMachine&) = delete;
    ScopedSimulatedMachine& operator=(const ScopedSimulatedMachine&) = delete;

    void Boot() { kernel::machine::EnsureBooted(); }
    // False when files are still open on the machine's boards (a rule violation; see
    // kernel/machine.h): close them first.
    bool Reboot() { return kernel::machine::Reboot(); }
    bool Shutdown() { return kernel::machine::Shutdown(); }
    const std::filesystem::path& directory() const { return machine_.directory(); }

  private:
    struct ShutdownFirst {
        ShutdownFirst() {
            kernel::machine::SetBootEnabled(true);
            kernel::machine::Shutdown();
        }
    };
    ShutdownFirst shutdownFirst_;
    registry::ScopedMachine machine_;
};

}  // namespace sim::testing
