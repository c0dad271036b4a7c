#include "uilang/datetime.h"

#include <cstdio>
#include <ctime>

#include "simclock/clock.h"

namespace uilang {
namespace {

// Seconds from 1601-01-01 to 1970-01-01, and 100 ns units per second.
constexpr std::int64_t kEpochDifferenceSeconds = 11644473600LL;
constexpr std::int64_t kUnitsPerSecond = 10000000LL;
constexpr int kFirstYear = 1900;

std::tm LocalTime(std::int64_t systemTime100ns) {
    std::time_t seconds =
        static_cast<std::time_t>(systemTime100ns / kUnitsPerSecond - kEpochDifferenceSeconds);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    return parts;
}

}  // namespace

std::string DateText(std::int64_t systemTime100ns) {
    std::tm parts = LocalTime(systemTime100ns);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.tm_year + kFirstYear, parts.tm_mon + 1,
                  parts.tm_mday);
    return text;
}

std::string TimeText(std::int64_t systemTime100ns) {
    std::tm parts = LocalTime(systemTime100ns);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::string CurrentDateText() {
    return DateText(simclock::SystemTime100ns());
}

std::string CurrentTimeText() {
    return TimeText(simclock::SystemTime100ns());
}

}  // namespace uilang
