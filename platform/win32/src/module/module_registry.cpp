#include "module/module_registry.h"

#include <dlfcn.h>
#include <link.h>

#include <memory>
#include <mutex>
#include <vector>

#include "module/module_search.h"

namespace win32::detail {
namespace {

struct ModuleRecord {
    void* dlHandle = nullptr;
    const link_map* linkMap = nullptr;
    std::string path;
    int loadCount = 0;    // references counted by LoadLibrary, each holding one dlopen
    bool pinned = false;  // the program, or found in the process without LoadLibrary
};

struct Slot {
    WORD generation = 1;
    std::unique_ptr<ModuleRecord> record;
};

// Token: generation in bits 16..29, slot index + 1 in bits 0..15; always nonzero and positive.
constexpr DWORD kTokenTag = 0x40000000u;

class ModuleTable {
  public:
    static ModuleTable& Instance() {
        static ModuleTable table;
        return table;
    }

    // Recursive: a module's constructors and destructors, run by dlopen and dlclose with the lock
    // held, may load and free modules themselves.
    std::recursive_mutex mutex;

    ModuleRecord* Lookup(HMODULE module) {
        auto token = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(module));
        if ((token & 0xC0000000u) != kTokenTag)
            return nullptr;
        DWORD index = (token & 0xFFFFu);
        if (index == 0 || index > slots_.size())
            return nullptr;
        Slot& slot = slots_[index - 1];
        if (!slot.record || ((token >> 16) & 0x3FFFu) != slot.generation)
            return nullptr;
        return slot.record.get();
    }

    HMODULE FindByLinkMap(const link_map* map) {
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i].record && slots_[i].record->linkMap == map)
                return TokenOf(i);
        }
        return nullptr;
    }

    template <class Predicate>
    HMODULE FindIf(Predicate predicate) {
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i].record && predicate(*slots_[i].record))
                return TokenOf(i);
        }
        return nullptr;
    }

    HMODULE Insert(std::unique_ptr<ModuleRecord> record) {
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (!slots_[i].record) {
                slots_[i].record = std::move(record);
                return TokenOf(i);
            }
        }
        if (slots_.size() >= 0xFFFF)
            return nullptr;
        slots_.emplace_back();
        slots_.back().record = std::move(record);
        return TokenOf(slots_.size() - 1);
    }

    void Remove(HMODULE module) {
        auto token = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(module));
        Slot& slot = slots_[(token & 0xFFFFu) - 1];
        slot.record.reset();
        slot.generation = static_cast<WORD>(slot.generation % 0x3FFFu + 1);
    }

  private:
    HMODULE TokenOf(std::size_t index) const {
        DWORD token = kTokenTag | (static_cast<DWORD>(slots_[index].generation) << 16) |
                      static_cast<DWORD>(index + 1);
        return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(token));
    }

    std::vector<Slot> slots_;
};

// Built when the library loads, so that it outlives the libraries built on this one, which may
// still use it as they unload at exit.
[[maybe_unused]] const bool kBuiltAtLoad = (ModuleTable::Instance(), true);

const link_map* LinkMapOfHandle(void* handle) {
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0)
        return nullptr;
    return map;
}

const link_map* LinkMapOfAddress(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0)
        return nullptr;
    return map;
}

bool IsProgramLinkMap(const link_map* map) {
    return map->l_name == nullptr || *map->l_name == 0;
}

// A record for an object already in the process that LoadLibrary did not load. It holds a
// reference of its own for as long as the process runs, so its token never dangles.
HMODULE AdoptLoaded(ModuleTable& table, const link_map* map) {
    if (HMODULE known = table.FindByLinkMap(map))
        return known;
    auto record = std::make_unique<ModuleRecord>();
    record->pinned = true;
    record->linkMap = map;
    if (IsProgramLinkMap(map)) {
        record->dlHandle = dlopen(nullptr, RTLD_NOW);
        record->path = ProgramPath();
    } else {
        record->dlHandle = dlopen(map->l_name, RTLD_NOW | RTLD_NOLOAD);
        record->path = map->l_name;
    }
    if (record->dlHandle == nullptr)
        return nullptr;
    return table.Insert(std::move(record));
}

}  // namespace

