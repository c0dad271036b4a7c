// Test support: a fresh simulated machine per test case.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace registry {

// The busy timeout of stores opened from now on (kBusyTimeout by default); ScopedMachine puts the
// default back.
void SetBusyTimeoutForTesting(std::chrono::milliseconds timeout);

// Creates an empty temporary machine directory, points MQ_MACHINE at it and resets the process's
// registry store, so that the next MachineStore() opens a fresh database there. The destructor
// resets the store again, restores MQ_MACHINE and removes the directory. Other process-wide state
// tied to the machine (the kernel's boot) has reset hooks of its own.
class ScopedMachine {
  public:
    ScopedMachine();
    ~ScopedMachine();
    ScopedMachine(const ScopedMachine&) = delete;
    ScopedMachine& operator=(const ScopedMachine&) = delete;

    const std::filesystem::path& directory() const { return directory_; }

  private:
    std::filesystem::path directory_;
    std::optional<std::string> previous_;
};

}  // namespace registry
