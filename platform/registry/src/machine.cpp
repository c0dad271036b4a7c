#include "registry/machine.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace registry {
namespace {

std::mutex directoryMutex;
std::optional<std::filesystem::path> cachedDirectory;

std::filesystem::path HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && *found->pw_dir != '\0')
        return found->pw_dir;
    return {};
}

std::filesystem::path ChooseDirectory() {
    if (const char* named = std::getenv(kMachineVariable); named != nullptr && *named != '\0') {
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(named, error);
        return error ? std::filesystem::path(named) : absolute;
    }
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/')
        return std::filesystem::path(state) / "mq-machine";
    if (std::filesystem::path home = HomeDirectory(); !home.empty())
        return home / ".local" / "state" / "mq-machine";
    return std::filesystem::temp_directory_path() / ("mq-machine-" + std::to_string(getuid()));
}

}  // namespace

std::filesystem::path MachineDirectory() {
    std::lock_guard lock(directoryMutex);
    if (!cachedDirectory)
        cachedDirectory = ChooseDirectory();
    // Created on every call: a test may remove the directory between two machines.
    std::error_code ignored;  // a failure shows when the directory's files are opened
    std::filesystem::create_directories(*cachedDirectory, ignored);
    return *cachedDirectory;
}

void ResetMachineDirectory() {
    std::lock_guard lock(directoryMutex);
    cachedDirectory.reset();
}

}  // namespace registry
