// Device interfaces and device properties: per physical device an instance path and property
// strings, per (instance, class) one interface record with a stable link name and a registry key.
#include "io/device_interfaces.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/built_at_load.h"
#include "io/io_manager.h"
#include "kernel/crt.h"
#include "kernel/ex.h"
#include "kernel/interfaces_user.h"
#include "kernel/io_interface.h"
#include "kernel/machine.h"
#include "kernel/wide.h"

namespace kernel::io {
namespace {

constexpr ULONG kStringTag = MQ_POOL_TAG('I', 'o', 'S', 't');
constexpr char kDeviceClassesKey[] = "System\\CurrentControlSet\\Control\\DeviceClasses";

struct DeviceInfo {
    std::u16string instancePath;
    std::map<DEVICE_REGISTRY_PROPERTY, std::u16string> properties;
};

struct InterfaceRecord {
    std::u16string instancePath;
    GUID guid;
    std::u16string linkName;    // "\??\..."
    std::u16string linkKey;     // NameKey of linkName
    std::string keyPath;        // below HKEY_LOCAL_MACHINE
    PDEVICE_OBJECT device;      // null while the device is not present
    std::u16string deviceName;  // the device's object name, the link's target
    bool enabled = false;
};

struct Registry {
    std::mutex mutex;  // taken before the I/O manager's lock, never after
    std::map<PDEVICE_OBJECT, DeviceInfo> devices;
    std::vector<InterfaceRecord> interfaces;
    std::set<PDEVICE_OBJECT> absent;  // left the bus, not yet deleted
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&TheRegistry);

std::string GuidString(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

std::u16string Wide(const std::string& text) {
    return WideFromNarrow(text);
}

std::string Narrow(const std::u16string& text) {
    return NarrowFromWide(text);
}

bool SameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

InterfaceRecord* FindByLink(Registry& registry, const UNICODE_STRING* link) {
    const std::u16string key = NameKey(ToWide(link));
    for (auto& record : registry.interfaces)
        if (record.linkKey == key)
            return &record;
    return nullptr;
}

// The device's object name as created (the record keeps the normalised key only).
std::u16string DeviceObjectName(PDEVICE_OBJECT device) {
    IoManager& io = IoManager::Instance();
    host::Guard guard(io.lock);
    return static_cast<DeviceRecord*>(device->IoManagerPrivate)->key;
}

NTSTATUS CreateLink(const InterfaceRecord& record) {
    std::u16string link = record.linkName, target = record.deviceName;
    UNICODE_STRING linkString{static_cast<USHORT>(link.size() * sizeof(WCHAR)),
                              static_cast<USHORT>(link.size() * sizeof(WCHAR)), link.data()};
    UNICODE_STRING targetString{static_cast<USHORT>(target.size() * sizeof(WCHAR)),
                                static_cast<USHORT>(target.size() * sizeof(WCHAR)), target.data()};
    return IoCreateSymbolicLink(&linkString, &targetString);
}

void DeleteLink(const InterfaceRecord& record) {
    std::u16string link = record.linkName;
    UNICODE_STRING linkString{static_cast<USHORT>(link.size() * sizeof(WCHAR)),
                              static_cast<USHORT>(link.size() * sizeof(WCHAR)), link.data()};
    IoDeleteSymbolicLink(&linkString);
}

NTSTATUS CreateInterfaceKey(const std::string& keyPath) {
    std::u16string path = u"\\Registry\\Machine\\" + Wide(keyPath);
    UNICODE_STRING name{static_cast<USHORT>(path.size() * sizeof(WCHAR)),
                        static_cast<USHORT>(path.size() * sizeof(WCHAR)), path.data()};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               nullptr, nullptr);
    HANDLE key = nullptr;
    NTSTATUS status = ZwCreateKey(&key, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, nullptr);
    if (NT_SUCCESS(status))
        ZwClose(key);
    return status;
}

}  // namespace

void ForgetPhysicalDevice(PDEVICE_OBJECT device) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    for (auto& record : registry.interfaces) {
        if (record.device != device)
            continue;
        if (record.enabled)
            DeleteLink(record);
        record.device = nullptr;
        record.enabled = false;
    }
    registry.devices.erase(device);
    registry.absent.erase(device);
}

void MarkPhysicalDeviceAbsent(PDEVICE_OBJECT device) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.absent.insert(device);
}

}  // namespace kernel::io

