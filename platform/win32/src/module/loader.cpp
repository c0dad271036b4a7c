// LoadLibrary, FreeLibrary, GetModuleHandle(Ex), GetModuleFileName and GetProcAddress.
#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <string>

#include "module/export_lookup.h"
#include "module/module_registry.h"
#include "module/module_search.h"
#include "win32/debug.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/module.h"

namespace {

using namespace win32::detail;

std::string DirectoryOfCaller(const void* addressInCaller) {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(addressInCaller, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
        map == nullptr)
        return {};
    if (map->l_name == nullptr || *map->l_name == 0)
        return DirectoryOf(ProgramPath());
    return DirectoryOf(map->l_name);
}

HMODULE ModuleOrProgram(HMODULE module) {
    return module != nullptr ? module : ProgramModule();
}

const win32::ExportTable* ExportTableOf(HMODULE module) {
    auto* table =
        static_cast<const win32::ExportTable*>(FindOwnSymbol(module, MQ_EXPORT_TABLE_SYMBOL_NAME));
    if (table == nullptr || table->magic != win32::kExportTableMagic)
        return nullptr;
    return table;
}

}  // namespace

HMODULE win32::LoadLibraryFromModuleA(LPCSTR lpLibFileName, const void* addressInCaller) {
    if (lpLibFileName == nullptr || *lpLibFileName == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto path = FindModuleFile(lpLibFileName, DirectoryOfCaller(addressInCaller));
    if (!path) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::string failure;
    HMODULE module = LoadModuleFile(*path, &failure);
    if (module == nullptr) {
        std::string message = "LoadLibrary(" + std::string(lpLibFileName) + "): " + failure + "\n";
        OutputDebugStringA(message.c_str());
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return module;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    if (!ReleaseModule(hLibModule)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    HMODULE module = lpModuleName == nullptr ? ProgramModule() : FindLoadedModule(lpModuleName);
    if (module == nullptr)
        SetLastError(ERROR_MOD_NOT_FOUND);
    return module;
}

BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule) {
    constexpr DWORD kKnownFlags = GET_MODULE_HANDLE_EX_FLAG_PIN |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT |
                                  GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
    if (phModule == nullptr || (dwFlags & ~kKnownFlags) != 0 ||
        ((dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN) &&
         (dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT))) {
        if (phModule != nullptr)
            *phModule = nullptr;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HMODULE module = nullptr;
    if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
        module = FindModuleOfAddress(lpModuleName);
    } else {
        module = lpModuleName == nullptr ? ProgramModule() : FindLoadedModule(lpModuleName);
    }
    *phModule = module;
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    // A counted reference is a LoadLibrary of the same file; a pin needs none, since modules
    // found in the process without LoadLibrary already stay loaded.
    if ((dwFlags &
         (GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_PIN)) == 0) {
        std::string path;
        if (ModulePath(module, &path) && module != ProgramModule())
            LoadModuleFile(path, nullptr);
    }
    return TRUE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    std::string path;
    if (!ModulePath(ModuleOrProgram(hModule), &path)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (lpFilename == nullptr || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() < nSize) {
        std::memcpy(lpFilename, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    HMODULE module = ModuleOrProgram(hModule);
    if (!IsModule(module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const win32::ExportTable* table = ExportTableOf(module);
    const win32::ExportEntry* entry = nullptr;
    if (IS_INTRESOURCE(lpProcName)) {
        auto ordinal = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(lpProcName));
        if (table != nullptr)
            entry = FindExportByOrdinal(*table, ordinal);
    } else {
        if (table != nullptr)
            entry = FindExportByName(*table, lpProcName);
        // Plain names of extern "C" functions resolve without a table, as exported symbols.
        if (entry == nullptr && ParseDecoratedName(lpProcName) == std::nullopt) {
            if (void* symbol = FindOwnSymbol(module, lpProcName))
                return reinterpret_cast<FARPROC>(symbol);
        }
    }
    if (entry == nullptr || entry->address == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return entry->address;
}
