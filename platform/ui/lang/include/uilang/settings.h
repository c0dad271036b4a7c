// The per-user application-settings store: texts kept by application, section and key in the
// machine's registry, under the current user's key
// (HKEY_CURRENT_USER\Software\Program Settings\<application>\<section>), so that a fresh
// machine has a fresh store.
#pragma once

#include <string>
#include <string_view>

namespace uilang {

inline constexpr std::string_view kSettingsRoot = "Software\\Program Settings";

// The stored text, or `fallback` when the application, section or key has none.
std::string GetSetting(std::string_view application, std::string_view section, std::string_view key,
                       std::string_view fallback);
// Stores the text, creating the application's and section's keys as needed. A store that cannot
// be written raises error 5 (invalid procedure call), as the runtime does.
void SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                 std::string_view text);

}  // namespace uilang
