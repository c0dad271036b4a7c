// Boots the simulated machine once per process by loading the machine module.
#include "kernel/machine.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "host/built_at_load.h"
#include "kernel/ke.h"
#include "kernel/rules.h"

namespace kernel::machine {
namespace {

constexpr char kModuleFile[] = "libMqMachine.so";
constexpr char kBootEntry[] = "MqMachineBoot";
constexpr char kShutdownEntry[] = "MqMachineShutdown";

struct State {
    std::recursive_mutex mutex;  // a boot that opens files re-enters EnsureBooted
    bool enabled = false;        // until the user-mode services enable it
    bool booted = false;
    bool booting = false;
    void* module = nullptr;
};

State& TheState() {
    static State state;
    return state;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&TheState);

std::vector<std::filesystem::path> SearchDirectories() {
    std::vector<std::filesystem::path> directories;
    if (const char* path = std::getenv("MQ_MODULE_PATH")) {
        std::string_view rest = path;
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            const auto part = rest.substr(0, colon);
            if (!part.empty())
                directories.emplace_back(part);
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&EnsureBooted), &info) != 0 && info.dli_fname != nullptr)
        directories.push_back(std::filesystem::path(info.dli_fname).parent_path());
    return directories;
}

void* OpenModule() {
    for (const auto& directory : SearchDirectories()) {
        const auto file = directory / kModuleFile;
        std::error_code error;
        if (!std::filesystem::exists(file, error))
            continue;
        if (void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL))
            return module;
    }
    return nullptr;
}

}  // namespace

void EnsureBooted() {
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    if (state.booted || state.booting || !state.enabled)
        return;
    if (KeGetCurrentIrql() != PASSIVE_LEVEL)
        ReportRuleViolation("the machine boots above PASSIVE_LEVEL");
    void* module = OpenModule();
    if (module == nullptr)
        return;  // no machine in this process: nothing is plugged in
    auto boot = reinterpret_cast<int (*)()>(dlsym(module, kBootEntry));
    if (boot == nullptr || dlsym(module, kShutdownEntry) == nullptr) {
        std::fprintf(stderr, "machine: %s lacks its entries\n", kModuleFile);
        dlclose(module);
        return;
    }
    state.module = module;
    state.booting = true;
    const int result = boot();
    state.booting = false;
    state.booted = true;  // a failed boot is shut down like a good one
    if (result != 0)
        std::fprintf(stderr, "machine: boot failed with %d\n", result);
}

bool IsBooted() {
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    return state.booted;
}

bool Shutdown() {
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    if (!state.booted)
        return true;
    auto shutdown = reinterpret_cast<int (*)()>(dlsym(state.module, kShutdownEntry));
    const int refused = shutdown();
    if (refused != 0) {
        ReportRuleViolation("the machine was shut down with files open on its boards",
                            std::to_string(refused) + " open");
        return false;
    }
    dlclose(state.module);
    state.module = nullptr;
    state.booted = false;
    return true;
}

bool Reboot() {
    if (!Shutdown())
        return false;
    EnsureBooted();
    return true;
}

void SetBootEnabled(bool enabled) {
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    state.enabled = enabled;
}

}  // namespace kernel::machine
