// Device information sets: a snapshot of the present, enabled interfaces of one class, taken when
// the set is made. A set handle is the address of a set this module made and has not destroyed;
// anything else is refused with ERROR_INVALID_HANDLE.
#include "device_info_sets.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "kernel/interfaces_user.h"
#include "win32/handles.h"

namespace setupapi {
namespace {

struct DeviceInfoSet {
    GUID guid;
    std::vector<kernel::user_interfaces::PresentInterface> interfaces;
};

struct Sets {
    std::mutex mutex;
    std::set<DeviceInfoSet*> live;
};

Sets& TheSets() {
    static Sets sets;
    return sets;
}

// The fixed part of a detail record: the platform's 64-bit size and its packed size are accepted.
bool ValidDetailSize(DWORD cbSize) {
    return cbSize == sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) ||
           cbSize == SP_DEVICE_INTERFACE_DETAIL_DATA_A_SIZE;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// The interface an interface record names within the set, under the set's lock; null when the
// record is not one this set handed out.
const kernel::user_interfaces::PresentInterface* InterfaceOf(const DeviceInfoSet& set,
                                                             const SP_DEVICE_INTERFACE_DATA* data) {
    if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return nullptr;
    if (data->Reserved == 0 || data->Reserved > set.interfaces.size())
        return nullptr;
    return &set.interfaces[data->Reserved - 1];
}

}  // namespace

HDEVINFO WINAPI GetClassDevsA(const GUID* classGuid, PCSTR, HWND, DWORD flags) {
    if (!(flags & DIGCF_DEVICEINTERFACE) || (flags & DIGCF_ALLCLASSES) || classGuid == nullptr) {
        SetLastError(ERROR_INVALID_FLAGS);
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_unique<DeviceInfoSet>();
    set->guid = *classGuid;
    kernel::user_interfaces::InterfaceClass cls{
        classGuid->Data1, classGuid->Data2, classGuid->Data3, {}};
    std::memcpy(cls.data4, classGuid->Data4, sizeof cls.data4);
    // Interfaces of devices that are not present are not kept by the kernel, so the set is the
    // same with and without DIGCF_PRESENT.
    set->interfaces = kernel::user_interfaces::ListPresentInterfaces(cls);
    Sets& sets = TheSets();
    std::lock_guard lock(sets.mutex);
    sets.live.insert(set.get());
    SetLastError(ERROR_SUCCESS);
    return set.release();
}

BOOL WINAPI EnumDeviceInterfaces(HDEVINFO handle, PSP_DEVINFO_DATA, const GUID* interfaceClassGuid,
                                 DWORD index, PSP_DEVICE_INTERFACE_DATA interfaceData) {
    Sets& sets = TheSets();
    std::lock_guard lock(sets.mutex);
    auto* set = static_cast<DeviceInfoSet*>(handle);
    if (sets.live.count(set) == 0)
        return Fail(ERROR_INVALID_HANDLE);
    if (interfaceData == nullptr || interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (interfaceClassGuid == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!(*interfaceClassGuid == set->guid) || index >= set->interfaces.size())
        return Fail(ERROR_NO_MORE_ITEMS);
    interfaceData->InterfaceClassGuid = set->guid;
    interfaceData->Flags = SPINT_ACTIVE;
    interfaceData->Reserved = static_cast<ULONG_PTR>(index) + 1;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI GetDeviceInterfaceDetailA(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                      PDWORD requiredSize, PSP_DEVINFO_DATA) {
    Sets& sets = TheSets();
    std::lock_guard lock(sets.mutex);
    auto* set = static_cast<DeviceInfoSet*>(handle);
    if (sets.live.count(set) == 0)
        return Fail(ERROR_INVALID_HANDLE);
    const auto* entry = InterfaceOf(*set, interfaceData);
    if (entry == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (detail == nullptr ? detailSize != 0 : !ValidDetailSize(detail->cbSize))
        return Fail(ERROR_INVALID_USER_BUFFER);
    const std::size_t pathBytes = entry->devicePath.size() + 1;
    const auto needed =
        static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + pathBytes);
    if (requiredSize != nullptr)
        *requiredSize = needed;
    if (detail == nullptr || detailSize < needed)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(detail->DevicePath, entry->devicePath.c_str(), pathBytes);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

HKEY WINAPI OpenDeviceInterfaceRegKey(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                      DWORD, REGSAM desiredAccess) {
    std::string keyPath;
    {
        Sets& sets = TheSets();
        std::lock_guard lock(sets.mutex);
        auto* set = static_cast<DeviceInfoSet*>(handle);
        if (sets.live.count(set) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return static_cast<HKEY>(INVALID_HANDLE_VALUE);
        }
        const auto* entry = InterfaceOf(*set, interfaceData);
        if (entry == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return static_cast<HKEY>(INVALID_HANDLE_VALUE);
        }
        keyPath = entry->registryKeyPath;
    }
    HKEY key = nullptr;
    const LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, desiredAccess, &key);
    if (error != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(error));
        return static_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    SetLastError(ERROR_SUCCESS);
    return key;
}

BOOL WINAPI DestroyDeviceInfoList(HDEVINFO handle) {
    auto* set = static_cast<DeviceInfoSet*>(handle);
    {
        Sets& sets = TheSets();
        std::lock_guard lock(sets.mutex);
        if (sets.live.erase(set) == 0)
            return Fail(ERROR_INVALID_HANDLE);
    }
    delete set;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

}  // namespace setupapi
