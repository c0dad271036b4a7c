#include "registry/kernel_path.h"

#include <vector>

#include "names.h"

namespace registry {

Result<StorePath> MapKernelPath(std::string_view kernelPath) {
    if (kernelPath.empty() || kernelPath.front() != '\\')
        return {Status::kInvalidName, {}};
    std::vector<std::string_view> components;
    if (!detail::SplitKeyPath(kernelPath.substr(1), components))
        return {Status::kInvalidName, {}};
    if (components.size() < 2 || !detail::NamesEqual(components[0], "Registry"))
        return {Status::kNotFound, {}};

    StorePath mapped;
    if (detail::NamesEqual(components[1], "Machine")) {
        mapped.root = Root::kLocalMachine;
    } else if (detail::NamesEqual(components[1], "User")) {
        mapped.root = Root::kUsers;
    } else {
        return {Status::kNotFound, {}};
    }
    for (std::size_t i = 2; i < components.size(); ++i) {
        if (!mapped.path.empty())
            mapped.path += '\\';
        mapped.path += components[i];
    }
    return {Status::kOk, std::move(mapped)};
}

}  // namespace registry
