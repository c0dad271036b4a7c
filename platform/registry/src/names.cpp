#include "names.h"

#include "registry/store.h"

namespace registry::detail {
namespace {

char FoldChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
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
