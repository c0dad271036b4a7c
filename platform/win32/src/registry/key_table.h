// The process's table of opened registry keys. An HKEY of an opened key is a 32-bit token (slot and
// generation), never an address; a closed token is refused until its slot's generation wraps.
#pragma once

#include <memory>
#include <optional>

#include "registry/store.h"
#include "win32/types.h"

namespace win32::detail {

struct OpenedRegistryKey {
    std::shared_ptr<registry::Store> store;  // the store the key was opened in
    registry::KeyId id;
    DWORD access = 0;          // granted rights, generic rights already mapped
    bool machineWide = false;  // below HKEY_LOCAL_MACHINE: writable by administrators only
};

// Null when the table is full.
HKEY InsertRegistryKey(OpenedRegistryKey key);
// Null for a token that is not open (closed, stale, or not a token at all).
std::optional<OpenedRegistryKey> LookupRegistryKey(HKEY key);
bool RemoveRegistryKey(HKEY key);
// Closes every opened key (test reset hook).
void CloseAllRegistryKeys();

}  // namespace win32::detail