using kernel::io::TheRegistry;

NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT PhysicalDeviceObject,
                                   const GUID* InterfaceClassGuid, PUNICODE_STRING ReferenceString,
                                   PUNICODE_STRING SymbolicLinkName) {
    if (PhysicalDeviceObject == nullptr || InterfaceClassGuid == nullptr ||
        SymbolicLinkName == nullptr)
        return STATUS_INVALID_PARAMETER;
    if (ReferenceString != nullptr && ReferenceString->Length != 0)
        return STATUS_NOT_SUPPORTED;  // one interface per device and class is all we need
    auto& registry = TheRegistry();
    std::unique_lock lock(registry.mutex);
    auto device = registry.devices.find(PhysicalDeviceObject);
    if (device == registry.devices.end() || device->second.instancePath.empty())
        return STATUS_INVALID_DEVICE_REQUEST;  // not a physical device
    const std::u16string& instance = device->second.instancePath;
    kernel::io::InterfaceRecord* found = nullptr;
    for (auto& record : registry.interfaces)
        if (record.instancePath == instance &&
            kernel::io::SameGuid(record.guid, *InterfaceClassGuid))
            found = &record;
    if (found == nullptr) {
        std::u16string reference = instance;
        for (auto& c : reference)
            if (c == u'\\')
                c = u'#';
        const std::string guid = kernel::io::GuidString(*InterfaceClassGuid);
        kernel::io::InterfaceRecord record;
        record.instancePath = instance;
        record.guid = *InterfaceClassGuid;
        record.linkName = u"\\??\\" + reference + u"#" + kernel::io::Wide(guid);
        record.linkKey = kernel::io::NameKey(record.linkName);
        record.keyPath = std::string(kernel::io::kDeviceClassesKey) + "\\" + guid + "\\##?#" +
                         kernel::io::Narrow(reference) + "#" + guid + "\\Device Parameters";
        registry.interfaces.push_back(std::move(record));
        found = &registry.interfaces.back();
    }
    const std::u16string deviceName = kernel::io::DeviceObjectName(PhysicalDeviceObject);
    if (deviceName.empty())
        return STATUS_INVALID_DEVICE_REQUEST;  // a link needs a named device to point at
    found->device = PhysicalDeviceObject;
    found->deviceName = deviceName;
    const std::u16string linkName = found->linkName;
    const std::string keyPath = found->keyPath;
    lock.unlock();

    NTSTATUS status = kernel::io::CreateInterfaceKey(keyPath);
    if (!NT_SUCCESS(status))
        return status;
    const SIZE_T bytes = (linkName.size() + 1) * sizeof(WCHAR);
    auto* buffer =
        static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, bytes, kernel::io::kStringTag));
    if (buffer == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    wmemcpy(buffer, linkName.c_str(), linkName.size() + 1);
    SymbolicLinkName->Buffer = buffer;
    SymbolicLinkName->Length = static_cast<USHORT>(linkName.size() * sizeof(WCHAR));
    SymbolicLinkName->MaximumLength = static_cast<USHORT>(bytes);
    return STATUS_SUCCESS;
}

NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING SymbolicLinkName, BOOLEAN Enable) {
    auto& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto* record = kernel::io::FindByLink(registry, SymbolicLinkName);
    if (record == nullptr)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    if (!Enable) {
        if (!record->enabled)
            return STATUS_OBJECT_NAME_NOT_FOUND;
        kernel::io::DeleteLink(*record);
        record->enabled = false;
        return STATUS_SUCCESS;
    }
    if (record->device == nullptr)
        return STATUS_NO_SUCH_DEVICE;
    if (record->enabled)
        return STATUS_SUCCESS;
    NTSTATUS status = kernel::io::CreateLink(*record);
    if (NT_SUCCESS(status))
        record->enabled = true;
    return status;
}

