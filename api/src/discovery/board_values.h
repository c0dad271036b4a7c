// Reading and writing the values of a board's registry key.
#pragma once

#include <cstdint>
#include <string>

#include "win32/registry.h"

namespace hxda {

inline constexpr const char kBoardNameValue[] = "MqHalcyonBoardName";
inline constexpr const char kDriverNameValue[] = "DriverName";
inline constexpr const char kBoardTypeValue[] = "BoardType";
inline constexpr const char kBoardModelNameValue[] = "BoardModelName";
inline constexpr const char kSerialNumberValue[] = "SerialNumber";
inline constexpr const char kDeviceInstanceNumberValue[] = "DeviceInstanceNumber";
inline constexpr const char kLinkNameValue[] = "LinkName";

// Values are read through a buffer of this many bytes, terminator included.
inline constexpr std::uint32_t kRegistryValueBytes = 128;

// A string value of at most kRegistryValueBytes bytes; false when it is missing, not a string or
// longer.
bool readStringValue(HKEY key, const char* name, std::string* value);
// A 32-bit value; false when it is missing or of another size.
bool readDwordValue(HKEY key, const char* name, std::uint32_t* value);
bool writeStringValue(HKEY key, const char* name, const char* value);

// Case-insensitive equality of two board names.
bool sameBoardName(const char* a, const char* b);

}  // namespace hxda
