// Per-thread initialisation and class objects from the registry's in-process servers.
#include <map>
#include <mutex>
#include <string>

#include "com/runtime.h"
#include "registry_keys.h"
#include "win32/module.h"

namespace {

struct Apartment {
    int count = 0;
    DWORD model = COINIT_APARTMENTTHREADED;
};
thread_local Apartment tApartment;

// Server modules loaded for their class objects, by path. Each stays loaded until
// CoFreeUnusedLibraries finds it unused.
struct LoadedServers {
    std::mutex lock;
    std::map<std::string, HMODULE> modules;
};
LoadedServers& Servers() {
    static LoadedServers* servers = new LoadedServers;  // outlives every static destructor
    return *servers;
}

HMODULE LoadServer(const std::string& path) {
    LoadedServers& servers = Servers();
    std::lock_guard guard(servers.lock);
    auto found = servers.modules.find(path);
    if (found != servers.modules.end())
        return found->second;
    HMODULE module = LoadLibraryA(path.c_str());
    if (module != nullptr)
        servers.modules.emplace(path, module);
    return module;
}

}  // namespace

extern "C" {

HRESULT WINAPI CoInitializeEx(LPVOID, DWORD dwCoInit) {
    const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
    if (tApartment.count > 0 && tApartment.model != model)
        return RPC_E_CHANGED_MODE;
    tApartment.model = model;
    return tApartment.count++ == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void WINAPI CoUninitialize() {
    if (tApartment.count > 0)
        --tApartment.count;
}

HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid,
                                LPVOID* ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (tApartment.count == 0)
        return CO_E_NOTINITIALIZED;
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    const auto path =
        com::detail::ReadClassesValue("CLSID\\" + com::StringFromGuid(rclsid) + "\\InprocServer32");
    if (!path || path->empty())
        return REGDB_E_CLASSNOTREG;
    HMODULE module = LoadServer(*path);
    if (module == nullptr)
        return CO_E_DLLNOTFOUND;
    auto entry =
        reinterpret_cast<DllGetClassObjectProc>(GetProcAddress(module, "DllGetClassObject"));
    if (entry == nullptr)
        return CO_E_ERRORINDLL;
    return entry(rclsid, riid, ppv);
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext,
                                REFIID riid, LPVOID* ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT status = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                      reinterpret_cast<void**>(&factory));
    if (FAILED(status))
        return status;
    status = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return status;
}

void WINAPI CoFreeUnusedLibraries() {
    LoadedServers& servers = Servers();
    std::lock_guard guard(servers.lock);
    for (auto it = servers.modules.begin(); it != servers.modules.end();) {
        auto canUnload =
            reinterpret_cast<DllCanUnloadNowProc>(GetProcAddress(it->second, "DllCanUnloadNow"));
        if (canUnload != nullptr && canUnload() == S_OK) {
            FreeLibrary(it->second);
            it = servers.modules.erase(it);
        } else {
            ++it;
        }
    }
}

HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
    if (lpszProgID == nullptr || lpclsid == nullptr)
        return E_INVALIDARG;
    std::string progId;
    for (const OLECHAR* c = lpszProgID; *c != 0; ++c)
        progId.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
    const auto text = com::detail::ReadClassesValue(progId + "\\CLSID");
    if (!text || !com::GuidFromString(*text, lpclsid))
        return CO_E_CLASSSTRING;
    return S_OK;
}

}  // extern "C"

namespace com {

std::string ModulePathOf(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCSTR>(address), &module))
        return {};
    char path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(module, path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return {};
    return std::string(path, length);
}

}  // namespace com

namespace com::testing {

std::size_t LoadedServerCount() {
    LoadedServers& servers = Servers();
    std::lock_guard guard(servers.lock);
    return servers.modules.size();
}

}  // namespace com::testing