NTSTATUS IoOpenDeviceInterfaceRegistryKey(PUNICODE_STRING SymbolicLinkName,
                                          ACCESS_MASK DesiredAccess, PHANDLE DeviceInterfaceKey) {
    if (DeviceInterfaceKey == nullptr)
        return STATUS_INVALID_PARAMETER;
    *DeviceInterfaceKey = nullptr;
    std::string keyPath;
    {
        auto& registry = TheRegistry();
        std::lock_guard lock(registry.mutex);
        auto* record = kernel::io::FindByLink(registry, SymbolicLinkName);
        if (record == nullptr)
            return STATUS_OBJECT_NAME_NOT_FOUND;
        keyPath = record->keyPath;
    }
    std::u16string path = u"\\Registry\\Machine\\" + kernel::io::Wide(keyPath);
    UNICODE_STRING name{static_cast<USHORT>(path.size() * sizeof(WCHAR)),
                        static_cast<USHORT>(path.size() * sizeof(WCHAR)), path.data()};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               nullptr, nullptr);
    return ZwCreateKey(DeviceInterfaceKey, DesiredAccess, &attributes, 0, nullptr, 0, nullptr);
}

void RtlFreeUnicodeString(PUNICODE_STRING UnicodeString) {
    if (UnicodeString == nullptr)
        return;
    if (UnicodeString->Buffer != nullptr)
        ExFreePool(UnicodeString->Buffer);
    UnicodeString->Buffer = nullptr;
    UnicodeString->Length = UnicodeString->MaximumLength = 0;
}

NTSTATUS IoGetDeviceProperty(PDEVICE_OBJECT DeviceObject, DEVICE_REGISTRY_PROPERTY DeviceProperty,
                             ULONG BufferLength, PVOID PropertyBuffer, PULONG ResultLength) {
    if (ResultLength == nullptr)
        return STATUS_INVALID_PARAMETER;
    auto& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto device = registry.devices.find(DeviceObject);
    if (device == registry.devices.end())
        return STATUS_INVALID_DEVICE_REQUEST;
    auto property = device->second.properties.find(DeviceProperty);
    if (property == device->second.properties.end())
        return STATUS_INVALID_PARAMETER_2;
    const std::u16string& value = property->second;
    const ULONG bytes = static_cast<ULONG>((value.size() + 1) * sizeof(WCHAR));
    *ResultLength = bytes;
    if (BufferLength < bytes || PropertyBuffer == nullptr)
        return STATUS_BUFFER_TOO_SMALL;
    std::memcpy(PropertyBuffer, value.c_str(), bytes);
    return STATUS_SUCCESS;
}

namespace kernel {

NTSTATUS SetDeviceInstancePath(PDEVICE_OBJECT physicalDevice, std::u16string instancePath) {
    if (physicalDevice == nullptr || instancePath.empty())
        return STATUS_INVALID_PARAMETER;
    auto& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    const std::u16string key = io::NameKey(instancePath);
    for (const auto& [device, info] : registry.devices)
        if (device != physicalDevice && io::NameKey(info.instancePath) == key)
            return STATUS_OBJECT_NAME_COLLISION;
    registry.devices[physicalDevice].instancePath = std::move(instancePath);
    return STATUS_SUCCESS;
}

void SetDeviceProperty(PDEVICE_OBJECT physicalDevice, DEVICE_REGISTRY_PROPERTY property,
                       std::u16string value) {
    auto& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.devices[physicalDevice].properties[property] = std::move(value);
}

}  // namespace kernel

namespace kernel::user_interfaces {

std::string GuidText(const InterfaceClass& interfaceClass) {
    GUID guid;
    guid.Data1 = interfaceClass.data1;
    guid.Data2 = interfaceClass.data2;
    guid.Data3 = interfaceClass.data3;
    std::memcpy(guid.Data4, interfaceClass.data4, sizeof guid.Data4);
    return io::GuidString(guid);
}

std::vector<PresentInterface> ListPresentInterfaces(const InterfaceClass& interfaceClass) {
    machine::EnsureBooted();
    GUID guid;
    guid.Data1 = interfaceClass.data1;
    guid.Data2 = interfaceClass.data2;
    guid.Data3 = interfaceClass.data3;
    std::memcpy(guid.Data4, interfaceClass.data4, sizeof guid.Data4);
    std::vector<PresentInterface> present;
    auto& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    for (const auto& record : registry.interfaces) {
        if (!record.enabled || record.device == nullptr || registry.absent.count(record.device) ||
            !io::SameGuid(record.guid, guid))
            continue;
        // "\??\X" is "\\?\X" to user mode.
        present.push_back({"\\\\?\\" + io::Narrow(record.linkName.substr(4)), record.keyPath});
    }
    return present;
}

}  // namespace kernel::user_interfaces
