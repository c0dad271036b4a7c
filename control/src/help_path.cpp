#include "help_path.h"

#include <vector>

#include "win32/version_info.h"

namespace mqacq32 {

std::string SystemHelpFilePath() {
    // Asked first for its size: a directory of any length fits.
    const UINT needed = GetSystemDirectoryA(nullptr, 0);
    if (needed == 0)
        return {};
    std::vector<char> directory(needed, '\0');
    const UINT length = GetSystemDirectoryA(directory.data(), needed);
    if (length == 0 || length >= needed)
        return {};
    return std::string(directory.data(), length) + "\\" + kHelpFileName;
}

void ModuleApplication::Start() {
    previous_ = helpFilePath_;
    if (std::string path = SystemHelpFilePath(); !path.empty())
        helpFilePath_ = std::move(path);
}

void ModuleApplication::End() {
    helpFilePath_ = previous_;
}

ModuleApplication& Application() {
    static ModuleApplication application;
    return application;
}

}  // namespace mqacq32
