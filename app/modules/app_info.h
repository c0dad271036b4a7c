// The program's identity: title, help file, version and the texts of its version record.
#pragma once

#include <string>

#include "ui/runtime.h"

namespace larkspur {

inline constexpr const char* kTitle = "Larkspur";
inline constexpr const char* kHelpFile = "larkspur.hlp";

// Fills the runtime's application record.
void SetAppInfo(ui::Runtime& runtime);
// "Version 1.0.6".
std::string VersionText(const ui::AppInfo& app);

}  // namespace larkspur
