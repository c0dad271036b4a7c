// The simulated machine's directory: where the registry database (and later the list of plugged-in
// simulated boards) lives. Named by the environment variable MQ_MACHINE; without it a per-user
// default ($XDG_STATE_HOME/mq-machine, else ~/.local/state/mq-machine).
#pragma once

#include <filesystem>

namespace registry {

inline constexpr const char* kMachineVariable = "MQ_MACHINE";

// The directory, created on demand. Read from the environment at the first call and kept, so that
// every part of a process uses the same machine; ResetMachineDirectory makes the next call read the
// environment again (tests that switch machines).
std::filesystem::path MachineDirectory();
void ResetMachineDirectory();

}  // namespace registry
