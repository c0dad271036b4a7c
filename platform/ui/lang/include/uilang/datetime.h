// Date and time texts in one fixed form, whatever the locale: "2026-12-11" and "14:05:09", in
// the machine's local time. They follow the stand-ins' clock, so a manual clock moves them.
#pragma once

#include <cstdint>
#include <string>

namespace uilang {

// Texts of a system time (100 ns units since 1601-01-01 UTC).
std::string DateText(std::int64_t systemTime100ns);
std::string TimeText(std::int64_t systemTime100ns);

// The current date and time on the stand-ins' clock.
std::string CurrentDateText();
std::string CurrentTimeText();

}  // namespace uilang
