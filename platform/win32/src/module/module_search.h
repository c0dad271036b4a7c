// Finding the file of a module name ("X.dll") on the module search path.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win32::detail {

// A module name taken apart: the directory it names (empty for a bare name), the file names that
// may hold it ("X.dll" and "X" give "libX.so" and "X.so"; a name ending in ".so" is taken as it is)
// and its stem, which GetModuleHandle compares with the files already loaded.
struct ModuleName {
    std::string directory;
    std::vector<std::string> fileNames;
};
ModuleName ParseModuleName(std::string_view name);

// True when a file's base name is one of the name's file names, compared without regard to case.
bool FileNameMatches(std::string_view baseName, const ModuleName& name);

// The search path for a call of LoadLibrary made from the module at callerDirectory (may be
// empty): that directory, the directories of MQ_MODULE_PATH, the program's directory, "lib"
// beside it, and the system's module directory. Duplicates are dropped.
std::vector<std::string> ModuleSearchDirectories(const std::string& callerDirectory);

// The folder of this services stand-in's own file, which holds the modules installed with it
// (SetupApi, the machine's modules, the board extension libraries), as the platform's system
// directory holds its modules.
std::string SystemModuleDirectory();

// A regular file in the directory whose name equals fileName without regard to case.
std::optional<std::string> FindInDirectory(const std::string& directory,
                                           const std::string& fileName);

// The first existing file for the name on the search path, or none.
std::optional<std::string> FindModuleFile(std::string_view name,
                                          const std::string& callerDirectory);

std::string ProgramPath();
std::string DirectoryOf(const std::string& path);

}  // namespace win32::detail
