#include "cm/key_handles.h"

#include <map>
#include <mutex>

#include "host/built_at_load.h"
#include "kernel/testing.h"

namespace kernel::cm {
namespace {

// Tokens are multiples of 4 from 0x4000, so that a handle is never null and never mistaken for a
// small integer.
constexpr std::uintptr_t kFirstToken = 0x4000;

struct Table {
    std::mutex mutex;
    std::map<std::uintptr_t, OpenedKey> keys;
    std::uintptr_t next = kFirstToken;
};

Table& TheTable() {
    static Table table;
    return table;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&TheTable);

}  // namespace

HANDLE InsertKey(OpenedKey key) {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    const std::uintptr_t token = table.next;
    table.next += 4;
    table.keys.emplace(token, std::move(key));
    return reinterpret_cast<HANDLE>(token);
}

std::optional<OpenedKey> LookupKey(HANDLE handle) {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    auto it = table.keys.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.keys.end())
        return std::nullopt;
    return it->second;
}

bool RemoveKey(HANDLE handle) {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    return table.keys.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0;
}

std::size_t OpenKeyCount() {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    return table.keys.size();
}

}  // namespace kernel::cm

namespace kernel::testing {
std::size_t OpenKeyHandles() {
    return cm::OpenKeyCount();
}
}  // namespace kernel::testing
