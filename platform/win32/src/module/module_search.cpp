#include "module/module_search.h"

#include <dirent.h>
#include <dlfcn.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace win32::detail {
namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && strncasecmp(text.data() + text.size() - suffix.size(),
                                                       suffix.data(), suffix.size()) == 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::optional<std::string> FindInDirectory(const std::string& directory,
                                           const std::string& fileName) {
    std::string exact = directory + "/" + fileName;
    if (IsRegularFile(exact))
        return exact;
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr)
        return std::nullopt;
    std::optional<std::string> found;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, fileName.c_str()) == 0) {
            std::string candidate = directory + "/" + entry->d_name;
            if (IsRegularFile(candidate)) {
                found = candidate;
                break;
            }
        }
    }
    closedir(dir);
    return found;
}

ModuleName ParseModuleName(std::string_view name) {
    std::string text(name);
    std::replace(text.begin(), text.end(), '\\', '/');
    ModuleName result;
    if (auto slash = text.rfind('/'); slash != std::string::npos) {
        result.directory = text.substr(0, slash);
        if (result.directory.empty())
            result.directory = "/";
        text = text.substr(slash + 1);
    }
    if (EndsWithNoCase(text, ".dll"))
        text.resize(text.size() - 4);
    if (text.empty())
        return result;
    if (EndsWithNoCase(text, ".exe")) {  // a program: its file carries no extension here
        result.fileNames = {text.substr(0, text.size() - 4)};
        return result;
    }
    if (EndsWithNoCase(text, ".so") || text.find(".so.") != std::string::npos) {
        result.fileNames = {text};
    } else {
        result.fileNames = {"lib" + text + ".so", text + ".so"};
    }
    return result;
}

bool FileNameMatches(std::string_view baseName, const ModuleName& name) {
    return std::any_of(name.fileNames.begin(), name.fileNames.end(), [&](const std::string& f) {
        return f.size() == baseName.size() &&
               strncasecmp(f.data(), baseName.data(), baseName.size()) == 0;
    });
}

std::string ProgramPath() {
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}

std::string DirectoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::vector<std::string> ModuleSearchDirectories(const std::string& callerDirectory) {
    std::vector<std::string> directories;
    auto add = [&](std::string directory) {
        while (directory.size() > 1 && directory.back() == '/')
            directory.pop_back();
        if (directory.empty())
            return;
        if (std::find(directories.begin(), directories.end(), directory) == directories.end())
            directories.push_back(std::move(directory));
    };
    add(callerDirectory);
    if (const char* path = std::getenv("MQ_MODULE_PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            auto colon = rest.find(':');
            add(std::string(rest.substr(0, colon)));
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }
    std::string programDirectory = DirectoryOf(ProgramPath());
    add(programDirectory);
    add(DirectoryOf(programDirectory) + "/lib");
    add(SystemModuleDirectory());
    return directories;
}

std::string SystemModuleDirectory() {
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&SystemModuleDirectory), &self) == 0 ||
        self.dli_fname == nullptr)
        return {};
    return DirectoryOf(self.dli_fname);
}

std::optional<std::string> FindModuleFile(std::string_view name,
                                          const std::string& callerDirectory) {
    ModuleName parsed = ParseModuleName(name);
    if (parsed.fileNames.empty())
        return std::nullopt;
    std::vector<std::string> directories = parsed.directory.empty()
                                               ? ModuleSearchDirectories(callerDirectory)
                                               : std::vector<std::string>{parsed.directory};
    for (const std::string& directory : directories) {
        for (const std::string& fileName : parsed.fileNames) {
            if (auto found = FindInDirectory(directory, fileName)) {
                char resolved[PATH_MAX];
                if (realpath(found->c_str(), resolved) != nullptr)
                    return std::string(resolved);
                return found;
            }
        }
    }
    return std::nullopt;
}

}  // namespace win32::detail
