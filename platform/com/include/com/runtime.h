// The component runtime: per-thread initialisation, classes found through the machine's registry
// and made by their server modules, identifier texts, and the registration a server module writes.
//
// Classes live in HKEY_CLASSES_ROOT (the machine's registry, shared by every program):
//   CLSID\{clsid}                  default: the class's type name
//     InprocServer32               default: the server module's path; ThreadingModel
//     ProgID                       default: the ProgID
//     TypeLib, Version             default: the type library's identifier and its "major.minor"
//     Control, ToolboxBitmap32, MiscStatus\1   for controls
//   <ProgID>\CLSID                 default: {clsid}
//   TypeLib\{libid}\<version>      default: the library's name; 0\win32 the module's path
//   Interface\{iid}                default: the interface's name; TypeLib
// CoGetClassObject reads InprocServer32, loads that module with LoadLibrary (once per process),
// and asks its DllGetClassObject. CoFreeUnusedLibraries unloads the modules whose DllCanUnloadNow
// answers S_OK.
#pragma once

#include <string>
#include <string_view>

#include "com/base.h"
#include "com/bstr.h"

#define COINIT_APARTMENTTHREADED 0x2u
#define COINIT_MULTITHREADED 0x0u
#define CLSCTX_INPROC_SERVER 0x1u
#define CLSCTX_INPROC_HANDLER 0x2u
#define CLSCTX_LOCAL_SERVER 0x4u
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)

// Length of "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" with its terminator.
#define MQ_GUID_STRING_LENGTH 39

extern "C" {

// Counts the calling thread in: S_OK the first time, S_FALSE again (each needs a
// CoUninitialize); RPC_E_CHANGED_MODE when the thread chose the other model before.
HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
HRESULT WINAPI CoInitialize(LPVOID pvReserved);
void WINAPI CoUninitialize();

// CO_E_NOTINITIALIZED on a thread that is not counted in; REGDB_E_CLASSNOTREG for a class
// without InprocServer32 (only in-process servers exist here); CO_E_DLLNOTFOUND when the module
// does not load, CO_E_ERRORINDLL when it has no DllGetClassObject; else the module's answer.
HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                                LPVOID* ppv);
// CoGetClassObject for IClassFactory, then CreateInstance.
HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext,
                                REFIID riid, LPVOID* ppv);
void WINAPI CoFreeUnusedLibraries();

// "{...}" texts: StringFromGUID2 answers the characters written with the terminator, 0 when cchMax
// is too small. CLSIDFromString takes upper or lower case, CO_E_CLASSSTRING for anything else.
INT WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, INT cchMax);
HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
// Through HKEY_CLASSES_ROOT\<ProgID>\CLSID; CO_E_CLASSSTRING when the ProgID is not registered.
HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);

// Memory that one module allocates and another frees (the platform's task allocator).
LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
void WINAPI CoTaskMemFree(LPVOID pv);

}  // extern "C"

namespace com {

std::string StringFromGuid(REFGUID guid);
bool GuidFromString(std::string_view text, GUID* guid);

// What a server module writes for one class.
struct ClassRegistration {
    CLSID clsid = GUID_NULL;
    std::string_view typeName = {};        // default value of CLSID\{clsid}
    std::string_view progId = {};          // empty: none
    std::string_view threadingModel = {};  // "Apartment", "Both", ...
    bool control = false;                  // writes Control, MiscStatus and ToolboxBitmap32
    DWORD miscStatus = 0;                  // MiscStatus\1 (controls)
    int toolboxBitmap = 0;                 // ToolboxBitmap32 "<module>, <id>" (controls)
    const GUID* typeLibrary = nullptr;     // writes TypeLib and Version
    std::string_view typeLibraryVersion = {};
};

struct TypeLibraryRegistration {
    GUID libid;
    std::string_view name;
    std::string_view version;  // "major.minor"
    std::string_view helpDirectory;
    struct Interface {
        IID iid;
        std::string_view name;
    };
    const Interface* interfaces = nullptr;
    std::size_t interfaceCount = 0;
};

// Write or remove the keys above for the module at `modulePath`. Register answers S_OK or
// REGDB_E_WRITEREGDB; Unregister S_OK also when nothing was there (REGDB_E_WRITEREGDB when a key
// cannot be removed).
HRESULT RegisterServerClass(const ClassRegistration& entry, std::string_view modulePath);
HRESULT UnregisterServerClass(const ClassRegistration& entry);
HRESULT RegisterTypeLibrary(const TypeLibraryRegistration& library, std::string_view modulePath);
HRESULT UnregisterTypeLibrary(const TypeLibraryRegistration& library);

// The path of the module that holds `address` (for a module's own registration).
std::string ModulePathOf(const void* address);

}  // namespace com

namespace com::testing {

// Modules the runtime holds loaded for class objects, for tests of unloading.
std::size_t LoadedServerCount();

}  // namespace com::testing
