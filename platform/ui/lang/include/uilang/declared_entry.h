// An entry point of an outside library declared by library file name and entry name, bound on
// its first call through the platform's module loading. A library that cannot be loaded raises
// error 53 ("File not found: <library>") at the call; an entry the library lacks raises 453
// ("Can't find DLL entry point <entry> in <library>"). A failed binding is tried again at the
// next call.
#pragma once

#include <string>

#include "uilang/runtime_error.h"

namespace uilang {

inline constexpr std::int32_t kErrFileNotFound = 53;
inline constexpr std::int32_t kErrEntryPointNotFound = 453;

// Binds the entry, or raises as above. The library stays loaded for the process.
void* BindEntry(const std::string& library, const std::string& entry);

template <class Function>
class DeclaredEntry {
  public:
    DeclaredEntry(std::string library, std::string entry)
        : library_(std::move(library)), entry_(std::move(entry)) {}

    template <class... Args>
    auto operator()(Args... args) {
        if (function_ == nullptr)
            function_ = reinterpret_cast<Function*>(BindEntry(library_, entry_));
        return function_(args...);
    }

  private:
    std::string library_;
    std::string entry_;
    Function* function_ = nullptr;
};

}  // namespace uilang
