// Test support: the Plug and Play side of the booted simulated machine, for a board named by the
// family and serial number of its board-list line.
//
// PnpRequestsSeen: the minor codes of the Plug and Play requests that reached the board's
// physical devices (the bottom of its stack, which the stand-in driver passes them to), in order,
// over every time it was plugged in since the boot. Empty without a machine.
// RequestRemoval: the board's orderly removal (QUERY_REMOVE, then REMOVE or CANCEL_REMOVE); the
// status of the query (an NTSTATUS), STATUS_NO_SUCH_DEVICE (0xC000000E) for a board that is not
// plugged in or without a machine.
#pragma once

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace sim::testing {

namespace detail {
template <class Entry>
Entry* MachineEntry(void** module, const char* name) {
    *module = dlopen("libMqMachine.so", RTLD_NOW | RTLD_NOLOAD);
    return *module == nullptr ? nullptr : reinterpret_cast<Entry*>(dlsym(*module, name));
}
}  // namespace detail

inline std::vector<unsigned char> PnpRequestsSeen(const std::string& family,
                                                  std::uint32_t serialNumber) {
    using Entry = int(const char*, unsigned, unsigned char*, int);
    void* module = nullptr;
    std::vector<unsigned char> seen(256);
    int count = -1;
    if (auto* entry = detail::MachineEntry<Entry>(&module, "MqMachinePnpRequests"))
        count = entry(family.c_str(), serialNumber, seen.data(), static_cast<int>(seen.size()));
    if (module != nullptr)
        dlclose(module);
    seen.resize(count < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(count), 256));
    return seen;
}

inline std::uint32_t RequestRemoval(const std::string& family, std::uint32_t serialNumber) {
    using Entry = long(const char*, unsigned);
    void* module = nullptr;
    std::uint32_t status = 0xC000000Eu;
    if (auto* entry = detail::MachineEntry<Entry>(&module, "MqMachineRequestRemoval"))
        status = static_cast<std::uint32_t>(entry(family.c_str(), serialNumber));
    if (module != nullptr)
        dlclose(module);
    return status;
}

}  // namespace sim::testing
