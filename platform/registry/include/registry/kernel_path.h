// Kernel-side registry paths ("\Registry\Machine\System\...", "\Registry\User\...") mapped onto a
// root and a path of the store. The prefix and hive names are matched case-insensitively.
#pragma once

#include <string>
#include <string_view>

#include "registry/store.h"

namespace registry {

struct StorePath {
    Root root = Root::kLocalMachine;
    std::string path;  // below the root, components joined by '\'; empty for the root itself
};

// kOk with the mapped path; kInvalidName for an empty component ("\\", a trailing '\') or a path
// that is not absolute; kNotFound for a path outside \Registry\Machine and \Registry\User.
Result<StorePath> MapKernelPath(std::string_view kernelPath);

}  // namespace registry
