#include "board_names.h"

#include <algorithm>
#include <cctype>

namespace mqhxcpl {
namespace {

constexpr char kDelimiters[] = ",.<>'\n ";

}  // namespace

// The name is cut into tokens at the delimiters; it is valid only when its first token is the
// whole name, so a delimiter anywhere, a leading one included, makes it invalid.
bool IsValidBoardName(const std::string& name) {
    const std::size_t start = name.find_first_not_of(kDelimiters);
    if (start == std::string::npos)
        return false;  // no token: empty, or delimiters only
    const std::size_t end = name.find_first_of(kDelimiters, start);
    const std::string first = name.substr(start, end - start);
    return first == name;
}

bool SameBoardName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace mqhxcpl
