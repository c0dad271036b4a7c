// The process's table of modules: one record per loaded shared object, named by a 32-bit
// HMODULE token. Private to platform/win32; the string tables read module symbols through it.
#pragma once

#include <string>

#include "win32/types.h"

namespace win32::detail {

// Loads the file (or counts a reference to it) and returns its token; nullptr with the dynamic
// loader's message in *failure when it cannot be loaded.
HMODULE LoadModuleFile(const std::string& path, std::string* failure);
// Drops one reference counted by LoadModuleFile; false for a stale or unknown token.
bool ReleaseModule(HMODULE module);

// The module already loaded whose file matches the name (see ParseModuleName), or nullptr.
HMODULE FindLoadedModule(const char* name);
// The module holding the address (code or data), or nullptr.
HMODULE FindModuleOfAddress(const void* address);
// The program's own module; never unloaded.
HMODULE ProgramModule();

bool IsModule(HMODULE module);
// Full path of the module's file; false for a stale or unknown token.
bool ModulePath(HMODULE module, std::string* path);
// The address of a dynamic symbol of the module itself: a symbol found only in one of its
// dependencies does not count. nullptr when the module or the symbol is missing.
void* FindOwnSymbol(HMODULE module, const char* symbol);

}  // namespace win32::detail
