// The kernel's table of opened registry keys: a HANDLE is a small token naming an entry, never an
// address. Handles are not checked for access rights; drivers ask for what they use.
#pragma once

#include <memory>
#include <optional>

#include "kernel/zw.h"
#include "registry/store.h"

namespace kernel::cm {

struct OpenedKey {
    std::shared_ptr<registry::Store> store;
    registry::KeyId id;
};

HANDLE InsertKey(OpenedKey key);
std::optional<OpenedKey> LookupKey(HANDLE handle);
bool RemoveKey(HANDLE handle);
std::size_t OpenKeyCount();

}  // namespace kernel::cm