HMODULE LoadModuleFile(const std::string& path, std::string* failure) {
    ModuleTable& table = ModuleTable::Instance();
    std::lock_guard lock(table.mutex);
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* message = dlerror();
        if (failure != nullptr)
            *failure = message != nullptr ? message : "cannot load";
        return nullptr;
    }
    const link_map* map = LinkMapOfHandle(handle);
    if (HMODULE known = table.FindByLinkMap(map)) {
        table.Lookup(known)->loadCount += 1;  // this reference holds the dlopen just made
        return known;
    }
    auto record = std::make_unique<ModuleRecord>();
    record->dlHandle = handle;
    record->linkMap = map;
    record->path = path;
    record->loadCount = 1;
    HMODULE token = table.Insert(std::move(record));
    if (token == nullptr) {
        dlclose(handle);
        if (failure != nullptr)
            *failure = "module table full";
    }
    return token;
}

bool ReleaseModule(HMODULE module) {
    ModuleTable& table = ModuleTable::Instance();
    std::lock_guard lock(table.mutex);
    ModuleRecord* record = table.Lookup(module);
    if (record == nullptr)
        return false;
    if (record->loadCount == 0)
        return true;  // pinned and not counted: nothing to drop
    record->loadCount -= 1;
    void* handle = record->dlHandle;
    if (record->loadCount == 0 && !record->pinned)
        table.Remove(module);
    dlclose(handle);  // the last one unloads the object and runs its destructors
    return true;
}

HMODULE FindLoadedModule(const char* name) {
    ModuleName parsed = ParseModuleName(name);
    if (parsed.fileNames.empty())
        return nullptr;
    auto matches = [&](const std::string& path) {
        return FileNameMatches(path.substr(path.rfind('/') + 1), parsed) &&
               (parsed.directory.empty() || DirectoryOf(path) == parsed.directory);
    };
    ModuleTable& table = ModuleTable::Instance();
    std::lock_guard lock(table.mutex);
    if (HMODULE known = table.FindIf([&](const ModuleRecord& r) { return matches(r.path); }))
        return known;
    // Objects in the process that no LoadLibrary brought in (linked at build time).
    const link_map* found = nullptr;
    for (const link_map* map = LinkMapOfHandle(dlopen(nullptr, RTLD_NOW)); map != nullptr;
         map = map->l_next) {
        if (!IsProgramLinkMap(map) && matches(map->l_name)) {
            found = map;
            break;
        }
    }
    return found != nullptr ? AdoptLoaded(table, found) : nullptr;
}

HMODULE FindModuleOfAddress(const void* address) {
    const link_map* map = LinkMapOfAddress(address);
    if (map == nullptr)
        return nullptr;
    ModuleTable& table = ModuleTable::Instance();
    std::lock_guard lock(table.mutex);
    return AdoptLoaded(table, map);
}

HMODULE ProgramModule() {
    ModuleTable& table = ModuleTable::Instance();
    std::lock_guard lock(table.mutex);
    return AdoptLoaded(table, LinkMapOfHandle(dlopen(nullptr, RTLD_NOW)));
}

bool IsModule(HMODULE module) {
    ModuleTable& table = ModuleTable::Instance();
    std::lock_guard lock(table.mutex);
    return table.Lookup(module) != nullptr;
}

bool ModulePath(HMODULE module, std::string* path) {
    ModuleTable& table = ModuleTable::Instance();
    std::lock_guard lock(table.mutex);
    ModuleRecord* record = table.Lookup(module);
    if (record == nullptr)
        return false;
    *path = record->path;
    return true;
}

void* FindOwnSymbol(HMODULE module, const char* symbol) {
    ModuleTable& table = ModuleTable::Instance();
    std::lock_guard lock(table.mutex);
    ModuleRecord* record = table.Lookup(module);
    if (record == nullptr)
        return nullptr;
    void* address = dlsym(record->dlHandle, symbol);
    if (address == nullptr || LinkMapOfAddress(address) != record->linkMap)
        return nullptr;
    return address;
}

}  // namespace win32::detail
