// Name rules of the store: ASCII case folding and splitting of key paths.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace registry::detail {

// Upper-case folding: the platform compares and sorts names by their upper-case form.
std::string FoldName(std::string_view name);
bool NamesEqual(std::string_view a, std::string_view b);

// Splits "a\b\c" into its components. False when a component is empty or longer than a key name
// may be. An empty path gives no components.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& components);

}  // namespace registry::detail
