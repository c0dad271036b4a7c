#include "uilang/declared_entry.h"

#include "win32/module.h"

namespace uilang {

void* BindEntry(const std::string& library, const std::string& entry) {
    HMODULE module = LoadLibraryA(library.c_str());
    if (module == nullptr)
        throw RuntimeError(kErrFileNotFound, library, "File not found: " + library);
    FARPROC address = GetProcAddress(module, entry.c_str());
    if (address == nullptr) {
        FreeLibrary(module);
        throw RuntimeError(kErrEntryPointNotFound, library,
                           "Can't find DLL entry point " + entry + " in " + library);
    }
    return reinterpret_cast<void*>(address);
}

}  // namespace uilang
