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
// ReadBoardOutputs reads the output log of a board of the booted machine (an MQ5120's analog
// outputs, digital output port and counter outputs, with the board's own times).
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

// kRegisterRead: every later read of register `element` of a stand-in board (not an MQ5120) fails
// with HXGENERALFAILURE; `type` is not used.
enum class Fault { kOverrun = 1, kTrigger = 2, kRemoval = 3, kRegisterRead = 4 };

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

// One change of a board's outputs as its model logged it: channel 0-3 an analog output's code at
// the D/A clock's time of its update, 4 the digital output port, 5 + c counter c's output (1 at a
// pulse's start, 0 at its end). Times on the platform clock, in nanoseconds.
struct OutputChange {
    std::int64_t timeNs = 0;
    int channel = 0;
    std::uint32_t value = 0;
};
struct BoardOutputs {
    bool found = false;
    std::vector<OutputChange> changes;
    unsigned long daUnderruns = 0;  // the board's memory ran dry, then more data came
    bool daRunning = false;
    unsigned long daMemorySamples = 0;  // what the D/A holds to play
};

// The output log of a board of the booted machine (an MQ5120), emptied after when `clear`.
inline BoardOutputs ReadBoardOutputs(const std::string& family, std::uint32_t serialNumber,
                                     bool clear = false) {
    BoardOutputs result;
    void* module = dlopen("libMqMachine.so", RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr)
        return result;
    struct Record {
        long long timeNs;
        int channel;
        unsigned value;
    };
    using Entry =
        long(const char*, unsigned, Record*, long, int, unsigned long*, int*, unsigned long*);
    auto* entry = reinterpret_cast<Entry*>(dlsym(module, "MqMachineBoardOutputs"));
    if (entry != nullptr) {
        std::vector<Record> records;
        int running = 0;
        long count = entry(family.c_str(), serialNumber, nullptr, 0, 0, &result.daUnderruns,
                           &running, &result.daMemorySamples);
        // Read again with room for all (a few more may have come meanwhile: read until it fits).
        while (count >= 0) {
            records.resize(static_cast<std::size_t>(count) + 1024);
            const long again = entry(family.c_str(), serialNumber, records.data(),
                                     static_cast<long>(records.size()), clear ? 1 : 0,
                                     &result.daUnderruns, &running, &result.daMemorySamples);
            if (again < 0 || again <= static_cast<long>(records.size())) {
                count = again;
                break;
            }
            count = again;
        }
        result.daRunning = running != 0;
        if (count >= 0) {
            result.found = true;
            for (long i = 0; i < count; ++i)
                result.changes.push_back({records[i].timeNs, records[i].channel, records[i].value});
        }
    }
    dlclose(module);
    return result;
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
