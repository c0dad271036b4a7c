#include "names.h"

#include "registry/store.h"

namespace registry::detail {
namespace {

constexpr unsigned char kLatinSmallFirst = 0xE0;  // U+00E0, a with grave
constexpr unsigned char kLatinSmallLast = 0xFE;   // U+00FE, thorn
constexpr unsigned char kDivisionSign = 0xF7;
constexpr unsigned char kCaseOffset = 'a' - 'A';  // also between the Latin-1 letter pairs

char FoldChar(char c) {
    const auto unit = static_cast<unsigned char>(c);
    const bool ascii = unit >= 'a' && unit <= 'z';
    const bool latin = unit >= kLatinSmallFirst && unit <= kLatinSmallLast && unit != kDivisionSign;
    return (ascii || latin) ? static_cast<char>(unit - kCaseOffset) : c;
}

}  // namespace

std::string FoldName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        c = FoldChar(c);
    return folded;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldChar(a[i]) != FoldChar(b[i]))
            return false;
    return true;
}

bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& components) {
    components.clear();
    if (path.empty())
        return true;
    while (true) {
        const std::size_t separator = path.find('\\');
        const std::string_view component = path.substr(0, separator);
        if (component.empty() || component.size() > kMaxKeyNameLength)
            return false;
        components.push_back(component);
        if (separator == std::string_view::npos)
            return true;
        path.remove_prefix(separator + 1);
    }
}

}  // namespace registry::detail
