// The class, ProgID, type-library and interface keys a server module writes for itself.
#include <string>

#include "com/runtime.h"
#include "registry_keys.h"

namespace {

using com::detail::DeleteClassesTree;
using com::detail::WriteClassesValue;

std::string ClassKey(const CLSID& clsid) {
    return "CLSID\\" + com::StringFromGuid(clsid);
}

bool WriteClassKeys(const com::ClassRegistration& entry, std::string_view modulePath) {
    const std::string key = ClassKey(entry.clsid);
    const std::string clsidText = com::StringFromGuid(entry.clsid);
    bool ok = WriteClassesValue(key, nullptr, entry.typeName) &&
              WriteClassesValue(key + "\\InprocServer32", nullptr, modulePath) &&
              WriteClassesValue(key + "\\InprocServer32", "ThreadingModel", entry.threadingModel);
    if (ok && !entry.progId.empty()) {
        const std::string progId(entry.progId);
        ok = WriteClassesValue(key + "\\ProgID", nullptr, entry.progId) &&
             WriteClassesValue(progId, nullptr, entry.typeName) &&
             WriteClassesValue(progId + "\\CLSID", nullptr, clsidText);
    }
    if (ok && entry.control) {
        ok =
            WriteClassesValue(key + "\\Control", nullptr, "") &&
            WriteClassesValue(key + "\\MiscStatus", nullptr, "0") &&
            WriteClassesValue(key + "\\MiscStatus\\1", nullptr, std::to_string(entry.miscStatus)) &&
            WriteClassesValue(key + "\\ToolboxBitmap32", nullptr,
                              std::string(modulePath) + ", " + std::to_string(entry.toolboxBitmap));
    }
    if (ok && entry.typeLibrary != nullptr) {
        ok = WriteClassesValue(key + "\\TypeLib", nullptr,
                               com::StringFromGuid(*entry.typeLibrary)) &&
             WriteClassesValue(key + "\\Version", nullptr, entry.typeLibraryVersion);
    }
    return ok;
}

}  // namespace

namespace com {

HRESULT RegisterServerClass(const ClassRegistration& entry, std::string_view modulePath) {
    return WriteClassKeys(entry, modulePath) ? S_OK : REGDB_E_WRITEREGDB;
}

HRESULT UnregisterServerClass(const ClassRegistration& entry) {
    bool ok = DeleteClassesTree(ClassKey(entry.clsid));
    if (!entry.progId.empty())
        ok = DeleteClassesTree(std::string(entry.progId)) && ok;
    return ok ? S_OK : REGDB_E_WRITEREGDB;
}

HRESULT RegisterTypeLibrary(const TypeLibraryRegistration& library, std::string_view modulePath) {
    const std::string key =
        "TypeLib\\" + StringFromGuid(library.libid) + "\\" + std::string(library.version);
    const std::string libid = StringFromGuid(library.libid);
    bool ok = WriteClassesValue(key, nullptr, library.name) &&
              WriteClassesValue(key + "\\0\\win32", nullptr, modulePath) &&
              WriteClassesValue(key + "\\FLAGS", nullptr, "0") &&
              WriteClassesValue(key + "\\HELPDIR", nullptr, library.helpDirectory);
    for (std::size_t i = 0; ok && i < library.interfaceCount; ++i) {
        const std::string interfaceKey = "Interface\\" + StringFromGuid(library.interfaces[i].iid);
        ok = WriteClassesValue(interfaceKey, nullptr, library.interfaces[i].name) &&
             WriteClassesValue(interfaceKey + "\\TypeLib", nullptr, libid) &&
             WriteClassesValue(interfaceKey + "\\TypeLib", "Version", library.version);
    }
    return ok ? S_OK : REGDB_E_WRITEREGDB;
}

HRESULT UnregisterTypeLibrary(const TypeLibraryRegistration& library) {
    bool ok = DeleteClassesTree("TypeLib\\" + StringFromGuid(library.libid));
    for (std::size_t i = 0; i < library.interfaceCount; ++i)
        ok = DeleteClassesTree("Interface\\" + StringFromGuid(library.interfaces[i].iid)) && ok;
    return ok ? S_OK : REGDB_E_WRITEREGDB;
}

}  // namespace com
