// A second process on the same machine for the store's cross-process tests. Works on the machine
// that MQ_MACHINE names, below HKEY_LOCAL_MACHINE:
//   registry_peer get  <key path> <value name>        prints the REG_DWORD value, or "missing"
//   registry_peer set  <key path> <value name> <n>    sets a REG_DWORD value
//   registry_peer fill <key path> <prefix> <count>    sets <prefix>0 .. <prefix><count-1>, one
//                                                     write each, value = index
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "registry/constants.h"
#include "registry/store.h"

namespace {

std::span<const std::uint8_t> Bytes(const std::uint32_t& value) {
    return {reinterpret_cast<const std::uint8_t*>(&value), sizeof value};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5)
        return 2;
    auto store = registry::MachineStore();
    if (!store)
        return 3;
    const std::string command = argv[1];
    auto key = store->CreateKey(store->RootKey(registry::Root::kLocalMachine), argv[2]);
    if (!key.ok())
        return 4;

    if (command == "get" && argc == 4) {
        auto value = store->QueryValue(key.value.id, argv[3]);
        if (!value.ok() || value.value.type != REG_DWORD || value.value.data.size() != 4) {
            std::printf("missing\n");
            return 0;
        }
        std::uint32_t number;
        std::memcpy(&number, value.value.data.data(), 4);
        std::printf("%u\n", number);
        return 0;
    }
    if (command == "set" && argc == 5) {
        const auto number = static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10));
        return store->SetValue(key.value.id, argv[3], REG_DWORD, Bytes(number)) ==
                       registry::Status::kOk
                   ? 0
                   : 5;
    }
    if (command == "fill" && argc == 5) {
        const auto count = static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10));
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::string name = argv[3] + std::to_string(i);
            if (store->SetValue(key.value.id, name, REG_DWORD, Bytes(i)) != registry::Status::kOk)
                return 5;
        }
        return 0;
    }
    return 2;
}
