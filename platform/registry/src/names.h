// Name rules of the store: case folding and splitting of key paths.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace registry::detail {

// Upper-case folding: the platform compares and sorts names by their upper-case form. Names are
// Latin-1 text (see registry/encoding.h), so every Latin-1 letter folds, as the platform's
// upper-case table has it: a-z, and U+00E0-U+00FE but U+00F7. The two letters whose upper case
// lies outside Latin-1 (U+00B5, U+00FF) stay as they are, which keeps them apart from all others.
std::string FoldName(std::string_view name);
bool NamesEqual(std::string_view a, std::string_view b);

// Splits "a\b\c" into its components. False when a component is empty or longer than a key name
// may be. An empty path gives no components.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& components);

}  // namespace registry::detail
