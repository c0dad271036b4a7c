#include "com/running_objects.h"

#include <mutex>
#include <vector>

namespace {

struct Entry {
    DWORD token;
    CLSID clsid;
    IUnknown* object;
    bool strong;
};

struct Table {
    std::mutex mutex;
    std::vector<Entry> entries;
    DWORD nextToken = 1;
};

Table& Running() {
    static Table table;
    return table;
}

}  // namespace

extern "C" {

HRESULT WINAPI RegisterActiveObject(IUnknown* punk, REFCLSID rclsid, DWORD dwFlags,
                                    DWORD* pdwRegister) {
    if (punk == nullptr || pdwRegister == nullptr)
        return E_INVALIDARG;
    const bool strong = (dwFlags & ACTIVEOBJECT_WEAK) == 0;
    if (strong)
        punk->AddRef();
    Table& table = Running();
    std::lock_guard lock(table.mutex);
    *pdwRegister = table.nextToken++;
    table.entries.push_back({*pdwRegister, rclsid, punk, strong});
    return S_OK;
}

HRESULT WINAPI RevokeActiveObject(DWORD dwRegister, void*) {
    Entry revoked{};
    {
        Table& table = Running();
        std::lock_guard lock(table.mutex);
        auto it = table.entries.begin();
        while (it != table.entries.end() && it->token != dwRegister)
            ++it;
        if (it == table.entries.end())
            return E_INVALIDARG;
        revoked = *it;
        table.entries.erase(it);
    }
    // Released outside the lock: the object's destructor may revoke or register again.
    if (revoked.strong)
        revoked.object->Release();
    return S_OK;
}

HRESULT WINAPI GetActiveObject(REFCLSID rclsid, void*, IUnknown** ppunk) {
    if (ppunk == nullptr)
        return E_POINTER;
    *ppunk = nullptr;
    Table& table = Running();
    std::lock_guard lock(table.mutex);
    for (const Entry& entry : table.entries) {
        if (entry.clsid == rclsid) {
            entry.object->AddRef();
            *ppunk = entry.object;
            return S_OK;
        }
    }
    return MK_E_UNAVAILABLE;
}

}  // extern "C"
