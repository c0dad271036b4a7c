// Test support: the Plug and Play side of the booted simulated machine, for a board named by the
// family and serial number of its board-list line.
//
// PnpRequestsSeen: the minor codes of the Plug and Play requests that reached the board's
// physical devices (the bottom of its stack, which the stand-in driver passes them to), in order,
// over every time it was plugged in since the boot. Empty without a machine.
// PowerRequestsSeen and SetDevicePower: the same for power requests.
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

inline std::vector<unsigned char> RequestsSeen(const std::string& family,
                                               std::uint32_t serialNumber, unsigned char major) {
    using Entry = int(const char*, unsigned, unsigned char, unsigned char*, int);
    void* module = nullptr;
    std::vector<unsigned char> seen(256);
    int count = -1;
    if (auto* entry = detail::MachineEntry<Entry>(&module, "MqMachineRequestsSeen"))
        count =
            entry(family.c_str(), serialNumber, major, seen.data(), static_cast<int>(seen.size()));
    if (module != nullptr)
        dlclose(module);
    seen.resize(count < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(count), 256));
    return seen;
}

inline std::vector<unsigned char> PnpRequestsSeen(const std::string& family,
                                                  std::uint32_t serialNumber) {
    return RequestsSeen(family, serialNumber, 0x1B);
}

// The power requests' minor codes (SET_POWER 0x02, QUERY_POWER 0x03).
inline std::vector<unsigned char> PowerRequestsSeen(const std::string& family,
                                                    std::uint32_t serialNumber) {
    return RequestsSeen(family, serialNumber, 0x16);
}

// A device power state, 1 (D0) to 4 (D3), sent by the Plug and Play manager; the NTSTATUS.
inline std::uint32_t SetDevicePower(const std::string& family, std::uint32_t serialNumber,
                                    int state) {
    using Entry = long(const char*, unsigned, int);
    void* module = nullptr;
    std::uint32_t status = 0xC000000Eu;
    if (auto* entry = detail::MachineEntry<Entry>(&module, "MqMachineSetDevicePower"))
        status = static_cast<std::uint32_t>(entry(family.c_str(), serialNumber, state));
    if (module != nullptr)
        dlclose(module);
    return status;
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
