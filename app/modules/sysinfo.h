// Registry look-ups of the About box and the start of the system information tool.
#pragma once

#include <string>

#include "win32/registry.h"

namespace larkspur {

// Reads a value of a key opened with full access: a string value gives its text up to its first
// NUL, a double-word value its number as text. False with an empty text when the key cannot be
// opened or the value read. The key is closed in every case.
bool GetKeyValue(HKEY root, const std::string& keyName, const std::string& valueName,
                 std::string& text);

// Starts the system information tool from the path the registry names, or says it is not
// available.
void StartSysInfo();

inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

}  // namespace larkspur
