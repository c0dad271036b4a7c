// What a new board name must be.
#pragma once

#include <string>

namespace mqhxcpl {

inline constexpr std::size_t kMaxBoardNameLength = 40;

// A name is valid when it is not empty and holds none of the delimiters: comma, period, "<",
// ">", apostrophe, line feed and blank.
bool IsValidBoardName(const std::string& name);

// Board names are one name in any letter case.
bool SameBoardName(const std::string& a, const std::string& b);

}  // namespace mqhxcpl
