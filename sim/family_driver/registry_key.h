// A registry key opened by the driver, closed with its owner, with the typed value access the
// registration needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kernel/wdm.h"

namespace sim {

class RegistryKey {
  public:
    RegistryKey() = default;
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Absolute path ("\Registry\Machine\..."), or relative to parent when one is given.
    NTSTATUS Create(const std::u16string& path, const RegistryKey* parent = nullptr);
    NTSTATUS Open(const std::u16string& path, const RegistryKey* parent = nullptr);
    // Takes a handle opened elsewhere (the interface key).
    void Adopt(HANDLE handle) {
        Close();
        handle_ = handle;
    }
    void Close();
    HANDLE handle() const { return handle_; }

    NTSTATUS SetString(const std::u16string& name, const std::u16string& value);
    NTSTATUS SetDword(const std::u16string& name, std::uint32_t value);
    // The string value, or nothing when it is missing or not a string.
    std::optional<std::u16string> QueryString(const std::u16string& name);
    // Subkeys the key holds now.
    std::optional<std::uint32_t> SubkeyCount();

  private:
    NTSTATUS OpenOrCreate(const std::u16string& path, const RegistryKey* parent, bool create);
    HANDLE handle_ = nullptr;
};

std::u16string Widen(const std::string& text);
std::string Narrow(const std::u16string& text);

}  // namespace sim
