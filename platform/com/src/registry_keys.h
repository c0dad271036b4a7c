// Small helpers over the registry calls for the runtime's class keys.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "win32/registry.h"

namespace com::detail {

// An opened key, closed when it goes.
class Key {
  public:
    Key() = default;
    ~Key() {
        if (key_ != nullptr)
            RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

// The default (unnamed) or named string value of HKEY_CLASSES_ROOT\<path>.
std::optional<std::string> ReadClassesValue(const std::string& path, const char* name = nullptr);
// Creates HKEY_CLASSES_ROOT\<path> and sets a string value (nullptr: the default one).
bool WriteClassesValue(const std::string& path, const char* name, std::string_view value);
// Removes HKEY_CLASSES_ROOT\<path> with every key below it; true also when it was not there.
bool DeleteClassesTree(const std::string& path);

}  // namespace com::detail
