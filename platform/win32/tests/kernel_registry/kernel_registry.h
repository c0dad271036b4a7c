// The kernel's registry calls for the user-mode services' tests, without kernel types, so that a
// test can write a key on one side and read it on the other.
#pragma once

#include <cstdint>
#include <string>

namespace kernel_registry {

// Creates the key (an absolute kernel name such as "\Registry\Machine\Software\X") and sets a
// REG_DWORD value in it. Returns the NTSTATUS.
std::int32_t SetDword(const std::u16string& key, const std::u16string& value, std::uint32_t data);
// Reads a REG_DWORD value of an existing key. Returns the NTSTATUS.
std::int32_t GetDword(const std::u16string& key, const std::u16string& value, std::uint32_t* data);

}  // namespace kernel_registry
