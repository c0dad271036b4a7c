// Registry calls on the machine's store: handle resolution, access checks, narrow-text conversion
// and the size protocols of the platform.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "key_table.h"
#include "registry/encoding.h"
#include "registry/store.h"
#include "win32/registry.h"

namespace {

using registry::KeyId;
using registry::Root;
using registry::Status;
using win32::detail::OpenedRegistryKey;

constexpr DWORD kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE;
constexpr char kStandardUserVariable[] = "MQ_STANDARD_USER";

std::atomic<int> g_administrator{-1};  // -1: not yet read from the environment

LONG ErrorOf(Status status) {
    switch (status) {
        case Status::kOk:
            return ERROR_SUCCESS;
        case Status::kNotFound:
            return ERROR_FILE_NOT_FOUND;
        case Status::kKeyDeleted:
            return ERROR_KEY_DELETED;
        case Status::kHasSubkeys:
        case Status::kAccessDenied:
            return ERROR_ACCESS_DENIED;
        case Status::kNoMoreItems:
            return ERROR_NO_MORE_ITEMS;
        case Status::kInvalidName:
            return ERROR_BAD_PATHNAME;
        case Status::kCorrupt:
            return ERROR_REGISTRY_CORRUPT;
        case Status::kIoError:
            break;
    }
    return ERROR_REGISTRY_IO_FAILED;
}

DWORD GrantedRights(REGSAM desired) {
    DWORD rights = desired & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    if (rights & GENERIC_READ)
        rights |= KEY_READ;
    if (rights & GENERIC_WRITE)
        rights |= KEY_WRITE;
    if (rights & GENERIC_EXECUTE)
        rights |= KEY_EXECUTE;
    if (rights & (GENERIC_ALL | MAXIMUM_ALLOWED))
        rights |= KEY_ALL_ACCESS;
    return rights &
           ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
}

// The low 32 bits of a predefined key, whether it came sign-extended or truncated to 32 bits;
// 0 for anything else.
std::uint32_t PredefinedValue(HKEY key) {
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    const auto high = static_cast<std::uint64_t>(value) >> 32;
    if (high != 0 && high != 0xFFFFFFFFu)
        return 0;
    const auto low = static_cast<std::uint32_t>(value);
    return (low & 0x80000000u) ? low : 0;
}

bool IsPredefined(HKEY key) {
    return PredefinedValue(key) != 0;
}

// A key that a predefined handle stands for, created at its first use.
registry::Result<KeyId> KeyBelow(registry::Store& store, KeyId root, std::string_view path) {
    auto opened = store.OpenKey(root, path);
    if (opened.status != Status::kNotFound)
        return opened;
    auto created = store.CreateKey(root, path);
    return {created.status, created.value.id};
}

// The rights an opening gets. A standard user gets no write right below HKEY_LOCAL_MACHINE:
// asked for one, the opening is refused (false); MAXIMUM_ALLOWED grants what may be granted.
bool RightsFor(bool machineWide, REGSAM desired, DWORD& granted) {
    granted = GrantedRights(desired);
    if (!machineWide || win32::IsAdministrator())
        return true;
    if (desired & MAXIMUM_ALLOWED) {
        granted &= KEY_READ;
        return true;
    }
    return (granted & kWriteRights) == 0;
}

// A key handle as the calls use it: predefined keys have full access on the machine's store (read
// access below HKEY_LOCAL_MACHINE for a standard user).
LONG Resolve(HKEY key, OpenedRegistryKey& resolved) {
    const std::uint32_t predefined = PredefinedValue(key);
    if (predefined == 0) {
        auto opened = win32::detail::LookupRegistryKey(key);
        if (!opened)
            return ERROR_INVALID_HANDLE;
        resolved = std::move(*opened);
        return ERROR_SUCCESS;
    }
    Status failure = Status::kIoError;
    auto store = registry::MachineStore(&failure);
    if (!store)
        return ErrorOf(failure);
    const KeyId machine = store->RootKey(Root::kLocalMachine);
    registry::Result<KeyId> id{Status::kOk, {}};
    switch (predefined) {
        case 0x80000000u:
            id = KeyBelow(*store, machine, "Software\\Classes");
            break;
        case 0x80000001u:
            id.value = store->RootKey(Root::kCurrentUser);
            break;
        case 0x80000002u:
            id.value = machine;
            break;
        case 0x80000003u:
            id.value = store->RootKey(Root::kUsers);
            break;
        case 0x80000005u:
            id = KeyBelow(*store, machine, "System\\CurrentControlSet\\Hardware Profiles\\Current");
            break;
        default:
            return ERROR_INVALID_HANDLE;
    }
    if (!id.ok())
        return ErrorOf(id.status);
    constexpr std::uint32_t kCurrentUser = 0x80000001u;
    constexpr std::uint32_t kUsers = 0x80000003u;
    const bool machineWide = predefined != kCurrentUser && predefined != kUsers;
    const DWORD access = machineWide && !win32::IsAdministrator() ? KEY_READ : KEY_ALL_ACCESS;
    resolved = {std::move(store), id.value, access, machineWide};
    return ERROR_SUCCESS;
}

LONG ResolveWith(HKEY key, DWORD anyOfRights, OpenedRegistryKey& resolved) {
    const LONG error = Resolve(key, resolved);
    if (error != ERROR_SUCCESS)
        return error;
    return (resolved.access & anyOfRights) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// A subkey path as the calls accept it: no leading '\', one trailing '\' ignored.
bool SubkeyPath(LPCSTR subKey, std::string_view& path) {
    path = subKey != nullptr ? std::string_view(subKey) : std::string_view();
    if (!path.empty() && path.front() == '\\')
        return false;
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return true;
}

std::string_view ValueName(LPCSTR name) {
    return name != nullptr ? std::string_view(name) : std::string_view();
}

LONG HandOut(OpenedRegistryKey key, PHKEY result) {
    HKEY token = win32::detail::InsertRegistryKey(std::move(key));
    if (token == nullptr)
        return ERROR_NO_SYSTEM_RESOURCES;
    *result = token;
    return ERROR_SUCCESS;
}

// Value data as the narrow calls see it.
std::vector<std::uint8_t> NarrowData(const registry::Value& value) {
    return registry::IsStringType(value.type) ? registry::NarrowDataFromWide(value.data)
                                              : value.data;
}

// Stored form of narrow data: string types become wide, with the terminators the type needs.
std::vector<std::uint8_t> StoredData(DWORD type, const BYTE* data, DWORD size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    if (!registry::IsStringType(type) || bytes.empty())
        return bytes;
    if (bytes.back() != 0)
        bytes.push_back(0);
    if (type == REG_MULTI_SZ && (bytes.size() < 2 || bytes[bytes.size() - 2] != 0))
        bytes.push_back(0);
    return registry::WideDataFromNarrow(bytes);
}

// The platform's data protocol: a null buffer asks for the size, a short buffer gets
// ERROR_MORE_DATA and the size needed.
LONG CopyData(const std::vector<std::uint8_t>& data, LPBYTE buffer, LPDWORD size) {
    if (size == nullptr)
        return ERROR_SUCCESS;
    const auto needed = static_cast<DWORD>(data.size());
    if (buffer != nullptr && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (buffer != nullptr && needed > 0)
        std::memcpy(buffer, data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

// A name into a character buffer counted with its terminator; ERROR_MORE_DATA when it does not
// fit (the count stays as it was).
LONG CopyName(const std::string& name, LPSTR buffer, LPDWORD count) {
    if (name.size() + 1 > *count)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *count = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

void SetFileTime(PFILETIME target, std::uint64_t time) {
    if (target == nullptr)
        return;
    target->dwLowDateTime = static_cast<DWORD>(time);
    target->dwHighDateTime = static_cast<DWORD>(time >> 32);
}

}  // namespace

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::string_view path;
    if (!SubkeyPath(lpSubKey, path))
        return ERROR_BAD_PATHNAME;
    OpenedRegistryKey base;
    if (const LONG error = Resolve(hKey, base); error != ERROR_SUCCESS)
        return error;
    if (path.empty() && IsPredefined(hKey)) {
        *phkResult = hKey;  // as the platform does: the predefined handle itself
        return ERROR_SUCCESS;
    }
    auto opened = base.store->OpenKey(base.id, path);
    if (!opened.ok())
        return ErrorOf(opened.status);
    DWORD granted = 0;
    if (!RightsFor(base.machineWide, samDesired, granted))
        return ERROR_ACCESS_DENIED;
    return HandOut({std::move(base.store), opened.value, granted, base.machineWide}, phkResult);
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::string_view path;
    if (!SubkeyPath(lpSubKey, path))
        return ERROR_BAD_PATHNAME;
    OpenedRegistryKey base;
    if (const LONG error = Resolve(hKey, base); error != ERROR_SUCCESS)
        return error;

    auto existing = base.store->OpenKey(base.id, path);
    KeyId id = existing.value;
    bool created = false;
    if (existing.status == Status::kNotFound) {
        if ((base.access & KEY_CREATE_SUB_KEY) == 0)
            return ERROR_ACCESS_DENIED;
        auto made = base.store->CreateKey(base.id, path);
        if (!made.ok())
            return ErrorOf(made.status);
        id = made.value.id;
        created = made.value.created;
    } else if (!existing.ok()) {
        return ErrorOf(existing.status);
    }
    DWORD granted = 0;
    if (!RightsFor(base.machineWide, samDesired, granted))
        return ERROR_ACCESS_DENIED;
    if (const LONG error =
            HandOut({std::move(base.store), id, granted, base.machineWide}, phkResult);
        error != ERROR_SUCCESS)
        return error;
    if (lpdwDisposition != nullptr)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return RegOpenKeyExA(hKey, lpSubKey, 0, MAXIMUM_ALLOWED, phkResult);
}

LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED,
                           nullptr, phkResult, nullptr);
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
        return ERROR_INVALID_PARAMETER;
    OpenedRegistryKey key;
    if (const LONG error = ResolveWith(hKey, KEY_QUERY_VALUE, key); error != ERROR_SUCCESS)
        return error;
    auto value = key.store->QueryValue(key.id, ValueName(lpValueName));
    if (!value.ok())
        return ErrorOf(value.status);
    if (lpType != nullptr)
        *lpType = value.value.type;
    return CopyData(NarrowData(value.value), lpData, lpcbData);
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData) {
    if (lpData == nullptr && cbData != 0)
        return ERROR_NOACCESS;
    OpenedRegistryKey key;
    if (const LONG error = ResolveWith(hKey, KEY_SET_VALUE, key); error != ERROR_SUCCESS)
        return error;
    return ErrorOf(key.store->SetValue(key.id, ValueName(lpValueName), dwType,
                                       StoredData(dwType, lpData, cbData)));
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    OpenedRegistryKey key;
    if (const LONG error = ResolveWith(hKey, KEY_SET_VALUE, key); error != ERROR_SUCCESS)
        return error;
    return ErrorOf(key.store->DeleteValue(key.id, ValueName(lpValueName)));
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (lpSubKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::string_view path;
    if (!SubkeyPath(lpSubKey, path))
        return ERROR_BAD_PATHNAME;
    if (path.empty() && IsPredefined(hKey))
        return ERROR_ACCESS_DENIED;
    OpenedRegistryKey base;
    if (const LONG error = ResolveWith(hKey, kWriteRights, base); error != ERROR_SUCCESS)
        return error;
    auto target = base.store->OpenKey(base.id, path);
    if (!target.ok())
        return ErrorOf(target.status);
    return ErrorOf(base.store->DeleteKey(target.value));
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
    if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr)
        return ERROR_INVALID_PARAMETER;
    OpenedRegistryKey key;
    if (const LONG error = ResolveWith(hKey, KEY_ENUMERATE_SUB_KEYS, key); error != ERROR_SUCCESS)
        return error;
    auto subkey = key.store->EnumerateSubkey(key.id, dwIndex);
    if (!subkey.ok())
        return ErrorOf(subkey.status);
    if (const LONG error = CopyName(subkey.value.name, lpName, lpcchName); error != ERROR_SUCCESS)
        return error;
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0)
        lpClass[0] = '\0';
    if (lpcchClass != nullptr)
        *lpcchClass = 0;
    SetFileTime(lpftLastWriteTime, subkey.value.lastWriteTime);
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpValueName == nullptr || lpcchValueName == nullptr || lpReserved != nullptr ||
        (lpData != nullptr && lpcbData == nullptr))
        return ERROR_INVALID_PARAMETER;
    OpenedRegistryKey key;
    if (const LONG error = ResolveWith(hKey, KEY_QUERY_VALUE, key); error != ERROR_SUCCESS)
        return error;
    auto value = key.store->EnumerateValue(key.id, dwIndex);
    if (!value.ok())
        return ErrorOf(value.status);
    if (const LONG error = CopyName(value.value.name, lpValueName, lpcchValueName);
        error != ERROR_SUCCESS)
        return error;
    if (lpType != nullptr)
        *lpType = value.value.type;
    return CopyData(NarrowData(value.value), lpData, lpcbData);
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                             LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
    if (lpReserved != nullptr || (lpClass != nullptr && lpcchClass == nullptr))
        return ERROR_INVALID_PARAMETER;
    OpenedRegistryKey key;
    if (const LONG error = ResolveWith(hKey, KEY_QUERY_VALUE, key); error != ERROR_SUCCESS)
        return error;
    auto info = key.store->QueryInfo(key.id);
    if (!info.ok())
        return ErrorOf(info.status);
    if (lpClass != nullptr && *lpcchClass > 0)
        lpClass[0] = '\0';
    if (lpcchClass != nullptr)
        *lpcchClass = 0;
    if (lpcSubKeys != nullptr)
        *lpcSubKeys = info.value.subkeyCount;
    if (lpcbMaxSubKeyLen != nullptr)
        *lpcbMaxSubKeyLen = info.value.maxSubkeyNameLength;
    if (lpcbMaxClassLen != nullptr)
        *lpcbMaxClassLen = 0;
    if (lpcValues != nullptr)
        *lpcValues = info.value.valueCount;
    if (lpcbMaxValueNameLen != nullptr)
        *lpcbMaxValueNameLen = info.value.maxValueNameLength;
    if (lpcbMaxValueLen != nullptr)
        *lpcbMaxValueLen = info.value.maxValueDataLength;
    if (lpcbSecurityDescriptor != nullptr)
        *lpcbSecurityDescriptor = 0;
    SetFileTime(lpftLastWriteTime, info.value.lastWriteTime);
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    if (IsPredefined(hKey)) {
        OpenedRegistryKey ignored;
        return Resolve(hKey, ignored);
    }
    return win32::detail::RemoveRegistryKey(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegFlushKey(HKEY hKey) {
    OpenedRegistryKey key;
    return Resolve(hKey, key);
}

namespace win32 {

bool IsAdministrator() {
    int administrator = g_administrator.load();
    if (administrator < 0) {
        const char* standard = std::getenv(kStandardUserVariable);
        administrator = standard != nullptr && std::strcmp(standard, "1") == 0 ? 0 : 1;
        g_administrator.store(administrator);
    }
    return administrator != 0;
}

}  // namespace win32

namespace win32::testing {

void SetAdministrator(bool administrator) {
    g_administrator.store(administrator ? 1 : 0);
}

}  // namespace win32::testing
